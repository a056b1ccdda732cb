#include "DensityGrid.h"

#include "FBLoader.h"
#include "MemoryAdmission.h"
#include "ParallelShares.h"

#include <algorithm>
#include <cmath>
#include <new>
#include <vector>

namespace {

constexpr int IntMax = std::numeric_limits<int>::max();
// Below this a dense array of counts is always taken: it is quicker than sorting any number of
// picks and small beside the picks themselves.
constexpr qint64 DenseFloorBytes = 4 << 20;

// Where picks fall on the fine grid. Bins outside the grid are dropped, times of -4 ms and below
// among them, so that no pick lands in a neighbouring column. Truncating division puts -3..-1
// into bin 0 as well, so a distance d from the start of an axis of n bins is binned when
// -4 < d < 4 n: one unsigned comparison of d + 3 tests both ends.
class Binning
{
public:
    Binning(int offsetLow, qint64 offsetBins, qint64 timeBins)
        : low(offsetLow), timeBins(timeBins),
          offsetSpan(quint64(DensityGrid::CellSize * offsetBins + DensityGrid::CellSize - 1)),
          timeSpan(quint64(DensityGrid::CellSize * timeBins + DensityGrid::CellSize - 1))
    {
    }

    // The cell index i x timeBins + j of a pick, or -1 outside the grid.
    qint64 index(int offset, int time) const
    {
        const qint64 d = qAbs(qint64(offset)) - low;
        const qint64 t = time;
        if (quint64(d + DensityGrid::CellSize - 1) >= offsetSpan ||
            quint64(t + DensityGrid::CellSize - 1) >= timeSpan)
            return -1;
        return qMax<qint64>(d, 0) / DensityGrid::CellSize * timeBins +
               qMax<qint64>(t, 0) / DensityGrid::CellSize;
    }

    DensityCell cell(qint64 index, int count) const
    {
        return {int(low + DensityGrid::CellSize * (index / timeBins)),
                int(DensityGrid::CellSize * (index % timeBins)), count};
    }

private:
    const qint64 low;
    const qint64 timeBins;
    const quint64 offsetSpan;
    const quint64 timeSpan;
};

template <typename T> std::unique_ptr<T[]> allocate(qint64 count, bool zeroed)
{
    if (count <= 0)
        return nullptr;
    return std::unique_ptr<T[]>(zeroed ? new (std::nothrow) T[size_t(count)]()
                                       : new (std::nothrow) T[size_t(count)]);
}

// A count plus more picks, held at the int range's end.
int added(int count, qint64 more)
{
    return int(qMin<qint64>(qint64(count) + more, IntMax));
}

// The count that the running sum of the occupied cells' histogram first lifts above 98 % of
// them, or 0 without occupied cells.
int densityThreshold(const DensityCell *cells, int occupied)
{
    int largest = 0;
    for (int k = 0; k < occupied; ++k)
        largest = qMax(largest, cells[k].count);
    if (largest <= 0)
        return 0;
    // The histogram, or the copy of the counts, grows with the cells: admitted like them.
    MemoryAdmission::Grant scratch;
    if (!scratch.extend((qint64(qMin(largest, occupied)) + 1) * qint64(sizeof(int))))
        throw std::bad_alloc();
    const qint64 h = qMin(qint64(double(float(occupied)) * 0.98), qint64(occupied) - 1);
    if (largest <= occupied) {
        std::vector<int> histogram(size_t(largest) + 1, 0);
        for (int k = 0; k < occupied; ++k)
            ++histogram[size_t(cells[k].count)];
        qint64 sum = 0;
        for (int c = 1; c <= largest; ++c) {
            sum += histogram[size_t(c)];
            if (sum > h)
                return c;
        }
        return largest;
    }
    // A histogram up to the largest count would outgrow the cells themselves; the count where
    // the running sum first exceeds h is the (h + 1)-th smallest occupied count.
    std::vector<int> counts(static_cast<size_t>(occupied));
    for (int k = 0; k < occupied; ++k)
        counts[size_t(k)] = cells[k].count;
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

void countRange(int *counts, const Binning &binning, const int *offset, const int *time, int first,
                int last)
{
    for (int k = first; k < last; ++k) {
        const qint64 index = binning.index(offset[k], time[k]);
        if (index >= 0)
            ++counts[size_t(index)];
    }
}

// Counts the picks into counts, on several threads when the picks are many and the grid is
// small beside them: each thread counts its share into counts of its own, which are added up
// after. Sums do not depend on their order, so the counts are the same on any number of threads.
void countInParallel(int *counts, qint64 cellCount, const Binning &binning, const int *offset,
                     const int *time, int pickCount)
{
    int threads = sharesFor(pickCount);
    // Each thread but this one counts into counts of its own: admitted, or one thread counts.
    MemoryAdmission::Grant partialGrant;
    if (cellCount > pickCount / 8 ||
        !partialGrant.extend(cellCount * qint64(sizeof(int)) * (threads - 1)))
        threads = 1;
    std::vector<std::unique_ptr<int[]>> partial;
    for (int t = 1; t < threads; ++t) {
        partial.push_back(allocate<int>(cellCount, true));
        if (!partial.back())
            threads = 1;
    }
    if (threads <= 1) {
        countRange(counts, binning, offset, time, 0, pickCount);
        return;
    }
    runShares(pickCount, threads, [&](int share, qint64 first, qint64 last) {
        countRange(share == 0 ? counts : partial[size_t(share - 1)].get(), binning, offset, time,
                   int(first), int(last));
    });
    for (const auto &mine : partial) {
        for (qint64 k = 0; k < cellCount; ++k)
            counts[k] += mine[size_t(k)];
    }
}

// Counts into one int per grid cell, then keeps the occupied ones.
bool countDense(DensityGrid::Result &result, const Binning &binning, const int *offset,
                const int *time, int pickCount, int zeroPicks)
{
    MemoryAdmission::Grant scratch;
    if (!scratch.extend(result.cellCount * qint64(sizeof(int))))
        return false;
    std::unique_ptr<int[]> counts = allocate<int>(result.cellCount, true);
    if (!counts)
        return false;
    countInParallel(counts.get(), result.cellCount, binning, offset, time, pickCount);
    const qint64 zeroIndex = binning.index(0, 0);
    if (zeroPicks > 0 && zeroIndex >= 0)
        counts[size_t(zeroIndex)] = added(counts[size_t(zeroIndex)], zeroPicks);

    int occupied = 0;
    for (qint64 k = 0; k < result.cellCount; ++k)
        occupied += counts[size_t(k)] != 0;
    if (!result.grant.extend(qint64(occupied) * qint64(sizeof(DensityCell)))) {
        result.refusedBytes = qint64(occupied) * qint64(sizeof(DensityCell));
        return true;
    }
    result.cells = allocate<DensityCell>(occupied, false);
    if (occupied > 0 && !result.cells) {
        result.refusedBytes = qint64(occupied) * qint64(sizeof(DensityCell));
        return true;
    }
    result.occupiedCount = occupied;
    int next = 0;
    for (qint64 k = 0; k < result.cellCount; ++k) {
        if (counts[size_t(k)] != 0)
            result.cells[next++] = binning.cell(k, counts[size_t(k)]);
    }
    return true;
}

// Sorts the cell index of every binned pick and counts the runs: memory follows the picks,
// however large the grid.
bool countSparse(DensityGrid::Result &result, const Binning &binning, const int *offset,
                 const int *time, int pickCount, int zeroPicks)
{
    const qint64 zeroIndex = zeroPicks > 0 ? binning.index(0, 0) : -1;
    MemoryAdmission::Grant scratch;
    if (!scratch.extend((qint64(pickCount) + 1) * qint64(sizeof(qint64))))
        return false;
    std::vector<qint64> keys;
    try {
        keys.reserve(size_t(pickCount) + 1);
    } catch (const std::bad_alloc &) {
        return false;
    }
    for (int k = 0; k < pickCount; ++k) {
        const qint64 index = binning.index(offset[k], time[k]);
        if (index >= 0)
            keys.push_back(index);
    }
    // The zero picks join as one key; their run gets the rest of them below.
    if (zeroIndex >= 0)
        keys.push_back(zeroIndex);
    std::sort(keys.begin(), keys.end());

    int occupied = 0;
    for (size_t k = 0; k < keys.size(); ++k)
        occupied += k == 0 || keys[k] != keys[k - 1];
    const qint64 cellBytes = qint64(occupied) * qint64(sizeof(DensityCell));
    if (!result.grant.extend(cellBytes) ||
        !(result.cells = allocate<DensityCell>(occupied, false))) {
        result.refusedBytes = occupied > 0 ? cellBytes : 0;
        return true;
    }
    result.occupiedCount = occupied;
    int next = 0;
    for (size_t k = 0; k < keys.size();) {
        size_t end = k + 1;
        while (end < keys.size() && keys[end] == keys[k])
            ++end;
        int count = int(end - k);
        if (keys[k] == zeroIndex)
            count = added(count - 1, zeroPicks);
        result.cells[next++] = binning.cell(keys[k], count);
        k = end;
    }
    return true;
}

} // namespace

DensityGrid::Result DensityGrid::build(const QVector<int> &offsets, const QVector<int> &fbTimes,
                                       int offsetLow, int offsetHigh, int zeroPicks)
{
    Result result;
    // Vectors of unequal length contribute their common prefix of pairs.
    const int pickCount = qMin(offsets.size(), fbTimes.size());
    const int *offset = offsets.constData();
    const int *time = fbTimes.constData();
    zeroPicks = qMax(0, zeroPicks);

    // Zero picks lie at 0 ms and so never move the latest time.
    const int latest = latestTime(time, pickCount);
    // Times near INT_MAX keep the largest time axis an int can hold.
    result.timeMax = int(qMin<qint64>(qint64(latest) + TimeMargin, IntMax));

    // An empty or inverted window has no offset bins.
    const qint64 offsetBins = qMax<qint64>(0, (qint64(offsetHigh) - offsetLow) / CellSize);
    const qint64 timeBins = result.timeMax / CellSize;
    result.cellCount = offsetBins * timeBins;
    if (result.cellCount == 0)
        return result;
    const Binning binning(offsetLow, offsetBins, timeBins);

    // Dense counting when it costs no more than the sort of the picks would, or when the
    // memory for the sort is not there; sparse otherwise.
    const qint64 denseBytes = result.cellCount * qint64(sizeof(int));
    const qint64 sparseBytes = (qint64(pickCount) + 1) * qint64(sizeof(qint64));
    const bool denseFirst = denseBytes <= qMax(DenseFloorBytes, sparseBytes);
    bool counted = false;
    // An allocation that fails although admitted (the machine gave its memory to another
    // process meanwhile) is a refusal like any other.
    try {
        for (const bool dense : {denseFirst, !denseFirst}) {
            if (!counted)
                counted = dense ? countDense(result, binning, offset, time, pickCount, zeroPicks)
                                : countSparse(result, binning, offset, time, pickCount, zeroPicks);
        }
        result.densityMax =
            roundedDensity(densityThreshold(result.cells.get(), result.occupiedCount));
    } catch (const std::bad_alloc &) {
        counted = false;
    }
    if (!counted) {
        result.grant.reset();
        result.cells.reset();
        result.occupiedCount = 0;
        result.densityMax = 0;
        result.refusedBytes = qMin(denseBytes, sparseBytes);
    }
    return result;
}

DensityGrid::Result DensityGrid::sum(const Result &a, const Result &b, int offsetLow,
                                     int offsetHigh)
{
    Result result;
    result.timeMax = qMax(a.timeMax, b.timeMax);
    const qint64 offsetBins = qMax<qint64>(0, (qint64(offsetHigh) - offsetLow) / CellSize);
    result.cellCount = offsetBins * (result.timeMax / CellSize);
    if (a.refusedBytes > 0 || b.refusedBytes > 0) {
        // What one grid over all the picks would have asked for at the least.
        result.refusedBytes = qMax<qint64>(1, result.cellCount * qint64(sizeof(int)));
        return result;
    }
    // Both lists run in offset-major, then time order, which every time extent keeps: a merge.
    const qint64 most = qint64(a.occupiedCount) + b.occupiedCount;
    const qint64 bytes = most * qint64(sizeof(DensityCell));
    if (most > IntMax || !result.grant.extend(bytes) ||
        !(result.cells = allocate<DensityCell>(most, false))) {
        result.grant.reset();
        result.refusedBytes = bytes;
        return result;
    }
    const auto before = [](const DensityCell &x, const DensityCell &y) {
        return x.offsetEdge != y.offsetEdge ? x.offsetEdge < y.offsetEdge
                                            : x.timeEdge < y.timeEdge;
    };
    int i = 0, j = 0, next = 0;
    while (i < a.occupiedCount || j < b.occupiedCount) {
        if (j == b.occupiedCount || (i < a.occupiedCount && before(a.cells[i], b.cells[j]))) {
            result.cells[next++] = a.cells[i++];
        } else if (i == a.occupiedCount || before(b.cells[j], a.cells[i])) {
            result.cells[next++] = b.cells[j++];
        } else {
            DensityCell cell = a.cells[i++];
            cell.count = added(cell.count, b.cells[j++].count);
            result.cells[next++] = cell;
        }
    }
    result.occupiedCount = next;
    result.densityMax = roundedDensity(densityThreshold(result.cells.get(), next));
    return result;
}

DensityMatrix DensityGrid::resample(const DensityCell *cells, int occupiedCount, int offsetLow,
                                    int offsetHigh, int timeMax, int pointSize)
{
    DensityMatrix matrix;
    const qint64 width = qint64(offsetHigh) - offsetLow;
    // Without a positive cell size, window or time extent there is nothing to resample.
    if (pointSize < 1 || width <= 0 || timeMax <= 0)
        return matrix;

    const qint64 columns = qint64(float(width) / float(pointSize));
    const qint64 rows = qint64(float(timeMax) / float(pointSize));
    // Sizes beyond one matrix are refused before any product can leave the 64-bit range; the
    // bytes they would need are then only told, saturated.
    const bool fits = columns <= IntMax && rows <= IntMax && columns * rows <= MaxMatrixElements;
    const qint64 elements = fits ? columns * rows : 0;
    // The values, and for the column being filled one hit count per row and the list of the
    // rows it touched. The values' part stays in the ledger with them; the rest is let go
    // when the matrix is done.
    const qint64 valueBytes = elements * qint64(sizeof(double));
    const qint64 bytes =
        fits ? valueBytes + 2 * rows * qint64(sizeof(int))
             : qint64(qMin(double(columns) * double(rows) * sizeof(double), 9.0e18));
    MemoryAdmission::Grant scratch;
    if (!fits || !matrix.grant.extend(valueBytes) || !scratch.extend(bytes - valueBytes)) {
        matrix.grant.reset();
        matrix.columns = int(qMin<qint64>(columns, IntMax));
        matrix.rows = int(qMin<qint64>(rows, IntMax));
        matrix.refusedBytes = bytes;
        return matrix;
    }
    matrix.columns = int(columns);
    matrix.rows = int(rows);
    // A window narrower than the point size keeps its row count with no columns and no values.
    if (elements == 0)
        return matrix;

    std::unique_ptr<int[]> hits = allocate<int>(rows, true);
    if (!hits) {
        matrix.grant.reset();
        matrix.refusedBytes = bytes;
        return matrix;
    }
    const double noValue = std::numeric_limits<double>::quiet_NaN();
    // Reserved untouched, then written once: every cell starts as "no value". A reservation
    // that fails although admitted is a refusal like any other.
    try {
        matrix.values.reserve(int(elements));
    } catch (const std::bad_alloc &) {
        matrix.grant.reset();
        matrix.refusedBytes = bytes;
        return matrix;
    }
    MemoryAdmission::adviseHugePages(matrix.values.data(), size_t(elements) * sizeof(double));
    matrix.values.insert(matrix.values.end(), int(elements), noValue);
    double *values = matrix.values.data();

    // The offset-major cells reach the matrix column by column, since the column grows with the
    // offset edge. A column's values hold the sums until it is complete; then each is divided by
    // the number of cells that fell into it, so the hits need one column, not the whole matrix.
    std::vector<int> touched; // rows of the current column with hits
    try {
        touched.reserve(size_t(rows));
    } catch (const std::bad_alloc &) {
        matrix.grant.reset();
        matrix.values = QVector<double>();
        matrix.refusedBytes = bytes;
        return matrix;
    }
    qint64 current = 0;
    auto finishColumn = [&] {
        for (int row : touched) {
            values[row * columns + current] /= double(hits[size_t(row)]);
            hits[size_t(row)] = 0;
        }
        touched.clear();
    };

    const float columnScale = float(columns);
    const float rowScale = float(rows);
    const float widthSpan = float(width + 1);
    const float timeSpan = float(qint64(timeMax) + 1);
    for (int k = 0; k < occupiedCount; ++k) {
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
        if (column != current) {
            finishColumn();
            current = column;
        }
        double &value = values[row * columns + column];
        if (hits[size_t(row)]++ == 0) {
            touched.push_back(int(row));
            value = 0.0;
        }
        value += double(cell.count);
    }
    finishColumn();
    return matrix;
}
