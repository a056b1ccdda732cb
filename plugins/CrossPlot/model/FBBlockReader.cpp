#include "FBBlockReader.h"

#include "FBRecord.h"

#include <QMutex>
#include <cerrno>
#include <cstring>

#if defined(Q_OS_UNIX)
#include <unistd.h>
#endif

FBBlockReader::FBBlockReader(const QString &fileName) : file(fileName)
{
    if (file.open(QIODevice::ReadOnly | QIODevice::Unbuffered))
        size = file.size();
}

FBHeader FBBlockReader::header()
{
    // An unopened file is not touched, which keeps Qt's not-open warnings away.
    return file.isOpen() ? FBHeader::read(file) : FBHeader();
}

qint64 FBBlockReader::recordsOnFile() const
{
    return qMax<qint64>(0, (size - FBRecord::position(0) + FBRecord::Size - 1) / FBRecord::Size);
}

void FBBlockReader::read(qint64 first, int count, char *buffer) const
{
    const qint64 bytes = qint64(count) * FBRecord::Size;
    qint64 got = 0;
    if (file.isOpen()) {
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
}
