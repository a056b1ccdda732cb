#include "FBLoader.h"
#include "FBRecordScanner.h"
#include "PickTrend.h"
#include "RefractorModel.h"

#include <QtTest>
#include <numeric>

namespace {

using Ints = QVector<int>;

Ints range(int first, int last)
{
    Ints values(last - first + 1);
    std::iota(values.begin(), values.end(), first);
    return values;
}

struct Group
{
    int offset;
    Ints times;
    int fbClass = 0;
};

// Picks in a window from low on, records numbered in the order given, and zero picks of missing
// records after them.
FBPicks picks(int low, const QVector<Group> &groups, int zeroPicks = 0)
{
    FBPicks picks;
    picks.offsetLow = low;
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

// The picks as one block of a second read of their file, and then their zero picks, judged.
void judge(PickTrend &trend, const FBPicks &picks, const PickTrend::OnSuspect &onSuspect = {})
{
    FBPickBlock block(picks.offsets.size() + 1, true);
    block.count = picks.offsets.size();
    std::copy(picks.offsets.begin(), picks.offsets.end(), block.offsets.get());
    std::copy(picks.fbTimes.begin(), picks.fbTimes.end(), block.fbTimes.get());
    std::copy(picks.records.begin(), picks.records.end(), block.records.get());
    std::copy(picks.classes.begin(), picks.classes.end(), block.classes.get());
    trend.judge(block, onSuspect);
    trend.judgeZeroPicks(picks.zeroPicks, picks.recordCount - picks.zeroPicks, onSuspect);
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
        const auto row = [](const char *name, const FBPicks &picks, const char *trend) {
            QTest::newRow(name) << picks << QString(trend);
        };
        row("20 picks: lower median of an even count", picks(100, {{105, range(1, 19) << 100}}),
            "0:10 | 20 | 19,105,100,0,90");
        row("21 picks out of order", picks(100, {{105, range(11, 21)}, {105, range(1, 10)}}),
            "0:11 | 21 | ");
        row("residuals of 20 ms are not suspect, of 21 are",
            picks(100, {{105, Ints(18, 50) << 30 << 70 << 29 << 71}}),
            "0:50 | 22 | 20,105,29,0,-21 21,105,71,0,21");
        row("bin at the window's top",
            picks(0, {{2999, range(1, 10)}, {2990, range(11, 20)}, {2989, {500}}}),
            "299:10 | 20 | ");
        row("negative offsets share the bin of their magnitude",
            picks(100, {{-105, range(1, 10)}, {109, range(11, 20)}, {-101, {60}}}),
            "0:11 | 21 | 20,-101,60,0,49");
        row("110 m starts the next bin; 19 picks are not judged",
            picks(100, {{109, Ints(20, 5)}, {110, Ints(20, 50)}, {125, range(1, 19)}}),
            "0:5 1:50 | 40 | ");
        row("negative class codes are judged like any Correct pick",
            picks(100, {{105, range(1, 19), -3}, {105, {60}}}), "0:10 | 20 | 19,105,60,0,50");
        row("zero picks of missing records take part", picks(0, {{5, {25}}, {5, Ints(19, 3)}}, 21),
            "0:0 | 41 | 0,5,25,0,25");
        row("zero picks above the median are suspect with their records",
            picks(0, {{5, range(31, 51)}}, 3),
            "0:39 | 24 | 21,0,0,0,-39 22,0,0,0,-39 23,0,0,0,-39");
        row("zero picks after negative times", picks(0, {{5, range(-15, -1)}}, 6), "0:-5 | 21 | ");
        row("the median just above ten zero picks", picks(0, {{5, range(1, 11)}}, 10),
            "0:1 | 21 | ");
        row("the same, sorted beside a wild time", picks(0, {{5, range(1, 10) << 2147483647}}, 10),
            "0:1 | 21 | 10,5,2147483647,0,2147483646");
        row("two billion zero picks are counted, not stored", picks(0, {{5, {25}}}, 2000000000),
            "0:0 | 2000000001 | 0,5,25,0,25");
        row("wild times are residuals like any other",
            picks(100, {{105, Ints(20, 50) << 2147483647 << (-2147483647 - 1)}}),
            "0:50 | 22 | 20,105,2147483647,0,2147483597 21,105,-2147483648,0,-2147483698");
        // The zero picks pay for the bins up to a pick 15,000 km out.
        row("zero picks widen a sparse window",
            picks(0, {{5, Ints(20, 1)}, {15000000, {1}}}, 2000000000), "0:0 | 2000000020 | ");
        // Picks 2 billion metres apart would take a bin per 10 m between them for 21 picks:
        // refused, and said why.
        row("sparse wide window", picks(0, {{5, Ints(20, 1)}, {2147483647, {1}}}),
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
        judge(trend, picks, [&suspects](const PickTrend::Suspect &s) {
            suspects << QString::asprintf("%d,%d,%d,%d,%lld", s.record, s.offset, s.time, s.fbClass,
                                          s.residual);
        });
        QTEST(medians.join(' ') + " | " + QString::number(trend.judgedCount()) + " | " +
                  suspects.join(' '),
              "trend");
    }

    // Residuals -201, -200, -1, 0 (30 times), 1, 199 and 200 against a median of 1000.
    void histogramEdges()
    {
        const FBPicks edges =
            picks(0, {{50, Ints(30, 1000) << 799 << 800 << 999 << 1001 << 1199 << 1200}});
        PickTrend trend(0, 10, 20);
        QVERIFY(trend.fit(edges));
        judge(trend, edges);
        const QVector<qint64> &h = trend.histogram();
        QCOMPARE(QVector<qint64>({h.size(), h[0], h[99], h[100], h[199],
                                  std::accumulate(h.begin(), h.end(), qint64(0)), trend.below(),
                                  trend.above(), trend.suspectEarly(), trend.suspectLate(),
                                  qRound64(trend.suspectShare() * 1e6)}),
                 QVector<qint64>({200, 1, 1, 31, 1, 34, 1, 1, 2, 2, 11111111})); // 4 of 36
    }

    // Picks enough for the trend to be counted on two threads: the same medians and the same
    // model as one thread finds.
    void sameTrendOnOneThreadAndTwo()
    {
        FBPicks many = picks(0, {});
        for (int i = 0; i < 2200000; ++i) {
            const int magnitude = int(qint64(i) * 7919 % 3000);
            many.offsets.append(i % 2 ? -magnitude : magnitude);
            many.fbTimes.append(magnitude < 900 ? magnitude / 2 : 150 + magnitude / 4 + i % 9);
        }
        many.pickCount = many.recordCount = many.offsets.size();
        QString found[2];
        for (const int threads : {1, 2}) {
            qputenv("CROSSPLOT_LOAD_THREADS", QByteArray::number(threads));
            PickTrend trend(0, 10, 20);
            QVERIFY(trend.fit(many));
            RefractorModel model;
            QVERIFY(trend.fitRefractor(model));
            int median = 0;
            for (int bin = 0; bin < trend.binCount(); ++bin)
                found[threads - 1] +=
                    trend.median(bin, &median) ? QString::number(median) + ' ' : "- ";
            for (const RefractorModel::Layer &layer : model.layers())
                found[threads - 1] += QString::asprintf("| %.9g %.9g %.9g ", layer.velocity,
                                                        layer.intercept, layer.toOffset);
        }
        qunsetenv("CROSSPLOT_LOAD_THREADS");
        QCOMPARE(found[1], found[0]);
    }
};

QTEST_APPLESS_MAIN(tst_PickTrend)
#include "tst_PickTrend.moc"
