#include "DensityGrid.h"

#include <QtTest>

namespace {

using Ints = QVector<int>;
using Cells = QVector<std::tuple<int, int, int>>;     // offset edge, time edge, count
using Values = QVector<std::tuple<int, int, double>>; // column, row, value of every non-NaN

} // namespace

Q_DECLARE_METATYPE(Values)
Q_DECLARE_METATYPE(Cells)

class tst_DensityGrid : public QObject
{
    Q_OBJECT

private slots:
    // Picks (offset, time pairs) counted into the fine grid, then resampled at a point size;
    // the occupied cells and the grid (cell count, density maximum, bytes refused to the grid
    // and to the matrix) are checked where given. memory: what the admission reads.
    void grid_data()
    {
        QTest::addColumn<Ints>("picks");
        QTest::addColumn<Ints>("window"); // offset low, high, zero picks, point size
        QTest::addColumn<QSize>("size");  // columns, rows
        QTest::addColumn<Values>("values");
        QTest::addColumn<Cells>("cells");
        QTest::addColumn<Ints>("grid");
        QTest::addColumn<QByteArray>("memory");
        const auto row = [](const char *name, const Ints &picks, const Ints &window, QSize size,
                            const Values &values, const Cells &cells = {}, const Ints &grid = {},
                            const QByteArray &memory = {}) {
            QTest::newRow(name) << picks << window << size << values << cells << grid << memory;
        };
        // Offset 10 and 37 ms in the window 0 ... 100: offset bin 2 and time bin 9 of 34. Its
        // 25 x 34 fine cells take 4 bytes each to count in, or 2 sort keys of 8 bytes; its one
        // occupied cell 12 bytes, held while the matrix is built; the matrix 25 x 34 doubles and
        // 34 row hits and 34 touched rows of 4 bytes. What does not fit is refused, not allocated.
        row("one pick; 7084 bytes hold its grid and matrix exactly", {10, 37}, {0, 100, 0, 4},
            {25, 34}, {{1, 8, 1.0}}, {{8, 36, 1}}, {850, 20, 0, 0}, "7084");
        row("one pick; 7083 bytes: the matrix is refused", {10, 37}, {0, 100, 0, 4}, {25, 34}, {},
            {{8, 36, 1}}, {850, 20, 0, 7072}, "7083");
        row("point size 8: 12.5 columns truncated", {10, 37}, {0, 100, 0, 8}, {12, 17},
            {{0, 4, 1.0}});
        row("offset bins 0, 1 and time bins 0, 1 share element 0: mean, not sum",
            {1, 0, 5, 0, 5, 0, 5, 0, 1, 4, 1, 4}, {0, 100, 0, 4}, {25, 26}, {{0, 0, 2.0}});
        row("last offset bin lands in column 23, column 24 stays empty", {99, 0}, {0, 100, 0, 4},
            {25, 25}, {{23, 0, 1.0}});
        row("strip narrower than 4 m at the top is not counted", {9, 0, 7, 0}, {0, 10, 0, 4},
            {2, 25}, {{0, 0, 1.0}});
        row("window start shifts the bins, offsets count by their size", {100, 0, -150, 0, 199, 0},
            {100, 200, 0, 4}, {25, 25}, {{0, 0, 1.0}, {11, 0, 1.0}, {23, 0, 1.0}});
        row("time -2 falls into bin 0, -4 is dropped, not wrapped into the column below",
            {1, -2, 5, -4}, {0, 100, 0, 4}, {25, 25}, {{0, 0, 1.0}}, {{0, 0, 1}}, {625, 20, 0, 0});
        // Grids far larger than their picks keep their occupied cells only, offset-major.
        row("one wild time of 60,000 ms in an 8 km window: 2000 x 15025 cells",
            {-7996, 60000, 10, 37, 11, 38}, {0, 8000, 0, 20}, {400, 3005},
            {{0, 1, 2.0}, {399, 2999, 1.0}}, {{8, 36, 2}, {7996, 60000, 1}}, {30050000, 20, 0, 0});
        row("2,000,000,000 zero picks in one cell, a stored pick beside them", {5, 0},
            {0, 1000, 2000000000, 20}, {50, 5}, {{0, 0, 1000000000.5}},
            {{0, 0, 2000000000}, {4, 0, 1}}, {6250, 2000000000, 0, 0});
        // Enough picks for the count to be shared out among threads (one per 2^20 picks).
        Ints many;
        for (int k = 0; k < 2097152; ++k)
            many << 10 << 37;
        row("2,097,152 picks in one cell, counted on up to two threads", many, {0, 100, 0, 4},
            {25, 34}, {{1, 8, 2097152.0}}, {{8, 36, 2097152}}, {850, 2097160, 0, 0});
        row("memory for neither: the smaller need is told", {10, 37}, {0, 100, 0, 4}, {25, 34}, {},
            {}, {850, 0, 16, 7072}, "15");
        row("16 bytes: the picks' sort keys, but not their one cell", {10, 37}, {0, 100, 0, 4},
            {25, 34}, {}, {}, {850, 0, 12, 7072}, "16");
    }

    void grid()
    {
        QFETCH(Ints, picks);
        QFETCH(Ints, window);
        QFETCH(Cells, cells);
        QFETCH(Ints, grid);
        QFETCH(QByteArray, memory);
        Ints offsets, times;
        for (int k = 0; k < picks.size(); k += 2)
            offsets << picks[k], times << picks[k + 1];
        if (!memory.isEmpty())
            qputenv("CROSSPLOT_MEMORY_AVAILABLE", memory);
        const auto built = DensityGrid::build(offsets, times, window[0], window[1], window[2]);
        const DensityMatrix matrix = DensityGrid::resample(built, window[0], window[1], window[3]);
        qunsetenv("CROSSPLOT_MEMORY_AVAILABLE");
        Cells found;
        for (int k = 0; k < built.occupiedCount; ++k)
            found.append(
                {built.cells[k].offsetEdge, built.cells[k].timeEdge, built.cells[k].count});
        if (!grid.isEmpty()) {
            QCOMPARE((Ints{int(built.cellCount), built.densityMax, int(built.refusedBytes),
                           int(matrix.refusedBytes)}),
                     grid);
            QCOMPARE(found, cells);
        }
        QTEST(QSize(matrix.columns, matrix.rows), "size");
        QCOMPARE(matrix.values.size(), matrix.refusedBytes ? 0 : matrix.columns * matrix.rows);
        Values values;
        for (int m = 0; m < matrix.values.size(); ++m)
            if (!qIsNaN(matrix.values.at(m)))
                values.append({m % matrix.columns, m / matrix.columns, matrix.values.at(m)});
        QTEST(values, "values");
    }

    // Picks at offset 1 in the window 0 ... 100, counts[k] of them in time bin k.
    void densityMax_data()
    {
        QTest::addColumn<Ints>("counts");
        QTest::addColumn<int>("densityMax");
        QTest::newRow("no picks") << Ints{} << 0;
        QTest::newRow("40 stays 40") << Ints{40} << 40;
        QTest::newRow("41 rounds to 60") << Ints{41} << 60;
        QTest::newRow("98 % rule: 98 ones and two 41s") << Ints(98, 1) + Ints{41, 41} << 60;
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

    // Picks enough to be counted on two threads: the cells one thread counts.
    void sameGridOnOneThreadAndTwo()
    {
        Ints offsets, times;
        for (int i = 0; i < 2200000; ++i) {
            offsets.append(int(qint64(i) * 7919 % 3000) - 1500);
            times.append(i % 997);
        }
        QStringList found;
        for (const char *threads : {"1", "2"}) {
            qputenv("CROSSPLOT_LOAD_THREADS", threads);
            const DensityGrid::Result grid = DensityGrid::build(offsets, times, 0, 1500);
            QString cells = QString::number(grid.densityMax);
            for (int k = 0; k < grid.occupiedCount; ++k)
                cells += QStringLiteral(" %1,%2:%3")
                             .arg(grid.cells[k].offsetEdge)
                             .arg(grid.cells[k].timeEdge)
                             .arg(grid.cells[k].count);
            found << cells;
        }
        qunsetenv("CROSSPLOT_LOAD_THREADS");
        QCOMPARE(found.at(1), found.at(0));
    }
};

QTEST_GUILESS_MAIN(tst_DensityGrid)
#include "tst_DensityGrid.moc"
