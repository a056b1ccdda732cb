#pragma once

#include "MemoryAdmission.h"

#include <QVector>
#include <limits>
#include <memory>

// One fine cell of the density grid: 4 m of absolute offset by 4 ms of time.
struct DensityCell
{
    int offsetEdge = 0; // lower offset edge, metres
    int timeEdge = 0;   // lower time edge, milliseconds
    int count = 0;      // picks counted in the cell
};

// A resampled density matrix, row-major by time (row 0 at time 0); NaN where no occupied fine
// cell falls.
struct DensityMatrix
{
    QVector<double> values;
    int columns = 0;
    int rows = 0;
    // Non-zero when the matrix was not built: the bytes it needed, which the machine could not
    // give or one matrix cannot hold. values is then empty; columns and rows are what it would be.
    qint64 refusedBytes = 0;
    MemoryAdmission::Grant grant; // the memory of values, for as long as they live
};

// The fine grid of pick counts and its resampling to the point size; widget-free.
//
// The grid keeps its occupied cells only, in offset-major order (offset bin, then time bin):
// the resampling and the density scale look at nothing else, and so one wild time or a wide
// offset window costs no memory for the empty cells between.
class DensityGrid
{
public:
    static constexpr int CellSize = 4;     // metres and milliseconds
    static constexpr int TimeMargin = 100; // milliseconds above the latest pick
    static constexpr int DensityRounding = 20;
    // A QVector<double> holds at most INT_MAX bytes, less its header.
    static constexpr qint64 MaxMatrixElements =
        (std::numeric_limits<int>::max() - 64) / qint64(sizeof(double));

    struct Result
    {
        std::unique_ptr<DensityCell[]> cells; // the occupied cells, offset-major
        int occupiedCount = 0;                // elements of cells
        qint64 cellCount = 0;                 // cells of the whole grid, offset bins x time bins
        int timeMax = 0;
        int densityMax = 0;
        // Non-zero when the grid could not be counted: the bytes it needed, which the machine
        // could not give. There are then no cells and densityMax is 0.
        qint64 refusedBytes = 0;
        MemoryAdmission::Grant grant; // the memory of cells, for as long as they live
    };

    // Counts the picks into the fine grid over offsetLow..offsetHigh and fixes the time extent
    // and the top of the density scale. zeroPicks more picks lie at (0 m, 0 ms): those a load
    // took for records past the end of its file, which it does not store one by one.
    static Result build(const QVector<int> &offsets, const QVector<int> &fbTimes, int offsetLow,
                        int offsetHigh, int zeroPicks = 0);

    // The grid of two disjoint sets of picks in one window, such as the Correct and the Error
    // picks of a file: the cell-wise sum of their counts, with the larger of their time extents,
    // as build() gives it for all the picks together. A refused grid makes the sum refused.
    static Result sum(const Result &a, const Result &b, int offsetLow, int offsetHigh);

    // Resamples occupied fine cells, in the offset-major order that build gives them, into
    // cells of pointSize by pointSize: each matrix cell holds the mean count of the occupied
    // fine cells that fall into it.
    static DensityMatrix resample(const DensityCell *cells, int occupiedCount, int offsetLow,
                                  int offsetHigh, int timeMax, int pointSize);
    static DensityMatrix resample(const Result &grid, int offsetLow, int offsetHigh, int pointSize)
    {
        return resample(grid.cells.get(), grid.occupiedCount, offsetLow, offsetHigh, grid.timeMax,
                        pointSize);
    }
};
