#include "TestSupport.h"

#include <QtTest>
#include <cmath>

// Runs the crossplot-render command as a user would and checks what it prints and writes.
class tst_CrossPlotRender : public QObject
{
    Q_OBJECT
    QTemporaryDir m_dir;

private slots:
    void initTestCase()
    {
        // One pick each, in files whose headers give the offset range.
        QVERIFY(writeFile(m_dir.filePath("one-pick.fb"), fbBytes(0, 100, {{10, 37.0f, 0}})));
        QVERIFY(writeFile(m_dir.filePath("second.fb"), fbBytes(0, 200, {{150, 80.0f, 0}})));
        QVERIFY(writeFile(m_dir.filePath("equal.fb"), fbBytes(300, 300, {{10, 1.0f, 0}})));
        QVERIFY(writeFile(m_dir.filePath("negative.fb"), fbBytes(-1, 300, {{10, 1.0f, 0}})));
    }

    void exitCodeAndMessage_data()
    {
        toolColumns();
        toolRow("--help", "--help", 0, "  3  a crossplot that cannot be drawn within the memory");
        toolRow("-h among files", "one-pick.fb -h", 0, "--point-size <n>");
        toolRow("--version", "--version", 0, "crossplot-render " CROSSPLOT_VERSION "\n");
        toolRow("no file", "--stats", 2,
                "crossplot-render: no FB file given (see crossplot-render --help)\n");
        toolRow("unknown option", "one-pick.fb --colour red", 2, "Unknown option 'colour'");
        toolRow("value missing", "one-pick.fb --type", 2, "Missing value after '--type'");
        toolRow("point size 21", "one-pick.fb --point-size 21", 2,
                "bad value \"21\" for --point-size: expected 1..20");
        toolRow("two stops", "one-pick.fb --stops 10,20", 2, "for --stops");
        toolRow("size without height", "one-pick.fb --size 900", 2, "for --size");
        toolRow("type unknown", "one-pick.fb --type all", 2,
                "for --type: expected correct, error or both");
        toolRow("equal offsets", "one-pick.fb --min-offset 500 --max-offset 500", 2,
                "Error: the offset range is illegal.");
        toolRow("missing file", "nothing-here.fb", 2,
                "Error: fail to open the file: nothing-here.fb");
        toolRow("equal header bounds", "equal.fb", 2, "Error: the input file is illegal.");
        toolRow("negative header bound", "negative.fb", 2, "Error: the input file is illegal.");
        toolRow("unwritable image", "one-pick.fb -o no/such/dir/x.png", 1,
                "cannot write no/such/dir/x.png");
        toolRow("several files", "one-pick.fb second.fb --output pngs", 0, "");
    }

    void exitCodeAndMessage()
    {
        checkToolRow("crossplot-render", m_dir.path());
        if (QTest::currentDataTag() == QByteArray("several files")) {
            QCOMPARE(QImage(m_dir.filePath("pngs/one-pick.png")).width(), 904);
            QCOMPARE(QImage(m_dir.filePath("pngs/second.png")).width(), 904);
        }
    }

    // One pick at offset 10 m, 37 ms in the window 0..100: time bins reach 137 ms, the
    // 4 m x 4 ms matrix has 25 columns and 34 rows, and only column 1 of row 8 holds a value.
    void statsAndMatrixOfOnePick()
    {
        const ToolRun run = runBuiltTool(
            "crossplot-render", {"one-pick.fb", "--stats", "--matrix", "matrix.bin"}, m_dir.path());
        QCOMPARE(run.exitCode, 0);
        QCOMPARE(QJsonDocument::fromJson(run.out.toUtf8()).toJson(QJsonDocument::Compact),
                 QByteArray("{\"cellCount\":850,\"densityMax\":20,\"matrixColumns\":25,"
                            "\"matrixRows\":34,\"offsetHigh\":100,\"offsetLow\":0,\"pickCount\":1,"
                            "\"recordCount\":1,\"timeMax\":137}"));
        QFile file(m_dir.filePath("matrix.bin"));
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray matrix = file.readAll();
        QStringList cells; // index:value of every cell that is not NaN
        for (int index = 0; index < matrix.size() / 8; ++index) {
            const double value = qFromLittleEndian<double>(matrix.constData() + 8 * index);
            if (!std::isnan(value))
                cells << QStringLiteral("%1:%2").arg(index).arg(value);
        }
        QCOMPARE(matrix.size(), 25 * 34 * 8);
        QCOMPARE(cells.join(' '), QStringLiteral("201:1"));
        QVERIFY(!QFile::exists(m_dir.filePath("one-pick.png")));
    }

    void imageHasTheAskedSize_data()
    {
        QTest::addColumn<QString>("options");
        QTest::addColumn<QSize>("size");
        QTest::newRow("plot") << QString() << QSize(904, 578);
        QTest::newRow("window") << QString("--window") << QSize(922, 700);
        QTest::newRow("larger window") << QString("--window --size 1000x800") << QSize(1000, 800);
        QTest::newRow("below the minimum") << QString("--window --size 300x200") << QSize(922, 700);
    }

    void imageHasTheAskedSize()
    {
        QFETCH(QString, options);
        QCOMPARE(runBuiltTool("crossplot-render",
                              QString("one-pick.fb -o sized.png --background 2 " + options)
                                  .split(' ', Qt::SkipEmptyParts),
                              m_dir.path())
                     .exitCode,
                 0);
        const QImage image(m_dir.filePath("sized.png"));
        QTEST(image.size(), "size");
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
};

QTEST_GUILESS_MAIN(tst_CrossPlotRender)
#include "tst_CrossPlotRender.moc"
