#include "FBLoader.h"

#include "FBBlockReader.h"
#include "FBPickStore.h"
#include "FBRecord.h"
#include "FBRecordScanner.h"

#include "MemoryAdmission.h"

#include <QCoreApplication>
#include <QThread>
#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <new>
#include <system_error>
#include <thread>
#include <vector>

namespace {

// The progress values: one per step records, or one per record when there are fewer records
// than progress steps (step 0). Counted in 64 bits: next runs past INT_MAX near the end of the
// largest counts.
class ProgressTicker
{
public:
    ProgressTicker(qint64 records, const std::function<void(int)> &report)
        : step(records / FBLoader::ProgressSteps), next(step), report(report)
    {
    }

    // count more records processed; the values are those of one tick per record.
    void advance(qint64 count)
    {
        processed += count;
        if (step == 0) {
            for (qint64 k = 0; k < count; ++k)
                tick();
            return;
        }
        while (processed >= next) {
            next += step;
            tick();
        }
    }

private:
    void tick()
    {
        ++value;
        if (report)
            report(value);
    }

    const qint64 step;
    qint64 next;
    qint64 processed = 0;
    int value = 0;
    const std::function<void(int)> &report;
};

// One block of records on its way through the pipeline: read and scanned piece by piece
// through a buffer small enough for the kernel's copy and the scan to meet in the cache (a
// block-sized buffer made the copy the largest cost of a load), then its accepted picks.
struct Block
{
    static constexpr int PieceRecords = 1536; // 129 KB

    Block(int records, const FBPickFilter &filter)
        : bytes(new char[size_t(qMin(records, PieceRecords)) * FBRecord::Size]),
          picks(records, filter.keepDetails, filter.splitClasses)
    {
    }

    // What one block holds: its piece buffer and its picks.
    static qint64 bytesFor(int records, const FBPickFilter &filter)
    {
        return qint64(qMin(records, PieceRecords)) * FBRecord::Size +
               qint64(records) * ((filter.keepDetails ? 4 : 2) + (filter.splitClasses ? 2 : 0)) *
                   qint64(sizeof(int));
    }

    // A block, or null when its memory cannot be had (or a test says so).
    static std::unique_ptr<Block> make(int records, const FBPickFilter &filter,
                                       std::atomic<int> &buffersLeft)
    {
        if (buffersLeft.fetch_sub(1) <= 0)
            return nullptr;
        try {
            return std::unique_ptr<Block>(new Block(records, filter));
        } catch (const std::bad_alloc &) {
            return nullptr;
        }
    }

    // Reads and scans count records from record first on; a sequential input that ends stops
    // the block at its last record, which records then tells.
    void fill(const FBBlockReader &reader, const FBRecordScanner &scanner, qint64 first, int count)
    {
        records = count;
        picks.count = 0;
        if (picks.errors)
            picks.errors->count = 0;
        for (int done = 0; done < count;) {
            const int piece = qMin(count - done, PieceRecords);
            const int present = reader.read(first + done, piece, bytes.get());
            scanner.scan(bytes.get(), present, first + done, picks);
            done += present;
            if (present < piece) {
                records = done;
                break;
            }
        }
    }

    std::unique_ptr<char[]> bytes;
    FBPickBlock picks;
    qint64 index = -1; // the block of the file it holds, -1 while free
    int records = 0;
    bool ready = false;
};

// Reads and scans the blocks of records on worker threads and hands them to the calling thread
// in file order. The workers take the blocks in file order, each the next one not yet taken,
// into a ring of buffers (two per worker), so that the next blocks are read and scanned while
// the last ones wait to be stored. A worker that took block b writes into its buffer once
// block b - n of the same buffer (n buffers) is stored; that block was taken earlier, by a
// worker that waits for nothing later, so the ring cannot lock up, however many workers start.
class BlockPipeline
{
public:
    BlockPipeline(const FBBlockReader &reader, const FBRecordScanner &scanner, qint64 records,
                  int blockRecords, std::vector<std::unique_ptr<Block>> &buffers)
        : reader(reader), scanner(scanner), records(records), blockRecords(blockRecords),
          blocks((records + blockRecords - 1) / blockRecords), buffers(buffers)
    {
    }

    // Starts up to workers threads and calls store(block, slot) on this thread for every block
    // in file order; the workers call work(block, slot) on each block they scanned and prepare()
    // between their blocks. slot is the block's buffer. Workers that cannot start leave their
    // blocks to the others; when none starts, this thread reads every block itself through the
    // first buffer.
    template <typename Store, typename Work, typename Prepare>
    void run(int workers, int startable, Store store, const Work &work, Prepare prepare)
    {
        std::vector<std::thread> threads;
        for (int w = 0; w < workers && w < startable; ++w) {
            try {
                threads.emplace_back([this, &work, &prepare] { scan(work, prepare); });
            } catch (const std::system_error &) {
                break;
            }
        }
        if (threads.empty()) {
            Block &block = *buffers.front();
            for (qint64 b = 0; b < blocks; ++b) {
                block.fill(reader, scanner, b * blockRecords, countOf(b));
                if (work)
                    work(block.picks, 0);
                store(block, 0);
            }
            return;
        }
        for (qint64 b = 0; b < blocks; ++b) {
            Block &block = bufferOf(b);
            {
                std::unique_lock<std::mutex> locker(mutex);
                changed.wait(locker, [&] { return block.index == b && block.ready; });
            }
            store(block, slotOf(b));
            {
                std::lock_guard<std::mutex> locker(mutex);
                block.index = -1;
                block.ready = false;
                stored = b + 1;
            }
            changed.notify_all();
        }
        for (std::thread &thread : threads)
            thread.join();
    }

private:
    template <typename Work, typename Prepare> void scan(const Work &work, Prepare &prepare)
    {
        for (;;) {
            qint64 b;
            Block *block;
            {
                std::unique_lock<std::mutex> locker(mutex);
                b = next++;
                if (b >= blocks)
                    return;
                block = &bufferOf(b);
                // The buffer is this block's once the block before it in the ring is stored:
                // a worker that took a later block for the same buffer waits its turn.
                changed.wait(locker, [&] { return b - qint64(buffers.size()) < stored; });
                block->index = b;
            }
            block->fill(reader, scanner, b * blockRecords, countOf(b));
            if (work)
                work(block->picks, slotOf(b));
            {
                std::lock_guard<std::mutex> locker(mutex);
                block->ready = true;
            }
            changed.notify_all();
            prepare();
        }
    }

    int slotOf(qint64 b) const { return int(b % qint64(buffers.size())); }
    Block &bufferOf(qint64 b) { return *buffers[size_t(slotOf(b))]; }
    int countOf(qint64 b) const
    {
        return int(qMin<qint64>(blockRecords, records - b * blockRecords));
    }

    const FBBlockReader &reader;
    const FBRecordScanner &scanner;
    const qint64 records;
    const int blockRecords;
    const qint64 blocks;
    std::vector<std::unique_ptr<Block>> &buffers;
    qint64 next = 0;   // the next block to take
    qint64 stored = 0; // blocks handed to store
    std::mutex mutex;
    std::condition_variable changed;
};

FBLoader::Faults &faults()
{
    static FBLoader::Faults injected;
    return injected;
}

} // namespace

struct FBLoader::Private
{
    explicit Private(const QString &fileName) : reader(fileName) {}

    FBBlockReader reader;
    FBPickFilter filter;
    int pickLimit = MaxStoredPicks;
    int threads = defaultThreadCount();
    int blockRecords = BlockRecords;
    qint32 recordCount = 0;
    qint32 offsetLow = 0;
    qint32 offsetHigh = 0;
    qint64 zeroPicks = 0;
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

void FBLoader::setBlockRecords(int records)
{
    d->blockRecords = qMax(1, records);
}

void FBLoader::setThreadCount(int threads)
{
    // 256 at most, as for CROSSPLOT_LOAD_THREADS: each worker takes two buffers.
    d->threads = qBound(1, threads, 256);
}

int FBLoader::threadCount() const
{
    return d->threads;
}

int FBLoader::defaultThreadCount()
{
    int threads = QThread::idealThreadCount();
    threadCountWarning(&threads);
    return threads;
}

int FBLoader::maxThreadCount()
{
    return qMin(4 * qMax(1, QThread::idealThreadCount()), 256);
}

QString FBLoader::threadCountWarning(int *threads)
{
    // A thread count past a few per core only adds buffers and hand-overs; past 256 the
    // buffers alone would hold hundreds of megabytes.
    const int fallback = qMax(1, QThread::idealThreadCount());
    if (threads)
        *threads = fallback;
    if (!qEnvironmentVariableIsSet("CROSSPLOT_LOAD_THREADS"))
        return QString();
    const QByteArray text = qgetenv("CROSSPLOT_LOAD_THREADS");
    // Decimal digits only: no sign, no blanks, no fraction.
    bool ok = !text.isEmpty() && text.size() <= 9;
    for (const char c : text)
        ok = ok && c >= '0' && c <= '9';
    const int value = ok ? text.toInt() : 0;
    if (value >= 1 && value <= maxThreadCount()) {
        if (threads)
            *threads = value;
        return QString();
    }
    return QCoreApplication::translate("FBLoader",
                                       "CROSSPLOT_LOAD_THREADS=%1 is not a whole number from 1 "
                                       "to %2; %3 threads are used instead.")
        .arg(QString::fromLocal8Bit(text))
        .arg(maxThreadCount())
        .arg(fallback);
}

void FBLoader::setFaults(const Faults &injected)
{
    faults() = injected;
}

void FBLoader::readHeader(FBPicks &picks)
{
    applyHeader(picks, d->reader.header());
}

void FBLoader::applyHeader(FBPicks &picks, const FBHeader &header)
{
    picks = FBPicks();
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
    picks.recordsInFile = d->reader.wholeRecords();
}

void FBLoader::readRecords(FBPicks &picks, const std::function<void(int)> &progress)
{
    const bool none = FBRecordScanner(d->offsetLow, d->offsetHigh, d->filter).acceptsNothing();
    FBPickStore store(picks, none ? 0 : recordsToRead(), d->pickLimit, d->filter.keepDetails);
    const qint64 unread =
        read({}, [&store](const FBPickBlock &block, int) { store.append(block); },
             [&store] { store.prepareAhead(); }, progress);
    store.addUnreadRecords(unread);
    store.addZeroPicks(d->zeroPicks);
    picks.recordsInFile = d->reader.wholeRecords();
}

qint64 FBLoader::readBlocks(const std::function<void(const FBPickBlock &)> &take,
                            const std::function<void(int)> &progress,
                            const std::function<void()> &prepare)
{
    return read({}, [&take](const FBPickBlock &block, int) { take(block); }, prepare, progress);
}

qint64 FBLoader::readBlocks(const Work &work, const Work &take,
                            const std::function<void(int)> &progress,
                            const std::function<void()> &prepare)
{
    return read(work, take, prepare, progress);
}

int FBLoader::slotCount() const
{
    return 2 * d->threads;
}

qint64 FBLoader::zeroPicks() const
{
    return d->zeroPicks;
}

qint64 FBLoader::recordsToRead() const
{
    return qMin<qint64>(qMax(0, d->recordCount), d->reader.recordsOnFile());
}

qint64 FBLoader::wholeRecords() const
{
    return d->reader.wholeRecords();
}

void FBLoader::readHeader(FBPicks &picks, const FBHeader &known)
{
    d->reader.skipHeader();
    applyHeader(picks, known);
}

qint64 FBLoader::read(const Work &work, const Work &take, const std::function<void()> &prepare,
                      const std::function<void(int)> &progress)
{
    // A negative count announces no records; the header word itself is left as read.
    const qint64 announced = qMax(0, d->recordCount);
    // Records past the end of the file are records of zeros; they are not read at all. A
    // sequential input tells where it ends only when it does.
    qint64 onFile = recordsToRead();
    const FBRecordScanner scanner(d->offsetLow, d->offsetHigh, d->filter);
    ProgressTicker ticker(announced, progress);
    const int blockRecords = int(qMin<qint64>(d->blockRecords, qMax<qint64>(1, onFile)));
    const qint64 blocks = (onFile + blockRecords - 1) / blockRecords;
    // Two buffers per worker, as many as the memory admits (they grow with the thread count: 256
    // workers would take over 300 MB); one buffer, about 0.6 MB, is taken without asking, as the
    // smallest load needs it.
    const qint64 bufferBytes = Block::bytesFor(blockRecords, d->filter);
    int workers = d->threads == 1 || blocks <= 1 || scanner.acceptsNothing() ||
                          d->reader.isSequential()
                      ? 0
                      : int(qMin<qint64>(d->threads, blocks));
    if (workers > 0)
        workers = int(qMin<qint64>(workers, MemoryAdmission::available() / bufferBytes / 2));
    MemoryAdmission::Grant buffersGrant;
    if (workers < 2 || !buffersGrant.extend(2 * workers * bufferBytes))
        workers = 0; // one worker beside a waiting caller is one thread

    std::atomic<int> buffersLeft{faults().buffers};
    std::vector<std::unique_ptr<Block>> buffers;
    for (int k = 0; k < qMax(1, 2 * workers) && !scanner.acceptsNothing(); ++k) {
        std::unique_ptr<Block> block = Block::make(blockRecords, d->filter, buffersLeft);
        if (!block)
            break;
        buffers.push_back(std::move(block));
    }
    // Workers for the buffers there are; without any buffer nothing can be read.
    workers = qMin<int>(workers, int(buffers.size()) / 2);
    qint64 read = 0;
    const auto storeBlock = [&](const Block &block, int slot) {
        take(block.picks, slot);
        ticker.advance(block.records);
        read += block.records;
    };
    if (scanner.acceptsNothing() && d->reader.isSequential()) {
        // Nothing to keep, but where a pipe ends tells the zero picks and the records in it.
        char bytes[FBRecord::Size * 64];
        for (int count = 64; read < onFile && count == 64;) {
            count = int(qMin<qint64>(64, onFile - read));
            const int present = d->reader.read(read, count, bytes);
            read += present;
            count = present == count ? 64 : 0;
        }
        onFile = qMin(onFile, read);
        ticker.advance(onFile);
        read = onFile;
    } else if (scanner.acceptsNothing()) {
        ticker.advance(onFile);
        read = onFile;
    } else if (buffers.empty()) {
        // Not even one buffer: the load ends here, and the notice tells what was not read.
    } else if (workers <= 1) {
        // One thread, or one block: no worker is worth its start.
        Block &block = *buffers.front();
        for (qint64 first = 0; first < onFile; first += blockRecords) {
            const int count = int(qMin<qint64>(blockRecords, onFile - first));
            block.fill(d->reader, scanner, first, count);
            if (work)
                work(block.picks, 0);
            storeBlock(block, 0);
            if (block.records < count) { // a sequential input ended
                onFile = first + block.records;
                break;
            }
        }
    } else {
        BlockPipeline pipeline(d->reader, scanner, onFile, blockRecords, buffers);
        pipeline.run(workers, faults().workers, storeBlock, work, [&prepare] {
            if (prepare)
                prepare();
        });
    }
    // Records left unread keep their progress values, so that a progress display ends.
    ticker.advance(onFile - read);
    d->zeroPicks = scanner.acceptsZeroRecord() ? announced - onFile : 0;
    ticker.advance(announced - onFile);
    // What a pipe holds past the records is counted, as a file's size tells it.
    d->reader.drain();
    d->reader.close();
    return onFile - read;
}
