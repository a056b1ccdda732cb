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

    // A load for two classes keeps the record and class of every Correct pick, over several
    // blocks, and none of an Erroneous one.
    void loadKeepsTheCorrectPicksDetails()
    {
        QVector<FBPick> picks;
        QStringList expected;
        for (int i = 0; i < 70000; ++i) {
            const int fbClass = i % 5 == 0 ? 2 + i % 3 : i % 7 == 0 ? -300 : i % 2;
            picks.append({i % 900, float(i % 400), fbClass});
            if (fbClass < 2)
                expected << QString::number(i) + ':' + QString::number(fbClass);
        }
        const QString file = m_dir.filePath("classes.fb");
        writeFile(file, fbBytes(0, 1000, picks));
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
        QCOMPARE(kept, expected);
        QCOMPARE(details.pickCount(), qint64(correct.picks().offsets.size()));
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
