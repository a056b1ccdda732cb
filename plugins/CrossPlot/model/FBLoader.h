#pragma once

#include "CrossPlotParam.h"
#include "FBHeader.h"
#include "MemoryAdmission.h"

#include <QString>
#include <QVector>
#include <functional>
#include <limits>

struct FBPickBlock;

// Which picks a load keeps. The offset limits narrow the file's own range only when
// maxOffset > 0; of the three class flags, plotAllFB admits every pick.
struct FBPickFilter
{
    int minOffset = 0;
    int maxOffset = 0;
    bool plotCorrectFB = true;
    bool plotErrorFB = false;
    bool plotAllFB = false;
    // Also fill FBPicks::records and FBPicks::classes.
    bool keepDetails = false;
    // With plotAllFB: hand each block's Erroneous picks over apart from its Correct ones (see
    // FBPickBlock::errors), for readers that keep the classes apart.
    bool splitClasses = false;

    // The filter of a crossplot's parameters, as its window loads them.
    static FBPickFilter of(const CrossPlotParam &param)
    {
        FBPickFilter filter;
        filter.minOffset = param.minOffset;
        filter.maxOffset = param.maxOffset;
        filter.plotCorrectFB = param.plotCorrectFB;
        filter.plotErrorFB = param.plotErrorFB;
        filter.plotAllFB = param.plotAllFB;
        return filter;
    }
};

// The picks of one FB file that passed the filter, in file order.
//
// The accepted picks are, in file order: the stored picks (offsets, fbTimes and, with
// keepDetails, records and classes, all parallel), then droppedPicks that were accepted but
// found no room (see FBLoader::setPickLimit and the memory admission), then zeroPicks. The zero
// picks are the accepted records that the header announces past the end of the file: all at
// (0 m, 0 ms) with class code 0, counted but not stored one by one, so they are the last
// zeroPicks records of the file, indices recordCount - zeroPicks ... recordCount - 1.
// pickCount = offsets.size() + droppedPicks + zeroPicks.
struct FBPicks
{
    int recordCount = 0; // header word; 0 when the header cannot be read
    int offsetLow = 0;   // inclusive lower bound of |offset| of a kept pick
    int offsetHigh = 0;  // exclusive upper bound
    int pickCount = 0;   // every accepted pick: stored, dropped and zero picks
    int zeroPicks = 0;
    int droppedPicks = 0;
    int unreadRecords = 0;        // records on file that no buffer could be had to read
    qint64 recordsInFile = 0;     // whole records the file holds (a pipe's: once it is read)
    MemoryAdmission::Grant grant; // the memory of the stored picks, for as long as they live
    QVector<int> offsets;         // signed, as stored in the file
    QVector<int> fbTimes;         // whole milliseconds, truncated toward zero
    QVector<int> records;         // with keepDetails: 0-based record index of each stored pick
    QVector<int> classes;         // with keepDetails: class code of each stored pick, as stored
};

// Reads an FB file: the header, then the records in blocks of BlockRecords, each read with a
// positioned read and scanned on a worker thread, the picks stored in file order on the calling
// thread. Split in two steps so that a caller can put up its progress display between them.
//
// Threads: QThread::idealThreadCount(), or the environment variable CROSSPLOT_LOAD_THREADS, or
// setThreadCount(); with 1 the calling thread does everything. The result is the same for every
// thread count. The workers' buffers are admitted first: what the memory does not hold, and
// workers that cannot start, leave fewer workers; without a single buffer the load ends and the
// records left are counted in FBPicks::unreadRecords. No load waits for a worker that never came.
//
// A file that changes while it is read: the records are those that existed when readRecords
// began (later growth is not read), and bytes that a read no longer delivers read as zeros, as
// records past the end of a file do.
class FBLoader
{
public:
    static constexpr int ProgressSteps = 100;
    // Records per hand-over between a worker and the storing thread: large against the cost of
    // the hand-over, small enough that its picks (256 KB) stay few per thread.
    static constexpr int BlockRecords = 32768;
    // A QVector<int> holds at most INT_MAX bytes, less its header: about 536 million picks.
    static constexpr int MaxStoredPicks = int((std::numeric_limits<int>::max() - 64) / 4);

    FBLoader(const QString &fileName, const FBPickFilter &filter);
    ~FBLoader();

    // Opens the file (a file that cannot be opened reads as zero bytes), resets picks and
    // reads the header into it, narrowed to the filter's offset limits.
    void readHeader(FBPicks &picks);
    // The same with a header read before, from an input that cannot be read twice (a pipe):
    // the records are read from where the input stands.
    void readHeader(FBPicks &picks, const FBHeader &known);

    // Reads the records announced by the header and appends the kept picks. progress is
    // called on the calling thread with each new progress value: one call per
    // recordCount / ProgressSteps records (per record below ProgressSteps records), so
    // 1, 2, ... up to ProgressSteps and beyond for small counts.
    void readRecords(FBPicks &picks, const std::function<void(int)> &progress = {});

    // Reads the records announced by the header as readRecords does, but stores nothing: take is
    // called on the calling thread with the accepted picks of each block in file order (with
    // records and classes when the filter keeps details), and the accepted records past the end
    // of the file, all picks at (0 m, 0 ms) of class 0, are only counted in zeroPicks(). For
    // readers that split the picks, or judge them without keeping them.
    // prepare, when given, is called on the worker threads between their blocks (see
    // FBPickStore::prepareAhead).
    // Returns the records on file left unread for want of memory (see FBPicks::unreadRecords).
    qint64 readBlocks(const std::function<void(const FBPickBlock &)> &take,
                      const std::function<void(int)> &progress = {},
                      const std::function<void()> &prepare = {});
    // As readBlocks, and work(block, slot) runs first on the worker thread that scanned the
    // block (on the calling thread with one thread); slot, 0 ... slotCount() - 1, names the
    // block's buffer until take(block, slot) has returned, so that work can leave its results
    // of the block there for take. For readers whose work per pick is worth sharing out.
    using Work = std::function<void(const FBPickBlock &, int slot)>;
    qint64 readBlocks(const Work &work, const Work &take,
                      const std::function<void(int)> &progress = {},
                      const std::function<void()> &prepare = {});
    int slotCount() const;

    // Accepted records past the end of the file in the last readBlocks.
    qint64 zeroPicks() const;
    // After readHeader: the records that the header announces and the file holds.
    qint64 recordsToRead() const;
    // The whole records the file holds; for a pipe, after the read, those it delivered.
    qint64 wholeRecords() const;

    // Room for stored picks (MaxStoredPicks unless set lower); accepted picks beyond it, or
    // beyond what the machine's memory admits, are counted in droppedPicks. Negative limits
    // count as 0.
    void setPickLimit(int limit);
    int pickLimit() const;

    // Records per block (BlockRecords unless set; at least 1); tests take small blocks to send
    // small files through many blocks and threads.
    void setBlockRecords(int records);

    // Worker threads of readRecords; values below 1 count as 1, above 256 as 256.
    void setThreadCount(int threads);
    int threadCount() const;
    // CROSSPLOT_LOAD_THREADS when it is a whole number from 1 to maxThreadCount(), else
    // QThread::idealThreadCount().
    static int defaultThreadCount();
    // min(4 x the cores, 256).
    static int maxThreadCount();
    // The one-line warning that a tool prints when CROSSPLOT_LOAD_THREADS is set to no valid
    // count, naming the value and the count used instead; empty when it is unset or valid.
    // threads, when given, receives the count used.
    static QString threadCountWarning(int *threads = nullptr);

    // A seam for the tests: how many workers of a load may start and how many block buffers
    // can be had, as if threads or memory ran out. Both unlimited unless set.
    struct Faults
    {
        int workers = std::numeric_limits<int>::max();
        int buffers = std::numeric_limits<int>::max();
    };
    static void setFaults(const Faults &faults);

private:
    Q_DISABLE_COPY(FBLoader)
    qint64 read(const Work &work, const Work &take, const std::function<void()> &prepare,
                const std::function<void(int)> &progress);
    void applyHeader(FBPicks &picks, const FBHeader &header);
    struct Private;
    Private *d;
};
