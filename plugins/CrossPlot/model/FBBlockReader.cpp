#include "FBBlockReader.h"

#include "FBRecord.h"

#include <QMutex>
#include <cerrno>
#include <cstring>
#include <limits>

#if defined(Q_OS_UNIX)
#include <unistd.h>
#endif

FBBlockReader::FBBlockReader(const QString &fileName) : file(fileName)
{
    if (file.open(QIODevice::ReadOnly | QIODevice::Unbuffered)) {
        size = file.size();
        sequential = file.isSequential();
    }
}

FBHeader FBBlockReader::header()
{
    // An unopened file is not touched, which keeps Qt's not-open warnings away.
    if (!file.isOpen() || (sequential && headerDone))
        return FBHeader();
    headerDone = true;
    return FBHeader::read(file);
}

qint64 FBBlockReader::recordsOnFile() const
{
    if (sequential)
        return ended ? (delivered + FBRecord::Size - 1) / FBRecord::Size
                     : std::numeric_limits<qint64>::max();
    return qMax<qint64>(0, (size - FBRecord::position(0) + FBRecord::Size - 1) / FBRecord::Size);
}

qint64 FBBlockReader::wholeRecords() const
{
    return sequential ? delivered / FBRecord::Size
                      : qMax<qint64>(0, (size - FBRecord::position(0)) / FBRecord::Size);
}

int FBBlockReader::read(qint64 first, int count, char *buffer) const
{
    const qint64 bytes = qint64(count) * FBRecord::Size;
    qint64 got = 0;
    if (file.isOpen() && sequential) {
        // In order, so first is where the input stands; what it does not deliver is zeros.
        Q_UNUSED(first)
        auto &stream = const_cast<QFile &>(file);
        while (got < bytes && !ended) {
            const qint64 n = stream.read(buffer + got, bytes - got);
            if (n <= 0)
                ended = true;
            else
                got += n;
        }
        delivered += got;
    } else if (file.isOpen()) {
        const qint64 position = FBRecord::position(first);
#if defined(Q_OS_UNIX)
        const int fd = file.handle();
        while (got < bytes) {
            const ssize_t n = pread(fd, buffer + got, size_t(bytes - got), off_t(position + got));
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                break; // the end of the file, or an error: the rest reads as zeros
            got += n;
        }
#else
        // Without positioned reads the shared file position is taken in turns.
        static QMutex turns;
        QMutexLocker locker(&turns);
        auto &shared = const_cast<QFile &>(file);
        if (shared.seek(position))
            got = qMax<qint64>(0, shared.read(buffer, bytes));
#endif
    }
    if (got < bytes)
        std::memset(buffer + got, 0, size_t(bytes - got));
    return sequential ? int((got + FBRecord::Size - 1) / FBRecord::Size) : count;
}

void FBBlockReader::drain()
{
    char bytes[1 << 16];
    while (sequential && file.isOpen() && !ended) {
        const qint64 n = file.read(bytes, sizeof bytes);
        if (n <= 0)
            ended = true;
        else
            delivered += n;
    }
}
