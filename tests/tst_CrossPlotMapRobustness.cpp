#include "CrossPlotMap.h"

#include <QApplication>
#include <QDir>
#include <QLabel>
#include <QProcess>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QtEndian>
#include <QtTest>
#include <cmath>
#include <qwt_matrix_raster_data.h>
#include <qwt_plot.h>
#include <qwt_plot_textlabel.h>

namespace {

using Picks = QVector<QPair<int, float>>; // offset and time of records of class 0

// An FB file whose header announces count records over the offsets 0 ... high.
QByteArray fbFile(qint32 count, qint32 high, const Picks &picks)
{
    QByteArray bytes(16 + 84 * picks.size(), '\0');
    qToLittleEndian<qint32>(count, bytes.data());
    qToLittleEndian<qint32>(high, bytes.data() + 12);
    for (int k = 0; k < picks.size(); ++k) {
        qToLittleEndian<qint32>(picks.at(k).first, bytes.data() + 16 + 84 * k + 8);
        qToLittleEndian<float>(picks.at(k).second, bytes.data() + 16 + 84 * k + 60);
    }
    return bytes;
}

QString writeFile(const QTemporaryDir &dir, const QByteArray &bytes)
{
    QFile file(dir.filePath(QStringLiteral("test.fb")));
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(bytes) != bytes.size())
        qFatal("cannot write the test file");
    return file.fileName();
}

long residentKiB()
{
    QFile statm(QStringLiteral("/proc/self/statm"));
    return statm.open(QIODevice::ReadOnly) ? statm.readAll().split(' ').value(1).toLong() * 4 : 0;
}

QString text(const QWidget &window, const char *label)
{
    return window.findChild<QLabel *>(QLatin1String(label))->text();
}

} // namespace

// Whole windows over forged, damaged and huge files: each must open, draw and close without
// crash, hang or unbounded memory, and say on its canvas what it could not draw.
class tst_CrossPlotMapRobustness : public QObject
{
    Q_OBJECT

    QTemporaryDir dir;

private slots:
    // Each input: 12 bytes of parameters (class flags, point size, limits) as the fuzzer
    // writes them, then the FB file; none: the file vanished after the dialog's check. Whatever
    // a header claims, the window opens, draws and keeps its memory bounded. Surveys beyond
    // every former cap draw in full; on a machine too small for them (simulated through the
    // memory the admission reads) the window still opens with the true figures and says on its
    // canvas what it could not draw, and crossplot-render says it on stderr and exits 3.
    void window_data()
    {
        QTest::addColumn<QByteArray>("input");
        QTest::addColumn<QByteArray>("memory"); // what the machine can give; empty: all it has
        QTest::addColumn<QString>("count");     // empty: the figures are not checked
        QTest::addColumn<int>("densityMax");
        QTest::addColumn<QSize>("matrix");
        QTest::addColumn<int>("valuesDrawn");
        QTest::addColumn<QString>("notice"); // the start of the canvas text
        for (const char *subdir : {"regressions", "corpus"}) {
            const QDir fuzz(QStringLiteral(CROSSPLOT_FUZZ_DIR "/") + QLatin1String(subdir));
            for (const QString &name : fuzz.entryList(QDir::Files, QDir::Name)) {
                QFile file(fuzz.filePath(name));
                QVERIFY(file.open(QIODevice::ReadOnly));
                QTest::newRow(qPrintable(name)) << file.readAll() << QByteArray() << QString() << 0
                                                << QSize() << 0 << QString();
            }
        }
        QTest::newRow("file vanished after the dialog's check")
            << QByteArray() << QByteArray() << QString() << 0 << QSize() << 0 << QString();
        const auto at = [](int pointSize) {
            return QByteArray(1, 1) + char(pointSize) + QByteArray(10, 0);
        };
        const QByteArray two = at(4) + fbFile(2, 3000, {{10, 37.0f}, {2990, 1000.0f}});
        QTest::newRow("12 km spread at point size 1: 12,000 x 2,621 cells")
            << at(1) + fbFile(2, 12000, {{11999, 2521.0f}, {5, 10.0f}}) << QByteArray()
            << "2 ( 100.00% )" << 20 << QSize(12000, 2621) << 2 << QString();
        QTest::newRow("one wild time of 60,000 ms in an 8 km survey")
            << at(20) + fbFile(2, 8000, {{10, 37.0f}, {7999, 60000.0f}}) << QByteArray()
            << "2 ( 100.00% )" << 20 << QSize(400, 3005) << 2 << QString();
        QTest::newRow("copy cut short: 5,000,000 announced, 500 held")
            << at(4) + fbFile(5000000, 3000, Picks(500, {1000, 500.0f})) << QByteArray()
            << "5,000,000 ( 100.00% )" << 4999500 << QSize(750, 150) << 2 << QString();
        QTest::newRow("2,000,000,000 announced in 16 bytes")
            << at(4) + fbFile(2000000000, 1000, {}) << QByteArray() << "2,000,000,000 ( 100.00% )"
            << 2000000000 << QSize(250, 25) << 1 << QString();
        // 16 bytes for the picks; the grid needs 24 bytes to sort them, or 750 x 275 counts.
        QTest::newRow("small machine: no room for the grid")
            << two << QByteArray("20") << "2 ( 100.00% )" << 0 << QSize(0, 0) << 0
            << "No density can be drawn: the fine grid of 750 x 275 cells";
        // At point size 1 the matrix needs 3000 x 1100 doubles, at 4 only 750 x 275.
        QTest::newRow("small machine: point size 1 keeps the matrix of point size 4")
            << at(1) + two.mid(12) << QByteArray("8M") << "2 ( 100.00% )" << 20 << QSize(750, 275)
            << 2
            << "The density cannot be drawn at point size 1: its matrix of 3,000 x 1,100 cells";
    }

    void window()
    {
        QFETCH(QByteArray, input);
        QFETCH(QByteArray, memory);
        QFETCH(QString, count);
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
            param.fbName = writeFile(dir, input.mid(12));
        }
        const int pointSize = input.size() >= 12 ? qBound(1, int(uchar(bytes[1])), 20) : 4;
        if (!memory.isEmpty())
            qputenv("CROSSPLOT_MEMORY_AVAILABLE", memory);
        CrossPlotMap window(param);
        window.show();
        window.findChild<QSpinBox *>(QStringLiteral("pointSize"))->setValue(pointSize);
        qunsetenv("CROSSPLOT_MEMORY_AVAILABLE");
        QVERIFY(!window.grab().isNull());
        QVERIFY2(residentKiB() < 1536 * 1024, qPrintable(QString::number(residentKiB())));
        const QString shown = text(window, "forFBNumLabel");
        QVERIFY2(!shown.contains(QLatin1String("nan")), qPrintable(shown));
        if (count.isEmpty())
            return;
        QCOMPARE(shown, count);
        QTEST(window.densityScaleMax(), "densityMax");
        QTEST(QSize(window.densityMatrixColumns(), window.densityMatrixRows()), "matrix");
        int drawn = 0;
        for (double value : window.currentRasterData()->valueMatrix())
            drawn += !std::isnan(value);
        QTEST(drawn, "valuesDrawn");
        // The text drawn on the canvas over the density, its lines joined.
        QString canvas;
        for (QwtPlotItem *item : window.plotWidget()->itemList(QwtPlotItem::Rtti_PlotTextLabel))
            if (item->isVisible())
                canvas = static_cast<QwtPlotTextLabel *>(item)->text().text().simplified();
        QFETCH(QString, notice);
        QVERIFY2(notice.isEmpty() ? canvas.isEmpty() : canvas.startsWith(notice),
                 qPrintable(canvas));
        if (memory.isEmpty())
            return;
        QProcess render;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("CROSSPLOT_MEMORY_AVAILABLE"),
                           QString::fromLatin1(memory));
        render.setProcessEnvironment(environment);
        render.start(QStringLiteral(CROSSPLOT_BIN_DIR "/crossplot-render"),
                     {param.fbName, QStringLiteral("--stats"), QStringLiteral("--point-size"),
                      QString::number(pointSize)});
        QVERIFY(render.waitForFinished(60000));
        QCOMPARE(render.exitCode(), 3);
        QVERIFY(render.readAllStandardOutput().startsWith(
            "{\"recordCount\": 2, \"offsetLow\": 0, \"offsetHigh\": 3000, \"pickCount\": 2, "
            "\"timeMax\": 1100,"));
        const QString error = QString::fromUtf8(render.readAllStandardError()).simplified();
        QVERIFY2(error.contains(notice), qPrintable(error));
    }

    // 200,000 picks: with its grid and matrix a window holds about 6 MB, so that windows that
    // leak show in the resident set at once.
    void windowsGiveTheirMemoryBack()
    {
        Picks picks;
        for (int k = 0; k < 200000; ++k)
            picks.append({k % 3000, float(k % 3000) / 2.5f});
        CrossPlotParam param;
        param.fbName = writeFile(dir, fbFile(200000, 3000, picks));
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
