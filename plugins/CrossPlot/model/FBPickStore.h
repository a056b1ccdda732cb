#pragma once

#include "FBLoader.h"

#include <atomic>

struct FBPickBlock;

// Stores accepted picks into FBPicks in the order they are handed over. Room is reserved once
// for the most picks the load can yield, which costs address space only; the memory behind it
// is admitted slice by slice as the picks arrive. Picks beyond the room or the admitted memory
// are counted as dropped, never stored.
class FBPickStore
{
public:
    // expected: the most stored picks the load can yield; limit: room at most.
    FBPickStore(FBPicks &picks, qint64 expected, int limit, bool details);
    ~FBPickStore();

    void append(const FBPickBlock &block);
    // Accepted records past the end of the file: counted, never stored.
    void addZeroPicks(qint64 count);
    // Records on file that were never read: their picks are unknown, and none is stored after.
    void addUnreadRecords(qint64 count);

    // Safe from any thread while append runs: faults in the pages that the next picks will be
    // written to, a little ahead of them and never beyond the admitted memory. The kernel's
    // zeroing of fresh pages took a third of a 20,000,000-record load on the storing thread
    // alone; worker threads calling this between their blocks share it out.
    void prepareAhead();

private:
    Q_DISABLE_COPY(FBPickStore)
    bool admitMore(qint64 wanted);

    FBPicks &picks;
    const bool details;
    int room = 0;     // reserved capacity
    int admitted = 0; // picks whose memory the admission has granted
    qint64 keepBack = -1; // bytes left to the grid and matrix, fixed at the first admission
    qint64 zeroPicks = 0;
    qint64 dropped = 0;
    qint64 unread = 0;
    bool full = false;                 // a pick was dropped: so are all after it
    int *bases[4] = {};                // the reserved blocks of the vectors, fixed once reserved
    std::atomic<qint64> prepared{0};   // picks whose pages are faulted in, or being so
    std::atomic<qint64> preparable{0}; // how far ahead that may go
};
