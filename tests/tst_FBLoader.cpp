#include "FBLoader.h"

#include <QTemporaryDir>
#include <QtEndian>
#include <QtTest>
#include <cstring>

namespace {

using Ints = QVector<int>;
enum Classes { None = 0, Correct = 1, Error = 2, All = 4 };

FBPickFilter filter(int classes, int min = 0, int max = 0)
{
    return {min, max, bool(classes & Correct), bool(classes & Error), bool(classes & All), true};
}

// The bytes that carry no meaning are 0xEE, so that a misplaced field shows.
QByteArray record(qint32 offset, float time, qint32 fbClass = 0)
{
    char bytes[84];
    std::memset(bytes, 0xEE, sizeof bytes);
    qToLittleEndian(offset, bytes + 8);
    qToLittleEndian(time, bytes + 60);
    qToLittleEndian(fbClass, bytes + 64);
    return QByteArray(bytes, sizeof bytes);
}

// A header and records of time 25.5 ms and class 0, 1, 2, 7, -3 in turn (2 and 7 are errors).
QByteArray file(qint32 count, qint32 low, qint32 high, const Ints &offsets = {})
{
    const qint32 words[] = {count, -7, low, high};
    QByteArray bytes(16, '\0');
    qToLittleEndian<qint32>(words, 4, bytes.data());
    for (int k = 0; k < offsets.size(); ++k)
        bytes += record(offsets.at(k), 25.5f, Ints{0, 1, 2, 7, -3}.at(k % 5));
    return bytes;
}

// Loads a file; every progress value must come on the calling thread.
FBPicks loadPicks(const QString &name, const FBPickFilter &filter, int threads, int blockRecords,
                  Ints &values, int limit, const std::function<void(int)> &during = {})
{
    FBPicks picks;
    FBLoader loader(name, filter);
    loader.setThreadCount(threads);
    loader.setBlockRecords(blockRecords);
    loader.setPickLimit(limit);
    loader.readHeader(picks);
    QThread *const caller = QThread::currentThread();
    loader.readRecords(picks, [&](int v) {
        if (QThread::currentThread() != caller)
            qFatal("progress reported on another thread");
        values.append(v);
        if (during)
            during(v);
    });
    return picks;
}

} // namespace

Q_DECLARE_METATYPE(FBPickFilter)

class tst_FBLoader : public QObject
{
    Q_OBJECT

    QTemporaryDir dir;
    Ints values; // progress values of the last read

    // Writes bytes (and tail at byte tailAt) and reads them once on one thread in whole blocks,
    // once on three threads in about 16 blocks of two records at least: both must agree bit
    // for bit.
    FBPicks read(const QByteArray &bytes, const FBPickFilter &filter, int limit = INT_MAX,
                 qint64 tailAt = 0, const QByteArray &tail = {})
    {
        const QString name = dir.filePath(QStringLiteral("test.fb"));
        QFile out(name);
        if (!out.open(QIODevice::WriteOnly) || out.write(bytes) != bytes.size() ||
            !out.seek(tailAt) || out.write(tail) != tail.size())
            qFatal("cannot write the test file");
        out.close();
        Ints threeValues;
        const int blocks = int(qMax<qint64>(2, qMax<qint64>(bytes.size(), tailAt) / 84 / 16));
        const FBPicks one = loadPicks(name, filter, 1, FBLoader::BlockRecords, values = {}, limit);
        const FBPicks three = loadPicks(name, filter, 3, blocks, threeValues, limit);
        const auto key = [](const FBPicks &p) {
            return std::tie(p.offsets, p.fbTimes, p.records, p.classes, p.pickCount, p.zeroPicks,
                            p.droppedPicks);
        };
        if (values != threeValues || key(one) != key(three))
            qFatal("one and three threads disagree");
        return one;
    }

private slots:
    // head: offset window and zero picks; picks: offset, time and class of each stored pick.
    // Records missing from a short file read as zeros: offset 0, time 0, class 0 (correct);
    // those past its end are counted as zero picks, not stored.
    void load_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<FBPickFilter>("filter");
        QTest::addColumn<Ints>("head");
        QTest::addColumn<Ints>("picks");
        // Typed out by hand, so that a wrong byte order or field position misses: offset, time
        // and class of each record with filler around them. The third record lies past the count.
        const QByteArray x(48, 'x');
        QByteArray hand = QByteArray::fromHex("02000000 ffffffff bc020000 00100000");
        for (const char *fields : {"04030000 66664e41 01000000",  //  772, 12.9 ms, class 1
                                   "fcfcffff cdcc6cc0 feffffff",  // -772, -3.7 ms, class -2
                                   "20030000 00002041 00000000"}) //  800,   10 ms, class 0
            hand += x.left(8) + QByteArray::fromHex(fields).insert(4, x) + x.left(16);
        const QByteArray classes = file(5, 0, 1000, {1, 2, 3, 4, 5});
        QTest::newRow("hand-written bytes: -772 kept signed, -2 a correct class, times truncated")
            << hand << filter(Correct) << Ints{700, 4096, 0} << Ints{772, 12, 1, -772, -3, -2};
        QTest::newRow("limits narrow the header range")
            << file(5, 0, 3000, {499, 500, 1999, 2000, -1999}) << filter(All, 500, 2000)
            << Ints{500, 2000, 0} << Ints{500, 25, 1, 1999, 25, 2, -1999, 25, -3};
        QTest::newRow("limits only narrow, never widen")
            << file(1, 100, 300, {99}) << filter(All, 0, 500) << Ints{100, 300, 0} << Ints{};
        QTest::newRow("minOffset ignored without a positive maxOffset")
            << file(1, 0, 100, {0}) << filter(All, 500, -1) << Ints{0, 100, 0} << Ints{0, 25, 0};
        QTest::newRow("disjoint limits leave an inverted window")
            << file(2, 0, 1000, {500, 2500}) << filter(All, 2000, 3000) << Ints{2000, 1000, 0}
            << Ints{};
        QTest::newRow("correct classes") << classes << filter(Correct) << Ints{0, 1000, 0}
                                         << Ints{1, 25, 0, 2, 25, 1, 5, 25, -3};
        QTest::newRow("erroneous classes")
            << classes << filter(Error) << Ints{0, 1000, 0} << Ints{3, 25, 2, 4, 25, 7};
        QTest::newRow("both classes") << classes << filter(Correct | Error) << Ints{0, 1000, 0}
                                      << Ints{1, 25, 0, 2, 25, 1, 3, 25, 2, 4, 25, 7, 5, 25, -3};
        QTest::newRow("no class") << classes << filter(None) << Ints{0, 1000, 0} << Ints{};
        QTest::newRow("short file: missing records are correct zero picks, not stored")
            << file(4, 0, 100, {1}) << filter(Correct) << Ints{0, 100, 3} << Ints{1, 25, 0};
        QTest::newRow("short file: zero picks only when the window holds offset 0")
            << file(4, 1, 100, {1}) << filter(Correct) << Ints{1, 100, 0} << Ints{1, 25, 0};
        QTest::newRow("short file: zero picks are correct picks")
            << file(4, 0, 100, {2}) << filter(Error) << Ints{0, 100, 0} << Ints{};
        QTest::newRow("last record cut inside its class: offset and time kept, class 0")
            << file(3, 0, 100, {1, 2}) + record(3, 7.5f, 2).left(64) << filter(Correct)
            << Ints{0, 100, 0} << Ints{1, 25, 0, 2, 25, 1, 3, 7, 0};
        QTest::newRow("negative count reads nothing")
            << file(-5, 0, 1000, {1}) << filter(All) << Ints{0, 1000, 0} << Ints{};
        QTest::newRow("2,000,000,000 records in 16 bytes: all zero picks")
            << file(2000000000, 0, 8) << filter(All) << Ints{0, 8, 2000000000} << Ints{};
        QTest::newRow("times: NaN is 0, 2^31 and beyond clamp to the int range")
            << file(4, 0, 10) + record(1, qQNaN()) + record(2, qInf()) + record(3, -1e30f) +
                   record(4, 2147483648.0f)
            << filter(All) << Ints{0, 10, 0}
            << Ints{1, 0, 0, 2, 2147483647, 0, 3, -2147483647 - 1, 0, 4, 2147483647, 0};
    }

    void load()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(FBPickFilter, filter);
        const FBPicks p = read(bytes, filter);
        Ints picks;
        for (int k = 0; k < p.offsets.size(); ++k)
            picks << p.offsets.at(k) << p.fbTimes.at(k) << p.classes.value(k, -99);
        QTEST((Ints{p.offsetLow, p.offsetHigh, p.zeroPicks}), "head");
        QTEST(picks, "picks");
        QCOMPARE(p.pickCount, p.offsets.size() + p.zeroPicks);
        QCOMPARE(p.records.size(), p.offsets.size());
    }

    // Sparse files with records 0 (offset 11), 1,999,999 (offset 33, 3 ms) and 2,000,000 (offset
    // 22, cut after its offset), and holes that read as zeros outside the window 1 ... 5000.
    // The progress values run 1, 2, ... up to the number given.
    void recordCount_data()
    {
        QTest::addColumn<int>("count");
        QTest::addColumn<Ints>("times");
        QTest::addColumn<Ints>("records");
        QTest::addColumn<int>("progressValues");
        QTest::newRow("2,000,000 records") << 2000000 << Ints{25, 3} << Ints{0, 1999999} << 100;
        QTest::newRow("2,000,001 records: the last one cut short")
            << 2000001 << Ints{25, 3, 0} << Ints{0, 1999999, 2000000} << 100;
        QTest::newRow("250 records: progress step 2, ends at 125")
            << 250 << Ints{25} << Ints{0} << 125;
        QTest::newRow("7 records: progress step 0, a value per record")
            << 7 << Ints{25} << Ints{0} << 7;
    }

    void recordCount()
    {
        QFETCH(int, count);
        const FBPicks picks = read(file(count, 1, 5000, {11}), filter(All), INT_MAX, 167999932,
                                   record(33, 3.0f) + record(22, 2.0f).left(40));
        QTEST(picks.fbTimes, "times");
        QTEST(picks.records, "records");
        QTEST(int(values.size()), "progressValues");
        for (int k = 0; k < values.size(); ++k)
            QCOMPARE(values.at(k), k + 1);
    }

    // 5000 distinct picks over many blocks; then a header that announces 3,000,000 records more
    // than the file holds, all of them zero picks; then room for 1000 picks only.
    void manyPicksAndMissingRecords_data()
    {
        QTest::addColumn<Ints>("row"); // records announced, pick limit, stored, dropped, zero
        QTest::newRow("5000 records") << Ints{5000, 10000, 5000, 0, 0};
        QTest::newRow("3,005,000 announced") << Ints{3005000, 10000, 5000, 0, 3000000};
        QTest::newRow("room for 1000") << Ints{3005000, 1000, 1000, 4000, 3000000};
    }

    void manyPicksAndMissingRecords()
    {
        QFETCH(Ints, row);
        Ints offsets;
        for (int k = 0; k < 5000; ++k)
            offsets << (k % 2 ? -k : k);
        const FBPicks picks = read(file(row[0], 0, 6000, offsets), filter(All), row[1]);
        QCOMPARE(picks.offsets, offsets.mid(0, row[2]));
        QCOMPARE(picks.fbTimes, Ints(row[2], 25));
        QCOMPARE((Ints{picks.pickCount, picks.droppedPicks, picks.zeroPicks}),
                 (Ints{row[0], row[3], row[4]}));
    }

    // Another process cuts the file short or lengthens it while it loads (here: at progress
    // value 30, after 3000 of 10,000 records). Records whose bytes were read are kept as they
    // were; those no longer there read as zeros, which the window 1 ... 20000 rejects; growth
    // after the start is not read, its records count as past the end.
    void fileChangesWhileLoading_data()
    {
        QTest::addColumn<Ints>("row"); // records at the start, after the change, threads, stored
        QTest::newRow("cut to 5000 records, 1 thread") << Ints{10000, 5000, 1, 5000};
        QTest::newRow("cut to 5000 records, 2 threads") << Ints{10000, 5000, 2, 5000};
        QTest::newRow("cut to 0 records, 2 threads") << Ints{10000, 0, 2, 3000};
        QTest::newRow("grown from 5000 to 10,000, 2 threads") << Ints{5000, 10000, 2, 5000};
    }

    void fileChangesWhileLoading()
    {
        QFETCH(Ints, row);
        const int onFile = row[0], changeTo = row[1], threads = row[2], leastStored = row[3];
        Ints offsets;
        for (int k = 1; k <= 10000; ++k)
            offsets << k;
        const QByteArray whole = file(10000, 1, 20000, offsets);
        const QString name = dir.filePath(QStringLiteral("changing.fb"));
        QFile out(name);
        QVERIFY(out.open(QIODevice::WriteOnly) && out.write(whole.left(16 + 84 * onFile)) > 0);
        out.close();
        const auto change = [&](int v) {
            QFile changed(name);
            if (v == 30 && changed.open(QIODevice::Append))
                changeTo < onFile ? void(changed.resize(16 + 84 * qint64(changeTo)))
                                  : void(changed.write(whole.mid(changed.size())));
        };
        const FBPicks picks = loadPicks(name, filter(All), threads, 1000, values = {},
                                        FBLoader::MaxStoredPicks, change);
        QCOMPARE(values.size(), 100);
        QVERIFY(picks.offsets.size() >= leastStored && picks.offsets.size() <= onFile);
        QCOMPARE(picks.pickCount, picks.offsets.size());
        // File order, and every stored pick is the record it came from; with two threads a
        // block read after the cut may lie between blocks read before it.
        for (int k = 0; k < picks.records.size(); ++k)
            QVERIFY(picks.offsets.at(k) == picks.records.at(k) + 1 &&
                    (k == 0 || picks.records.at(k) > picks.records.at(k - 1)));
        if (threads == 1)
            QCOMPARE(picks.offsets, offsets.mid(0, leastStored));
    }
};

QTEST_GUILESS_MAIN(tst_FBLoader)
#include "tst_FBLoader.moc"
