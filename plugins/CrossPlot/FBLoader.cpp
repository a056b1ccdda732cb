#include "FBLoader.h"

#include "FBHeader.h"
#include "FBRecord.h"

#include <QFile>
#include <QtMath>
#include <array>
#include <cmath>
#include <cstring>
#include <limits>
#include <memory>
#include <new>

#if defined(Q_OS_LINUX)
#include <linux/mman.h>
#include <sys/mman.h>
#endif

namespace {

constexpr size_t HugePageSize = 2 * 1024 * 1024;

// Asks for huge pages over a block that nothing has touched yet, so that its first touch faults
// 2 MB at a time instead of 4 KB; where that is not supported, nothing changes. The advice covers
// the pages that hold the block, headers included, which changes nothing but their page size.
void adviseHugePages(void *block, size_t bytes)
{
#if defined(MADV_HUGEPAGE)
    constexpr quintptr Page = 4096;
    const quintptr first = quintptr(block) & ~(Page - 1);
    const quintptr last = (quintptr(block) + bytes + Page - 1) & ~(Page - 1);
    if (last - first < HugePageSize)
        return;
    madvise(reinterpret_cast<void *>(first), last - first, MADV_HUGEPAGE);
#if defined(MADV_COLLAPSE)
    // A header written at the start of a block that starts a huge page, before the advice, has
    // left that page to small pages, 512 faults of its own; collapsed now, it is one huge page
    // like the rest (an untouched one is merely populated early).
    if ((first & (HugePageSize - 1)) == 0)
        madvise(reinterpret_cast<void *>(first), HugePageSize, MADV_COLLAPSE);
#endif
#else
    Q_UNUSED(block)
    Q_UNUSED(bytes)
#endif
}

// The raw records of one chunk, aligned to a huge page so that all of the buffer can use them.
struct ChunkBufferDeleter
{
    void operator()(char *buffer) const
    {
        ::operator delete(buffer, std::align_val_t(HugePageSize));
    }
};
using ChunkBuffer = std::unique_ptr<char[], ChunkBufferDeleter>;

ChunkBuffer allocateChunkBuffer(size_t bytes)
{
    ChunkBuffer buffer(
        static_cast<char *>(::operator new(bytes, std::align_val_t(HugePageSize), std::nothrow)));
    if (buffer)
        adviseHugePages(buffer.get(), bytes);
    return buffer;
}

// The class flags reduced to the one test a record needs.
enum class ClassRule { None, Correct, Error, All };

template <ClassRule Rule> inline bool classAccepted(qint32 fbClass)
{
    switch (Rule) {
    case ClassRule::All:
        return true;
    case ClassRule::Correct:
        return !FBRecord::isErrorClass(fbClass);
    case ClassRule::Error:
        return FBRecord::isErrorClass(fbClass);
    case ClassRule::None:
        break;
    }
    return false;
}

// Truncates toward zero; NaN becomes 0 and values beyond the int range take its nearest end.
inline int truncatedTime(float time)
{
    if (std::isnan(time))
        return 0;
    if (time >= 2147483648.0f)
        return std::numeric_limits<int>::max();
    if (time <= -2147483648.0f)
        return std::numeric_limits<int>::min();
    return int(time);
}

// Appends picks to the two vectors through raw pointers. Their sizes run ahead of the picks
// written by at most a window of zeros, which the writer trims away when it goes, so that between
// writers the vectors hold exactly the picks. The capacity doubles when the picks fill it.
class PickWriter
{
public:
    PickWriter(FBPicks &picks, int limit)
        : picks(picks), limit(limit), held(picks.offsets.size()), room(held)
    {
    }
    ~PickWriter()
    {
        picks.offsets.resize(held);
        picks.fbTimes.resize(held);
        picks.pickCount = held;
    }

    void add(int offset, int time)
    {
        if (held == room && !extend(Window))
            return;
        offsets[held] = offset;
        times[held] = time;
        ++held;
    }

    // Picks of zero records, which the zero-filled room already holds.
    void addZeros(int count)
    {
        while (count > 0 && (held < room || extend(count))) {
            const int added = qMin(count, room - held);
            held += added;
            count -= added;
        }
    }

private:
    Q_DISABLE_COPY(PickWriter)

    // Small enough for the zeros to be written over in cache.
    static constexpr int Window = 8192;
    static constexpr quint64 MinimumBlock = 4096;
    // More than the vector's and the allocator's headers take from a block.
    static constexpr quint64 HeaderRoom = 128;

    // Double the block, in powers of two as QVector's own growth does, less room for the
    // headers: a request just short of n x 2 MB gets a mapping of exactly that size, which the
    // kernel aligns to 2 MB, so that every page of it can be huge.
    static qint64 grownCapacity(int capacity)
    {
        const quint64 block =
            qMax(MinimumBlock, qNextPowerOfTwo(quint64(capacity) * sizeof(int) + HeaderRoom));
        return qint64((block - HeaderRoom) / sizeof(int));
    }

    // Room for up to wanted more picks, zero-filled; false at the pick limit.
    bool extend(int wanted)
    {
        if (held >= limit)
            return false;
        const int capacity = picks.offsets.capacity();
        if (held == capacity) {
            const int grown = int(qMin<qint64>(limit, grownCapacity(capacity)));
            // One vector after the other, so that only one old block is held beside its copy.
            grow(picks.offsets, grown);
            grow(picks.fbTimes, grown);
        }
        room = int(qMin<qint64>(qMin(limit, picks.offsets.capacity()),
                                qint64(held) + qMax(wanted, Window)));
        picks.offsets.resize(room);
        picks.fbTimes.resize(room);
        offsets = picks.offsets.data();
        times = picks.fbTimes.data();
        return true;
    }

    // QVector's own growth would copy into a block whose every page faults on its own.
    void grow(QVector<int> &vector, int capacity)
    {
        QVector<int> fresh;
        fresh.reserve(capacity);
        adviseHugePages(fresh.data(), size_t(capacity) * sizeof(int));
        const int count = held;
        for (int copied = 0; copied < count;) {
            const int part = qMin(count - copied, Window);
            fresh.resize(copied + part);
            std::memcpy(fresh.data() + copied, vector.constData() + copied, part * sizeof(int));
            copied += part;
        }
        vector.swap(fresh);
    }

    FBPicks &picks;
    const int limit;
    int held;
    int room;
    int *offsets = nullptr;
    int *times = nullptr;
};

} // namespace

struct FBLoader::Private
{
    QFile file;
    FBPickFilter filter;
    int pickLimit = DefaultPickLimit;
    int missingPicks = 0; // zero picks taken so far for records past the end of the file

    qint32 recordCount = 0;
    qint32 offsetLow = 0;
    qint32 offsetHigh = 0;

    // Progress counters in 64 bits: next runs past INT_MAX near the end of the largest counts.
    qint64 step = 0;
    qint64 next = 0;
    qint64 processed = 0;
    int value = 0;
    const std::function<void(int)> *progress = nullptr;

    // The offset window as one unsigned comparison of |offset| - windowLow against windowSpan;
    // |offset| is never negative, so a negative offsetLow admits from 0 on.
    quint32 windowLow = 0;
    quint32 windowSpan = 0;

    explicit Private(const QString &fileName) : file(fileName) {}

    ClassRule classRule() const
    {
        if (filter.plotAllFB || (filter.plotCorrectFB && filter.plotErrorFB))
            return ClassRule::All;
        if (filter.plotCorrectFB)
            return ClassRule::Correct;
        if (filter.plotErrorFB)
            return ClassRule::Error;
        return ClassRule::None;
    }

    bool inWindow(qint32 offset) const
    {
        // Unsigned negation keeps |INT_MIN| = 2^31 defined; it lies above every window.
        const quint32 magnitude = offset < 0 ? 0u - quint32(offset) : quint32(offset);
        return magnitude - windowLow < windowSpan;
    }

    void notify()
    {
        ++value;
        if (*progress)
            (*progress)(value);
    }

    // count records processed at once; the same values are reported as one tick per record.
    void advance(qint64 count)
    {
        if (step == 0) {
            processed += count;
            for (qint64 k = 0; k < count; ++k)
                notify();
            return;
        }
        processed += count;
        while (processed >= next) {
            next += step;
            notify();
        }
    }

    // Records that the next progress report waits for, at most count.
    int untilReport(int count) const
    {
        return step == 0 ? qMin(count, 1) : int(qMin<qint64>(count, next - processed));
    }

    template <ClassRule Rule> void scan(const char *records, int count, FBPicks &picks)
    {
        if (filter.keepDetails)
            return scanDetails<Rule>(records, count, picks);
        for (int first = 0; first < count;) {
            const int last = first + untilReport(count - first);
            {
                // Gone before the report, which thus sees the picks of every record before it.
                PickWriter writer(picks, pickLimit);
                for (int j = first; j < last; ++j) {
                    const char *record = records + qptrdiff(j) * FBRecord::Size;
                    const qint32 offset = FBRecord::offset(record);
                    if (inWindow(offset) && classAccepted<Rule>(FBRecord::fbClass(record)))
                        writer.add(offset, truncatedTime(FBRecord::fbTime(record)));
                }
            }
            advance(last - first);
            first = last;
        }
    }

    // The plain path for callers that want each pick's record and class too: room for a
    // stretch of records at once, written through pointers and trimmed before each report.
    template <ClassRule Rule> void scanDetails(const char *records, int count, FBPicks &picks)
    {
        for (int first = 0; first < count;) {
            const int last = first + untilReport(count - first);
            int held = picks.offsets.size();
            const int room = growDetails(picks, last - first);
            int *const offsets = picks.offsets.data();
            int *const times = picks.fbTimes.data();
            int *const indices = picks.records.data();
            int *const classes = picks.classes.data();
            for (int j = first; j < last && held < room; ++j) {
                const char *record = records + qptrdiff(j) * FBRecord::Size;
                const qint32 offset = FBRecord::offset(record);
                const qint32 fbClass = FBRecord::fbClass(record);
                if (inWindow(offset) && classAccepted<Rule>(fbClass)) {
                    offsets[held] = offset;
                    times[held] = truncatedTime(FBRecord::fbTime(record));
                    indices[held] = int(processed + j - first);
                    classes[held] = fbClass;
                    ++held;
                }
            }
            for (QVector<int> *vector : detailVectors(picks))
                vector->resize(held);
            picks.pickCount = held;
            advance(last - first);
            first = last;
        }
    }

    static std::array<QVector<int> *, 4> detailVectors(FBPicks &picks)
    {
        return {&picks.offsets, &picks.fbTimes, &picks.records, &picks.classes};
    }

    // Sizes the four vectors for up to count more picks, the capacity doubling as it must;
    // returns the new size, at most the pick limit.
    int growDetails(FBPicks &picks, int count)
    {
        const int room = int(qMin<qint64>(pickLimit, qint64(picks.offsets.size()) + count));
        if (picks.offsets.capacity() < room) {
            const int capacity =
                int(qMin<qint64>(pickLimit, qMax<qint64>(room, 2LL * picks.offsets.capacity())));
            for (QVector<int> *vector : detailVectors(picks))
                vector->reserve(capacity);
        }
        for (QVector<int> *vector : detailVectors(picks))
            vector->resize(room);
        return room;
    }

    void scanRecords(ClassRule rule, const char *records, int count, FBPicks &picks)
    {
        switch (rule) {
        case ClassRule::All:
            scan<ClassRule::All>(records, count, picks);
            break;
        case ClassRule::Correct:
            scan<ClassRule::Correct>(records, count, picks);
            break;
        case ClassRule::Error:
            scan<ClassRule::Error>(records, count, picks);
            break;
        case ClassRule::None:
            advance(count);
            break;
        }
    }

    // Records past the end of the file read as zeros: offset 0, time 0, class 0, a correct
    // pick. They are all alike, so they are taken up to the next progress report at a time.
    void zeroRecords(ClassRule rule, int count, FBPicks &picks)
    {
        const bool accepted = inWindow(0) && (rule == ClassRule::All || rule == ClassRule::Correct);
        // A truncated file shows its damage at (0 m, 0 ms) with at most one chunk of zero
        // picks; beyond that they are only counted, so that a header cannot conjure billions.
        int zeros = accepted ? qMin(count, MissingPickLimit - missingPicks) : 0;
        missingPicks += zeros;
        while (zeros > 0) {
            const int batch = untilReport(zeros);
            if (filter.keepDetails) {
                // Zero-filled by the resize: offset, time and class are 0 already.
                const int held = picks.offsets.size();
                const int room = growDetails(picks, batch);
                for (int k = held; k < room; ++k)
                    picks.records[k] = int(processed + k - held);
                picks.pickCount = room;
            } else {
                PickWriter(picks, pickLimit).addZeros(batch);
            }
            advance(batch);
            zeros -= batch;
            count -= batch;
        }
        advance(count);
    }
};

FBLoader::FBLoader(const QString &fileName, const FBPickFilter &filter) : d(new Private(fileName))
{
    d->filter = filter;
}

FBLoader::~FBLoader()
{
    delete d;
}

void FBLoader::setPickLimit(int limit)
{
    d->pickLimit = qMax(0, limit);
}

int FBLoader::pickLimit() const
{
    return d->pickLimit;
}

void FBLoader::readHeader(FBPicks &picks)
{
    // A file that cannot be opened reads as zero bytes: the header stays all zeros.
    if (!d->file.isOpen())
        d->file.open(QIODevice::ReadOnly);
    picks = FBPicks();

    // An unopened file is not touched again, which keeps Qt's not-open warnings away.
    const FBHeader header = d->file.isOpen() ? FBHeader::read(d->file) : FBHeader();
    d->recordCount = header.recordCount;
    d->offsetLow = header.offsetLow;
    d->offsetHigh = header.offsetHigh;
    if (d->filter.maxOffset > 0) {
        if (d->offsetLow < d->filter.minOffset)
            d->offsetLow = d->filter.minOffset;
        if (d->offsetHigh > d->filter.maxOffset)
            d->offsetHigh = d->filter.maxOffset;
    }

    picks.recordCount = d->recordCount;
    picks.offsetLow = d->offsetLow;
    picks.offsetHigh = d->offsetHigh;
}

void FBLoader::readRecords(FBPicks &picks, const std::function<void(int)> &progress)
{
    // A negative count announces no records; the header word itself is left as read.
    const int recordCount = qMax(0, d->recordCount);
    const int chunks = (recordCount - 1) / ChunkRecords + 1;

    const qint64 low = qMax(0, d->offsetLow);
    d->windowLow = quint32(low);
    d->windowSpan = d->offsetHigh > low ? quint32(d->offsetHigh - low) : 0u;
    const ClassRule rule = d->windowSpan == 0 ? ClassRule::None : d->classRule();

    d->step = recordCount / ProgressSteps;
    d->next = d->step;
    d->value = 0;
    d->processed = 0;
    d->progress = &progress;

    // One buffer serves every chunk: no chunk is larger than the first, and no read delivers
    // more records than the file holds, however many the header announces.
    const qint64 recordsOnFile =
        d->file.isOpen()
            ? qMax<qint64>(0, (d->file.size() - FBRecord::position(0) + FBRecord::Size - 1) /
                                  FBRecord::Size)
            : 0;
    const int bufferRecords = int(qMin<qint64>(qMin(recordCount, ChunkRecords), recordsOnFile));
    const qint64 bufferBytes = qint64(bufferRecords) * FBRecord::Size;
    const ChunkBuffer buffer = allocateChunkBuffer(size_t(bufferBytes));
    // Without a buffer nothing can be read: the picks stay as they are, empty.
    if (!buffer) {
        d->file.close();
        return;
    }

    for (int i = 0; i < chunks; ++i) {
        const int first = i * ChunkRecords;
        const int count = i == chunks - 1 ? recordCount - first : ChunkRecords;
        const qint64 bytes = qint64(count) * FBRecord::Size;

        // A failed seek delivers nothing rather than bytes from the wrong place.
        qint64 got = 0;
        if (d->file.isOpen() && d->file.seek(FBRecord::position(first)))
            got = qMax<qint64>(0, d->file.read(buffer.get(), qMin(bytes, bufferBytes)));

        // Only the record that the read cut short needs zeros; wholly missing records are
        // processed as zero records without touching the buffer.
        const int filled = int((got + FBRecord::Size - 1) / FBRecord::Size);
        if (got < qint64(filled) * FBRecord::Size)
            std::memset(buffer.get() + got, 0, size_t(qint64(filled) * FBRecord::Size - got));

        d->scanRecords(rule, buffer.get(), filled, picks);
        d->zeroRecords(rule, count - filled, picks);
    }
    d->progress = nullptr;
    d->file.close();
}
