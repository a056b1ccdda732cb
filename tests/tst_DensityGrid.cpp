#include "DensityGrid.h"

#include <QtTest>

namespace {

using Ints = QVector<int>;
using Values = QVector<std::tuple<int, int, double>>; // column, row, value of every non-NaN

DensityMatrix resample(const DensityGrid::Result &grid, int low, int high, int pointSize)
{
    return DensityGrid::resample(grid.cells.get(), grid.cellCount, low, high, grid.timeMax,
                                 pointSize);
}

Values valuesOf(const DensityMatrix &matrix)
{
    Values found;
    for (int m = 0; m < matrix.values.size(); ++m)
        if (!qIsNaN(matrix.values.at(m)))
            found.append({m % matrix.columns, m / matrix.columns, matrix.values.at(m)});
    return found;
}

} // namespace

Q_DECLARE_METATYPE(Values)

class tst_DensityGrid : public QObject
{
    Q_OBJECT

private slots:
    // Offset 10 and 37 ms in the window 0 ... 100: offset bin 2 and time bin 9 of 34.
    void onePick()
    {
        const auto grid = DensityGrid::build({10}, {37}, 0, 100);
        QCOMPARE(grid.timeMax, 137);
        QCOMPARE(grid.cellCount, 25 * 34);
        QCOMPARE(grid.densityMax, 20);
        for (int k = 0; k < grid.cellCount; ++k)
            QCOMPARE(grid.cells[k].count, k == 77 ? 1 : 0);
        // Point size 4, then 5 and back to 4: the same matrix again.
        const DensityMatrix first = resample(grid, 0, 100, 4), other = resample(grid, 0, 100, 5);
        QCOMPARE(QPoint(other.columns, other.rows), QPoint(20, 27));
        for (const DensityMatrix &matrix : {first, resample(grid, 0, 100, 4)}) {
            QCOMPARE(QPoint(matrix.columns, matrix.rows), QPoint(25, 34));
            QCOMPARE(valuesOf(matrix), (Values{{1, 8, 1.0}}));
        }
    }

    // Counted into the fine grid, then resampled.
    void matrix_data()
    {
        QTest::addColumn<Ints>("offsets");
        QTest::addColumn<Ints>("times");
        QTest::addColumn<int>("low");
        QTest::addColumn<int>("high");
        QTest::addColumn<int>("pointSize");
        QTest::addColumn<QSize>("size"); // columns, rows
        QTest::addColumn<Values>("values");

        QTest::newRow("point size 8: 12.5 columns truncated")
            << Ints{10} << Ints{37} << 0 << 100 << 8 << QSize(12, 17) << Values{{0, 4, 1.0}};
        QTest::newRow("offset bins 0, 1 and time bins 0, 1 share element 0: mean, not sum")
            << Ints{1, 5, 5, 5, 1, 1} << Ints{0, 0, 0, 0, 4, 4} << 0 << 100 << 4 << QSize(25, 26)
            << Values{{0, 0, 2.0}};
        QTest::newRow("last offset bin lands in column 23, column 24 stays empty")
            << Ints{99} << Ints{0} << 0 << 100 << 4 << QSize(25, 25) << Values{{23, 0, 1.0}};
        QTest::newRow("strip narrower than 4 m at the top is not counted")
            << Ints{9, 7} << Ints{0, 0} << 0 << 10 << 4 << QSize(2, 25) << Values{{0, 0, 1.0}};
        QTest::newRow("window start shifts the bins, offsets count by their size")
            << Ints{100, -150, 199} << Ints{0, 0, 0} << 100 << 200 << 4 << QSize(25, 25)
            << Values{{0, 0, 1.0}, {11, 0, 1.0}, {23, 0, 1.0}};
        QTest::newRow("time -2 falls into bin 0, -4 is dropped, not wrapped into the column below")
            << Ints{1, 5} << Ints{-2, -4} << 0 << 100 << 4 << QSize(25, 25) << Values{{0, 0, 1.0}};
    }

    void matrix()
    {
        QFETCH(Ints, offsets);
        QFETCH(Ints, times);
        QFETCH(int, low);
        QFETCH(int, high);
        QFETCH(int, pointSize);
        const auto grid = DensityGrid::build(offsets, times, low, high);
        const DensityMatrix matrix = resample(grid, low, high, pointSize);
        QTEST(QSize(matrix.columns, matrix.rows), "size");
        QCOMPARE(matrix.values.size(), matrix.columns * matrix.rows);
        QTEST(valuesOf(matrix), "values");
    }

    // Picks at offset 1 in the window 0 ... 100, counts[k] of them in time bin k.
    void densityMax_data()
    {
        QTest::addColumn<Ints>("counts");
        QTest::addColumn<int>("densityMax");

        QTest::newRow("no picks") << Ints{} << 0;
        QTest::newRow("37 rounds to 40") << Ints{37} << 40;
        QTest::newRow("40 stays 40") << Ints{40} << 40;
        QTest::newRow("41 rounds to 60") << Ints{41} << 60;
        QTest::newRow("98 % rule: 98 ones, 5 and 300") << Ints(98, 1) + Ints{5, 300} << 20;
        QTest::newRow("98 % rule: 98 ones, 45 and 300") << Ints(98, 1) + Ints{45, 300} << 60;
        QTest::newRow("51 occupied cells drop the densest") << Ints(50, 1) + Ints{41} << 20;
        // 25 x 124 cells, fewer than the largest count.
        QTest::newRow("count above the cell count") << Ints(98, 1) + Ints{45, 5000} << 60;
    }

    void densityMax()
    {
        QFETCH(Ints, counts);
        Ints times;
        for (int bin = 0; bin < counts.size(); ++bin)
            times += Ints(counts.at(bin), 4 * bin);
        QTEST(DensityGrid::build(Ints(times.size(), 1), times, 0, 100).densityMax, "densityMax");
    }
};

QTEST_GUILESS_MAIN(tst_DensityGrid)
#include "tst_DensityGrid.moc"
