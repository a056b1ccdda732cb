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
#include <sys/resource.h>

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

// The text drawn on the plot canvas over the density, its lines joined; empty when there is
// none.
QString canvasText(const CrossPlotMap &window)
{
    for (QwtPlotItem *item : window.plotWidget()->itemList(QwtPlotItem::Rtti_PlotTextLabel)) {
        if (item->isVisible())
            return static_cast<QwtPlotTextLabel *>(item)->text().text().simplified();
    }
    return QString();
}

int valuesDrawn(const CrossPlotMap &window)
{
    int drawn = 0;
    for (double value : window.currentRasterData()->valueMatrix())
        drawn += !std::isnan(value);
    return drawn;
}

} // namespace

// Whole windows over the fuzzer's forged and damaged files: each must open, draw and close
// without crash, hang or unbounded memory, and closing windows must give their memory back.
class tst_CrossPlotMapRobustness : public QObject
{
    Q_OBJECT

private slots:
    void forgedFileOpensAWindow_data();
    void forgedFileOpensAWindow();
    void windowsGiveTheirMemoryBack();
    void largeSurveys_data();
    void largeSurveys();
    void renderSaysWhatItCannotDraw();

private:
    static long residentKiB();
    QTemporaryDir m_dir;
};

void tst_CrossPlotMapRobustness::forgedFileOpensAWindow_data()
{
    QTest::addColumn<QString>("path");
    for (const char *subdir : {"regressions", "corpus"}) {
        const QDir dir(QStringLiteral(CROSSPLOT_FUZZ_DIR "/") + QLatin1String(subdir));
        for (const QString &name : dir.entryList(QDir::Files, QDir::Name))
            QTest::newRow(qPrintable(name)) << dir.filePath(name);
    }
    QTest::newRow("file vanished after the dialog's check") << QString();
}

void tst_CrossPlotMapRobustness::forgedFileOpensAWindow()
{
    QFETCH(QString, path);
    // Fuzzer inputs: 12 bytes of parameters (class flags, point size, limit, offsets), then
    // the FB file itself.
    QByteArray input;
    QFile file(path);
    if (!path.isEmpty() && file.open(QIODevice::ReadOnly))
        input = file.readAll();
    CrossPlotParam param;
    param.fbName = m_dir.filePath(QStringLiteral("vanished.fb"));
    int pointSize = 4;
    if (input.size() >= 12) {
        const char *bytes = input.constData();
        param.plotCorrectFB = bytes[0] & 1;
        param.plotErrorFB = bytes[0] & 2;
        param.plotAllFB = bytes[0] & 4;
        pointSize = qBound(1, int(uchar(bytes[1])), 20);
        param.minOffset = qFromLittleEndian<qint32>(bytes + 4);
        param.maxOffset = qFromLittleEndian<qint32>(bytes + 8);
        param.fbName = m_dir.filePath(QStringLiteral("forged.fb"));
        QFile fb(param.fbName);
        QVERIFY(fb.open(QIODevice::WriteOnly | QIODevice::Truncate));
        fb.write(input.mid(12));
    }
    CrossPlotMap window(param);
    window.show();
    window.findChild<QSpinBox *>(QStringLiteral("pointSize"))->setValue(pointSize);
    QVERIFY(!window.grab().isNull());
    const QString count = window.findChild<QLabel *>(QStringLiteral("forFBNumLabel"))->text();
    QVERIFY2(!count.contains(QLatin1String("nan")), qPrintable(count));
    // Whatever a header claims, memory stays bounded.
    QVERIFY2(residentKiB() < 1536 * 1024, qPrintable(QString::number(residentKiB())));
}

long tst_CrossPlotMapRobustness::residentKiB()
{
    QFile statm(QStringLiteral("/proc/self/statm"));
    if (!statm.open(QIODevice::ReadOnly))
        return 0;
    return statm.readAll().split(' ').value(1).toLong() * 4;
}

void tst_CrossPlotMapRobustness::windowsGiveTheirMemoryBack()
{
    // 200,000 picks over 0..3000 m and 1200 ms: with its grid and matrix a window holds about
    // 6 MB, so that windows that leak show in the resident set at once.
    const QString fb = m_dir.filePath(QStringLiteral("picks.fb"));
    {
        QFile file(fb);
        QVERIFY(file.open(QIODevice::WriteOnly));
        QByteArray bytes(16 + 84 * 200000, '\0');
        qToLittleEndian<qint32>(200000, bytes.data());
        qToLittleEndian<qint32>(3000, bytes.data() + 12);
        for (int k = 0; k < 200000; ++k) {
            char *record = bytes.data() + 16 + 84 * k;
            qToLittleEndian<qint32>(k % 3000, record + 8);
            qToLittleEndian<float>(float(k % 3000) / 2.5f, record + 60);
        }
        file.write(bytes);
    }
    CrossPlotParam param;
    param.fbName = fb;
    long afterFirst = 0;
    for (int i = 1; i <= 20; ++i) {
        auto *window = new CrossPlotMap(param);
        window->setAttribute(Qt::WA_DeleteOnClose);
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window));
        window->close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        if (i == 1)
            afterFirst = residentKiB();
    }
    QVERIFY(QApplication::topLevelWidgets().size() <= 1);
    qInfo("resident after the first close: %ld KiB, after the 20th: %ld KiB", afterFirst,
          residentKiB());
#if !defined(__SANITIZE_ADDRESS__)
    // The allocator may keep some freed memory, far less than a leaked window.
    QVERIFY2(residentKiB() - afterFirst < 8 * 1024,
             qPrintable(QStringLiteral("%1 KiB after the first close, %2 KiB after the 20th")
                            .arg(afterFirst)
                            .arg(residentKiB())));
#endif
}

// Surveys beyond every former cap draw in full; on a machine too small for them (simulated
// through the memory the admission reads) the window still opens with the true figures and
// says on its canvas what it could not draw.
void tst_CrossPlotMapRobustness::largeSurveys_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QByteArray>("memory"); // what the machine can give; empty: all it has
    QTest::addColumn<int>("pointSize");
    QTest::addColumn<QString>("count");
    QTest::addColumn<int>("densityMax");
    QTest::addColumn<QSize>("matrix");
    QTest::addColumn<int>("valuesDrawn");
    QTest::addColumn<QString>("notice"); // the start of the canvas text

    QTest::newRow("12 km spread at point size 1: 12,000 x 2,621 cells")
        << fbFile(2, 12000, {{11999, 2521.0f}, {5, 10.0f}}) << QByteArray() << 1 << "2 ( 100.00% )"
        << 20 << QSize(12000, 2621) << 2 << QString();
    QTest::newRow("one wild time of 60,000 ms in an 8 km survey")
        << fbFile(2, 8000, {{10, 37.0f}, {7999, 60000.0f}}) << QByteArray() << 20 << "2 ( 100.00% )"
        << 20 << QSize(400, 3005) << 2 << QString();
    QTest::newRow("copy cut short: 5,000,000 announced, 500 held")
        << fbFile(5000000, 3000, Picks(500, {1000, 500.0f})) << QByteArray() << 4
        << "5,000,000 ( 100.00% )" << 4999500 << QSize(750, 150) << 2 << QString();
    QTest::newRow("2,000,000,000 announced in 16 bytes")
        << fbFile(2000000000, 1000, {}) << QByteArray() << 4 << "2,000,000,000 ( 100.00% )"
        << 2000000000 << QSize(250, 25) << 1 << QString();
    // 16 bytes for the picks; the grid needs 24 bytes to sort them, or 750 x 275 counts.
    QTest::newRow("small machine: no room for the grid")
        << fbFile(2, 3000, {{10, 37.0f}, {2990, 1000.0f}}) << QByteArray("20") << 4
        << "2 ( 100.00% )" << 0 << QSize(0, 0) << 0
        << "No density can be drawn: the fine grid of 750 x 275 cells";
    // At point size 1 the matrix needs 3000 x 1100 doubles, at 4 only 750 x 275.
    QTest::newRow("small machine: point size 1 keeps the matrix of point size 4")
        << fbFile(2, 3000, {{10, 37.0f}, {2990, 1000.0f}}) << QByteArray("8M") << 1
        << "2 ( 100.00% )" << 20 << QSize(750, 275) << 2
        << "The density cannot be drawn at point size 1: its matrix of 3,000 x 1,100 cells";
}

void tst_CrossPlotMapRobustness::largeSurveys()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QByteArray, memory);
    QFETCH(int, pointSize);
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    CrossPlotParam param;
    param.fbName = m_dir.filePath(QStringLiteral("large.fb"));
    QFile fb(param.fbName);
    QVERIFY(fb.open(QIODevice::WriteOnly | QIODevice::Truncate));
    fb.write(bytes);
    fb.close();

    if (!memory.isEmpty())
        qputenv("CROSSPLOT_MEMORY_AVAILABLE", memory);
    CrossPlotMap window(param);
    window.show();
    window.findChild<QSpinBox *>(QStringLiteral("pointSize"))->setValue(pointSize);
    qunsetenv("CROSSPLOT_MEMORY_AVAILABLE");

    QTEST(window.findChild<QLabel *>(QStringLiteral("forFBNumLabel"))->text(), "count");
    QTEST(window.densityScaleMax(), "densityMax");
    QTEST(QSize(window.densityMatrixColumns(), window.densityMatrixRows()), "matrix");
    QTEST(valuesDrawn(window), "valuesDrawn");
    QFETCH(QString, notice);
    QVERIFY2(notice.isEmpty() ? canvasText(window).isEmpty()
                              : canvasText(window).startsWith(notice),
             qPrintable(canvasText(window)));
}

// crossplot-render prints the true figures, says on stderr what it could not draw, and exits 3.
void tst_CrossPlotMapRobustness::renderSaysWhatItCannotDraw()
{
    const QString fb = m_dir.filePath(QStringLiteral("refused.fb"));
    QFile file(fb);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(fbFile(3, 3000, {{10, 37.0f}, {2990, 1000.0f}}));
    file.close();
    QProcess render;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("CROSSPLOT_MEMORY_AVAILABLE"), QStringLiteral("30"));
    render.setProcessEnvironment(environment);
    render.start(QStringLiteral(CROSSPLOT_BIN_DIR "/crossplot-render"),
                 {fb, QStringLiteral("--stats")});
    QVERIFY(render.waitForFinished(60000));
    QCOMPARE(render.exitCode(), 3);
    QVERIFY(render.readAllStandardOutput().startsWith(
        "{\"recordCount\": 3, \"offsetLow\": 0, \"offsetHigh\": 3000, \"pickCount\": 3, "
        "\"timeMax\": 1100,"));
    const QString error = QString::fromUtf8(render.readAllStandardError());
    QVERIFY2(error.contains(QLatin1String("No density can be drawn: the fine grid of 750 x 275 "
                                          "cells")),
             qPrintable(error));
}

QTEST_MAIN(tst_CrossPlotMapRobustness)
#include "tst_CrossPlotMapRobustness.moc"
