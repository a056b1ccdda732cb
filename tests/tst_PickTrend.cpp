#include "FBLoader.h"
#include "PickTrend.h"

#include <QtTest>

namespace {

using Ints = QVector<int>;

Ints range(int first, int last)
{
    Ints values;
    for (int v = first; first <= last ? v <= last : v >= last; v += first <= last ? 1 : -1)
        values.append(v);
    return values;
}

// Appends picks at one offset with these times, records numbered on from the last.
void add(FBPicks &picks, int offset, const Ints &times, int fbClass = 0)
{
    for (const int time : times) {
        picks.records.append(picks.offsets.size());
        picks.offsets.append(offset);
        picks.fbTimes.append(time);
        picks.classes.append(fbClass);
    }
    picks.pickCount = picks.recordCount = picks.offsets.size();
}

FBPicks window(int low, int high)
{
    FBPicks picks;
    picks.offsetLow = low;
    picks.offsetHigh = high;
    return picks;
}

} // namespace

Q_DECLARE_METATYPE(FBPicks)

class tst_PickTrend : public QObject
{
    Q_OBJECT

private slots:
    // Trend bins of 10 m, suspect beyond 20 ms.
    void medianAndSuspects_data()
    {
        QTest::addColumn<FBPicks>("picks");
        QTest::addColumn<int>("bin");
        QTest::addColumn<int>("median"); // -1: not judged
        QTest::addColumn<int>("judged");
        QTest::addColumn<QStringList>("suspects"); // record,offset,time,class,residual

        FBPicks picks = window(100, 3000);
        add(picks, 105, range(1, 19));
        QTest::newRow("19 picks: not judged") << picks << 0 << -1 << 0 << QStringList();
        add(picks, 105, {100});
        QTest::newRow("20 picks: lower median of an even count")
            << picks << 0 << 10 << 20 << QStringList{"19,105,100,0,90"};

        picks = window(100, 3000);
        add(picks, 105, range(21, 1));
        QTest::newRow("21 picks in falling order") << picks << 0 << 11 << 21 << QStringList();

        picks = window(100, 3000);
        add(picks, 105, Ints(18, 50) << 30 << 71);
        QTest::newRow("residual 20 is not suspect, 21 is")
            << picks << 0 << 50 << 20 << QStringList{"19,105,71,0,21"};

        picks = window(0, 3000);
        add(picks, 2999, range(1, 10));
        add(picks, 2990, range(11, 20));
        add(picks, 2989, {500});
        QTest::newRow("bin at the window's top") << picks << 299 << 10 << 20 << QStringList();

        picks = window(100, 3000);
        add(picks, -105, range(1, 10));
        add(picks, 109, range(11, 20));
        add(picks, -101, {60});
        QTest::newRow("negative offsets share the bin of their magnitude")
            << picks << 0 << 11 << 21 << QStringList{"20,-101,60,0,49"};

        picks = window(100, 3000);
        add(picks, 109, Ints(20, 5));
        add(picks, 110, Ints(20, 50));
        QTest::newRow("110 m starts the next bin") << picks << 1 << 50 << 40 << QStringList();

        picks = window(100, 3000);
        add(picks, 105, range(1, 20), 2);
        add(picks, 105, range(1, 19), -3);
        QTest::newRow("error classes are not judged, negative codes are")
            << picks << 0 << -1 << 0 << QStringList();

        picks = window(0, 3000);
        add(picks, 5, {25});
        add(picks, 5, Ints(19, 3));
        picks.zeroPicks = 21;
        picks.recordCount = picks.pickCount = 41;
        QTest::newRow("zero picks of missing records take part")
            << picks << 0 << 0 << 41 << QStringList{"0,5,25,0,25"};

        picks = window(100, 3000);
        add(picks, 105, Ints(20, 50) << 2147483647 << (-2147483647 - 1));
        QTest::newRow("wild times are residuals like any other")
            << picks << 0 << 50 << 22
            << QStringList{"20,105,2147483647,0,2147483597", "21,105,-2147483648,0,-2147483698"};

        picks = window(0, 3000);
        for (int offset = 0; offset < 3000; offset += 10)
            add(picks, offset, Ints(19, offset));
        QTest::newRow("every bin thin") << picks << 150 << -1 << 0 << QStringList();
    }

    void medianAndSuspects()
    {
        QFETCH(FBPicks, picks);
        QFETCH(int, bin);
        QFETCH(int, median);
        QFETCH(int, judged);
        QFETCH(QStringList, suspects);

        PickTrend trend(picks.offsetLow, 10, 20);
        QVERIFY(trend.fit(picks));
        int found = -1;
        QCOMPARE(trend.median(bin, &found), median != -1);
        if (median != -1)
            QCOMPARE(found, median);

        QStringList listed;
        trend.judge(picks, [&listed](const PickTrend::Suspect &s) {
            listed << QStringLiteral("%1,%2,%3,%4,%5")
                          .arg(s.record)
                          .arg(s.offset)
                          .arg(s.time)
                          .arg(s.fbClass)
                          .arg(s.residual);
        });
        QCOMPARE(listed, suspects);
        QCOMPARE(trend.judgedCount(), qint64(judged));
        QCOMPARE(trend.suspectCount(), qint64(suspects.size()));
        QCOMPARE(trend.suspectEarly() + trend.suspectLate(), qint64(suspects.size()));
    }

    // Residuals -201, -200, -1, 0 (30 times), 1, 199 and 200 against a median of 1000.
    void histogramEdges()
    {
        FBPicks picks = window(0, 100);
        add(picks, 50, Ints(30, 1000) << 799 << 800 << 999 << 1001 << 1199 << 1200);
        PickTrend trend(0, 10, 20);
        QVERIFY(trend.fit(picks));
        trend.judge(picks);
        QCOMPARE(trend.histogram().size(), 200);
        QCOMPARE(trend.histogram().at(0), 1);
        QCOMPARE(trend.histogram().at(99), 1);
        QCOMPARE(trend.histogram().at(100), 31);
        QCOMPARE(trend.histogram().at(199), 1);
        QCOMPARE(trend.below(), 1);
        QCOMPARE(trend.above(), 1);
        QCOMPARE(trend.suspectEarly(), 2);
        QCOMPARE(trend.suspectLate(), 2);
        QVERIFY(qAbs(trend.suspectShare() - 11.111111) < 1e-5); // 4 of 36
    }

    // Picks far apart would need a bin per metre of a 2-billion-metre window: refused, said.
    void sparseWideWindowIsRefused()
    {
        FBPicks picks = window(0, 2147483647);
        add(picks, 5, Ints(20, 1));
        add(picks, 2147483647, {1});
        PickTrend trend(0, 1, 20);
        QVERIFY(!trend.fit(picks));
        QVERIFY2(trend.error().contains(QLatin1String("trend bins")), qPrintable(trend.error()));
        trend.judge(picks);
        QCOMPARE(trend.judgedCount(), 0);
    }
};

QTEST_APPLESS_MAIN(tst_PickTrend)
#include "tst_PickTrend.moc"
