#pragma once

#include <QtGlobal>
#include <limits>

// Asks before a large allocation whether the machine can give it, so that an oversized load,
// grid or matrix is refused with a reason instead of ending the host in the out-of-memory
// killer.
//
// What the machine can give is, in this order: the environment variable
// CROSSPLOT_MEMORY_AVAILABLE (bytes, or with a suffix K, M or G; tests simulate a small machine
// with it), MemAvailable of /proc/meminfo on Linux, the free physical pages elsewhere, and
// without any of these no bound at all (the allocation itself then decides).
class MemoryAdmission
{
public:
    static constexpr qint64 Unbounded = std::numeric_limits<qint64>::max();

    // Bytes that can be allocated now.
    static qint64 available();

    // Whether bytes more can be allocated now; negative byte counts are never admitted.
    static bool admits(qint64 bytes);

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
