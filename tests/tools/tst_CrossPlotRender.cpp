#include "TestSupport.h"

#include <QtTest>
#include <algorithm>
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
        QVERIFY(writeFile(m_dir.filePath("one.fb"), fbBytes(0, 100, {{10, 37.0f, 0}})));
        QVERIFY(writeFile(m_dir.filePath("second.fb"), fbBytes(0, 200, {{150, 80.0f, 0}})));
        QVERIFY(writeFile(m_dir.filePath("equal.fb"), fbBytes(300, 300, {{10, 1.0f, 0}})));
        QVERIFY(writeFile(m_dir.filePath("short.fb"),
                          fbBytes(0, 100, {{10, 37.0f, 0}, {20, 5.0f, 0}}, 3).left(16 + 84 + 42)));
        QVERIFY(writeFile(m_dir.filePath("negative.fb"), fbBytes(-5, 100)));
        QVERIFY(writeFile(m_dir.filePath("tiny.fb"), fbBytes(0, 100).left(10)));
        // A pick at 1e12 ms: its matrix is larger than one matrix holds, which is refused.
        QVERIFY(writeFile(m_dir.filePath("wild.fb"), fbBytes(0, 1000, {{10, 1e12f, 0}})));
        // An image that cannot be written: a folder has its name.
        QVERIFY(QDir(m_dir.path()).mkpath("blocked/one.png"));
    }

    void exitCodeAndMessage_data()
    {
        toolColumns();
        toolRow("help among files", "one.fb -h", 0, "  3  a crossplot that cannot be drawn");
        toolRow("--version", "--version", 0, "crossplot-render " CROSSPLOT_VERSION "\n");
        toolRow("no file", "--stats", 2,
                "crossplot-render: no FB file given (see crossplot-render --help)\n");
        toolRow("unknown option", "one.fb --colour red", 2, "Unknown option 'colour'");
        toolRow("point size 21", "one.fb --point-size 21", 2,
                "bad value \"21\" for --point-size: expected 1..20");
        toolRow("point size 0", "one.fb --point-size 0", 2, "bad value \"0\" for --point-size");
        toolRow("point size 20", "one.fb --stats --point-size 20", 0,
                "\"matrixColumns\": 5, \"matrixRows\": 6, ");
        toolRow("point size 1", "one.fb --stats --point-size 1", 0,
                "\"matrixColumns\": 100, \"matrixRows\": 137, ");
        // Within a file and across files, in either order: bad input, then a failed write, then
        // a refusal.
        toolRow("refused", "wild.fb --stats", 3, "larger than one matrix can hold");
        toolRow("bad input after a good file", "one.fb equal.fb -o pngs", 2, "pngs/one.png");
        toolRow("bad input before a good file", "equal.fb one.fb -o pngs", 2, "pngs/one.png");
        toolRow("refused, then unwritable", "wild.fb one.fb -o blocked", 1, "cannot write");
        toolRow("unwritable, then refused", "one.fb wild.fb -o blocked", 1, "cannot write");
        toolRow("refused and unwritable in one file", "wild.fb --matrix no/m.bin", 1,
                "cannot write no/m.bin");
        toolRow("unwritable, bad input, then good", "one.fb equal.fb second.fb -o blocked", 2,
                "blocked/second.png");
        toolRow("refused, image written", "wild.fb -o wild.png", 3, "wild.png");
        toolRow("two stops", "one.fb --stops 10,20", 2, "for --stops");
        toolRow("stop 101", "one.fb --stops 15,25,101", 2, "for --stops");
        toolRow("background 4", "one.fb --background 4", 2, "for --background");
        toolRow("stops 0 and 100, background 3", "one.fb --stats --stops 0,0,100 --background 3", 0,
                "\"matrixRows\": 34, ");
        toolRow("size without height", "one.fb --size 900", 2, "for --size");
        toolRow("width 0", "one.fb --size 0x700", 2, "for --size");
        toolRow("type unknown", "x.fb --type all", 2, "--type: expected correct, error or both");
        toolRow("equal offsets", "one.fb --min-offset 500 --max-offset 500", 2,
                "crossplot-render: Error: the offset range is illegal.");
        toolRow("missing file", "none.fb", 2,
                "crossplot-render: Error: fail to open the file: none.fb (No such file or "
                "directory)\n");
        toolRow("equal header bounds", "equal.fb", 2,
                "crossplot-render: equal.fb: Error: the input file is illegal. (offsetLow (bytes "
                "8-11) is 300, not below offsetHigh (bytes 12-15), 300)\n");
        toolRow("negative header low", "negative.fb", 2,
                "(offsetLow (bytes 8-11) is -5, below 0)\n");
        toolRow("header of 10 bytes", "tiny.fb", 2,
                "(the file holds 10 bytes, a header takes 16; the words it lacks read as 0; "
                "offsetLow (bytes 8-11) is 0, not below offsetHigh (bytes 12-15), 0)\n");
        // One pick at offset 10 m, 37 ms in the window 0..100: time bins reach 137 ms, and the 4 m
        // x 4 ms matrix has 25 columns and 34 rows.
        toolRow("stats of one pick", "one.fb --stats", 0,
                "{\"recordCount\": 1, \"offsetLow\": 0, \"offsetHigh\": 100, \"pickCount\": 1, "
                "\"timeMax\": 137, \"cellCount\": 850, \"densityMax\": 20, \"matrixColumns\": 25, "
                "\"matrixRows\": 34, \"recordsInFile\": 1}\n");
        // The header announces 3 records, the file holds 1 and a half: its --stats line on stdout,
        // then the notice on stderr.
        toolRow(
            "cut short", "short.fb --stats", 0,
            "\"pickCount\": 3, \"timeMax\": 137, \"cellCount\": 850, \"densityMax\": 20, "
            "\"matrixColumns\": 25, \"matrixRows\": 34, \"recordsInFile\": 1}\ncrossplot-render: "
            "short.fb: cut short: the header announces 3 records, the file holds 1; the missing "
            "ones read as picks at 0 m, 0 ms\n");
        toolRow("window below its minimum", "one.fb -o small.png --size 300x800", 0,
                "crossplot-render: --size 300x800 is below the window's minimum 922x700; using "
                "922x800\n");
        toolRow("unwritable image", "one.fb -o no/dir/x.png", 1, "cannot write no/dir/x.png");
    }

    void exitCodeAndMessage() { checkToolRow("crossplot-render", m_dir.path()); }

    // The matrix of the one pick: only column 1 of row 8 holds a value.
    void matrixOfOnePick()
    {
        QCOMPARE(runBuiltTool("crossplot-render", "one.fb --matrix m.bin", m_dir.path()).exitCode,
                 0);
        const QByteArray matrix = readBytes(m_dir.filePath("m.bin"));
        QStringList cells; // index:value of every cell that is not NaN
        for (int index = 0; index < matrix.size() / 8; ++index) {
            const double value = qFromLittleEndian<double>(matrix.constData() + 8 * index);
            if (!std::isnan(value))
                cells << QStringLiteral("%1:%2").arg(index).arg(value);
        }
        QCOMPARE(QString::number(matrix.size()) + " " + cells.join(' '), "6800 201:1");
        QVERIFY(!QFile::exists(m_dir.filePath("one.png")));
    }

    // A thread count that is not taken is said in one line, and the run goes on as usual.
    void badThreadCountIsSaid()
    {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("CROSSPLOT_LOAD_THREADS", "100000");
        const ToolRun run = runTool(CROSSPLOT_BIN_DIR "/crossplot-render", {"one.fb", "--stats"},
                                    environment, m_dir.path());
        QCOMPARE(run.exitCode, 0);
        QVERIFY2(
            run.err.startsWith("crossplot-render: CROSSPLOT_LOAD_THREADS=100000 is not a whole "
                               "number from 1 to ") &&
                run.err.count('\n') == 1 && run.out.contains("\"pickCount\": 1,"),
            qPrintable(run.err));
    }

    // An input that cannot seek is read once, in order, with the figures of the file.
    void pipeGivesTheFileFigures_data()
    {
        QTest::addColumn<QString>("arguments"); // the file first
        QTest::newRow("one pick") << "one.fb --stats";
        QTest::newRow("cut short") << "short.fb --stats --point-size 3";
        QTest::newRow("matrix") << "second.fb --matrix m.bin";
        QTest::newRow("illegal header") << "equal.fb --stats";
    }

    void pipeGivesTheFileFigures()
    {
        QFETCH(QString, arguments);
        const QString file = arguments.section(' ', 0, 0);
        const ToolRun fromFile = runBuiltTool("crossplot-render", arguments, m_dir.path());
        const QByteArray matrix = readBytes(m_dir.filePath("m.bin"));
        const ToolRun fromPipe = runPiped(
            file, CROSSPLOT_BIN_DIR "/crossplot-render",
            QStringList("/dev/stdin") + arguments.section(' ', 1).split(' '), m_dir.path());
        QCOMPARE(fromPipe.exitCode, fromFile.exitCode);
        QCOMPARE(fromPipe.out, fromFile.out);
        QCOMPARE(fromPipe.err, QString(fromFile.err).replace(file, "/dev/stdin"));
        QCOMPARE(readBytes(m_dir.filePath("m.bin")), matrix);
    }

    void imageHasTheAskedSize_data()
    {
        QTest::addColumn<QString>("arguments");
        QTest::addColumn<QString>("image");
        QTest::addColumn<QSize>("size");
        QTest::newRow("plot") << QString("one.fb -o plot.png --background 2") << QString("plot.png")
                              << QSize(904, 578);
        QTest::newRow("larger window")
            << QString("one.fb -o large.png --background 2 --window --size 1000x800")
            << QString("large.png") << QSize(1000, 800);
        // With several files, a folder of one image per file.
        QTest::newRow("windows below the minimum")
            << QString("one.fb second.fb -o pngs --background 2 --window --size 300x200")
            << QString("pngs/second.png") << QSize(922, 700);
    }

    void imageHasTheAskedSize()
    {
        QFETCH(QString, arguments);
        QFETCH(QString, image);
        QCOMPARE(runBuiltTool("crossplot-render", arguments, m_dir.path()).exitCode, 0);
        const QImage shown = QImage(m_dir.filePath(image)).convertToFormat(QImage::Format_RGB32);
        QTEST(shown.size(), "size");
        // Drawn, on the sky blue canvas that --background 2 asks for.
        const auto *pixels = reinterpret_cast<const QRgb *>(shown.constBits());
        QVERIFY(std::count(pixels, pixels + shown.width() * shown.height(), qRgb(100, 200, 255)) >
                10000);
    }
};

QTEST_GUILESS_MAIN(tst_CrossPlotRender)
#include "tst_CrossPlotRender.moc"
