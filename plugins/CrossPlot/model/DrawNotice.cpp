#include "DrawNotice.h"

#include "MemoryAdmission.h"

#include <QCoreApplication>
#include <QLocale>

namespace {

// A size in the user's locale: "1.50 MiB".
QString size(qint64 bytes)
{
#if QT_VERSION >= QT_VERSION_CHECK(5, 10, 0)
    return QLocale().formattedDataSize(bytes);
#else
    // The same figures as formattedDataSize gives from Qt 5.10 on: powers of 1024, two
    // decimals, IEC units.
    static const char *const units[] = {"bytes", "KiB", "MiB", "GiB", "TiB", "PiB", "EiB"};
    int power = 0;
    while (power < 6 && qAbs(bytes) >= (qint64(1) << (10 * (power + 1))))
        ++power;
    const QLocale locale;
    const QString number =
        power ? locale.toString(double(bytes) / double(qint64(1) << (10 * power)), 'f', 2)
              : locale.toString(bytes);
    return number + QLatin1Char(' ') + QLatin1String(units[power]);
#endif
}

QString available()
{
    return size(MemoryAdmission::available());
}

} // namespace

QString DrawNotice::forPicks(const FBPicks &picks)
{
    if (picks.unreadRecords > 0)
        return QCoreApplication::translate("CrossPlotMap",
                                           "%L1 records of the file could not be read: the memory "
                                           "available held no buffer for them. %L2 accepted "
                                           "picks are drawn.")
            .arg(picks.unreadRecords)
            .arg(qint64(picks.pickCount) - picks.droppedPicks);
    if (picks.droppedPicks <= 0)
        return QString();
    const qint64 drawn = qint64(picks.pickCount) - picks.droppedPicks;
    // The stored picks end at the room of one window only when they filled it.
    if (picks.offsets.size() >= FBLoader::MaxStoredPicks)
        return QCoreApplication::translate(
                   "CrossPlotMap",
                   "Only %L1 of the %L2 accepted picks are drawn: one window holds at most %L3 "
                   "picks. A narrower offset range would draw them all.")
            .arg(drawn)
            .arg(picks.pickCount)
            .arg(FBLoader::MaxStoredPicks);
    return QCoreApplication::translate(
               "CrossPlotMap",
               "Only %L1 of the %L2 accepted picks are drawn: the rest do not fit in the memory "
               "available. A narrower offset range would draw them all.")
        .arg(drawn)
        .arg(picks.pickCount);
}

QString DrawNotice::forGrid(const DensityGrid::Result &grid)
{
    if (grid.refusedBytes <= 0)
        return QString();
    const qint64 timeBins = qMax(1, grid.timeMax / DensityGrid::CellSize);
    return QCoreApplication::translate(
               "CrossPlotMap",
               "No density can be drawn: the fine grid of %L1 x %L2 cells (the latest FB time is "
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
        return QCoreApplication::translate(
                   "CrossPlotMap",
                   "The density cannot be drawn at point size %1: its matrix of %L2 x %L3 cells "
                   "is larger than one matrix can hold (%L4 cells). A larger point size or a "
                   "narrower offset range would help.")
            .arg(pointSize)
            .arg(matrix.columns)
            .arg(matrix.rows)
            .arg(DensityGrid::MaxMatrixElements);
    return QCoreApplication::translate(
               "CrossPlotMap",
               "The density cannot be drawn at point size %1: its matrix of %L2 x %L3 cells needs "
               "%4, and %5 are available. A larger point size or a narrower offset "
               "range would help.")
        .arg(pointSize)
        .arg(matrix.columns)
        .arg(matrix.rows)
        .arg(size(matrix.refusedBytes))
        .arg(available());
}
