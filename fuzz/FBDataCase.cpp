#include "FBDataCase.h"

#include "DensityGrid.h"
#include "FBHeader.h"
#include "FBLoader.h"

#include <QBuffer>
#include <QTemporaryFile>
#include <QtEndian>
#include <cmath>

#ifdef Q_OS_LINUX
#include <sys/mman.h>
#include <unistd.h>
#endif

namespace {

// The FB part of an input as a file that the loader opens by name. On Linux one memory file
// serves every input, which keeps the disk out of the fuzzer's loop.
class ScratchFile
{
public:
    QString write(const QByteArray &bytes)
    {
#ifdef Q_OS_LINUX
        static const int fd = memfd_create("fbdata", MFD_CLOEXEC);
        if (fd >= 0 && ftruncate(fd, 0) == 0 && writeAll(fd, bytes))
            return QStringLiteral("/proc/self/fd/%1").arg(fd);
#endif
        if (!temporary.open() || !temporary.resize(0) || temporary.write(bytes) != bytes.size())
            return QString();
        temporary.flush();
        return temporary.fileName();
    }

private:
#ifdef Q_OS_LINUX
    static bool writeAll(int fd, const QByteArray &bytes)
    {
        qint64 done = 0;
        while (done < bytes.size()) {
            const ssize_t n =
                pwrite(fd, bytes.constData() + done, size_t(bytes.size() - done), off_t(done));
            if (n <= 0)
                return false;
            done += n;
        }
        return true;
    }
#endif
    QTemporaryFile temporary;
};

qint32 word(const QByteArray &parameters, int position)
{
    return qFromLittleEndian<qint32>(parameters.constData() + position);
}

} // namespace

QString FBDataCase::run(const QByteArray &input)
{
    QByteArray parameters = input.left(ParameterBytes);
    parameters.append(ParameterBytes - parameters.size(), '\0');
    const QByteArray fileBytes = input.mid(ParameterBytes);
    const uchar flags = uchar(parameters.at(0));
    const int extraPointSize = uchar(parameters.at(1));
    const int pickLimit = 1 + int(qFromLittleEndian<quint16>(parameters.constData() + 2));

    FBPickFilter filter;
    filter.plotCorrectFB = flags & 1;
    filter.plotErrorFB = flags & 2;
    filter.plotAllFB = flags & 4;
    filter.minOffset = word(parameters, 4);
    filter.maxOffset = word(parameters, 8);

    // The dialog's check of the same bytes, read from memory.
    QByteArray headerBytes = fileBytes;
    QBuffer headerDevice(&headerBytes);
    headerDevice.open(QIODevice::ReadOnly);
    const FBHeader header = FBHeader::read(headerDevice);
    const bool legal = header.isLegal();

    ScratchFile scratch;
    const QString path = scratch.write(fileBytes);
    if (path.isEmpty())
        return QString(); // nothing to test without a file

    FBLoader loader(path, filter);
    loader.setPickLimit(pickLimit);
    FBPicks picks;
    loader.readHeader(picks);
    int lastValue = 0;
    qint64 calls = 0;
    bool consecutive = true;
    loader.readRecords(picks, [&](int value) {
        consecutive = consecutive && value == lastValue + 1;
        lastValue = value;
        ++calls;
    });

    qint64 low = header.offsetLow;
    qint64 high = header.offsetHigh;
    if (filter.maxOffset > 0) {
        low = qMax<qint64>(low, filter.minOffset);
        high = qMin<qint64>(high, filter.maxOffset);
    }
    if (picks.recordCount != header.recordCount || picks.offsetLow != low ||
        picks.offsetHigh != high)
        return QStringLiteral("header words");
    // What the dialog accepts and no limits narrow is a window that can hold picks.
    if (legal && filter.maxOffset <= 0 &&
        !(picks.offsetLow >= 0 && picks.offsetLow < picks.offsetHigh))
        return QStringLiteral("legal header, empty window");
    const qint64 records = qMax(0, header.recordCount);
    const qint64 step = records / FBLoader::ProgressSteps;
    if (!consecutive || calls != (step == 0 ? records : records / step))
        return QStringLiteral("progress values");
    if (picks.offsets.size() != picks.pickCount || picks.fbTimes.size() != picks.pickCount ||
        picks.pickCount > pickLimit || picks.pickCount > records)
        return QStringLiteral("pick count");
    for (int k = 0; k < picks.pickCount; ++k) {
        const qint64 magnitude = qAbs(qint64(picks.offsets.at(k)));
        if (magnitude < low || magnitude >= high)
            return QStringLiteral("pick outside the offset window");
    }

    const DensityGrid::Result grid =
        DensityGrid::build(picks.offsets, picks.fbTimes, picks.offsetLow, picks.offsetHigh);
    if (grid.timeMax < DensityGrid::TimeMargin || grid.cellCount < 0 ||
        grid.cellCount > DensityGrid::MaxCells || (grid.cellCount > 0 && !grid.cells))
        return QStringLiteral("grid size");
    qint64 counted = 0;
    int largest = 0;
    for (int k = 0; k < grid.cellCount; ++k) {
        const DensityCell &cell = grid.cells[k];
        if (cell.offsetEdge < picks.offsetLow || cell.offsetEdge >= picks.offsetHigh ||
            cell.timeEdge < 0 || cell.timeEdge >= grid.timeMax || cell.count < 0)
            return QStringLiteral("grid cell");
        counted += cell.count;
        largest = qMax(largest, cell.count);
    }
    if (counted > picks.pickCount || grid.densityMax < 0 ||
        grid.densityMax % DensityGrid::DensityRounding != 0 ||
        (grid.densityMax == 0) != (largest == 0))
        return QStringLiteral("density scale");

    for (int pointSize : {4, 20, extraPointSize}) {
        const DensityMatrix matrix =
            DensityGrid::resample(grid.cells.get(), grid.cellCount, picks.offsetLow,
                                  picks.offsetHigh, grid.timeMax, pointSize);
        if (matrix.columns < 0 || matrix.rows < 0 ||
            qint64(matrix.columns) * matrix.rows > DensityGrid::MaxMatrixElements ||
            matrix.values.size() != matrix.columns * matrix.rows)
            return QStringLiteral("matrix size at point size %1").arg(pointSize);
        for (double value : matrix.values) {
            if (!std::isnan(value) && (value < 1.0 || value > largest))
                return QStringLiteral("matrix value at point size %1").arg(pointSize);
        }
    }
    return QString();
}
