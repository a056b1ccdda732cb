#include "CrossPlotModel.h"
#include "FBPickDetails.h"
#include "FBRecordScanner.h"
#include "TestSupport.h"

#include <QtTest>

class tst_FBPickDetails : public QObject
{
    Q_OBJECT
    QTemporaryDir m_dir;

private slots:
    void cleanup() { qunsetenv("CROSSPLOT_MEMORY_AVAILABLE"); }

    // A block's records and classes come back as they went in, the first kept of them.
    void chunkKeepsRecordsAndClasses_data()
    {
        QTest::addColumn<QVector<int>>("records");
        QTest::addColumn<QVector<int>>("classes");
        QTest::addColumn<int>("kept");
        QTest::newRow("codes that fit a byte")
            << QVector<int>{7, 8, 70, 71, 200} << QVector<int>{0, 1, -1, -128, 127} << 5;
        QTest::newRow("one code beyond a byte")
            << QVector<int>{0, 63, 64, 32767} << QVector<int>{1, 128, 0, -1} << 4;
        QTest::newRow("the int range's ends")
            << QVector<int>{5, 6} << QVector<int>{INT_MIN, INT_MAX} << 2;
        QTest::newRow("cut short") << QVector<int>{3, 9, 12} << QVector<int>{-129, 0, 1} << 2;
        QTest::newRow("none kept") << QVector<int>{3} << QVector<int>{0} << 0;
    }
    void chunkKeepsRecordsAndClasses()
    {
        QFETCH(QVector<int>, records);
        QFETCH(QVector<int>, classes);
        QFETCH(int, kept);
        FBPickBlock block(records.size(), true);
        std::copy(records.begin(), records.end(), block.records.get());
        std::copy(classes.begin(), classes.end(), block.classes.get());
        FBPickDetails::Chunk chunk;
        chunk.encode(block, kept);
        FBPickBlock decoded(records.size(), true);
        chunk.decode(decoded);
        QCOMPARE(decoded.count, kept);
        QCOMPARE(QVector<int>(decoded.records.get(), decoded.records.get() + kept),
                 records.mid(0, kept));
        QCOMPARE(QVector<int>(decoded.classes.get(), decoded.classes.get() + kept),
                 classes.mid(0, kept));
    }

    // A load for two classes keeps the record and class of every stored Correct pick, over
    // several blocks, and none of an Erroneous one; with memory for part of the picks, those
    // of the stored ones.
    void loadKeepsTheCorrectPicksDetails_data()
    {
        QTest::addColumn<QByteArray>("memory");
        QTest::newRow("all in memory") << QByteArray();
        QTest::newRow("memory for some") << QByteArray("400K");
    }
    void loadKeepsTheCorrectPicksDetails()
    {
        QFETCH(QByteArray, memory);
        QVector<FBPick> picks;
        QStringList expected;
        int errors = 0;
        for (int i = 0; i < 70000; ++i) {
            const int fbClass = i % 5 == 0 ? 2 + i % 3 : i % 7 == 0 ? -100 : i % 2;
            picks.append({i % 900, float(i % 400), fbClass});
            if (fbClass < 2)
                expected << QString::number(i) + ':' + QString::number(fbClass);
            errors += fbClass >= 2;
        }
        const QString file = m_dir.filePath("classes.fb");
        writeFile(file, fbBytes(0, 1000, picks));
        if (!memory.isEmpty())
            qputenv("CROSSPLOT_MEMORY_AVAILABLE", memory);
        CrossPlotParam param;
        param.fbName = file;
        CrossPlotModel correct(param), error(param);
        FBPickDetails details;
        CrossPlotModel::loadByClass(correct, error, {}, nullptr, &details);
        QStringList kept;
        for (int k = 0; k < details.chunkCount(); ++k) {
            const FBPickDetails::Chunk &chunk = details.chunk(k);
            QCOMPARE(chunk.firstPick, qint64(kept.size()));
            FBPickBlock block(chunk.count, true);
            chunk.decode(block);
            for (int i = 0; i < block.count; ++i)
                kept << QString::number(block.records[i]) + ':' + QString::number(block.classes[i]);
        }
        const int stored = correct.picks().offsets.size();
        QCOMPARE(kept, expected.mid(0, stored));
        QCOMPARE(correct.picks().pickCount, expected.size());
        QCOMPARE(error.picks().pickCount, errors);
        QCOMPARE(stored < expected.size(), !memory.isEmpty());
    }

    // Details that memory refuses are not kept, nor any after them.
    void refusedDetailsStopTheChunks()
    {
        FBPickBlock block(100, true);
        for (int i = 0; i < 100; ++i)
            block.records[i] = block.classes[i] = i;
        FBPickDetails::Chunk chunk;
        chunk.encode(block, 100);
        const qint64 bytes = chunk.bytes();
        qputenv("CROSSPLOT_MEMORY_AVAILABLE", QByteArray::number(bytes + bytes / 2));
        FBPickDetails details;
        QVERIFY(details.append(chunk));
        for (int count : {100, 1}) {
            chunk.encode(block, count);
            QVERIFY(!details.append(chunk));
        }
        QCOMPARE(details.chunkCount(), 1);
        QCOMPARE(details.pickCount(), qint64(100));
    }
};

QTEST_GUILESS_MAIN(tst_FBPickDetails)
#include "tst_FBPickDetails.moc"
