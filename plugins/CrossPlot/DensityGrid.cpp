#include "DensityGrid.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <new>
#include <vector>

namespace {

constexpr int IntMax = std::numeric_limits<int>::max();

// The count that the running sum of the occupied cells' histogram first lifts above 98 % of
// them, or 0 without occupied cells.
int densityThreshold(const DensityCell *cells, qint64 cellCount, int largest)
{
    if (largest <= 0)
        return 0;
    if (largest <= cellCount) {
        std::vector<int> histogram(size_t(largest) + 1, 0);
        qint64 occupied = 0;
        for (qint64 k = 0; k < cellCount; ++k) {
            const int count = cells[k].count;
            if (count > 0) {
                ++histogram[size_t(count)];
                ++occupied;
            }
        }
        const qint64 h = qint64(double(float(occupied)) * 0.98);
        qint64 sum = 0;
        for (int c = 1; c <= largest; ++c) {
            sum += histogram[size_t(c)];
            if (sum > h)
                return c;
        }
        return largest;
    }
    // A histogram up to the largest count would outgrow the grid itself; the count where the
    // running sum first exceeds h is the (h + 1)-th smallest occupied count, found by selection.
    std::vector<int> counts;
    for (qint64 k = 0; k < cellCount; ++k) {
        if (cells[k].count > 0)
            counts.push_back(cells[k].count);
    }
    const qint64 occupied = qint64(counts.size());
    const qint64 h = qMin(qint64(double(float(occupied)) * 0.98), occupied - 1);
    std::nth_element(counts.begin(), counts.begin() + h, counts.end());
    return counts[size_t(h)];
}

// The largest of the times, or 0 if that is larger.
int latestTime(const int *time, int count)
{
    // Eight running maxima, which the compiler keeps in one vector register.
    int lanes[8] = {};
    int k = 0;
    for (; k + 8 <= count; k += 8) {
        for (int l = 0; l < 8; ++l)
            lanes[l] = time[k + l] > lanes[l] ? time[k + l] : lanes[l];
    }
    int latest = 0;
    for (int lane : lanes)
        latest = qMax(latest, lane);
    for (; k < count; ++k)
        latest = qMax(latest, time[k]);
    return latest;
}

// Up to the next multiple of DensityRounding, in single precision; the int range bounds it.
int roundedDensity(int density)
{
    const float rounded = std::ceil(float(density) / float(DensityGrid::DensityRounding)) *
                          float(DensityGrid::DensityRounding);
    return rounded >= 2147483648.0f ? IntMax : int(rounded);
}

} // namespace

DensityGrid::Result DensityGrid::build(const QVector<int> &offsets, const QVector<int> &fbTimes,
                                       int offsetLow, int offsetHigh)
{
    Result result;
    // Vectors of unequal length contribute their common prefix of pairs.
    const int pickCount = qMin(offsets.size(), fbTimes.size());
    const int *offset = offsets.constData();
    const int *time = fbTimes.constData();

    const int latest = latestTime(time, pickCount);
    // Times near INT_MAX keep the largest time axis an int can hold.
    result.timeMax = int(qMin<qint64>(qint64(latest) + TimeMargin, IntMax));

    // An empty or inverted window has no offset bins.
    const qint64 offsetBins = qMax<qint64>(0, (qint64(offsetHigh) - offsetLow) / CellSize);
    const qint64 timeBins = result.timeMax / CellSize;
    const qint64 cellCount = offsetBins * timeBins;
    if (cellCount == 0 || cellCount > MaxCells)
        return result;
    // An allocation that fails leaves the grid without cells, like an oversized one.
    result.cells.reset(new (std::nothrow) DensityCell[size_t(cellCount)]);
    if (!result.cells)
        return result;
    result.cellCount = int(cellCount);

    DensityCell *cells = result.cells.get();
    for (qint64 i = 0; i < offsetBins; ++i) {
        DensityCell *column = cells + i * timeBins;
        const int offsetEdge = int(offsetLow + CellSize * i);
        for (qint64 j = 0; j < timeBins; ++j) {
            column[j].offsetEdge = offsetEdge;
            column[j].timeEdge = int(CellSize * j);
        }
    }

    // Bins outside the grid are dropped, times of -4 ms and below among them, so that no pick
    // lands in a neighbouring column. Truncating division puts -3..-1 into bin 0 as well, so a
    // distance d from the start of an axis of n bins is binned when -4 < d < 4 n: one unsigned
    // comparison of d + 3 tests both ends.
    const quint64 offsetSpan = quint64(CellSize * offsetBins + CellSize - 1);
    const quint64 timeSpan = quint64(CellSize * timeBins + CellSize - 1);
    for (int k = 0; k < pickCount; ++k) {
        const qint64 d = qAbs(qint64(offset[k])) - offsetLow;
        const qint64 t = time[k];
        if (quint64(d + CellSize - 1) < offsetSpan && quint64(t + CellSize - 1) < timeSpan)
            ++cells[qMax<qint64>(d, 0) / CellSize * timeBins + qMax<qint64>(t, 0) / CellSize].count;
    }

    int largest = 0;
    for (qint64 k = 0; k < cellCount; ++k)
        largest = qMax(largest, cells[k].count);
    result.densityMax = roundedDensity(densityThreshold(cells, cellCount, largest));
    return result;
}

DensityMatrix DensityGrid::resample(const DensityCell *cells, int cellCount, int offsetLow,
                                    int offsetHigh, int timeMax, int pointSize)
{
    DensityMatrix matrix;
    const qint64 width = qint64(offsetHigh) - offsetLow;
    // Without a positive cell size, window or time extent there is nothing to resample.
    if (pointSize < 1 || width <= 0 || timeMax <= 0)
        return matrix;

    const qint64 columns = qint64(float(width) / float(pointSize));
    const qint64 rows = qint64(float(timeMax) / float(pointSize));
    // Oversized matrices come back as 0 x 0; a window narrower than the point size keeps its
    // row count with no columns and no values.
    if (columns > MaxMatrixElements || rows > MaxMatrixElements ||
        columns * rows > MaxMatrixElements)
        return matrix;
    const qint64 elements = columns * rows;
    matrix.columns = int(columns);
    matrix.rows = int(rows);
    if (elements == 0)
        return matrix;

    std::unique_ptr<int[]> hits(new (std::nothrow) int[size_t(elements)]());
    if (!hits) {
        matrix.columns = matrix.rows = 0;
        return matrix;
    }
    // The values hold the sums until the division turns them into means.
    matrix.values.resize(int(elements));
    double *values = matrix.values.data();

    const float columnScale = float(columns);
    const float rowScale = float(rows);
    const float widthSpan = float(width + 1);
    const float timeSpan = float(qint64(timeMax) + 1);
    for (int k = 0; k < cellCount; ++k) {
        const DensityCell &cell = cells[k];
        if (cell.count == 0)
            continue;
        const float x = float(qint64(cell.offsetEdge) - offsetLow) / widthSpan * columnScale;
        const float y = float(cell.timeEdge) / timeSpan * rowScale;
        // Cells that fall outside the matrix, by their edges or by rounding, are left out.
        if (!(x >= 0.0f && x < columnScale && y >= 0.0f && y < rowScale))
            continue;
        const qint64 column = qint64(x);
        const qint64 row = qint64(y);
        if (column >= columns || row >= rows)
            continue;
        const qint64 m = row * columns + column;
        values[m] += double(cell.count);
        ++hits[size_t(m)];
    }

    const double noValue = std::numeric_limits<double>::quiet_NaN();
    for (qint64 m = 0; m < elements; ++m)
        values[m] = hits[size_t(m)] != 0 ? values[m] / double(hits[size_t(m)]) : noValue;
    return matrix;
}
