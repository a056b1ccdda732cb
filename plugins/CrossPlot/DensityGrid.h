#pragma once

#include <QVector>
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
};

// The fine grid of pick counts and its resampling to the point size; widget-free.
class DensityGrid
{
public:
    static constexpr int CellSize = 4;     // metres and milliseconds
    static constexpr int TimeMargin = 100; // milliseconds above the latest pick
    static constexpr int DensityRounding = 20;
    // Bounds on what one grid or matrix may allocate: 300 MB of cells, 200 MB of matrix values.
    // Larger ones, which only extreme offset windows or times ask for, are built empty.
#ifndef FUZZING_BUILD_MODE_UNSAFE_FOR_PRODUCTION
    static constexpr qint64 MaxCells = 25000000;
    static constexpr qint64 MaxMatrixElements = 25000000;
#else
    // The fuzzer reaches the bounds with almost any header; smaller ones keep it fast.
    static constexpr qint64 MaxCells = 1000000;
    static constexpr qint64 MaxMatrixElements = 1000000;
#endif

    struct Result
    {
        std::unique_ptr<DensityCell[]> cells; // offset-major: cell (i, j) at i * timeBins + j
        int cellCount = 0;
        int timeMax = 0;
        int densityMax = 0;
    };

    // Counts the picks into the fine grid over offsetLow..offsetHigh and fixes the time extent
    // and the top of the density scale.
    static Result build(const QVector<int> &offsets, const QVector<int> &fbTimes, int offsetLow,
                        int offsetHigh);

    // Resamples the occupied fine cells into cells of pointSize by pointSize: each matrix cell
    // holds the mean count of the occupied fine cells that fall into it.
    static DensityMatrix resample(const DensityCell *cells, int cellCount, int offsetLow,
                                  int offsetHigh, int timeMax, int pointSize);
};
