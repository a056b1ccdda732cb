#include "FBSynth.h"

#include <QDataStream>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

// Decodes files with its own little-endian reader rather than the plug-in's record helpers,
// so that a byte-order mistake shared by writer and reader cannot hide.
class tst_FBSynth : public QObject
{
    Q_OBJECT

private slots:
    void fileDecodesToWhatWasAsked_data();
    void fileDecodesToWhatWasAsked();
    void sameArgumentsGiveSameBytes();
    void badArgumentsGetUsage_data();
    void badArgumentsGetUsage();

private:
    QTemporaryDir m_dir;
};

namespace {

struct Decoded
{
    qint32 header[4] = {0, 0, 0, 0};
    qint64 records = 0;
    qint64 errorPicks = 0;
    qint64 negativeClassPicks = 0;
    qint64 negativeOffsets = 0;
    qint32 largestAbsOffset = 0;
    float latestCorrectTime = 0;
    bool timesFinite = true;
};

Decoded decode(const QString &fileName)
{
    Decoded d;
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly))
        return d;
    QDataStream in(&file);
    in.setByteOrder(QDataStream::LittleEndian);
    in.setFloatingPointPrecision(QDataStream::SinglePrecision);
    for (qint32 &word : d.header)
        in >> word;
    QByteArray record(84, 0);
    while (file.read(record.data(), 84) == 84) {
        QDataStream r(record);
        r.setByteOrder(QDataStream::LittleEndian);
        r.setFloatingPointPrecision(QDataStream::SinglePrecision);
        qint32 offset, fbClass;
        float time;
        r.skipRawData(8);
        r >> offset;
        r.skipRawData(48);
        r >> time >> fbClass;
        ++d.records;
        d.errorPicks += fbClass >= 2;
        d.negativeClassPicks += fbClass < 0;
        d.negativeOffsets += offset < 0;
        d.largestAbsOffset = qMax(d.largestAbsOffset, qAbs(offset));
        d.timesFinite = d.timesFinite && qIsFinite(time);
        if (fbClass < 2)
            d.latestCorrectTime = qMax(d.latestCorrectTime, time);
    }
    return d;
}

} // namespace

void tst_FBSynth::fileDecodesToWhatWasAsked_data()
{
    QTest::addColumn<qint64>("records");
    QTest::addColumn<double>("errorShare");
    QTest::addColumn<int>("maxOffset");
    QTest::addColumn<qint64>("minErrors");
    QTest::addColumn<qint64>("maxErrors");
    QTest::addColumn<float>("latestTimeBelow");

    // A 3000 m spread: the deepest refractor arrives by 180 + 3000 / (5.5 * 0.94) = 761 ms,
    // plus a static of at most 20 ms and noise of at most 14 ms.
    QTest::newRow("empty file") << qint64(0) << 0.05 << 3000 << qint64(0) << qint64(0) << 1.0f;
    QTest::newRow("one record, no errors")
        << qint64(1) << 0.0 << 3000 << qint64(0) << qint64(0) << 800.0f;
    QTest::newRow("20000 records, 5% errors")
        << qint64(20000) << 0.05 << 3000 << qint64(800) << qint64(1200) << 800.0f;
    QTest::newRow("all errors") << qint64(5000) << 1.0 << 1000 << qint64(5000) << qint64(5000)
                                << 1.0f;
    QTest::newRow("short spread") << qint64(3000) << 0.0 << 200 << qint64(0) << qint64(0) << 160.0f;
}

void tst_FBSynth::fileDecodesToWhatWasAsked()
{
    QFETCH(qint64, records);
    QFETCH(double, errorShare);
    QFETCH(int, maxOffset);
    QFETCH(qint64, minErrors);
    QFETCH(qint64, maxErrors);
    QFETCH(float, latestTimeBelow);

    FBSynthOptions options;
    options.records = records;
    options.errorShare = errorShare;
    options.negativeClassShare = 0.0;
    options.maxOffset = maxOffset;
    const QString fileName = m_dir.filePath(QStringLiteral("decode.fb"));
    QString error;
    QVERIFY2(FBSynth::write(fileName, options, {}, &error), qPrintable(error));

    QCOMPARE(QFileInfo(fileName).size(), 16 + 84 * records);
    const Decoded d = decode(fileName);
    QCOMPARE(d.records, records);
    QCOMPARE(d.header[0], qint32(records));
    QCOMPARE(d.header[2], 0);
    QCOMPARE(d.header[3], maxOffset);
    QVERIFY(d.largestAbsOffset < maxOffset);
    QVERIFY2(d.errorPicks >= minErrors && d.errorPicks <= maxErrors,
             qPrintable(QString::number(d.errorPicks)));
    QCOMPARE(d.negativeClassPicks, qint64(0));
    QVERIFY(d.timesFinite);
    QVERIFY2(d.latestCorrectTime < latestTimeBelow,
             qPrintable(QString::number(d.latestCorrectTime)));
    if (records >= 1000) {
        // Both sides of the source are covered.
        QVERIFY(d.negativeOffsets > records / 3 && d.negativeOffsets < 2 * records / 3);
    }
}

void tst_FBSynth::sameArgumentsGiveSameBytes()
{
    auto bytes = [this](quint64 seed, const QString &name) {
        FBSynthOptions options;
        options.records = 3000;
        options.seed = seed;
        options.negativeClassShare = 0.01;
        const QString fileName = m_dir.filePath(name);
        FBSynth::write(fileName, options);
        QFile file(fileName);
        file.open(QIODevice::ReadOnly);
        return file.readAll();
    };
    const QByteArray first = bytes(11, QStringLiteral("a.fb"));
    QCOMPARE(first.size(), 16 + 84 * 3000);
    QCOMPARE(bytes(11, QStringLiteral("b.fb")), first);
    QVERIFY(bytes(12, QStringLiteral("c.fb")) != first);
    QVERIFY(decode(m_dir.filePath(QStringLiteral("a.fb"))).negativeClassPicks > 0);
}

void tst_FBSynth::badArgumentsGetUsage_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("exitCode");
    QTest::newRow("no output") << QStringList{"-n", "10"} << 2;
    QTest::newRow("unknown option") << QStringList{"--frobnicate", "1", "x.fb"} << 2;
    QTest::newRow("value missing") << QStringList{"x.fb", "-n"} << 2;
    QTest::newRow("not a number") << QStringList{"-n", "ten", "x.fb"} << 2;
    QTest::newRow("negative count") << QStringList{"-n", "-5", "x.fb"} << 2;
    QTest::newRow("shares above one") << QStringList{"--error-share", "1.5", "x.fb"} << 2;
    QTest::newRow("header word out of range")
        << QStringList{"--header-count", "3000000000", "x.fb"} << 2;
    QTest::newRow("two outputs") << QStringList{"a.fb", "b.fb"} << 2;
    QTest::newRow("forged header, no records")
        << QStringList{"-n", "0", "--header-count", "2000000000", "forged.fb"} << 0;
}

void tst_FBSynth::badArgumentsGetUsage()
{
    QFETCH(QStringList, arguments);
    QFETCH(int, exitCode);
    QProcess fbgen;
    fbgen.setWorkingDirectory(m_dir.path());
    fbgen.start(QStringLiteral(CROSSPLOT_BIN_DIR "/fbgen"), arguments);
    QVERIFY(fbgen.waitForFinished(30000));
    QCOMPARE(fbgen.exitStatus(), QProcess::NormalExit);
    QCOMPARE(fbgen.exitCode(), exitCode);
    const QByteArray err = fbgen.readAllStandardError();
    if (exitCode == 2) {
        QVERIFY(err.contains("usage: fbgen"));
        QVERIFY(!QFile::exists(m_dir.filePath(QStringLiteral("x.fb"))));
    } else {
        const Decoded d = decode(m_dir.filePath(QStringLiteral("forged.fb")));
        QCOMPARE(d.header[0], 2000000000);
        QCOMPARE(d.records, qint64(0));
    }
}

QTEST_GUILESS_MAIN(tst_FBSynth)
#include "tst_FBSynth.moc"
