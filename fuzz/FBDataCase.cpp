#include "FBDataCase.h"

#include "CrossPlotModel.h"
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

    // Two threads as the fuzzer's load, with flag 8 in blocks of eight records, so that even
    // short inputs go through the workers and their hand-over in file order (starting threads
    // for every input would halve the fuzzer's speed); one thread as the reference it must equal.
    const auto load = [&](int threads, FBPicks &picks, int &calls, bool &consecutive) {
        FBLoader loader(path, filter);
        loader.setPickLimit(pickLimit);
        loader.setThreadCount(threads);
        if (threads > 1 && (flags & 8))
            loader.setBlockRecords(8);
        loader.readHeader(picks);
        int lastValue = 0;
        loader.readRecords(picks, [&](int value) {
            consecutive = consecutive && value == lastValue + 1;
            lastValue = value;
            ++calls;
        });
    };
    FBPicks picks, reference;
    int calls = 0, referenceCalls = 0;
    bool consecutive = true, referenceConsecutive = true;
    load(2, picks, calls, consecutive);
    load(1, reference, referenceCalls, referenceConsecutive);
    if (picks.offsets != reference.offsets || picks.fbTimes != reference.fbTimes ||
        picks.pickCount != reference.pickCount || picks.zeroPicks != reference.zeroPicks ||
        picks.droppedPicks != reference.droppedPicks || calls != referenceCalls)
        return QStringLiteral("2 threads differ from 1");

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

    // Every record announced past the end of the file is a zero pick, when zeros are accepted.
    const qint64 onFile = qMin(records, qMax<qint64>(0, (fileBytes.size() - 16 + 83) / 84));
    const bool zeroAccepted = low <= 0 && 0 < high && (filter.plotAllFB || filter.plotCorrectFB);
    const qint64 stored = picks.offsets.size();
    if (picks.fbTimes.size() != stored || stored > pickLimit ||
        picks.pickCount != stored + picks.droppedPicks + picks.zeroPicks ||
        picks.pickCount > records || picks.zeroPicks != (zeroAccepted ? records - onFile : 0) ||
        (picks.droppedPicks > 0 && stored != pickLimit))
        return QStringLiteral("pick count");
    for (int k = 0; k < stored; ++k) {
        const qint64 magnitude = qAbs(qint64(picks.offsets.at(k)));
        if (magnitude < low || magnitude >= high)
            return QStringLiteral("pick outside the offset window");
    }

    // The grid and the matrices as a window's model builds them from these picks.
    CrossPlotParam param;
    param.fbName = path;
    CrossPlotModel model(param);
    model.setPicks(picks);
    model.buildGrid();
    const DensityGrid::Result &grid = model.grid();
    if (grid.timeMax < DensityGrid::TimeMargin || grid.occupiedCount < 0 ||
        grid.occupiedCount > grid.cellCount || (grid.occupiedCount > 0 && !grid.cells) ||
        (grid.refusedBytes > 0 && grid.occupiedCount > 0))
        return QStringLiteral("grid size");
    qint64 counted = 0;
    int largest = 0;
    for (int k = 0; k < grid.occupiedCount; ++k) {
        const DensityCell &cell = grid.cells[k];
        const bool ordered = k == 0 || cell.offsetEdge > grid.cells[k - 1].offsetEdge ||
                             (cell.offsetEdge == grid.cells[k - 1].offsetEdge &&
                              cell.timeEdge > grid.cells[k - 1].timeEdge);
        if (!ordered || cell.offsetEdge < picks.offsetLow || cell.offsetEdge >= picks.offsetHigh ||
            cell.timeEdge < 0 || cell.timeEdge >= grid.timeMax || cell.count <= 0)
            return QStringLiteral("grid cell");
        counted += cell.count;
        largest = qMax(largest, cell.count);
    }
    // The rounding up to a multiple of 20 is done in single precision, exact below 2^24 only.
    if (counted > picks.pickCount - picks.droppedPicks || grid.densityMax < 0 ||
        (grid.densityMax < (1 << 24) && grid.densityMax % DensityGrid::DensityRounding != 0) ||
        (grid.densityMax == 0) != (largest == 0))
        return QStringLiteral("density scale");

    for (int pointSize : {4, 20, extraPointSize}) {
        // A refused matrix leaves the one before, which is whole like any other; a built one
        // says nothing.
        const bool built = model.buildMatrix(pointSize);
        const DensityMatrix &matrix = model.matrix();
        if (matrix.columns < 0 || matrix.rows < 0 || matrix.refusedBytes != 0 ||
            (built && model.figures().notices.size() > (grid.refusedBytes > 0 ? 1 : 0) +
                                                          (picks.droppedPicks > 0 ? 1 : 0)) ||
            (!matrix.values.isEmpty() &&
             matrix.values.size() != qint64(matrix.columns) * matrix.rows))
            return QStringLiteral("matrix size at point size %1").arg(pointSize);
        for (double value : matrix.values) {
            if (!std::isnan(value) && (value < 1.0 || value > largest))
                return QStringLiteral("matrix value at point size %1").arg(pointSize);
        }
    }
    return QString();
}
