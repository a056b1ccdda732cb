#include "CrossPlotMap.h"

#include <QApplication>
#include <QDir>
#include <QLabel>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QtEndian>
#include <QtTest>
#include <sys/resource.h>

// Whole windows over the fuzzer's forged and damaged files: each must open, draw and close
// without crash, hang or unbounded memory, and closing windows must give their memory back.
class tst_CrossPlotMapRobustness : public QObject
{
    Q_OBJECT

private slots:
    void forgedFileOpensAWindow_data();
    void forgedFileOpensAWindow();
    void windowsGiveTheirMemoryBack();

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

QTEST_MAIN(tst_CrossPlotMapRobustness)
#include "tst_CrossPlotMapRobustness.moc"
