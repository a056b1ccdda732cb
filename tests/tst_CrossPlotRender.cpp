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
    void exitCodeAndMessage_data();
    void exitCodeAndMessage();
    void statsAndMatrixOfOnePick();
    void imageHasTheAskedSize_data();
    void imageHasTheAskedSize();

private:
    int render(const QStringList &arguments, QByteArray *out = nullptr, QByteArray *err = nullptr);
    void writeFB(const QString &name, qint32 low, qint32 high, qint32 offset, float time);
    QTemporaryDir m_dir;
};

// One pick in a file whose header gives the offset range low..high.
void tst_CrossPlotRender::writeFB(const QString &name, qint32 low, qint32 high, qint32 offset,
                                  float time)
{
    QFile file(m_dir.filePath(name));
    file.open(QIODevice::WriteOnly);
    QDataStream out(&file);
    out.setByteOrder(QDataStream::LittleEndian);
    out.setFloatingPointPrecision(QDataStream::SinglePrecision);
    out << qint32(1) << qint32(84) << low << high;
    out.writeRawData(QByteArray(8, 'x').constData(), 8);
    out << offset;
    out.writeRawData(QByteArray(48, 'x').constData(), 48);
    out << time << qint32(0);
    out.writeRawData(QByteArray(16, 'x').constData(), 16);
}

int tst_CrossPlotRender::render(const QStringList &arguments, QByteArray *out, QByteArray *err)
{
    QProcess process;
    process.setWorkingDirectory(m_dir.path());
    process.start(QStringLiteral(CROSSPLOT_BIN_DIR "/crossplot-render"), arguments);
    if (!process.waitForFinished(60000) || process.exitStatus() != QProcess::NormalExit)
        return -1;
    if (out)
        *out = process.readAllStandardOutput();
    if (err)
        *err = process.readAllStandardError();
    return process.exitCode();
}

void tst_CrossPlotRender::initTestCase()
{
    writeFB(QStringLiteral("one-pick.fb"), 0, 100, 10, 37.0f);
    writeFB(QStringLiteral("second.fb"), 0, 200, 150, 80.0f);
    writeFB(QStringLiteral("equal.fb"), 300, 300, 10, 1.0f);
    writeFB(QStringLiteral("negative.fb"), -1, 300, 10, 1.0f);
}

void tst_CrossPlotRender::exitCodeAndMessage_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QByteArray>("message");
    const QString one = QStringLiteral("one-pick.fb");
    QTest::newRow("--help") << QStringList{"--help"} << 0
                            << QByteArray(
                                   "  3  a crossplot that cannot be drawn within the memory");
    QTest::newRow("-h among files")
        << QStringList{one, "-h"} << 0 << QByteArray("--point-size <n>");
    QTest::newRow("--version") << QStringList{"--version"} << 0
                               << QByteArray("crossplot-render " CROSSPLOT_VERSION "\n");
    QTest::newRow("no file") << QStringList{"--stats"} << 2
                             << QByteArray("crossplot-render: no FB file given (see "
                                           "crossplot-render --help)\n");
    QTest::newRow("unknown option")
        << QStringList{one, "--colour", "red"} << 2 << QByteArray("Unknown option 'colour'");
    QTest::newRow("value missing")
        << QStringList{one, "--type"} << 2 << QByteArray("Missing value after '--type'");
    QTest::newRow("point size 21")
        << QStringList{one, "--point-size", "21"} << 2
        << QByteArray("bad value \"21\" for --point-size: expected 1..20");
    QTest::newRow("two stops") << QStringList{one, "--stops", "10,20"} << 2
                               << QByteArray("for --stops");
    QTest::newRow("size without height")
        << QStringList{one, "--size", "900"} << 2 << QByteArray("for --size");
    QTest::newRow("type unknown") << QStringList{one, "--type", "all"} << 2
                                  << QByteArray("for --type: expected correct, error or both");
    QTest::newRow("equal offsets") << QStringList{one, "--min-offset", "500", "--max-offset", "500"}
                                   << 2 << QByteArray("Error: the offset range is illegal.");
    QTest::newRow("missing file") << QStringList{"nothing-here.fb"} << 2
                                  << QByteArray("Error: fail to open the file: nothing-here.fb");
    QTest::newRow("equal header bounds")
        << QStringList{"equal.fb"} << 2 << QByteArray("Error: the input file is illegal.");
    QTest::newRow("negative header bound")
        << QStringList{"negative.fb"} << 2 << QByteArray("Error: the input file is illegal.");
    QTest::newRow("unwritable image") << QStringList{one, "-o", "no/such/dir/x.png"} << 1
                                      << QByteArray("cannot write no/such/dir/x.png");
    QTest::newRow("several files")
        << QStringList{one, "second.fb", "--output", "pngs"} << 0 << QByteArray();
}

void tst_CrossPlotRender::exitCodeAndMessage()
{
    QFETCH(QStringList, arguments);
    QFETCH(int, exitCode);
    QFETCH(QByteArray, message);
    QByteArray out, err;
    QCOMPARE(render(arguments, &out, &err), exitCode);
    QVERIFY2((out + err).contains(message), (out + err).constData());
    // A refused command line is said in one line, not buried in the help text.
    if (exitCode == 2)
        QVERIFY2(err.count('\n') == 1 && out.isEmpty(), err.constData());
    if (arguments.contains(QStringLiteral("pngs"))) {
        QCOMPARE(QImage(m_dir.filePath(QStringLiteral("pngs/one-pick.png"))).width(), 904);
        QCOMPARE(QImage(m_dir.filePath(QStringLiteral("pngs/second.png"))).width(), 904);
    }
}

void tst_CrossPlotRender::statsAndMatrixOfOnePick()
{
    // One pick at offset 10 m, 37 ms in the window 0..100: time bins reach 137 ms, the
    // 4 m x 4 ms matrix has 25 columns and 34 rows, and only column 1 of row 8 holds a value.
    QByteArray out;
    QCOMPARE(render({"one-pick.fb", "--stats", "--matrix", "matrix.bin"}, &out), 0);
    QCOMPARE(QJsonDocument::fromJson(out).object(), QJsonObject({{"recordCount", 1},
                                                                 {"offsetLow", 0},
                                                                 {"offsetHigh", 100},
                                                                 {"pickCount", 1},
                                                                 {"timeMax", 137},
                                                                 {"cellCount", 850},
                                                                 {"densityMax", 20},
                                                                 {"matrixColumns", 25},
                                                                 {"matrixRows", 34}}));
    QFile file(m_dir.filePath(QStringLiteral("matrix.bin")));
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.size(), qint64(25 * 34 * 8));
    QDataStream in(&file);
    in.setByteOrder(QDataStream::LittleEndian);
    for (int index = 0; index < 25 * 34; ++index) {
        double value;
        in >> value;
        QCOMPARE(std::isnan(value), index != 8 * 25 + 1);
        QVERIFY(std::isnan(value) || value == 1.0);
    }
    QVERIFY(!QFile::exists(m_dir.filePath(QStringLiteral("one-pick.png"))));
}

void tst_CrossPlotRender::imageHasTheAskedSize_data()
{
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<QSize>("size");
    QTest::newRow("plot") << QStringList() << QSize(904, 578);
    QTest::newRow("window") << QStringList{"--window"} << QSize(922, 700);
    QTest::newRow("larger window")
        << QStringList{"--window", "--size", "1000x800"} << QSize(1000, 800);
    QTest::newRow("below the minimum")
        << QStringList{"--window", "--size", "300x200"} << QSize(922, 700);
}

void tst_CrossPlotRender::imageHasTheAskedSize()
{
    QFETCH(QStringList, options);
    QFETCH(QSize, size);
    QCOMPARE(render(QStringList{"one-pick.fb", "-o", "sized.png", "--background", "2"} + options),
             0);
    const QImage image(m_dir.filePath(QStringLiteral("sized.png")));
    QCOMPARE(image.size(), size);
    // Not blank: the canvas's light blue background and the dark red title are both there.
    bool canvas = false, title = false;
    for (int y = 0; y < image.height(); y += 2) {
        for (int x = 0; x < image.width(); x += 2) {
            const QRgb pixel = image.pixel(x, y);
            canvas = canvas || pixel == qRgb(100, 200, 255);
            title = title || (qRed(pixel) > 100 && qGreen(pixel) < 40 && qBlue(pixel) < 40);
        }
    }
    QVERIFY(canvas && title);
}

QTEST_GUILESS_MAIN(tst_CrossPlotRender)
#include "tst_CrossPlotRender.moc"
