#include "FBDataCase.h"

#include <QDir>
#include <QtTest>

// Replays the seed corpus and every input that once broke the fuzzed path.
class tst_FBDataRegressions : public QObject
{
    Q_OBJECT

private slots:
    // The fuzzer's small machine, so that each input is replayed as it ran there.
    void initTestCase() { qputenv("CROSSPLOT_MEMORY_AVAILABLE", "256K"); }

    void replay_data()
    {
        QTest::addColumn<QString>("path");
        for (const char *subdir : {"regressions", "corpus"}) {
            const QDir dir(QStringLiteral(CROSSPLOT_FUZZ_DIR "/") + QLatin1String(subdir));
            const QStringList names = dir.entryList(QDir::Files, QDir::Name);
            for (const QString &name : names) {
                QTest::newRow(qPrintable(QLatin1String(subdir) + QLatin1Char('/') + name))
                    << dir.filePath(name);
            }
        }
    }

    void replay()
    {
        QFETCH(QString, path);
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QString failure = FBDataCase::run(file.readAll());
        QVERIFY2(failure.isEmpty(), qPrintable(failure));
    }
};

QTEST_GUILESS_MAIN(tst_FBDataRegressions)
#include "tst_FBDataRegressions.moc"
