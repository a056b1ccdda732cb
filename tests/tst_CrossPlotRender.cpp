#include <QDataStream>
#include <QFile>
#include <QImage>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>
#include <cmath>

// Runs the crossplot-render command as a user would and checks what it prints and writes.
class tst_CrossPlotRender : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void badInputIsRefused_data();
    void badInputIsRefused();
    void statsAndMatrixOfOnePick();
    void imageHasTheAskedSize_data();
    void imageHasTheAskedSize();
    void severalFilesGiveOnePngEach();
    void failedSaveIsAnError();

private:
    struct Run
    {
        int exitCode = -1;
        QByteArray out;
        QByteArray err;
    };
    Run render(const QStringList &arguments);
    QString writeFB(const QString &name, qint32 count, qint32 low, qint32 high,
                    const QVector<QPair<qint32, float>> &picks);

    QTemporaryDir m_dir;
    QString m_onePick;
};

QString tst_CrossPlotRender::writeFB(const QString &name, qint32 count, qint32 low, qint32 high,
                                     const QVector<QPair<qint32, float>> &picks)
{
    const QString path = m_dir.filePath(name);
    QFile file(path);
    file.open(QIODevice::WriteOnly);
    QDataStream out(&file);
    out.setByteOrder(QDataStream::LittleEndian);
    out.setFloatingPointPrecision(QDataStream::SinglePrecision);
    out << count << qint32(84) << low << high;
    for (const auto &pick : picks) {
        const QByteArray eight(8, '\x55'), fortyEight(48, '\x55'), sixteen(16, '\x55');
        out.writeRawData(eight.constData(), 8);
        out << pick.first;
        out.writeRawData(fortyEight.constData(), 48);
        out << pick.second << qint32(0);
        out.writeRawData(sixteen.constData(), 16);
    }
    return path;
}

tst_CrossPlotRender::Run tst_CrossPlotRender::render(const QStringList &arguments)
{
    QProcess process;
    process.setWorkingDirectory(m_dir.path());
    process.start(QStringLiteral(CROSSPLOT_BIN_DIR "/crossplot-render"), arguments);
    Run run;
    if (!process.waitForFinished(60000) || process.exitStatus() != QProcess::NormalExit)
        return run;
    run.exitCode = process.exitCode();
    run.out = process.readAllStandardOutput();
    run.err = process.readAllStandardError();
    return run;
}

void tst_CrossPlotRender::initTestCase()
{
    m_onePick = writeFB(QStringLiteral("one-pick.fb"), 1, 0, 100, {{10, 37.0f}});
}

void tst_CrossPlotRender::badInputIsRefused_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QByteArray>("message");

    const QString one = QStringLiteral("one-pick.fb");
    QTest::newRow("no file") << QStringList{"--stats"} << QByteArray("usage: crossplot-render");
    QTest::newRow("unknown option")
        << QStringList{one, "--colour", "red"} << QByteArray("usage: crossplot-render");
    QTest::newRow("point size 21") << QStringList{one, "--point-size", "21"}
                                   << QByteArray("bad value \"21\" for --point-size");
    QTest::newRow("two stops") << QStringList{one, "--stops", "10,20"}
                               << QByteArray("bad value \"10,20\" for --stops");
    QTest::newRow("background 4") << QStringList{one, "--background", "4"}
                                  << QByteArray("for --background");
    QTest::newRow("type") << QStringList{one, "--type", "all"} << QByteArray("for --type");
    QTest::newRow("equal offsets") << QStringList{one, "--min-offset", "500", "--max-offset", "500"}
                                   << QByteArray("Error: the offset range is illegal.");
    QTest::newRow("inverted offsets")
        << QStringList{one, "--min-offset", "600", "--max-offset", "500"}
        << QByteArray("Error: the offset range is illegal.");
    QTest::newRow("missing file") << QStringList{"nothing-here.fb"}
                                  << QByteArray("Error: fail to open the file: nothing-here.fb");
    QTest::newRow("equal header bounds")
        << QStringList{"equal.fb"} << QByteArray("Error: the input file is illegal.");
    QTest::newRow("negative header bound")
        << QStringList{"negative.fb"} << QByteArray("Error: the input file is illegal.");
}

void tst_CrossPlotRender::badInputIsRefused()
{
    QFETCH(QStringList, arguments);
    QFETCH(QByteArray, message);
    writeFB(QStringLiteral("equal.fb"), 0, 300, 300, {});
    writeFB(QStringLiteral("negative.fb"), 0, -1, 300, {});
    const Run run = render(arguments);
    QCOMPARE(run.exitCode, 2);
    QVERIFY2(run.err.contains(message), run.err.constData());
    QVERIFY(run.out.isEmpty());
}

void tst_CrossPlotRender::statsAndMatrixOfOnePick()
{
    // One pick at offset 10 m, 37 ms in the window 0..100: time bins reach 137 ms, the
    // 4 m x 4 ms matrix has 25 columns and 34 rows, and only column 1 of row 8 holds a value.
    const Run run = render({m_onePick, "--stats", "--matrix", "matrix.bin"});
    QCOMPARE(run.exitCode, 0);
    const QJsonObject stats = QJsonDocument::fromJson(run.out).object();
    const QVector<QPair<const char *, int>> expected = {
        {"recordCount", 1}, {"offsetLow", 0},      {"offsetHigh", 100},
        {"pickCount", 1},   {"timeMax", 137},      {"cellCount", 850},
        {"densityMax", 20}, {"matrixColumns", 25}, {"matrixRows", 34}};
    QCOMPARE(stats.size(), expected.size());
    for (const auto &entry : expected)
        QCOMPARE(stats.value(QLatin1String(entry.first)).toInt(-1), entry.second);

    QFile file(m_dir.filePath(QStringLiteral("matrix.bin")));
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.size(), qint64(25 * 34 * 8));
    QDataStream in(&file);
    in.setByteOrder(QDataStream::LittleEndian);
    int values = 0;
    for (int index = 0; index < 25 * 34; ++index) {
        double value;
        in >> value;
        if (index == 8 * 25 + 1)
            QCOMPARE(value, 1.0);
        else
            values += !std::isnan(value);
    }
    QCOMPARE(values, 0);
    QVERIFY(!QFile::exists(m_dir.filePath(QStringLiteral("one-pick.png"))));
}

void tst_CrossPlotRender::imageHasTheAskedSize_data()
{
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<QSize>("size");
    QTest::newRow("window, default size") << QStringList{"--window"} << QSize(922, 700);
    QTest::newRow("window, larger")
        << QStringList{"--window", "--size", "1000x800"} << QSize(1000, 800);
    QTest::newRow("window, below the minimum")
        << QStringList{"--window", "--size", "300x200"} << QSize(922, 700);
}

void tst_CrossPlotRender::imageHasTheAskedSize()
{
    QFETCH(QStringList, options);
    QFETCH(QSize, size);
    const QString png = m_dir.filePath(QStringLiteral("sized.png"));
    const Run run = render(QStringList{m_onePick, "-o", png, "--background", "2"} + options);
    QCOMPARE(run.exitCode, 0);
    const QImage image(png);
    QCOMPARE(image.size(), size);

    // Not blank: the canvas's light blue background and the dark red title are both there.
    bool canvas = false;
    bool title = false;
    for (int y = 0; y < image.height(); y += 2) {
        for (int x = 0; x < image.width(); x += 2) {
            const QRgb pixel = image.pixel(x, y);
            canvas = canvas || pixel == qRgb(100, 200, 255);
            title = title || (qRed(pixel) > 100 && qGreen(pixel) < 40 && qBlue(pixel) < 40);
        }
    }
    QVERIFY(canvas);
    QVERIFY(title);
}

void tst_CrossPlotRender::severalFilesGiveOnePngEach()
{
    const QString second = writeFB(QStringLiteral("second.fb"), 1, 0, 200, {{150, 80.0f}});
    const Run run = render({m_onePick, second, "-o", "pngs"});
    QCOMPARE(run.exitCode, 0);
    for (const char *name : {"pngs/one-pick.png", "pngs/second.png"}) {
        const QImage image(m_dir.filePath(QLatin1String(name)));
        QVERIFY2(!image.isNull(), name);
        QVERIFY(image.width() > 300 && image.height() > 300);
    }
}

void tst_CrossPlotRender::failedSaveIsAnError()
{
    const Run run = render({m_onePick, "-o", m_dir.filePath(QStringLiteral("no/such/dir/x.png"))});
    QCOMPARE(run.exitCode, 1);
    QVERIFY2(run.err.contains("cannot write"), run.err.constData());
}

QTEST_GUILESS_MAIN(tst_CrossPlotRender)
#include "tst_CrossPlotRender.moc"
