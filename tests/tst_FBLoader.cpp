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
    return {min, max, bool(classes & Correct), bool(classes & Error), bool(classes & All)};
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

} // namespace

Q_DECLARE_METATYPE(FBPickFilter)

class tst_FBLoader : public QObject
{
    Q_OBJECT

    QTemporaryDir dir;
    Ints values; // progress values of the last read

    // Writes bytes, and tail at byte tailAt when given, and reads them back. The low pick limit
    // keeps the zero picks of forged counts few.
    FBPicks read(const QByteArray &bytes, const FBPickFilter &filter, qint64 tailAt = 0,
                 const QByteArray &tail = {})
    {
        QFile file(dir.filePath(QStringLiteral("test.fb")));
        if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() ||
            !file.seek(tailAt) || file.write(tail) != tail.size())
            qFatal("cannot write the test file");
        file.close();
        FBLoader loader(file.fileName(), filter);
        loader.setPickLimit(250);
        FBPicks picks;
        loader.readHeader(picks);
        values.clear();
        loader.readRecords(picks, [this](int v) { values.append(v); });
        return picks;
    }

private slots:
    // Records missing from a short file read as zeros: offset 0, time 0, class 0 (correct).
    void load_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<FBPickFilter>("filter");
        QTest::addColumn<Ints>("window");
        QTest::addColumn<Ints>("offsets");
        QTest::addColumn<Ints>("times");

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
            << hand << filter(Correct) << Ints{700, 4096} << Ints{772, -772} << Ints{12, -3};
        QTest::newRow("limits narrow the header range")
            << file(5, 0, 3000, {499, 500, 1999, 2000, -1999}) << filter(All, 500, 2000)
            << Ints{500, 2000} << Ints{500, 1999, -1999} << Ints(3, 25);
        QTest::newRow("limits only narrow, never widen")
            << file(1, 100, 300, {99}) << filter(All, 0, 500) << Ints{100, 300} << Ints{} << Ints{};
        QTest::newRow("minOffset ignored without a positive maxOffset")
            << file(1, 0, 100, {0}) << filter(All, 500, -1) << Ints{0, 100} << Ints{0} << Ints{25};
        QTest::newRow("disjoint limits leave an inverted window")
            << file(2, 0, 1000, {500, 2500}) << filter(All, 2000, 3000) << Ints{2000, 1000}
            << Ints{} << Ints{};
        QTest::newRow("correct classes")
            << classes << filter(Correct) << Ints{0, 1000} << Ints{1, 2, 5} << Ints(3, 25);
        QTest::newRow("erroneous classes")
            << classes << filter(Error) << Ints{0, 1000} << Ints{3, 4} << Ints(2, 25);
        QTest::newRow("both classes") << classes << filter(Correct | Error) << Ints{0, 1000}
                                      << Ints{1, 2, 3, 4, 5} << Ints(5, 25);
        QTest::newRow("no class") << classes << filter(None) << Ints{0, 1000} << Ints{} << Ints{};
        QTest::newRow("short file: missing records are correct zero picks")
            << file(2, 0, 100, {1}) << filter(Correct) << Ints{0, 100} << Ints{1, 0} << Ints{25, 0};
        QTest::newRow("negative count reads nothing")
            << file(-5, 0, 1000, {1}) << filter(All) << Ints{0, 1000} << Ints{} << Ints{};
        QTest::newRow("2,000,000,000 records in 16 bytes: zeros up to the pick limit")
            << file(2000000000, 0, 8) << filter(All) << Ints{0, 8} << Ints(250, 0) << Ints(250, 0);
        QTest::newRow("times: NaN is 0, the rest clamps to the int range")
            << file(3, 0, 10) + record(1, qQNaN()) + record(2, qInf()) + record(3, -1e30f)
            << filter(All) << Ints{0, 10} << Ints{1, 2, 3} << Ints{0, 2147483647, -2147483647 - 1};
    }

    void load()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(FBPickFilter, filter);
        const FBPicks picks = read(bytes, filter);
        QTEST((Ints{picks.offsetLow, picks.offsetHigh}), "window");
        QTEST(picks.offsets, "offsets");
        QTEST(picks.fbTimes, "times");
        QCOMPARE(picks.pickCount, picks.offsets.size());
    }

    // Sparse files with records 0 (offset 11), 1,999,999 (offset 33, 3 ms) and 2,000,000 (offset
    // 22, cut after its offset), and holes that read as zeros outside the window 1 ... 5000. A
    // second chunk reuses the first one's buffer: the cut record must not show what it left.
    // The progress values run 1, 2, ... up to the number given.
    void recordCount_data()
    {
        QTest::addColumn<int>("count");
        QTest::addColumn<Ints>("times");
        QTest::addColumn<int>("progressValues");
        QTest::newRow("2,000,000 records: one chunk") << 2000000 << Ints{25, 3} << 100;
        QTest::newRow("2,000,001 records: two chunks") << 2000001 << Ints{25, 3, 0} << 100;
        QTest::newRow("250 records: progress step 2, ends at 125") << 250 << Ints{25} << 125;
        QTest::newRow("7 records: progress step 0, a value per record") << 7 << Ints{25} << 7;
    }

    void recordCount()
    {
        QFETCH(int, count);
        const FBPicks picks = read(file(count, 1, 5000, {11}), filter(All), 167999932,
                                   record(33, 3.0f) + record(22, 2.0f).left(40));
        QTEST(picks.fbTimes, "times");
        QTEST(int(values.size()), "progressValues");
        for (int k = 0; k < values.size(); ++k)
            QCOMPARE(values.at(k), k + 1);
    }

    // Thousands of distinct picks, so that every growth of the pick vectors must carry them
    // over; then a header that announces 3,000,000 records more than the file holds, of which
    // only 2,000,000 become zero picks.
    void manyPicksAndMissingRecords()
    {
        Ints offsets;
        for (int k = 0; k < 5000; ++k)
            offsets << (k % 2 ? -k : k);
        for (const qint32 count : {5000, 3005000}) {
            QFile file(dir.filePath(QStringLiteral("many.fb")));
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(::file(count, 0, 6000, offsets));
            file.close();
            FBLoader loader(file.fileName(), filter(All));
            FBPicks picks;
            loader.readHeader(picks);
            loader.readRecords(picks);
            QCOMPARE(picks.pickCount, count == 5000 ? 5000 : 2005000);
            QCOMPARE(picks.offsets.mid(0, 5000), offsets);
            QCOMPARE(picks.fbTimes.mid(0, 5000), Ints(5000, 25));
            QCOMPARE(picks.offsets.mid(5000), Ints(picks.pickCount - 5000, 0));
        }
    }
};

QTEST_GUILESS_MAIN(tst_FBLoader)
#include "tst_FBLoader.moc"
