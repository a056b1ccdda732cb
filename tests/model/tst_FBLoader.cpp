#include "DrawNotice.h"
#include "FBLoader.h"
#include "TestSupport.h"

namespace {

using Ints = QVector<int>;
enum Classes { None = 0, Correct = 1, Error = 2, All = 4 };

FBPickFilter filter(int classes, int min = 0, int max = 0)
{
    return {min, max, bool(classes & Correct), bool(classes & Error), bool(classes & All), true};
}

// count records announced; one per offset, of time 25.5 ms and class 0, 1, 2, 7, -3 in turn (2
// and 7 are errors).
QByteArray file(qint32 count, qint32 low, qint32 high, const Ints &offsets = {})
{
    QVector<FBPick> picks;
    for (int k = 0; k < offsets.size(); ++k)
        picks.append({offsets.at(k), 25.5f, Ints{0, 1, 2, 7, -3}.at(k % 5)});
    return fbBytes(low, high, picks, count);
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

private slots:
    // head: offset window, zero and dropped picks, progress values; picks: offset, time and class
    // of each stored pick. Records missing from a short file read as zeros: offset 0, time 0,
    // class 0 (correct); those past its end are counted as zero picks, not stored.
    void load_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<FBPickFilter>("filter");
        QTest::addColumn<Ints>("head");
        QTest::addColumn<Ints>("picks");
        QTest::addColumn<int>("limit"); // room for stored picks
        const auto row = [](const char *name, const QByteArray &bytes, const FBPickFilter &filter,
                            const Ints &head, const Ints &picks, int limit = INT_MAX) {
            QTest::newRow(name) << bytes << filter << head << picks << limit;
        };
        // Typed out by hand, so that a wrong byte order or field position misses: offset, time
        // and class of each record with filler around them. The third record lies past the count.
        const QByteArray x(48, 'x');
        QByteArray hand = QByteArray::fromHex("02000000 ffffffff bc020000 00100000");
        for (const char *fields : {"04030000 66664e41 01000000",  //  772, 12.9 ms, class 1
                                   "fcfcffff cdcc6cc0 feffffff",  // -772, -3.7 ms, class -2
                                   "20030000 00002041 00000000"}) //  800,   10 ms, class 0
            hand += x.left(8) + QByteArray::fromHex(fields).insert(4, x) + x.left(16);
        const QByteArray classes = file(5, 0, 1000, {1, 2, 3, 4, 5});
        row("hand-written bytes: -772 kept signed, -2 a correct class, times truncated", hand,
            filter(Correct), {700, 4096, 0, 0, 2}, {772, 12, 1, -772, -3, -2});
        row("limits narrow the header range", file(5, 0, 3000, {499, 500, 1999, 2000, -1999}),
            filter(All, 500, 2000), {500, 2000, 0, 0, 5}, {500, 25, 1, 1999, 25, 2, -1999, 25, -3});
        row("limits only narrow, never widen", file(1, 100, 300, {99}), filter(All, 0, 500),
            {100, 300, 0, 0, 1}, {});
        row("minOffset ignored without a positive maxOffset, a negative low kept",
            file(1, -50, 100, {0}), filter(All, 500, -1), {-50, 100, 0, 0, 1}, {0, 25, 0});
        row("disjoint limits leave an inverted window", file(2, 0, 1000, {500, 2500}),
            filter(All, 2000, 3000), {2000, 1000, 0, 0, 2}, {});
        row("correct classes", classes, filter(Correct), {0, 1000, 0, 0, 5},
            {1, 25, 0, 2, 25, 1, 5, 25, -3});
        row("erroneous classes", classes, filter(Error), {0, 1000, 0, 0, 5}, {3, 25, 2, 4, 25, 7});
        row("both classes, room for 3: the rest dropped, the zero picks still counted",
            file(7, 0, 1000, {1, 2, 3, 4, 5}), filter(Correct | Error), {0, 1000, 2, 2, 7},
            {1, 25, 0, 2, 25, 1, 3, 25, 2}, 3);
        row("no class", classes, filter(None), {0, 1000, 0, 0, 5}, {});
        row("short file: missing records are correct zero picks; progress every 2 records",
            file(250, 0, 100, {1}), filter(Correct), {0, 100, 249, 0, 125}, {1, 25, 0});
        row("short file: zero picks only when the window holds offset 0", file(4, 1, 100, {1}),
            filter(Correct), {1, 100, 0, 0, 4}, {1, 25, 0});
        row("short file: zero picks are correct picks", file(4, 0, 100, {2}), filter(Error),
            {0, 100, 0, 0, 4}, {});
        row("last record cut inside its class: offset and time kept, class 0",
            fbBytes(0, 100, {{1, 25.5f, 0}, {2, 25.5f, 1}, {3, 7.5f, 2}}).chopped(20),
            filter(Correct), {0, 100, 0, 0, 3}, {1, 25, 0, 2, 25, 1, 3, 7, 0});
        // Records 0, 32,768 and 32,769 (cut after its offset) hold picks; the zeros between lie
        // outside the window. One thread reads the 32,768 records of a whole block first.
        row("32,770 records: the last cut short in the last, partly present block",
            file(32770, 1, 5000, {11}).leftJustified(16 + 84 * 32768, '\0') +
                fbBytes(0, 0, {{33, 3.0f, 0}, {22, 2.0f, 0}}).mid(16).chopped(44),
            filter(All), {1, 5000, 0, 0, 100}, {11, 25, 0, 33, 3, 0, 22, 0, 0});
        row("negative count reads nothing", file(-5, 0, 1000, {1}), filter(All), {0, 1000, 0, 0, 0},
            {});
        row("2,000,000,000 records in 16 bytes: all zero picks", file(2000000000, 0, 8),
            filter(All), {0, 8, 2000000000, 0, 100}, {});
        row("times: NaN is 0, 2^31 and beyond clamp to the int range",
            fbBytes(0, 10, {{1, NAN, 0}, {2, INFINITY, 0}, {3, -1e30f, 0}, {4, 2147483648.0f, 0}}),
            filter(All), {0, 10, 0, 0, 4},
            {1, 0, 0, 2, 2147483647, 0, 3, -2147483647 - 1, 0, 4, 2147483647, 0});
    }

    // Reads each file once on one thread in whole blocks, once on three threads in about 16
    // blocks of two records at least: both must agree bit for bit.
    void load()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(FBPickFilter, filter);
        QFETCH(int, limit);
        const QString name = dir.filePath(QStringLiteral("test.fb"));
        QVERIFY(writeFile(name, bytes));
        Ints values, threeValues;
        const int blocks = qMax(2, bytes.size() / 84 / 16);
        const FBPicks p = loadPicks(name, filter, 1, FBLoader::BlockRecords, values, limit);
        const FBPicks three = loadPicks(name, filter, 3, blocks, threeValues, limit);
        const auto key = [](const FBPicks &p) {
            return std::tie(p.offsets, p.fbTimes, p.records, p.classes, p.pickCount, p.zeroPicks,
                            p.droppedPicks);
        };
        QVERIFY2(values == threeValues && key(p) == key(three), "one and three threads disagree");
        Ints picks;
        for (int k = 0; k < p.offsets.size(); ++k)
            picks << p.offsets.at(k) << p.fbTimes.at(k) << p.classes.value(k, -99);
        QTEST((Ints{p.offsetLow, p.offsetHigh, p.zeroPicks, p.droppedPicks, int(values.size())}),
              "head");
        QTEST(picks, "picks");
        QCOMPARE(p.pickCount, p.offsets.size() + p.droppedPicks + p.zeroPicks);
        QCOMPARE(p.records.size(), p.offsets.size());
        for (int k = 0; k < values.size(); ++k)
            QCOMPARE(values.at(k), k + 1);
    }

    // Another process cuts the file short or lengthens it while it loads (here: at progress
    // value 30, after 3000 of 10,000 records). Records whose bytes were read are kept as they
    // were; those no longer there read as zeros, which the window 1 ... 20000 rejects; growth
    // after the start is not read, its records count as past the end.
    void fileChangesWhileLoading_data()
    {
        QTest::addColumn<Ints>("row"); // records at the start, after the change, threads, stored
        QTest::newRow("cut to 5000 records, 1 thread") << Ints{10000, 5000, 1, 5000};
        QTest::newRow("cut to 0 records, 2 threads") << Ints{10000, 0, 2, 3000};
        QTest::newRow("grown from 5000 to 10,000, 2 threads") << Ints{5000, 10000, 2, 5000};
    }

    void fileChangesWhileLoading()
    {
        QFETCH(Ints, row);
        const int onFile = row[0], changeTo = row[1], threads = row[2], leastStored = row[3];
        Ints offsets, values;
        for (int k = 1; k <= 10000; ++k)
            offsets << k;
        const QByteArray whole = file(10000, 1, 20000, offsets);
        const QString name = dir.filePath(QStringLiteral("changing.fb"));
        QVERIFY(writeFile(name, whole.left(16 + 84 * onFile)));
        const auto change = [&](int v) {
            QFile changed(name);
            if (v == 30 && changed.open(QIODevice::Append))
                changeTo < onFile ? void(changed.resize(16 + 84 * qint64(changeTo)))
                                  : void(changed.write(whole.mid(changed.size())));
        };
        const FBPicks picks =
            loadPicks(name, filter(All), threads, 1000, values, FBLoader::MaxStoredPicks, change);
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

    // Room for 2 picks (16 bytes each with details, an eighth of 36 bytes kept back for the
    // grid) until the first block of 5 records is stored, then plenty: block 2 accepts nothing,
    // block 3 five picks, and still only the first two picks are stored.
    void noPickStoredAfterADrop()
    {
        Ints offsets = {1, 2, 3, 4, 5, 5000, 5000, 5000, 5000, 5000, 11, 12, 13, 14, 15}, values;
        const QString name = dir.filePath(QStringLiteral("drop.fb"));
        QVERIFY(writeFile(name, file(15, 0, 1000, offsets)));
        qputenv("CROSSPLOT_MEMORY_AVAILABLE", "36");
        const FBPicks picks = loadPicks(name, filter(All), 1, 5, values, INT_MAX, [](int v) {
            if (v == 5)
                qputenv("CROSSPLOT_MEMORY_AVAILABLE", "1G");
        });
        qunsetenv("CROSSPLOT_MEMORY_AVAILABLE");
        QCOMPARE((Ints{picks.pickCount, picks.droppedPicks}), (Ints{10, 8}));
        QCOMPARE(picks.offsets, (Ints{1, 2}));
        QCOMPARE(picks.grant.bytes(), 32);
    }

    // Workers that cannot start, or buffers that cannot be had: the load still ends, with the
    // same picks while one buffer is there, with every record unread and its notice without.
    void threadsOrBuffersFail_data()
    {
        QTest::addColumn<Ints>("row"); // threads, workers that start, buffers, records unread
        const int all = INT_MAX;
        QTest::newRow("no worker starts") << Ints{3, 0, all, 0};
        QTest::newRow("one of three workers starts") << Ints{3, 1, all, 0};
        QTest::newRow("three buffers: one worker") << Ints{3, all, 3, 0};
        QTest::newRow("one buffer: one thread") << Ints{3, all, 1, 0};
        QTest::newRow("no buffer, three threads") << Ints{3, all, 0, 40};
        QTest::newRow("no buffer, one thread") << Ints{1, all, 0, 40};
    }

    void threadsOrBuffersFail()
    {
        QFETCH(Ints, row);
        Ints offsets, values;
        for (int k = 1; k <= 40; ++k)
            offsets << k;
        const QString name = dir.filePath(QStringLiteral("faults.fb"));
        QVERIFY(writeFile(name, file(40, 0, 1000, offsets)));
        FBLoader::setFaults({row[1], row[2]});
        const FBPicks picks = loadPicks(name, filter(All), row[0], 4, values, INT_MAX);
        FBLoader::setFaults({});
        QCOMPARE(values.size(), 40);
        QCOMPARE(picks.unreadRecords, row[3]);
        QCOMPARE(picks.offsets, row[3] ? Ints{} : offsets);
        QCOMPARE(DrawNotice::forPicks(picks),
                 row[3] ? "40 records of the file could not be read: the memory available held no "
                          "buffer for them. 0 accepted picks are drawn."
                        : "");
    }

    // Whole numbers from 1 to 4 x the cores (256 at most) are taken; anything else gives the
    // default and a warning that names it.
    void threadCount_data()
    {
        QTest::addColumn<QByteArray>("value");
        QTest::addColumn<int>("threads"); // 0: the default
        const int most = qMin(4 * QThread::idealThreadCount(), 256);
        QTest::newRow("1") << QByteArray("1") << 1;
        QTest::newRow("4 x the cores") << QByteArray::number(most) << most;
        QTest::newRow("one more") << QByteArray::number(most + 1) << 0;
        for (const char *bad :
             {"0", "-1", "abc", "4.0", "+2", " 2", "", "257", "100000", "99999999999999999999"})
            QTest::addRow("'%s'", bad) << QByteArray(bad) << 0;
    }

    void threadCount()
    {
        QFETCH(QByteArray, value);
        QFETCH(int, threads);
        qputenv("CROSSPLOT_LOAD_THREADS", value);
        int used = 0;
        const QString warning = FBLoader::threadCountWarning(&used);
        const int fallback = FBLoader::defaultThreadCount();
        qunsetenv("CROSSPLOT_LOAD_THREADS");
        const int ideal = QThread::idealThreadCount();
        QCOMPARE(used, threads ? threads : ideal);
        QCOMPARE(fallback, used);
        QCOMPARE(warning, threads
                              ? QString()
                              : QString("CROSSPLOT_LOAD_THREADS=%1 is not a whole number from 1 "
                                        "to %2; %3 threads are used instead.")
                                    .arg(QString(value))
                                    .arg(qMin(4 * ideal, 256))
                                    .arg(ideal));
    }
};

QTEST_GUILESS_MAIN(tst_FBLoader)
#include "tst_FBLoader.moc"
