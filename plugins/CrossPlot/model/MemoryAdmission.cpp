#include "MemoryAdmission.h"

#include <QFile>
#include <QtGlobal>

#if defined(Q_OS_UNIX)
#include <unistd.h>
#endif
#if defined(Q_OS_LINUX)
#include <sys/mman.h>
#endif

namespace {

// "123", "64K", "512M", "2G": bytes; anything else is no value (-1).
qint64 parseBytes(QByteArray text)
{
    text = text.trimmed().toUpper();
    qint64 unit = 1;
    if (text.endsWith('K') || text.endsWith('M') || text.endsWith('G')) {
        unit = text.endsWith('K') ? 1 << 10 : text.endsWith('M') ? 1 << 20 : 1 << 30;
        text.chop(1);
    }
    bool ok = false;
    const qint64 value = text.toLongLong(&ok);
    if (!ok || value < 0 || value > MemoryAdmission::Unbounded / unit)
        return -1;
    return value * unit;
}

qint64 memAvailable()
{
    QFile meminfo(QStringLiteral("/proc/meminfo"));
    if (!meminfo.open(QIODevice::ReadOnly))
        return -1;
    // Read at once: /proc files report a size of 0, so line reads are the portable way.
    for (const QByteArray &line : meminfo.readAll().split('\n')) {
        if (line.startsWith("MemAvailable:")) {
            const qint64 kib = parseBytes(line.mid(13).replace("kB", ""));
            return kib < 0 ? -1 : kib * 1024;
        }
    }
    return -1;
}

} // namespace

qint64 MemoryAdmission::available()
{
    const QByteArray forced = qgetenv("CROSSPLOT_MEMORY_AVAILABLE");
    if (!forced.isEmpty()) {
        const qint64 bytes = parseBytes(forced);
        if (bytes >= 0)
            return bytes;
    }
    const qint64 fromMeminfo = memAvailable();
    if (fromMeminfo >= 0)
        return fromMeminfo;
#if defined(Q_OS_UNIX) && defined(_SC_AVPHYS_PAGES)
    const long pages = sysconf(_SC_AVPHYS_PAGES);
    const long pageSize = sysconf(_SC_PAGESIZE);
    if (pages > 0 && pageSize > 0)
        return qint64(pages) * pageSize;
#endif
    return Unbounded;
}

bool MemoryAdmission::admits(qint64 bytes)
{
    return bytes >= 0 && bytes <= available();
}

void MemoryAdmission::adviseHugePages(void *block, size_t bytes)
{
#if defined(MADV_HUGEPAGE)
    // Only the whole huge pages inside the block: the advice must not reach memory beside it.
    constexpr quintptr HugePage = 2 << 20;
    const quintptr first = (quintptr(block) + HugePage - 1) & ~(HugePage - 1);
    const quintptr last = (quintptr(block) + bytes) & ~(HugePage - 1);
    if (last > first)
        madvise(reinterpret_cast<void *>(first), last - first, MADV_HUGEPAGE);
#else
    Q_UNUSED(block)
    Q_UNUSED(bytes)
#endif
}

void MemoryAdmission::populate(void *block, size_t bytes)
{
#if defined(MADV_POPULATE_WRITE)
    constexpr quintptr Page = 4096;
    const quintptr first = (quintptr(block) + Page - 1) & ~(Page - 1);
    const quintptr last = (quintptr(block) + bytes) & ~(Page - 1);
    if (last > first)
        madvise(reinterpret_cast<void *>(first), last - first, MADV_POPULATE_WRITE);
#else
    Q_UNUSED(block)
    Q_UNUSED(bytes)
#endif
}
