#include "DensityGrid.h"

#include <QtTest>
#include <limits>

namespace {

constexpr int IntMax = std::numeric_limits<int>::max();
constexpr int IntMin = std::numeric_limits<int>::min();

using Cells = QVector<QPair<int, int>>;               // index, count of every occupied cell
using Values = QVector<std::tuple<int, int, double>>; // column, row, value of every non-NaN

// Picks at offset 1 and one time bin after another, `counts[k]` of them in bin k.
QVector<int> binnedCounts(int ones, const QVector<int> &more)
{
    return QVector<int>(ones, 1) + more;
}

struct Picks
{
    QVector<int> offsets, times;
};

Picks picksFromCounts(const QVector<int> &counts)
{
    Picks picks;
    for (int bin = 0; bin < counts.size(); ++bin) {
        for (int k = 0; k < counts.at(bin); ++k) {
            picks.offsets.append(1);
            picks.times.append(4 * bin);
        }
    }
    return picks;
}

bool sameMatrix(const DensityMatrix &a, const DensityMatrix &b)
{
    if (a.columns != b.columns || a.rows != b.rows || a.values.size() != b.values.size())
        return false;
    for (int m = 0; m < a.values.size(); ++m) {
        const double x = a.values.at(m), y = b.values.at(m);
        if (!(x == y || (qIsNaN(x) && qIsNaN(y))))
            return false;
    }
    return true;
}

} // namespace

Q_DECLARE_METATYPE(Values)

class tst_DensityGrid : public QObject
{
    Q_OBJECT

private slots:
    void onePickGrid()
    {
        const auto grid = DensityGrid::build({10}, {37}, 0, 100);
        QCOMPARE(grid.timeMax, 137);
        QCOMPARE(grid.cellCount, 25 * 34);
        QCOMPARE(grid.densityMax, 20);
        const DensityCell *cells = grid.cells.get();
        QCOMPARE(cells[77].offsetEdge, 8);
        QCOMPARE(cells[77].timeEdge, 36);
        QCOMPARE(cells[77].count, 1);
        QCOMPARE(cells[33].offsetEdge, 0);
        QCOMPARE(cells[33].timeEdge, 132);
        QCOMPARE(cells[34].offsetEdge, 4);
        QCOMPARE(cells[34].timeEdge, 0);
        QCOMPARE(cells[849].offsetEdge, 96);
        QCOMPARE(cells[849].timeEdge, 132);
        for (int k = 0; k < grid.cellCount; ++k)
            QCOMPARE(cells[k].count, k == 77 ? 1 : 0);
    }

    void counting_data()
    {
        QTest::addColumn<QVector<int>>("offsets");
        QTest::addColumn<QVector<int>>("times");
        QTest::addColumn<int>("low");
        QTest::addColumn<int>("high");
        QTest::addColumn<int>("timeMax");
        QTest::addColumn<int>("cellCount");
        QTest::addColumn<Cells>("occupied");

        QTest::newRow("signed offsets share a cell")
            << QVector<int>{10, -10} << QVector<int>{37, 37} << 0 << 100 << 137 << 850
            << Cells{{77, 2}};
        QTest::newRow("strip narrower than 4 m at the top is not counted")
            << QVector<int>{9, 7} << QVector<int>{0, 0} << 0 << 10 << 100 << 50 << Cells{{25, 1}};
        QTest::newRow("window start shifts the bins")
            << QVector<int>{100, -150, 199} << QVector<int>{0, 0, 0} << 100 << 200 << 100 << 625
            << Cells{{0, 1}, {300, 1}, {600, 1}};
        QTest::newRow("latest time sets the extent")
            << QVector<int>{1, 1} << QVector<int>{5, 1234} << 0 << 100 << 1334 << 25 * 333
            << Cells{{1, 1}, {308, 1}};
        QTest::newRow("time -2 falls into bin 0")
            << QVector<int>{1} << QVector<int>{-2} << 0 << 100 << 100 << 625 << Cells{{0, 1}};
        QTest::newRow("time -4 is dropped, not wrapped into the column below")
            << QVector<int>{5} << QVector<int>{-4} << 0 << 100 << 100 << 625 << Cells{};
        QTest::newRow("empty window")
            << QVector<int>{100} << QVector<int>{0} << 100 << 100 << 100 << 0 << Cells{};
        QTest::newRow("inverted window")
            << QVector<int>{150} << QVector<int>{0} << 200 << 100 << 100 << 0 << Cells{};
        QTest::newRow("window of 3 m")
            << QVector<int>{1} << QVector<int>{0} << 0 << 3 << 100 << 0 << Cells{};
        QTest::newRow("time at INT_MAX: too many cells")
            << QVector<int>{1} << QVector<int>{IntMax} << 0 << 100 << IntMax << 0 << Cells{};
        QTest::newRow("widest window: too many cells")
            << QVector<int>{0} << QVector<int>{0} << IntMin << IntMax << 100 << 0 << Cells{};
    }

    void counting()
    {
        QFETCH(QVector<int>, offsets);
        QFETCH(QVector<int>, times);
        QFETCH(int, low);
        QFETCH(int, high);
        QFETCH(Cells, occupied);
        const auto grid = DensityGrid::build(offsets, times, low, high);
        QTEST(grid.timeMax, "timeMax");
        QTEST(grid.cellCount, "cellCount");
        Cells found;
        for (int k = 0; k < grid.cellCount; ++k) {
            if (grid.cells[k].count != 0)
                found.append({k, grid.cells[k].count});
        }
        QCOMPARE(found, occupied);
        if (occupied.isEmpty())
            QCOMPARE(grid.densityMax, 0);
    }

    void densityMax_data()
    {
        QTest::addColumn<int>("high");
        QTest::addColumn<QVector<int>>("counts");
        QTest::addColumn<int>("densityMax");

        QTest::newRow("no picks") << 100 << QVector<int>{} << 0;
        QTest::newRow("one cell of 7") << 100 << QVector<int>{7} << 20;
        QTest::newRow("37 rounds to 40") << 100 << QVector<int>{37} << 40;
        QTest::newRow("40 stays 40") << 100 << QVector<int>{40} << 40;
        QTest::newRow("41 rounds to 60") << 100 << QVector<int>{41} << 60;
        QTest::newRow("98 % rule: 98 ones, 5 and 300") << 100 << binnedCounts(98, {5, 300}) << 20;
        QTest::newRow("98 % rule: 98 ones, 45 and 300") << 100 << binnedCounts(98, {45, 300}) << 60;
        QTest::newRow("50 occupied cells keep the densest") << 100 << binnedCounts(49, {41}) << 60;
        QTest::newRow("51 occupied cells drop the densest") << 100 << binnedCounts(50, {41}) << 20;
        // A 4 m window holds fewer cells than the largest count.
        QTest::newRow("count above the cell count: one cell of 130")
            << 4 << QVector<int>{130} << 140;
        QTest::newRow("count above the cell count: 98 ones, 45 and 1100")
            << 4 << binnedCounts(98, {45, 1100}) << 60;
    }

    void densityMax()
    {
        QFETCH(int, high);
        QFETCH(QVector<int>, counts);
        const Picks picks = picksFromCounts(counts);
        QTEST(DensityGrid::build(picks.offsets, picks.times, 0, high).densityMax, "densityMax");
    }

    void matrix_data()
    {
        QTest::addColumn<QVector<int>>("offsets");
        QTest::addColumn<QVector<int>>("times");
        QTest::addColumn<int>("high");
        QTest::addColumn<int>("pointSize");
        QTest::addColumn<int>("columns");
        QTest::addColumn<int>("rows");
        QTest::addColumn<Values>("values");

        QTest::newRow("one pick at point size 4")
            << QVector<int>{10} << QVector<int>{37} << 100 << 4 << 25 << 34 << Values{{1, 8, 1.0}};
        QTest::newRow("one pick at point size 8")
            << QVector<int>{10} << QVector<int>{37} << 100 << 8 << 12 << 17 << Values{{0, 4, 1.0}};
        QTest::newRow("offset bins 0 and 1 share column 0: mean, not sum")
            << QVector<int>{1, 5, 5, 5} << QVector<int>{0, 0, 0, 0} << 100 << 4 << 25 << 25
            << Values{{0, 0, 2.0}};
        QTest::newRow("time bins 0 and 1 share row 0")
            << QVector<int>{1, 1, 1} << QVector<int>{0, 4, 4} << 100 << 4 << 25 << 26
            << Values{{0, 0, 1.5}};
        QTest::newRow("last offset bin lands in column 23, column 24 stays empty")
            << QVector<int>{99} << QVector<int>{0} << 100 << 4 << 25 << 25 << Values{{23, 0, 1.0}};
        QTest::newRow("point size wider than the window: no columns")
            << QVector<int>{1} << QVector<int>{0} << 10 << 20 << 0 << 5 << Values{};
        QTest::newRow("empty window: no matrix")
            << QVector<int>{} << QVector<int>{} << 0 << 4 << 0 << 0 << Values{};
        QTest::newRow("oversized matrix: no matrix")
            << QVector<int>{} << QVector<int>{} << IntMax << 4 << 0 << 0 << Values{};
    }

    void matrix()
    {
        QFETCH(QVector<int>, offsets);
        QFETCH(QVector<int>, times);
        QFETCH(int, high);
        QFETCH(int, pointSize);
        QFETCH(Values, values);
        const auto grid = DensityGrid::build(offsets, times, 0, high);
        const DensityMatrix matrix = DensityGrid::resample(grid.cells.get(), grid.cellCount, 0,
                                                           high, grid.timeMax, pointSize);
        QTEST(matrix.columns, "columns");
        QTEST(matrix.rows, "rows");
        QCOMPARE(matrix.values.size(), matrix.columns * matrix.rows);
        Values found;
        for (int m = 0; m < matrix.values.size(); ++m) {
            if (!qIsNaN(matrix.values.at(m)))
                found.append({m % matrix.columns, m / matrix.columns, matrix.values.at(m)});
        }
        QCOMPARE(found, values);
    }

    void pointSizeRoundTrip()
    {
        const auto grid =
            DensityGrid::build({10, 10, 250, -999, 1500}, {37, 37, 480, 1200, 90}, 0, 2000);
        const auto resample = [&](int pointSize) {
            return DensityGrid::resample(grid.cells.get(), grid.cellCount, 0, 2000, grid.timeMax,
                                         pointSize);
        };
        const DensityMatrix first = resample(4);
        const DensityMatrix other = resample(5);
        QCOMPARE(other.columns, 400);
        QVERIFY(sameMatrix(resample(4), first));
        QCOMPARE(first.columns, 500);
        QCOMPARE(first.rows, 325);
    }
};

QTEST_GUILESS_MAIN(tst_DensityGrid)
#include "tst_DensityGrid.moc"
