#include "DensityGrid.h"

#include <QtTest>

namespace {

using Ints = QVector<int>;
using Values = QVector<std::tuple<int, int, double>>; // column, row, value of every non-NaN

DensityMatrix resample(const DensityGrid::Result &grid, int low, int high, int pointSize)
{
    return DensityGrid::resample(grid, low, high, pointSize);
}

using Cells = QVector<std::tuple<int, int, int>>; // offset edge, time edge, count

Cells cellsOf(const DensityGrid::Result &grid)
{
    Cells found;
    for (int k = 0; k < grid.occupiedCount; ++k)
        found.append({grid.cells[k].offsetEdge, grid.cells[k].timeEdge, grid.cells[k].count});
    return found;
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
Q_DECLARE_METATYPE(Cells)

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
        QCOMPARE(cellsOf(grid), (Cells{{8, 36, 1}}));
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

    // Grids far larger than their picks keep their occupied cells only, in offset-major order.
    void largeGrid_data()
    {
        QTest::addColumn<Ints>("offsets");
        QTest::addColumn<Ints>("times");
        QTest::addColumn<int>("high");
        QTest::addColumn<int>("zeroPicks");
        QTest::addColumn<qint64>("cellCount");
        QTest::addColumn<Cells>("cells");
        QTest::addColumn<int>("densityMax");
        QTest::addColumn<Values>("values"); // at point size 20

        // 2000 x 15025 fine cells; at point size 20 a matrix of 400 x 3005.
        QTest::newRow("one wild time of 60,000 ms in an 8 km window")
            << Ints{-7996, 10, 11} << Ints{60000, 37, 38} << 8000 << 0 << qint64(30050000)
            << Cells{{8, 36, 2}, {7996, 60000, 1}} << 20 << Values{{0, 1, 2.0}, {399, 2999, 1.0}};
        QTest::newRow("2,000,000,000 zero picks in one cell, a stored pick beside them")
            << Ints{5} << Ints{0} << 1000 << 2000000000 << qint64(6250)
            << Cells{{0, 0, 2000000000}, {4, 0, 1}} << 2000000000 << Values{{0, 0, 1000000000.5}};
        QTest::newRow("zero picks outside the window are not counted")
            << Ints{5} << Ints{0} << 1000 << 0 << qint64(6250) << Cells{{4, 0, 1}} << 20
            << Values{{0, 0, 1.0}};
    }

    void largeGrid()
    {
        QFETCH(Ints, offsets);
        QFETCH(Ints, times);
        QFETCH(int, high);
        QFETCH(int, zeroPicks);
        const auto grid = DensityGrid::build(offsets, times, 0, high, zeroPicks);
        QTEST(grid.cellCount, "cellCount");
        QTEST(cellsOf(grid), "cells");
        QTEST(grid.densityMax, "densityMax");
        QTEST(valuesOf(resample(grid, 0, high, 20)), "values");
    }

    // A small machine, as the admission reads it: what does not fit is refused, not allocated.
    void memoryRefused_data()
    {
        QTest::addColumn<QByteArray>("available");
        QTest::addColumn<qint64>("gridRefused");
        QTest::addColumn<qint64>("matrixRefused"); // at point size 4
        QTest::addColumn<QSize>("size");

        // 25 x 34 fine cells of 4 bytes to count in, or 2 sort keys of 8 bytes; 25 x 34 doubles
        // and 34 row hits of 4 bytes.
        QTest::newRow("enough for both")
            << QByteArray("7000") << qint64(0) << qint64(0) << QSize(25, 34);
        QTest::newRow("the grid fits, the matrix does not")
            << QByteArray("6K") << qint64(0) << qint64(6936) << QSize(25, 34);
        QTest::newRow("neither fits, the smaller need is told")
            << QByteArray("10") << qint64(16) << qint64(6936) << QSize(25, 34);
    }

    void memoryRefused()
    {
        QFETCH(QByteArray, available);
        qputenv("CROSSPLOT_MEMORY_AVAILABLE", available);
        const auto grid = DensityGrid::build({10}, {37}, 0, 100);
        const DensityMatrix matrix = resample(grid, 0, 100, 4);
        qunsetenv("CROSSPLOT_MEMORY_AVAILABLE");
        QTEST(grid.refusedBytes, "gridRefused");
        QCOMPARE(cellsOf(grid), (grid.refusedBytes ? Cells{} : Cells{{8, 36, 1}}));
        QCOMPARE(grid.densityMax, grid.refusedBytes ? 0 : 20);
        QTEST(matrix.refusedBytes, "matrixRefused");
        QTEST(QSize(matrix.columns, matrix.rows), "size");
        QCOMPARE(matrix.values.size(), matrix.refusedBytes ? 0 : 25 * 34);
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
