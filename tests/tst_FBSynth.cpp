#include "FBSynth.h"

#include <QDataStream>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

// Decodes with its own little-endian reader rather than the plug-in's record helpers, so that
// a byte-order mistake shared by writer and reader cannot hide.
class tst_FBSynth : public QObject
{
    Q_OBJECT

private slots:
    void fileDecodesToWhatWasAsked();
    void sameArgumentsGiveSameBytes();
    void fbgenExitCodes_data();
    void fbgenExitCodes();

private:
    QByteArray write(const QString &name, const FBSynthOptions &options);
    QTemporaryDir m_dir;
};

QByteArray tst_FBSynth::write(const QString &name, const FBSynthOptions &options)
{
    QFile file(m_dir.filePath(name));
    if (!FBSynth::write(file.fileName(), options) || !file.open(QIODevice::ReadOnly))
        return QByteArray();
    return file.readAll();
}

void tst_FBSynth::fileDecodesToWhatWasAsked()
{
    const int records = 20000;
    FBSynthOptions options;
    options.records = records;
    options.negativeClassShare = 0.0;
    const QByteArray bytes = write(QStringLiteral("decode.fb"), options);
    QCOMPARE(bytes.size(), 16 + 84 * records);

    QDataStream in(bytes);
    in.setByteOrder(QDataStream::LittleEndian);
    in.setFloatingPointPrecision(QDataStream::SinglePrecision);
    qint32 header[4];
    for (qint32 &word : header)
        in >> word;
    QCOMPARE(header[0], records);
    QCOMPARE(header[2], 0);
    QCOMPARE(header[3], 3000);
    int errors = 0, negativeOffsets = 0;
    float latest = 0;
    for (int k = 0; k < records; ++k) {
        qint32 offset, fbClass;
        float time;
        in.skipRawData(8);
        in >> offset;
        in.skipRawData(48);
        in >> time >> fbClass;
        in.skipRawData(16);
        QVERIFY(qAbs(offset) < 3000 && qIsFinite(time) && fbClass >= 0);
        errors += fbClass >= 2;
        negativeOffsets += offset < 0;
        if (fbClass < 2)
            latest = qMax(latest, time);
    }
    // 5 % erroneous picks by default; the deepest refractor arrives by 180 + 3000 / (5.5 * 0.94)
    // = 761 ms at 3000 m, plus a static of at most 20 ms and noise of at most 14 ms.
    QVERIFY2(errors >= 800 && errors <= 1200, qPrintable(QString::number(errors)));
    QVERIFY2(latest <= 800.0f, qPrintable(QString::number(latest)));
    // Both sides of the source are covered.
    QVERIFY(negativeOffsets > records / 3 && negativeOffsets < 2 * records / 3);
}

void tst_FBSynth::sameArgumentsGiveSameBytes()
{
    FBSynthOptions options;
    options.records = 3000;
    options.seed = 11;
    const QByteArray first = write(QStringLiteral("a.fb"), options);
    QCOMPARE(first.size(), 16 + 84 * 3000);
    QCOMPARE(write(QStringLiteral("b.fb"), options), first);
    options.seed = 12;
    QVERIFY(write(QStringLiteral("c.fb"), options) != first);
}

void tst_FBSynth::fbgenExitCodes_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QByteArray>("message");
    QTest::newRow("--help") << QStringList{"--help"} << 0 << QByteArray("--header-count <n>");
    QTest::newRow("--version") << QStringList{"--version"} << 0
                               << QByteArray("fbgen " CROSSPLOT_VERSION "\n");
    QTest::newRow("no output") << QStringList{"-n", "10"} << 2 << QByteArray("no output file");
    QTest::newRow("two outputs") << QStringList{"x.fb", "y.fb"} << 2
                                 << QByteArray("more than one output file");
    QTest::newRow("unknown option") << QStringList{"--frobnicate", "1", "x.fb"} << 2
                                    << QByteArray("Unknown option 'frobnicate'");
    QTest::newRow("value missing")
        << QStringList{"x.fb", "-n"} << 2 << QByteArray("Missing value after '-n'");
    QTest::newRow("negative count")
        << QStringList{"-n", "-5", "x.fb"} << 2 << QByteArray("bad value \"-5\" for --records");
    QTest::newRow("shares above one")
        << QStringList{"--error-share", "1.5", "x.fb"} << 2 << QByteArray("(see fbgen --help)\n");
    QTest::newRow("header word beyond int32")
        << QStringList{"--header-count", "3000000000", "x.fb"} << 2
        << QByteArray("bad value \"3000000000\" for --header-count");
    QTest::newRow("forged header")
        << QStringList{"-n", "0", "--header-count", "2000000000", "x.fb"} << 0 << QByteArray();
}

void tst_FBSynth::fbgenExitCodes()
{
    QFETCH(QStringList, arguments);
    QFETCH(int, exitCode);
    QFETCH(QByteArray, message);
    QFile::remove(m_dir.filePath(QStringLiteral("x.fb")));
    QProcess fbgen;
    fbgen.setWorkingDirectory(m_dir.path());
    fbgen.start(QStringLiteral(CROSSPLOT_BIN_DIR "/fbgen"), arguments);
    QVERIFY(fbgen.waitForFinished(30000));
    QCOMPARE(fbgen.exitCode(), exitCode);
    const QByteArray out = fbgen.readAllStandardOutput(), err = fbgen.readAllStandardError();
    QVERIFY2((out + err).contains(message), (out + err).constData());
    if (exitCode == 2) // one line, starting with the program's name
        QVERIFY2(err.startsWith("fbgen: ") && err.count('\n') == 1, err.constData());
    QFile file(m_dir.filePath(QStringLiteral("x.fb")));
    QCOMPARE(file.open(QIODevice::ReadOnly),
             arguments.contains(QStringLiteral("-n")) && exitCode == 0);
    if (file.isOpen()) // 2,000,000,000 little-endian, and nothing after the header
        QCOMPARE(file.readAll(), QByteArray::fromHex("009435775400000000000000b80b0000"));
}

QTEST_GUILESS_MAIN(tst_FBSynth)
#include "tst_FBSynth.moc"
