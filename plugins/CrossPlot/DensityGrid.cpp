#include "DensityGrid.h"

// Scaffold: replaced by the density grid.
DensityGrid::Result DensityGrid::build(const QVector<int> &, const QVector<int> &, int, int)
{
    return Result();
}

DensityMatrix DensityGrid::resample(const DensityCell *, int, int, int, int, int)
{
    return DensityMatrix();
}
