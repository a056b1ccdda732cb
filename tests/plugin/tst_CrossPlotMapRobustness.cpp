#include "CrossPlotMap.h"
#include "FBDataCase.h"
#include "TestSupport.h"

#include <cmath>
#include <qwt_matrix_raster_data.h>
#include <qwt_plot.h>
#include <qwt_plot_textlabel.h>

namespace {

using Ints = QVector<int>;

// An input as the fuzzer writes it: 12 bytes of parameters (correct picks, a point size, no
// offset limits), then an FB file.
QByteArray input(char pointSize, const QByteArray &file)
{
    return QByteArray("\1") + pointSize + QByteArray(10, '\0') + file;
}

long residentKiB()
{
    QFile statm(QStringLiteral("/proc/self/statm"));
    return statm.open(QIODevice::ReadOnly) ? statm.readAll().split(' ').value(1).toLong() * 4 : 0;
}

} // namespace

// Whole windows over forged, damaged and huge files: each must open, draw and close without
// crash, hang or unbounded memory, and say on its canvas what it could not draw.
class tst_CrossPlotMapRobustness : public QObject
{
    Q_OBJECT

    QTemporaryDir dir;

private slots:
    void cleanup() { qunsetenv("CROSSPLOT_MEMORY_AVAILABLE"); }

    // Every input first replays the widget-free path as the fuzzer ran it on its small machine.
    // The fuzzer's files, and one that vanished after the dialog's check, open, draw and keep
    // memory bounded. Surveys beyond every former cap draw in full; on a machine too small for
    // them (simulated through the memory the admission reads) the window still opens with the
    // true figures and says on its canvas what it could not draw.
    void window_data()
    {
        QTest::addColumn<QByteArray>("input");
        QTest::addColumn<QByteArray>("memory"); // what the machine can give; empty: all it has
        QTest::addColumn<QString>("count");     // empty: the figures are not checked
        QTest::addColumn<Ints>("figures");   // density maximum, matrix columns, rows, values drawn
        QTest::addColumn<QString>("notice"); // the start of the canvas text
        const auto row = [](const QString &name, const QByteArray &input, const char *count = "",
                            const Ints &figures = {}, const char *memory = "",
                            const char *notice = "") {
            QTest::newRow(qPrintable(name))
                << input << QByteArray(memory) << QString(count) << figures << QString(notice);
        };
        for (const char *subdir : {"regressions", "corpus"}) {
            const QDir fuzz(QStringLiteral(CROSSPLOT_FUZZ_DIR "/") + QLatin1String(subdir));
            for (const QString &name : fuzz.entryList(QDir::Files, QDir::Name)) {
                QFile file(fuzz.filePath(name));
                QVERIFY(file.open(QIODevice::ReadOnly));
                row(subdir + ("/" + name), file.readAll());
            }
        }
        row("file vanished after the dialog's check", {});
        const QByteArray two = input(4, fbBytes(0, 3000, {{10, 37.0f, 0}, {2990, 1000.0f, 0}}));
        row("12 km spread at point size 1: 12,000 x 2,621 cells",
            input(1, fbBytes(0, 12000, {{11999, 2521.0f, 0}, {5, 10.0f, 0}})), "2 ( 100.00% )",
            {20, 12000, 2621, 2});
        row("2,000,000,000 announced in 16 bytes", input(4, fbBytes(0, 1000, {}, 2000000000)),
            "2,000,000,000 ( 100.00% )", {2000000000, 250, 25, 1});
        row("too large for one matrix at point size 1: 17,000 x 16,100 cells",
            input(1, fbBytes(0, 17000, {{10, 16000.0f, 0}})), "1 ( 100.00% )", {20, 4250, 4025, 1},
            "",
            "The density cannot be drawn at point size 1: its matrix of 17,000 x 16,100 cells is "
            "larger than one matrix can hold (268,435,447 cells). A larger point size or a "
            "narrower offset range would help.");
        // 16 bytes for the picks; the grid needs 24 bytes to sort them, or 750 x 275 counts.
        row("small machine: no room for the grid", two, "2 ( 100.00% )", {0, 0, 0, 0}, "20",
            "No density can be drawn: the fine grid of 750 x 275 cells");
        // At point size 1 the matrix needs 3000 x 1100 doubles, at 4 only 750 x 275.
        row("small machine: point size 1 keeps the matrix of point size 4",
            two.left(1) + '\1' + two.mid(2), "2 ( 100.00% )", {20, 750, 275, 2}, "8M",
            "The density cannot be drawn at point size 1: its matrix of 3,000 x 1,100 cells");
    }

    void window()
    {
        QFETCH(QByteArray, input);
        QFETCH(QByteArray, memory);
        QFETCH(QString, count);
        QFETCH(QString, notice);
        qputenv("CROSSPLOT_MEMORY_AVAILABLE", "256K");
        const QString failure = FBDataCase::run(input);
        QVERIFY2(failure.isEmpty(), qPrintable(failure));
        qunsetenv("CROSSPLOT_MEMORY_AVAILABLE");
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
        const char *bytes = input.constData();
        CrossPlotParam param;
        param.fbName = dir.filePath(QStringLiteral("vanished.fb"));
        if (input.size() >= 12) {
            param.plotCorrectFB = bytes[0] & 1;
            param.plotErrorFB = bytes[0] & 2;
            param.plotAllFB = bytes[0] & 4;
            param.minOffset = qFromLittleEndian<qint32>(bytes + 4);
            param.maxOffset = qFromLittleEndian<qint32>(bytes + 8);
            param.fbName = dir.filePath(QStringLiteral("test.fb"));
            QVERIFY(writeFile(param.fbName, input.mid(12)));
        }
        const int pointSize = input.size() >= 12 ? qBound(1, int(uchar(bytes[1])), 20) : 4;
        if (!memory.isEmpty())
            qputenv("CROSSPLOT_MEMORY_AVAILABLE", memory);
        CrossPlotMap window(param);
        window.show();
        window.findChild<QSpinBox *>(QStringLiteral("pointSize"))->setValue(pointSize);
        QVERIFY(!window.grab().isNull());
        QVERIFY2(residentKiB() < 1536 * 1024, qPrintable(QString::number(residentKiB())));
        const QString shown = window.findChild<QLabel *>(QStringLiteral("forFBNumLabel"))->text();
        QVERIFY2(!shown.contains(QLatin1String("nan")), qPrintable(shown));
        if (count.isEmpty())
            return;
        QCOMPARE(shown, count);
        int drawn = 0;
        for (double value : window.currentRasterData()->valueMatrix())
            drawn += !std::isnan(value);
        const CrossPlotFigures figures = window.figures();
        QTEST((Ints{figures.densityMax, figures.matrixColumns, figures.matrixRows, drawn}),
              "figures");
        // The text drawn on the canvas over the density, its lines joined.
        QString canvas;
        for (QwtPlotItem *item : window.plotWidget()->itemList(QwtPlotItem::Rtti_PlotTextLabel))
            if (item->isVisible())
                canvas = static_cast<QwtPlotTextLabel *>(item)->text().text().simplified();
        QVERIFY2(notice.isEmpty() ? canvas.isEmpty() : canvas.startsWith(notice),
                 qPrintable(canvas));
    }

    // 200,000 picks: with its grid and matrix a window holds about 6 MB, so that windows that
    // leak show in the resident set at once.
    void windowsGiveTheirMemoryBack()
    {
        QVector<FBPick> picks;
        for (int k = 0; k < 200000; ++k)
            picks.append({k % 3000, float(k % 3000) / 2.5f, 0});
        CrossPlotParam param;
        param.fbName = dir.filePath(QStringLiteral("test.fb"));
        QVERIFY(writeFile(param.fbName, fbBytes(0, 3000, picks)));
        long afterFirst = 0;
        for (int i = 1; i <= 20; ++i) {
            auto *window = new CrossPlotMap(param);
            window->setAttribute(Qt::WA_DeleteOnClose);
            window->show();
            QVERIFY(QTest::qWaitForWindowExposed(window));
            window->close();
            QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
            afterFirst = i == 1 ? residentKiB() : afterFirst;
        }
        QVERIFY(QApplication::topLevelWidgets().size() <= 1);
        qInfo("resident after the first close: %ld KiB, after the 20th: %ld KiB", afterFirst,
              residentKiB());
#if !defined(__SANITIZE_ADDRESS__)
        // The allocator may keep some freed memory, far less than a leaked window.
        QVERIFY(residentKiB() - afterFirst < 8 * 1024);
#endif
    }
};

QTEST_MAIN(tst_CrossPlotMapRobustness)
#include "tst_CrossPlotMapRobustness.moc"
