#pragma once

#include <QString>
#include <QtGlobal>
#include <limits>
#include <memory>

// Asks before a large allocation whether the machine can give it, so that an oversized load,
// grid or matrix is refused with a reason instead of ending the host in the out-of-memory
// killer.
//
// What can be given is the smallest of every limit that applies to this process:
// - the memory cgroup of the process and each of its ancestors, v2 (memory.max and memory.high
//   against memory.current) or v1 (memory.limit_in_bytes against memory.usage_in_bytes), the
//   file cache the kernel can reclaim (inactive_file + active_file of memory.stat) counting as
//   free; found through /proc/self/cgroup and /proc/self/mountinfo, wherever it is mounted;
// - RLIMIT_AS against VmSize and RLIMIT_DATA against VmData of /proc/self/status;
// - MemAvailable of /proc/meminfo (the free physical pages where there is no /proc/meminfo);
// - the environment variable CROSSPLOT_MEMORY_AVAILABLE (bytes, or with a suffix K, M or G),
//   which stands for what the machine had before this process admitted anything: the bytes
//   still held by grants are taken off it.
// The cgroup and rlimit figures keep a reserve back (a sixteenth of the limit, 16 to 256 MiB)
// for the memory that is never asked for; at a hard limit the kernel kills rather than fails.
// Without any of these there is no bound at all (the allocation itself then decides).
//
// The real sources already see memory once it is touched, so the grants are not taken off
// them as well: that would count the same pages twice. An admitted block that is not yet
// touched is therefore not seen by a second admission that comes before its first touch; the
// holders touch their blocks right after admission, which keeps that window short.
class MemoryAdmission
{
public:
    static constexpr qint64 Unbounded = std::numeric_limits<qint64>::max();

    // Bytes held by admitted allocations, as long as one copy of their grant lives. Copies
    // share one entry of the process-wide ledger; the bytes leave it with the last copy.
    class Grant
    {
    public:
        Grant() = default;
        qint64 bytes() const;
        // Admits bytes more into this grant; false, and nothing changed, when they are refused.
        bool extend(qint64 bytes);
        void reset() { entry.reset(); }

    private:
        struct Entry;
        std::shared_ptr<Entry> entry;
    };

    // Bytes that can be allocated now.
    static qint64 available();

    // Whether bytes more can be allocated now; negative byte counts are never admitted.
    static bool admits(qint64 bytes);

    // Admits bytes and enters them in the ledger until the grant's last copy goes; an empty
    // grant (bytes() == 0) when they are refused. One lock covers the check and the entry, so
    // that two threads cannot both take the last bytes.
    static Grant grant(qint64 bytes);

    // Bytes that grants hold now, in the whole process.
    static qint64 held();

    // Where the files of /proc and of the cgroup mounts are read from: "/" unless a test puts
    // a tree of its own there.
    static void setRoot(const QString &root);
    // The RLIMIT_AS and RLIMIT_DATA to apply instead of the process's own (Unbounded: none);
    // negative values read the process's own again.
    static void setResourceLimits(qint64 addressSpace, qint64 data);

    // Asks for transparent huge pages over a large block that nothing has touched yet, so that
    // its first touch faults 2 MB at a time instead of 4 KB: on this kind of virtual machine a
    // 4 KB fault costs about as much as writing the page (a point-size change to 1 on a 12 km
    // spread spent most of its time in faults). Where that is not supported, nothing changes.
    static void adviseHugePages(void *block, size_t bytes);

    // Faults in the whole pages of an untouched, admitted block as if written, without writing
    // it, so that another thread may write to it meanwhile. Where that is not supported,
    // nothing happens and the first write faults as usual.
    static void populate(void *block, size_t bytes);
};
