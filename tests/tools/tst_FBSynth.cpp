#include "TestSupport.h"

#include <QtTest>

// Runs fbgen as a user would. Decodes with its own little-endian reader rather than the plug-in's
// record helpers, so that a byte-order mistake shared by writer and reader cannot hide.
class tst_FBSynth : public QObject
{
    Q_OBJECT
    QTemporaryDir m_dir;

private slots:
    void fileDecodesToWhatWasAskedAndRepeats()
    {
        for (const char *arguments :
             {"-n 20000 -s 11 --negative-share 0 a.fb", "-n 20000 -s 11 --negative-share 0 b.fb",
              "-n 20000 -s 12 --negative-share 0 c.fb", "-n 0 --header-count 2000000000 d.fb"})
            runOk("fbgen", arguments, m_dir.path());
        // A forged header alone: 2,000,000,000 little-endian, and no records.
        QCOMPARE(readBytes(m_dir.filePath("d.fb")).toHex(),
                 QByteArray("009435775400000000000000b80b0000"));
        const QByteArray bytes = readBytes(m_dir.filePath("a.fb"));
        QCOMPARE(readBytes(m_dir.filePath("b.fb")), bytes);
        QVERIFY(readBytes(m_dir.filePath("c.fb")) != bytes);
        QCOMPARE(bytes.size(), 16 + 84 * 20000);
        QCOMPARE(bytes.left(16).toHex(), QByteArray("204e00005400000000000000b80b0000"));
        int errors = 0, negativeOffsets = 0;
        float latest = 0;
        for (const char *record = bytes.constData() + 16; record < bytes.constEnd(); record += 84) {
            const qint32 offset = qFromLittleEndian<qint32>(record + 8);
            const qint32 fbClass = qFromLittleEndian<qint32>(record + 64);
            const float time = qFromLittleEndian<float>(record + 60);
            QVERIFY(qAbs(offset) < 3000 && qIsFinite(time) && fbClass >= 0);
            errors += fbClass >= 2;
            negativeOffsets += offset < 0;
            latest = fbClass < 2 ? qMax(latest, time) : latest;
        }
        // 5 % erroneous picks by default; the deepest refractor arrives by 180 + 3000 / (5.5 *
        // 0.94) = 761 ms at 3000 m, plus a static of at most 20 ms and noise of at most 14 ms.
        QVERIFY2(errors >= 800 && errors <= 1200, qPrintable(QString::number(errors)));
        QVERIFY2(latest <= 800.0f, qPrintable(QString::number(latest)));
        QVERIFY(negativeOffsets > 20000 / 3 && negativeOffsets < 2 * 20000 / 3);
    }

    // A planted model: times on its lines but for a static per shot (by field record number),
    // the median of its residuals, and the wild picks asked for.
    void plantedLayers_data()
    {
        QTest::addColumn<QString>("arguments");
        QTest::addColumn<QString>("seen"); // percent of picks off their shot's static, |static|
        QTest::newRow("exact") << "--statics 0" << "0 0";
        QTest::newRow("statics of 15 ms") << "--statics 15" << "0 15";
        QTest::newRow("a fifth wild") << "--statics 0 --wild-share 0.2" << "20 0";
    }

    void plantedLayers()
    {
        QFETCH(QString, arguments);
        runOk("fbgen",
              arguments + " -n 20000 --noise 0 --error-share 0 --negative-share 0 --layers "
                          "2000,4000:1000 --intercept 10 layered.fb",
              m_dir.path());
        const QByteArray bytes = readBytes(m_dir.filePath("layered.fb"));
        QMap<qint32, QVector<double>> shots;
        for (const char *record = bytes.constData() + 16; record < bytes.constEnd(); record += 84) {
            const double x = qAbs(qFromLittleEndian<qint32>(record + 8));
            const double line = x < 1000 ? 10 + 0.5 * x : 510 + 0.25 * (x - 1000);
            shots[qFromLittleEndian<qint32>(record)]
                << qFromLittleEndian<float>(record + 60) - line;
        }
        int off = 0;
        double largest = 0;
        for (QVector<double> &residuals : shots) {
            std::sort(residuals.begin(), residuals.end());
            const double shotStatic = residuals.at(residuals.size() / 2);
            largest = qMax(largest, qAbs(shotStatic));
            for (const double r : residuals)
                off += qAbs(r - shotStatic) > 1e-3;
        }
        QTEST(QStringLiteral("%1 %2").arg(qRound(off / 200.0)).arg(qRound(largest)), "seen");
    }

    void fbgenExitCodes_data()
    {
        toolColumns();
        toolRow("--help", "--help", 0, "--layers <list>");
        toolRow("--version", "--version", 0, "fbgen " CROSSPLOT_VERSION "\n");
        toolRow("no output", "-n 10", 2, "fbgen: no output file");
        toolRow("two outputs", "x.fb y.fb", 2, "fbgen: more than one output file");
        toolRow("unknown option", "--frobnicate 1 x.fb", 2, "fbgen: Unknown option 'frobnicate'");
        toolRow("negative count", "-n -5 x.fb", 2, "fbgen: bad value \"-5\" for --records");
        toolRow("shares above one", "--error-share 1.5 x.fb", 2,
                "fbgen: the error and negative-class shares must lie in 0..1 together (see fbgen "
                "--help)\n");
        toolRow("a layer without its crossover", "--layers 2000,3000 x.fb", 2,
                "fbgen: bad value \"2000,3000\" for --layers");
        toolRow("a crossover that is no number", "--layers 2000,3000:a x.fb", 2,
                "fbgen: bad value \"2000,3000:a\" for --layers");
        toolRow("crossovers out of order", "--layers 2000,3000:500,4000:400 x.fb", 2,
                "fbgen: crossovers must increase and stay below the largest offset");
        toolRow("five layers", "--layers 1000,2000:1,3000:2,4000:3,5000:4 x.fb", 2,
                "fbgen: at most 4 layers");
        toolRow("negative noise", "--noise -1 x.fb", 2,
                "fbgen: the noise and statics must lie in 0..1000 ms");
        toolRow("header word beyond int32", "--header-count 3000000000 x.fb", 2,
                "fbgen: bad value \"3000000000\" for --header-count");
    }

    void fbgenExitCodes() { checkToolRow("fbgen", m_dir.path()); }
};

QTEST_GUILESS_MAIN(tst_FBSynth)
#include "tst_FBSynth.moc"
