#include "MemoryAdmission.h"

#include <QDir>
#include <QFile>
#include <QStringList>
#include <mutex>

#if defined(Q_OS_UNIX)
#include <sys/resource.h>
#include <unistd.h>
#endif
#if defined(Q_OS_LINUX)
#include <sys/mman.h>
#endif

namespace {

// v1 writes "no limit" as LONG_MAX rounded down to the page size; anything this large is none.
constexpr qint64 NoLimitFloor = qint64(1) << 62;

struct Sources
{
    QString root = QStringLiteral("/");
    qint64 addressLimit = -1; // negative: the process's own
    qint64 dataLimit = -1;
};

// One lock for the sources, the ledger and every check that enters the ledger. Never
// destroyed: grants held by static objects still leave the ledger at exit.
std::recursive_mutex &lock()
{
    static auto *mutex = new std::recursive_mutex;
    return *mutex;
}

Sources &sources()
{
    static Sources s;
    return s;
}

qint64 ledger = 0;

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

QByteArray readAll(const QString &path)
{
    QFile file(path);
    // Read at once: /proc and cgroup files report a size of 0, so line reads are the portable
    // way.
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QString under(const QString &path)
{
    return QDir::cleanPath(sources().root + QLatin1Char('/') + path);
}

// The value of "key value" lines (as in memory.stat) or "Key: value kB" lines (as in
// /proc/meminfo), in bytes when the line says kB; -1 when missing.
qint64 field(const QByteArray &text, const QByteArray &key)
{
    for (const QByteArray &line : text.split('\n')) {
        const QList<QByteArray> words = line.simplified().split(' ');
        if (words.size() < 2 || (words[0] != key && words[0] != key + ':'))
            continue;
        const qint64 value = parseBytes(words[1]);
        if (value < 0)
            return -1;
        const bool kib = words.size() > 2 && words[2] == "kB";
        return kib ? (value > MemoryAdmission::Unbounded / 1024 ? -1 : value * 1024) : value;
    }
    return -1;
}

// A limit file's value: -1 for "max", v1's "unlimited", a missing file or anything unreadable.
qint64 limitFile(const QString &path)
{
    const QByteArray text = readAll(path).trimmed();
    const qint64 value = text == "max" ? -1 : parseBytes(text);
    return value >= NoLimitFloor ? -1 : value;
}

// What a limit keeps back from admission: the memory that nobody asks for (the libraries, the
// stacks, the page tables, the read buffers, the window) still has to fit once the admitted
// blocks have taken the rest, or the kernel kills the process at the limit. A sixteenth of
// the limit, at least 16 MiB and at most 256 MiB.
qint64 reserveOf(qint64 limit)
{
    return qBound<qint64>(qint64(16) << 20, limit / 16, qint64(256) << 20);
}

// limit - reserve - (used - reclaimable), never below 0; Unbounded without a limit.
qint64 headroom(qint64 limit, qint64 used, qint64 reclaimable)
{
    if (limit < 0)
        return MemoryAdmission::Unbounded;
    const qint64 held = qMax<qint64>(0, qMax<qint64>(0, used) - qMax<qint64>(0, reclaimable));
    return qMax<qint64>(0, limit - reserveOf(limit) - held);
}

qint64 cacheOf(const QByteArray &stat, const QByteArray &prefix)
{
    const qint64 inactive = field(stat, prefix + "inactive_file");
    const qint64 active = field(stat, prefix + "active_file");
    return inactive < 0 && active < 0 ? -1 : qMax<qint64>(0, inactive) + qMax<qint64>(0, active);
}

qint64 cgroupV2(const QString &dir)
{
    qint64 limit = limitFile(dir + "/memory.max");
    const qint64 high = limitFile(dir + "/memory.high");
    if (high >= 0 && (limit < 0 || high < limit))
        limit = high;
    if (limit < 0)
        return MemoryAdmission::Unbounded;
    return headroom(limit, parseBytes(readAll(dir + "/memory.current")),
                    cacheOf(readAll(dir + "/memory.stat"), ""));
}

qint64 cgroupV1(const QString &dir)
{
    const qint64 limit = limitFile(dir + "/memory.limit_in_bytes");
    if (limit < 0)
        return MemoryAdmission::Unbounded;
    // The hierarchy's totals where the kernel gives them, this group's own otherwise.
    const QByteArray stat = readAll(dir + "/memory.stat");
    qint64 cache = cacheOf(stat, "total_");
    if (cache < 0)
        cache = cacheOf(stat, "");
    return headroom(limit, parseBytes(readAll(dir + "/memory.usage_in_bytes")), cache);
}

// mountinfo writes space, tab, newline and backslash as octal escapes.
QString unescaped(const QByteArray &field)
{
    QByteArray out;
    for (int k = 0; k < field.size(); ++k) {
        if (field[k] == '\\' && k + 3 < field.size()) {
            bool ok = false;
            const int code = field.mid(k + 1, 3).toInt(&ok, 8);
            if (ok) {
                out += char(code);
                k += 3;
                continue;
            }
        }
        out += field[k];
    }
    return QString::fromUtf8(out);
}

// The tightest headroom of the process's cgroup of one kind (v2, or v1's memory controller)
// and of every ancestor up to the mount's root.
qint64 cgroups(bool v2)
{
    // The process's path in that hierarchy: "0::/path" for v2, "N:a,memory,b:/path" for v1.
    QString path;
    bool found = false;
    for (const QByteArray &line : readAll(under("/proc/self/cgroup")).split('\n')) {
        const int first = line.indexOf(':');
        const int second = line.indexOf(':', first + 1);
        if (first < 0 || second < 0)
            continue;
        const QByteArray controllers = line.mid(first + 1, second - first - 1);
        if (v2 ? line.left(first) == "0" && controllers.isEmpty()
               : controllers.split(',').contains("memory")) {
            path = QString::fromUtf8(line.mid(second + 1));
            found = true;
            break;
        }
    }
    if (!found)
        return MemoryAdmission::Unbounded;

    qint64 tightest = MemoryAdmission::Unbounded;
    for (const QByteArray &line : readAll(under("/proc/self/mountinfo")).split('\n')) {
        // id parent major:minor root mountpoint options [optional...] - fstype source super
        const QList<QByteArray> words = line.split(' ');
        const int dash = words.indexOf("-");
        if (dash < 5 || dash + 1 >= words.size())
            continue;
        const QByteArray type = words[dash + 1];
        if (v2 ? type != "cgroup2"
               : type != "cgroup" || !words.value(dash + 3).split(',').contains("memory"))
            continue;
        const QString root = unescaped(words[3]);
        const QString mountPoint = under(unescaped(words[4]));
        // A container mounts its own cgroup as the hierarchy's root: the path it is given then
        // lies under the mount's root, and is taken relative to it. A path outside the mount's
        // root (another namespace's view) can only be the mount itself.
        QString relative;
        if (root == QLatin1String("/"))
            relative = path;
        else if (path == root || path.startsWith(root + QLatin1Char('/')))
            relative = path.mid(root.size());
        QString dir = QDir::cleanPath(mountPoint + QLatin1Char('/') + relative);
        if (!dir.startsWith(mountPoint))
            dir = mountPoint; // a path of ".." cannot lead out of the mount
        for (;;) {
            tightest = qMin(tightest, v2 ? cgroupV2(dir) : cgroupV1(dir));
            if (dir.size() <= mountPoint.size())
                break;
            dir = dir.left(qMax(0, dir.lastIndexOf(QLatin1Char('/'))));
            if (dir.size() < mountPoint.size())
                dir = mountPoint;
        }
        break; // one mount of the hierarchy tells all
    }
    return tightest;
}

#if defined(Q_OS_UNIX)
qint64 resourceLimit(int resource, qint64 injected)
{
    if (injected >= 0)
        return injected;
    rlimit limit{};
    if (getrlimit(resource, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY ||
        limit.rlim_cur >= rlim_t(NoLimitFloor))
        return MemoryAdmission::Unbounded;
    return qint64(limit.rlim_cur);
}
#endif

// The address-space and data-segment limits against what the process holds of each.
qint64 resourceLimits()
{
    qint64 tightest = MemoryAdmission::Unbounded;
#if defined(Q_OS_UNIX)
    const qint64 limits[] = {resourceLimit(RLIMIT_AS, sources().addressLimit),
                             resourceLimit(RLIMIT_DATA, sources().dataLimit)};
    if (limits[0] == MemoryAdmission::Unbounded && limits[1] == MemoryAdmission::Unbounded)
        return tightest;
    const QByteArray status = readAll(under("/proc/self/status"));
    const qint64 used[] = {field(status, "VmSize"), field(status, "VmData")};
    for (int k = 0; k < 2; ++k) {
        // Without the process's figure the limit itself is the best guess left.
        if (limits[k] != MemoryAdmission::Unbounded)
            tightest = qMin(tightest, headroom(limits[k], used[k], 0));
    }
#endif
    return tightest;
}

qint64 physical()
{
    const QByteArray meminfo = readAll(under("/proc/meminfo"));
    const qint64 fromMeminfo = field(meminfo, "MemAvailable");
    if (fromMeminfo >= 0)
        return fromMeminfo;
#if defined(Q_OS_UNIX) && defined(_SC_AVPHYS_PAGES)
    const long pages = sysconf(_SC_AVPHYS_PAGES);
    const long pageSize = sysconf(_SC_PAGESIZE);
    if (pages > 0 && pageSize > 0)
        return qint64(pages) * pageSize;
#endif
    return MemoryAdmission::Unbounded;
}

} // namespace

struct MemoryAdmission::Grant::Entry
{
    qint64 bytes = 0;
    ~Entry()
    {
        std::lock_guard<std::recursive_mutex> locker(lock());
        ledger -= bytes;
    }
};

qint64 MemoryAdmission::Grant::bytes() const
{
    std::lock_guard<std::recursive_mutex> locker(lock());
    return entry ? entry->bytes : 0;
}

bool MemoryAdmission::Grant::extend(qint64 bytes)
{
    std::lock_guard<std::recursive_mutex> locker(lock());
    if (!admits(bytes))
        return false;
    if (!entry)
        entry = std::make_shared<Entry>();
    entry->bytes += bytes;
    ledger += bytes;
    return true;
}

MemoryAdmission::Grant MemoryAdmission::grant(qint64 bytes)
{
    Grant granted;
    granted.extend(bytes);
    return granted;
}

qint64 MemoryAdmission::held()
{
    std::lock_guard<std::recursive_mutex> locker(lock());
    return ledger;
}

void MemoryAdmission::setRoot(const QString &root)
{
    std::lock_guard<std::recursive_mutex> locker(lock());
    sources().root = root;
}

void MemoryAdmission::setResourceLimits(qint64 addressSpace, qint64 data)
{
    std::lock_guard<std::recursive_mutex> locker(lock());
    sources().addressLimit = addressSpace;
    sources().dataLimit = data;
}

qint64 MemoryAdmission::available()
{
    std::lock_guard<std::recursive_mutex> locker(lock());
    qint64 tightest = qMin(physical(), resourceLimits());
    tightest = qMin(tightest, qMin(cgroups(true), cgroups(false)));
    const qint64 forced = parseBytes(qgetenv("CROSSPLOT_MEMORY_AVAILABLE"));
    if (forced >= 0)
        tightest = qMin(tightest, qMax<qint64>(0, forced - ledger));
    return tightest;
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
