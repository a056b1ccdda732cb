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

struct Group
{
    int offset;
    Ints times;
    int fbClass = 0;
};

// Picks in the window low..high, records numbered in the order given, and zero picks of
// missing records after them.
FBPicks picks(int low, const QVector<Group> &groups, int zeroPicks = 0, int high = 3000)
{
    FBPicks picks;
    picks.offsetLow = low;
    picks.offsetHigh = high;
    for (const Group &group : groups)
        for (const int time : group.times) {
            picks.records.append(picks.offsets.size());
            picks.offsets.append(group.offset);
            picks.fbTimes.append(time);
            picks.classes.append(group.fbClass);
        }
    picks.zeroPicks = zeroPicks;
    picks.pickCount = picks.recordCount = picks.offsets.size() + zeroPicks;
    return picks;
}

void row(const char *name, const FBPicks &picks, const QString &trend)
{
    QTest::newRow(name) << picks << trend;
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
        // The bins' medians, judged picks, and suspects as record,offset,time,class,residual.
        QTest::addColumn<QString>("trend");
        row("19 picks: not judged", picks(100, {{105, range(1, 19)}}), " | 0 | ");
        row("20 picks: lower median of an even count", picks(100, {{105, range(1, 19) << 100}}),
            "0:10 | 20 | 19,105,100,0,90");
        row("21 picks in falling order", picks(100, {{105, range(21, 1)}}), "0:11 | 21 | ");
        row("residual 20 is not suspect, 21 is", picks(100, {{105, Ints(18, 50) << 30 << 71}}),
            "0:50 | 20 | 19,105,71,0,21");
        row("bin at the window's top",
            picks(0, {{2999, range(1, 10)}, {2990, range(11, 20)}, {2989, {500}}}),
            "299:10 | 20 | ");
        row("negative offsets share the bin of their magnitude",
            picks(100, {{-105, range(1, 10)}, {109, range(11, 20)}, {-101, {60}}}),
            "0:11 | 21 | 20,-101,60,0,49");
        row("110 m starts the next bin", picks(100, {{109, Ints(20, 5)}, {110, Ints(20, 50)}}),
            "0:5 1:50 | 40 | ");
        row("error classes are not judged, negative codes are",
            picks(100, {{105, range(1, 20), 2}, {105, range(1, 19), -3}}), " | 0 | ");
        row("zero picks of missing records take part", picks(0, {{5, {25}}, {5, Ints(19, 3)}}, 21),
            "0:0 | 41 | 0,5,25,0,25");
        row("zero picks above the median are suspect with their records",
            picks(0, {{5, range(31, 51)}}, 3),
            "0:39 | 24 | 21,0,0,0,-39 22,0,0,0,-39 23,0,0,0,-39");
        row("zero picks after negative times", picks(0, {{5, range(-44, -30)}}, 6),
            "0:-34 | 21 | 15,0,0,0,34 16,0,0,0,34 17,0,0,0,34 18,0,0,0,34 19,0,0,0,34 "
            "20,0,0,0,34");
        row("the median just above ten zero picks", picks(0, {{5, range(1, 11)}}, 10),
            "0:1 | 21 | ");
        row("two billion zero picks are counted, not stored", picks(0, {{5, {25}}}, 2000000000),
            "0:0 | 2000000001 | 0,5,25,0,25");
        row("wild times are residuals like any other",
            picks(100, {{105, Ints(20, 50) << 2147483647 << (-2147483647 - 1)}}),
            "0:50 | 22 | 20,105,2147483647,0,2147483597 21,105,-2147483648,0,-2147483698");
        QVector<Group> thin;
        for (int offset = 0; offset < 3000; offset += 10)
            thin.append({offset, Ints(19, offset)});
        row("every bin thin", picks(0, thin), " | 0 | ");
        // A bin per 10 m of a 2-billion-metre window for 21 picks: refused, and said why.
        row("sparse wide window", picks(0, {{5, Ints(20, 1)}, {2147483647, {1}}}, 0, 2147483647),
            "the Correct picks spread over 214,748,365 trend bins, more than their 21 picks: no "
            "trend | 0 | ");
    }

    void medianAndSuspects()
    {
        QFETCH(FBPicks, picks);
        PickTrend trend(picks.offsetLow, 10, 20);
        QStringList medians, suspects;
        if (!trend.fit(picks))
            medians << trend.error();
        for (int bin = 0, time = 0; bin < trend.binCount(); ++bin)
            if (trend.median(bin, &time))
                medians << QStringLiteral("%1:%2").arg(bin).arg(time);
        trend.judge(picks, [&suspects](const PickTrend::Suspect &s) {
            suspects << QString::asprintf("%d,%d,%d,%d,%lld", s.record, s.offset, s.time, s.fbClass,
                                          s.residual);
        });
        QTEST(QStringList(
                  {medians.join(' '), QString::number(trend.judgedCount()), suspects.join(' ')})
                  .join(" | "),
              "trend");
        QCOMPARE(trend.suspectCount(), suspects.size());
    }

    // Residuals -201, -200, -1, 0 (30 times), 1, 199 and 200 against a median of 1000.
    void histogramEdges()
    {
        const FBPicks edges =
            picks(0, {{50, Ints(30, 1000) << 799 << 800 << 999 << 1001 << 1199 << 1200}});
        PickTrend trend(0, 10, 20);
        QVERIFY(trend.fit(edges));
        trend.judge(edges);
        const QVector<qint64> &h = trend.histogram();
        QCOMPARE(QVector<qint64>({h.size(), h[0], h[99], h[100], h[199],
                                  std::accumulate(h.begin(), h.end(), qint64(0)), trend.below(),
                                  trend.above(), trend.suspectEarly(), trend.suspectLate()}),
                 QVector<qint64>({200, 1, 1, 31, 1, 34, 1, 1, 2, 2}));
        QVERIFY(qAbs(trend.suspectShare() - 11.111111) < 1e-5); // 4 of 36
    }
};

QTEST_APPLESS_MAIN(tst_PickTrend)
#include "tst_PickTrend.moc"
