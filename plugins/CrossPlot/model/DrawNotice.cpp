#include "DrawNotice.h"

#include "MemoryAdmission.h"

#include <QCoreApplication>
#include <QLocale>

namespace {

QString tr(const char *text)
{
    return QCoreApplication::translate("CrossPlotMap", text);
}

QString size(qint64 bytes)
{
    return QLocale().formattedDataSize(bytes);
}

QString available()
{
    return size(MemoryAdmission::available());
}

} // namespace

QString DrawNotice::forPicks(const FBPicks &picks)
{
    if (picks.droppedPicks <= 0)
        return QString();
    const qint64 drawn = qint64(picks.pickCount) - picks.droppedPicks;
    // The stored picks end at the room of one window only when they filled it.
    if (picks.offsets.size() >= FBLoader::MaxStoredPicks)
        return tr("Only %L1 of the %L2 accepted picks are drawn: one window holds at most %L3 "
                  "picks. A narrower offset range would draw them all.")
            .arg(drawn)
            .arg(picks.pickCount)
            .arg(FBLoader::MaxStoredPicks);
    return tr("Only %L1 of the %L2 accepted picks are drawn: the rest do not fit in the memory "
              "available. A narrower offset range would draw them all.")
        .arg(drawn)
        .arg(picks.pickCount);
}

QString DrawNotice::forGrid(const DensityGrid::Result &grid)
{
    if (grid.refusedBytes <= 0)
        return QString();
    const qint64 timeBins = qMax(1, grid.timeMax / DensityGrid::CellSize);
    return tr("No density can be drawn: the fine grid of %L1 x %L2 cells (the latest FB time is "
              "%L3 ms) needs %4, and %5 are available. Check the file's FB times, or "
              "choose a narrower offset range.")
        .arg(grid.cellCount / timeBins)
        .arg(timeBins)
        .arg(grid.timeMax - DensityGrid::TimeMargin)
        .arg(size(grid.refusedBytes))
        .arg(available());
}

QString DrawNotice::forMatrix(const DensityMatrix &matrix, int pointSize)
{
    if (matrix.refusedBytes <= 0)
        return QString();
    if (qint64(matrix.columns) * matrix.rows > DensityGrid::MaxMatrixElements)
        return tr("The density cannot be drawn at point size %1: its matrix of %L2 x %L3 cells "
                  "is larger than one matrix can hold (%L4 cells). A larger point size or a "
                  "narrower offset range would help.")
            .arg(pointSize)
            .arg(matrix.columns)
            .arg(matrix.rows)
            .arg(DensityGrid::MaxMatrixElements);
    return tr("The density cannot be drawn at point size %1: its matrix of %L2 x %L3 cells needs "
              "%4, and %5 are available. A larger point size or a narrower offset "
              "range would help.")
        .arg(pointSize)
        .arg(matrix.columns)
        .arg(matrix.rows)
        .arg(size(matrix.refusedBytes))
        .arg(available());
}
