#include "FBLoader.h"

#include <QDataStream>
#include <QTemporaryDir>
#include <QtTest>
#include <limits>

namespace {

constexpr int IntMax = std::numeric_limits<int>::max();
constexpr int IntMin = std::numeric_limits<int>::min();

struct Rec
{
    qint32 offset;
    float time;
    qint32 fbClass;
};

// Written byte by byte in little-endian order, independently of the reader's own layout; the
// bytes that carry no meaning are filled with 0xEE so that a misplaced field shows.
QByteArray recordBytes(const Rec &rec)
{
    QByteArray bytes;
    QDataStream out(&bytes, QIODevice::WriteOnly);
    out.setByteOrder(QDataStream::LittleEndian);
    out.setFloatingPointPrecision(QDataStream::SinglePrecision);
    const QByteArray junk(48, '\xEE');
    out.writeRawData(junk.constData(), 8);
    out << rec.offset;
    out.writeRawData(junk.constData(), 48);
    out << rec.time << rec.fbClass;
    out.writeRawData(junk.constData(), 16);
    return bytes;
}

QByteArray fbBytes(qint32 count, qint32 low, qint32 high, const QVector<Rec> &records = {})
{
    QByteArray bytes;
    QDataStream out(&bytes, QIODevice::WriteOnly);
    out.setByteOrder(QDataStream::LittleEndian);
    out << count << qint32(-7) << low << high;
    for (const Rec &rec : records)
        bytes += recordBytes(rec);
    return bytes;
}

FBPickFilter classes(bool correct, bool error, bool all)
{
    FBPickFilter filter;
    filter.plotCorrectFB = correct;
    filter.plotErrorFB = error;
    filter.plotAllFB = all;
    return filter;
}

const FBPickFilter AllPicks = classes(false, false, true);

} // namespace

Q_DECLARE_METATYPE(FBPickFilter)

class tst_FBLoader : public QObject
{
    Q_OBJECT

    QTemporaryDir dir;
    int files = 0;

    QString writeFile(const QByteArray &bytes)
    {
        const QString path = dir.filePath(QString::number(++files) + QLatin1String(".fb"));
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
            qFatal("cannot write %s", qPrintable(path));
        return path;
    }

    static FBPicks load(const QString &path, const FBPickFilter &filter,
                        QVector<int> *values = nullptr, int pickLimit = -1)
    {
        FBLoader loader(path, filter);
        if (pickLimit >= 0)
            loader.setPickLimit(pickLimit);
        FBPicks picks;
        loader.readHeader(picks);
        loader.readRecords(picks, [values](int v) {
            if (values)
                values->append(v);
        });
        return picks;
    }

    static void checkConsistent(const FBPicks &picks)
    {
        QCOMPARE(picks.offsets.size(), picks.pickCount);
        QCOMPARE(picks.fbTimes.size(), picks.pickCount);
    }

private slots:
    void initTestCase() { QVERIFY(dir.isValid()); }

    // Bytes typed out by hand: a reader with the wrong byte order or field positions misses.
    void handWrittenRecords()
    {
        QByteArray bytes = QByteArray::fromHex("02000000"
                                               "ffffffff"
                                               "00000000"
                                               "00100000");
        const QByteArray pad(4, '\x11');
        const auto record = [&](const char *offset, const char *time, const char *fbClass) {
            return pad + pad + QByteArray::fromHex(offset) + pad.repeated(12) +
                   QByteArray::fromHex(time) + QByteArray::fromHex(fbClass) + pad.repeated(4);
        };
        bytes += record("04030000", "00001642", "01000000"); //  772, 37.5 ms, class 1
        bytes += record("fcfcffff", "cdcc6cc0", "feffffff"); // -772, -3.7 ms, class -2
        bytes += record("05000000", "00002041", "02000000"); //    5, 10 ms, class 2
        QCOMPARE(bytes.size(), 16 + 3 * 84);

        const FBPicks picks = load(writeFile(bytes), classes(true, false, false));
        QCOMPARE(picks.recordCount, 2);
        QCOMPARE(picks.offsetLow, 0);
        QCOMPARE(picks.offsetHigh, 4096);
        QCOMPARE(picks.offsets, (QVector<int>{772, -772}));
        QCOMPARE(picks.fbTimes, (QVector<int>{37, -3}));
        QCOMPARE(picks.pickCount, 2);
    }

    void offsetWindow_data()
    {
        QTest::addColumn<int>("headerLow");
        QTest::addColumn<int>("headerHigh");
        QTest::addColumn<int>("minOffset");
        QTest::addColumn<int>("maxOffset");
        QTest::addColumn<QVector<int>>("offsets");
        QTest::addColumn<int>("low");
        QTest::addColumn<int>("high");
        QTest::addColumn<QVector<int>>("kept");

        QTest::newRow("limits narrow the header range")
            << 0 << 3000 << 500 << 2000 << QVector<int>{499, 500, 1999, 2000, -1999} << 500 << 2000
            << QVector<int>{500, 1999, -1999};
        QTest::newRow("limits only narrow, never widen")
            << 100 << 3000 << 0 << 5000 << QVector<int>{99, 100, 2999, 3000} << 100 << 3000
            << QVector<int>{100, 2999};
        QTest::newRow("no limits when both are 0")
            << 0 << 1000 << 0 << 0 << QVector<int>{0, 999, 1000} << 0 << 1000
            << QVector<int>{0, 999};
        QTest::newRow("minOffset ignored without a positive maxOffset")
            << 0 << 1000 << 500 << -1 << QVector<int>{0, 499} << 0 << 1000 << QVector<int>{0, 499};
        QTest::newRow("disjoint limits leave an inverted window")
            << 0 << 1000 << 2000 << 3000 << QVector<int>{0, 500, 2500} << 2000 << 1000
            << QVector<int>{};
        QTest::newRow("negative offset kept signed")
            << 1000 << 1500 << 0 << 0 << QVector<int>{-1200, -999, -1500} << 1000 << 1500
            << QVector<int>{-1200};
        QTest::newRow("negative header low admits from 0")
            << -50 << 10 << 0 << 0 << QVector<int>{0, -9, 10, -10} << -50 << 10
            << QVector<int>{0, -9};
        QTest::newRow("INT_MIN lies above the widest window")
            << 0 << IntMax << 0 << 0 << QVector<int>{IntMin, -IntMax, IntMax - 1} << 0 << IntMax
            << QVector<int>{IntMax - 1};
    }

    void offsetWindow()
    {
        QFETCH(int, headerLow);
        QFETCH(int, headerHigh);
        QFETCH(int, minOffset);
        QFETCH(int, maxOffset);
        QFETCH(QVector<int>, offsets);

        QVector<Rec> records;
        for (int offset : offsets)
            records.append({offset, 25.0f, 0});
        FBPickFilter filter = AllPicks;
        filter.minOffset = minOffset;
        filter.maxOffset = maxOffset;
        const FBPicks picks =
            load(writeFile(fbBytes(records.size(), headerLow, headerHigh, records)), filter);

        QTEST(picks.offsetLow, "low");
        QTEST(picks.offsetHigh, "high");
        QTEST(picks.offsets, "kept");
        checkConsistent(picks);
    }

    void classFilter_data()
    {
        QTest::addColumn<FBPickFilter>("filter");
        QTest::addColumn<QVector<int>>("keptClasses");

        QTest::newRow("correct only") << classes(true, false, false) << QVector<int>{0, 1, -3};
        QTest::newRow("error only") << classes(false, true, false) << QVector<int>{2, 7};
        QTest::newRow("correct and error")
            << classes(true, true, false) << QVector<int>{0, 1, 2, 7, -3};
        QTest::newRow("all overrides unset flags") << AllPicks << QVector<int>{0, 1, 2, 7, -3};
        QTest::newRow("no class selected") << classes(false, false, false) << QVector<int>{};
    }

    void classFilter()
    {
        QFETCH(FBPickFilter, filter);
        // The offset carries the class code so that the kept picks name their classes.
        const QVector<Rec> records{{100, 1, 0}, {101, 2, 1}, {102, 3, 2}, {107, 4, 7}, {97, 5, -3}};
        const FBPicks picks = load(writeFile(fbBytes(5, 0, 1000, records)), filter);
        QVector<int> keptClasses;
        for (int offset : picks.offsets)
            keptClasses.append(offset - 100);
        QTEST(keptClasses, "keptClasses");
        checkConsistent(picks);
    }

    void times_data()
    {
        QTest::addColumn<float>("time");
        QTest::addColumn<int>("kept");

        QTest::newRow("12.9 truncates down") << 12.9f << 12;
        QTest::newRow("-3.7 truncates up") << -3.7f << -3;
        QTest::newRow("-0.5 is 0") << -0.5f << 0;
        QTest::newRow("largest float below 2^31") << 2147483520.0f << 2147483520;
        QTest::newRow("-2^31 fits") << -2147483648.0f << IntMin;
        QTest::newRow("NaN is 0") << std::numeric_limits<float>::quiet_NaN() << 0;
        QTest::newRow("+inf clamps") << std::numeric_limits<float>::infinity() << IntMax;
        QTest::newRow("-inf clamps") << -std::numeric_limits<float>::infinity() << IntMin;
        QTest::newRow("1e30 clamps") << 1e30f << IntMax;
        QTest::newRow("-1e30 clamps") << -1e30f << IntMin;
    }

    void times()
    {
        QFETCH(float, time);
        QFETCH(int, kept);
        const FBPicks picks = load(writeFile(fbBytes(1, 0, 10, {{5, time, 0}})), AllPicks);
        QCOMPARE(picks.fbTimes, QVector<int>{kept});
    }

    // Sparse files: only the marked records hold data, the holes read as zeros outside the
    // window 1 ... 5000. The second chunk reuses the first one's buffer, so a record cut short
    // there shows whether its missing bytes read as zeros or as what the first chunk left.
    void chunkBoundaries_data()
    {
        QTest::addColumn<int>("count");
        QTest::addColumn<int>("lastBytes");
        QTest::addColumn<QVector<int>>("offsets");
        QTest::addColumn<QVector<int>>("times");

        QTest::newRow("2,000,000 records: one chunk")
            << 2000000 << 0 << QVector<int>{11, 33} << QVector<int>{77, 3};
        QTest::newRow("2,000,001 records: a second chunk of one")
            << 2000001 << 84 << QVector<int>{11, 33, 22} << QVector<int>{77, 3, 2};
        QTest::newRow("2,000,001 records, the last cut after its offset")
            << 2000001 << 40 << QVector<int>{11, 33, 22} << QVector<int>{77, 3, 0};
    }

    void chunkBoundaries()
    {
        QFETCH(int, count);
        QFETCH(int, lastBytes);
        const QString path = writeFile(fbBytes(count, 1, 5000, {{11, 77.0f, 5}}));
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadWrite));
        QVERIFY(file.seek(16 + qint64(1999999) * 84));
        file.write(recordBytes({33, 3.0f, 0}));
        QVERIFY(file.seek(168000016));
        file.write(recordBytes({22, 2.0f, 0}).left(lastBytes));
        file.close();

        QVector<int> values;
        const FBPicks picks = load(path, AllPicks, &values);
        QTEST(picks.offsets, "offsets");
        QTEST(picks.fbTimes, "times");
        QCOMPARE(values.size(), 100);
        QCOMPARE(values.last(), 100);
    }

    // Record 2 is cut after 40 bytes (its offset is there, time and class are not) and
    // records 3 and 4 are missing: they read as zeros.
    void shortFile_data()
    {
        QTest::addColumn<FBPickFilter>("filter");
        QTest::addColumn<int>("low");
        QTest::addColumn<QVector<int>>("offsets");
        QTest::addColumn<QVector<int>>("times");

        QTest::newRow("correct: missing records are zero picks")
            << classes(true, false, false) << 0 << QVector<int>{200, 300, 0, 0}
            << QVector<int>{6, 0, 0, 0};
        QTest::newRow("window above 0 drops them")
            << AllPicks << 1 << QVector<int>{100, 200, 300} << QVector<int>{5, 6, 0};
        QTest::newRow("error picks only")
            << classes(false, true, false) << 0 << QVector<int>{100} << QVector<int>{5};
    }

    void shortFile()
    {
        QFETCH(FBPickFilter, filter);
        QFETCH(int, low);
        QByteArray bytes = fbBytes(5, low, 1000, {{100, 5.5f, 2}, {200, 6.5f, 0}});
        bytes += recordBytes({300, 7.5f, 9}).left(40);
        QVector<int> values;
        const FBPicks picks = load(writeFile(bytes), filter, &values);
        QTEST(picks.offsets, "offsets");
        QTEST(picks.fbTimes, "times");
        QCOMPARE(values, (QVector<int>{1, 2, 3, 4, 5}));
        checkConsistent(picks);
    }

    void unreadableHeaders_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<int>("recordCount");
        QTest::addColumn<int>("high");
        QTest::addColumn<int>("pickCount");

        QTest::newRow("missing file") << QByteArray() << 0 << 0 << 0;
        QTest::newRow("empty file") << QByteArray("") << 0 << 0 << 0;
        // Only the low byte of offsetHigh = 1000 is there; the three records are all missing.
        QTest::newRow("cut inside offsetHigh") << fbBytes(3, 0, 1000).left(13) << 3 << 0xe8 << 3;
        QTest::newRow("negative count reads nothing")
            << fbBytes(-5, 0, 1000, {{1, 1, 0}}) << -5 << 1000 << 0;
        QTest::newRow("INT_MIN count reads nothing")
            << fbBytes(IntMin, 0, 1000, {{1, 1, 0}}) << IntMin << 1000 << 0;
    }

    void unreadableHeaders()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(int, pickCount);
        const QString path =
            bytes.isNull() ? dir.filePath(QStringLiteral("absent.fb")) : writeFile(bytes);
        QVector<int> values;
        const FBPicks picks = load(path, AllPicks, &values);
        QTEST(picks.recordCount, "recordCount");
        QTEST(picks.offsetHigh, "high");
        QCOMPARE(picks.offsetLow, 0);
        QCOMPARE(picks.pickCount, pickCount);
        QCOMPARE(values.size(), pickCount);
        checkConsistent(picks);
    }

    void progress_data()
    {
        QTest::addColumn<int>("count");
        QTest::addColumn<bool>("onFile");
        QTest::addColumn<int>("calls");

        QTest::newRow("250 records: step 2, ends at 125") << 250 << true << 125;
        QTest::newRow("250 announced, none on file") << 250 << false << 125;
        QTest::newRow("7 records: step 0, one per record") << 7 << true << 7;
        QTest::newRow("199 records: step 1") << 199 << false << 199;
        QTest::newRow("1001 records: step 10") << 1001 << true << 100;
        QTest::newRow("0 records: no value") << 0 << true << 0;
    }

    void progress()
    {
        QFETCH(int, count);
        QFETCH(bool, onFile);
        QFETCH(int, calls);
        const QVector<Rec> records(onFile ? count : 0, Rec{50, 10.0f, 0});
        QVector<int> values;
        const FBPicks picks = load(writeFile(fbBytes(count, 0, 100, records)), AllPicks, &values);
        QCOMPARE(values.size(), calls);
        for (int k = 0; k < values.size(); ++k)
            QCOMPARE(values.at(k), k + 1);
        QCOMPARE(picks.pickCount, count);
    }

    // A 16-byte file that announces 2,000,000,000 records: every chunk is read as zero records,
    // and only the pick limit bounds what is held.
    void forgedRecordCount_data()
    {
        QTest::addColumn<int>("low");
        QTest::addColumn<int>("pickLimit");
        QTest::addColumn<int>("pickCount");

        QTest::newRow("zeros outside the window") << 1 << -1 << 0;
        QTest::newRow("zeros kept up to the limit") << 0 << 1000 << 1000;
        QTest::newRow("limit 0 keeps nothing") << 0 << 0 << 0;
    }

    void forgedRecordCount()
    {
        QFETCH(int, low);
        QFETCH(int, pickLimit);
        QVector<int> values;
        const FBPicks picks =
            load(writeFile(fbBytes(2000000000, low, 10)), AllPicks, &values, pickLimit);
        QTEST(picks.pickCount, "pickCount");
        QCOMPARE(picks.recordCount, 2000000000);
        QCOMPARE(values.size(), 100);
        QCOMPARE(values.last(), 100);
        checkConsistent(picks);
        for (int k = 0; k < picks.pickCount; ++k)
            QVERIFY(picks.offsets.at(k) == 0 && picks.fbTimes.at(k) == 0);
    }

    void recordsAfterTheCountAreNotRead()
    {
        const FBPicks picks =
            load(writeFile(fbBytes(2, 0, 100, {{1, 0, 0}, {2, 0, 0}, {3, 0, 0}})), AllPicks);
        QCOMPARE(picks.offsets, (QVector<int>{1, 2}));
    }
};

QTEST_GUILESS_MAIN(tst_FBLoader)
#include "tst_FBLoader.moc"
