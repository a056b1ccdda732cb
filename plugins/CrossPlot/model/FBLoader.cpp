#include "FBLoader.h"

#include "FBBlockReader.h"
#include "FBPickStore.h"
#include "FBRecord.h"
#include "FBRecordScanner.h"

#include <QMutex>
#include <QThread>
#include <QThreadPool>
#include <QWaitCondition>
#include <memory>
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

    Block(int records, bool details)
        : bytes(new char[size_t(qMin(records, PieceRecords)) * FBRecord::Size]),
          picks(records, details)
    {
    }

    // Reads and scans count records from record first on.
    void fill(const FBBlockReader &reader, const FBRecordScanner &scanner, qint64 first, int count)
    {
        records = count;
        picks.count = 0;
        for (int done = 0; done < count;) {
            const int piece = qMin(count - done, PieceRecords);
            reader.read(first + done, piece, bytes.get());
            scanner.scan(bytes.get(), piece, first + done, picks);
            done += piece;
        }
    }

    std::unique_ptr<char[]> bytes;
    FBPickBlock picks;
    qint64 index = -1; // the block of the file it holds, -1 while free
    int records = 0;
    bool ready = false;
};

// Reads and scans the blocks of records on worker threads and hands them to the calling thread
// in file order. Worker w takes blocks w, w + n, w + 2n, ... of n workers, each into one of its
// own two buffers, so that it reads and scans the next block while its last one waits to be
// stored.
class BlockPipeline
{
public:
    BlockPipeline(const FBBlockReader &reader, const FBRecordScanner &scanner, qint64 records,
                  int blockRecords, int workers, bool details)
        : reader(reader), scanner(scanner), records(records), blockRecords(blockRecords),
          blocks((records + blockRecords - 1) / blockRecords), workers(workers)
    {
        for (int k = 0; k < 2 * workers; ++k)
            buffers.emplace_back(new Block(blockRecords, details));
    }

    // Runs the workers and calls store(block, slot) on this thread for every block in file
    // order; the workers call work(block, slot) on each block they scanned, and prepare()
    // between their blocks. slot is the block's buffer.
    template <typename Store, typename Work, typename Prepare>
    void run(Store store, Work &work, Prepare prepare)
    {
        QThreadPool pool;
        pool.setMaxThreadCount(workers);
        for (int w = 0; w < workers; ++w)
            pool.start([this, w, &work, &prepare] { scan(w, work, prepare); });
        for (qint64 b = 0; b < blocks; ++b) {
            const int slot = int(b % qint64(buffers.size()));
            Block &block = *buffers[size_t(slot)];
            {
                QMutexLocker locker(&mutex);
                while (!(block.index == b && block.ready))
                    changed.wait(&mutex);
            }
            store(block, slot);
            QMutexLocker locker(&mutex);
            block.index = -1;
            block.ready = false;
            changed.wakeAll();
        }
        pool.waitForDone();
    }

private:
    template <typename Work, typename Prepare> void scan(int worker, Work &work, Prepare &prepare)
    {
        for (qint64 b = worker; b < blocks; b += workers) {
            const int slot = int(b % qint64(buffers.size()));
            Block &block = *buffers[size_t(slot)];
            {
                QMutexLocker locker(&mutex);
                while (block.index != -1)
                    changed.wait(&mutex);
                block.index = b;
            }
            block.fill(reader, scanner, b * blockRecords,
                       int(qMin<qint64>(blockRecords, records - b * blockRecords)));
            if (work)
                work(block.picks, slot);
            {
                QMutexLocker locker(&mutex);
                block.ready = true;
                changed.wakeAll();
            }
            prepare();
        }
    }

    const FBBlockReader &reader;
    const FBRecordScanner &scanner;
    const qint64 records;
    const int blockRecords;
    const qint64 blocks;
    const int workers;
    std::vector<std::unique_ptr<Block>> buffers;
    QMutex mutex;
    QWaitCondition changed;
};

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
    d->threads = qMax(1, threads);
}

int FBLoader::threadCount() const
{
    return d->threads;
}

int FBLoader::defaultThreadCount()
{
    bool ok = false;
    const int threads = qEnvironmentVariableIntValue("CROSSPLOT_LOAD_THREADS", &ok);
    return qMax(1, ok ? threads : QThread::idealThreadCount());
}

void FBLoader::readHeader(FBPicks &picks)
{
    picks = FBPicks();
    const FBHeader header = d->reader.header();
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
    const qint64 onFile = recordsToRead();
    const bool none = FBRecordScanner(d->offsetLow, d->offsetHigh, d->filter).acceptsNothing();
    FBPickStore store(picks, none ? 0 : onFile, d->pickLimit, d->filter.keepDetails);
    read({}, [&store](const FBPickBlock &block, int) { store.append(block); },
         [&store] { store.prepareAhead(); }, progress);
    store.addZeroPicks(d->zeroPicks);
}

void FBLoader::readBlocks(const std::function<void(const FBPickBlock &)> &take,
                          const std::function<void(int)> &progress,
                          const std::function<void()> &prepare)
{
    read({}, [&take](const FBPickBlock &block, int) { take(block); }, prepare, progress);
}

void FBLoader::readBlocks(const Work &work, const Work &take,
                          const std::function<void(int)> &progress)
{
    read(work, take, {}, progress);
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

void FBLoader::read(const Work &work, const Work &take, const std::function<void()> &prepare,
                    const std::function<void(int)> &progress)
{
    // A negative count announces no records; the header word itself is left as read.
    const qint64 announced = qMax(0, d->recordCount);
    // Records past the end of the file are records of zeros; they are not read at all.
    const qint64 onFile = qMin(announced, d->reader.recordsOnFile());
    const FBRecordScanner scanner(d->offsetLow, d->offsetHigh, d->filter);
    ProgressTicker ticker(announced, progress);
    const int blockRecords = int(qMin<qint64>(d->blockRecords, qMax<qint64>(1, onFile)));
    if (scanner.acceptsNothing()) {
        ticker.advance(onFile);
    } else if (d->threads == 1 || onFile <= blockRecords) {
        // One thread, or one block: no worker is worth its start.
        Block block(blockRecords, d->filter.keepDetails);
        for (qint64 first = 0; first < onFile; first += blockRecords) {
            const int count = int(qMin<qint64>(blockRecords, onFile - first));
            block.fill(d->reader, scanner, first, count);
            if (work)
                work(block.picks, 0);
            take(block.picks, 0);
            ticker.advance(count);
        }
    } else {
        BlockPipeline pipeline(d->reader, scanner, onFile, blockRecords, d->threads,
                               d->filter.keepDetails);
        pipeline.run(
            [&](const Block &block, int slot) {
                take(block.picks, slot);
                ticker.advance(block.records);
            },
            work,
            [&prepare] {
                if (prepare)
                    prepare();
            });
    }
    d->zeroPicks = scanner.acceptsZeroRecord() ? announced - onFile : 0;
    ticker.advance(announced - onFile);
    d->reader.close();
}
