#include "FBPickStore.h"

#include "FBRecordScanner.h"
#include "MemoryAdmission.h"

#include <cstring>
#include <new>

namespace {

// Memory asked for at a time: small against the machine, large against the cost of asking.
constexpr qint64 SliceBytes = 64 << 20;
// What the picks leave of the memory they find, for the grid and the matrix that draw them: an
// eighth, up to 16 MiB (the counts and matrix of a 12 km by 4 s window at 4 m cells). Picks that
// took it all would leave nothing drawn.
constexpr qint64 KeepBackBytes = 16 << 20;
// Pages are faulted in up to this far ahead of the stored picks, one huge page per vector at a
// time.
constexpr qint64 LeadPicks = 4 << 20;
constexpr qint64 PreparePicks = (2 << 20) / qint64(sizeof(int));

int clampedInt(qint64 value)
{
    return int(qBound<qint64>(0, value, std::numeric_limits<int>::max()));
}

void appendInts(QVector<int> &vector, const int *values, int count)
{
    const int size = vector.size();
    // Within the reserved capacity: no reallocation, and only the new part is written.
    vector.resize(size + count);
    std::memcpy(vector.data() + size, values, size_t(count) * sizeof(int));
}

} // namespace

FBPickStore::FBPickStore(FBPicks &picks, qint64 expected, int limit, bool details)
    : picks(picks), details(details)
{
    const int wanted = clampedInt(qMin<qint64>(expected, qMax(0, limit)));
    try {
        picks.offsets.reserve(wanted);
        picks.fbTimes.reserve(wanted);
        if (details) {
            picks.records.reserve(wanted);
            picks.classes.reserve(wanted);
        }
        room = wanted;
        QVector<int> *const vectors[] = {&picks.offsets, &picks.fbTimes, &picks.records,
                                         &picks.classes};
        for (int k = 0; k < (details ? 4 : 2); ++k) {
            bases[k] = vectors[k]->data();
            MemoryAdmission::adviseHugePages(bases[k], size_t(wanted) * sizeof(int));
        }
    } catch (const std::bad_alloc &) {
        // Not even the address space: nothing is stored, every pick is counted as dropped.
        picks.offsets = picks.fbTimes = picks.records = picks.classes = QVector<int>();
    }
}

FBPickStore::~FBPickStore()
{
    picks.zeroPicks = clampedInt(zeroPicks);
    picks.droppedPicks = clampedInt(dropped);
    picks.unreadRecords = clampedInt(unread);
    picks.pickCount = clampedInt(picks.offsets.size() + dropped + zeroPicks);
}

bool FBPickStore::admitMore(qint64 wanted)
{
    const qint64 bytesPerPick = (details ? 4 : 2) * qint64(sizeof(int));
    const qint64 slice = qMax<qint64>(wanted, SliceBytes / bytesPerPick);
    if (keepBack < 0)
        keepBack = qMin(KeepBackBytes, MemoryAdmission::available() / 8);
    qint64 grant = qMin<qint64>(qMin<qint64>(slice, room - admitted),
                                (MemoryAdmission::available() - keepBack) / bytesPerPick);
    // What can be had is taken even when it falls short: those picks are still drawn. It
    // stays in the ledger as long as a copy of the picks lives.
    if (grant <= 0 || !picks.grant.extend(grant * bytesPerPick))
        grant = 0;
    admitted += int(grant);
    return grant >= wanted;
}

void FBPickStore::append(const FBPickBlock &block)
{
    // Once a pick finds no room, every later one is dropped too: the stored picks stay the
    // first accepted ones, whatever memory frees up meanwhile. Memory is admitted a lead ahead
    // of the picks, for prepareAhead; only a refusal of what the picks need drops any.
    const int size = picks.offsets.size();
    int stored = full ? 0 : qMin(block.count, room - size);
    const qint64 needed = qint64(size) + stored;
    if (!full && admitted < room && needed + LeadPicks > admitted &&
        !admitMore(qMax<qint64>(0, needed - admitted)))
        stored = admitted - size;
    full = full || stored < block.count;
    if (stored > 0) {
        appendInts(picks.offsets, block.offsets.get(), stored);
        appendInts(picks.fbTimes, block.fbTimes.get(), stored);
        if (details) {
            appendInts(picks.records, block.records.get(), stored);
            appendInts(picks.classes, block.classes.get(), stored);
        }
    }
    dropped += block.count - stored;
    // The lead grows with the picks stored, so that a store that gets few picks, such as the
    // Error picks of a file read for both classes, has few pages faulted in for nothing.
    const qint64 held = qint64(size) + qMax(stored, 0);
    preparable = qMin<qint64>(admitted, held + qBound(PreparePicks, held, LeadPicks));
}

void FBPickStore::prepareAhead()
{
    qint64 first = prepared;
    while (first < preparable) {
        const qint64 last = qMin<qint64>(first + PreparePicks, preparable);
        // Each range is claimed by one thread only.
        if (!prepared.compare_exchange_weak(first, last))
            continue;
        for (int *base : bases) {
            if (base)
                MemoryAdmission::populate(base + first, size_t(last - first) * sizeof(int));
        }
        first = prepared;
    }
}

void FBPickStore::addUnreadRecords(qint64 count)
{
    unread += count;
    full = full || count > 0;
}

void FBPickStore::addZeroPicks(qint64 count)
{
    zeroPicks += count;
}
