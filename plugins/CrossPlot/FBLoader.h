#pragma once

#include <QString>
#include <QVector>
#include <functional>

// Which picks a load keeps. The offset limits narrow the file's own range only when
// maxOffset > 0; of the three class flags, plotAllFB admits every pick.
struct FBPickFilter
{
    int minOffset = 0;
    int maxOffset = 0;
    bool plotCorrectFB = true;
    bool plotErrorFB = false;
    bool plotAllFB = false;
    bool keepDetails = false; // also fill FBPicks::records and FBPicks::classes
};

// The picks of one FB file that passed the filter, in file order.
struct FBPicks
{
    int recordCount = 0; // header word; 0 when the header cannot be read
    int offsetLow = 0;   // inclusive lower bound of |offset| of a kept pick
    int offsetHigh = 0;  // exclusive upper bound
    int pickCount = 0;
    QVector<int> offsets; // signed, as stored in the file
    QVector<int> fbTimes; // whole milliseconds, truncated toward zero
    // With FBPickFilter::keepDetails only, parallel to offsets: the 0-based record index and
    // the class code as stored.
    QVector<int> records;
    QVector<int> classes;
    // Accepted picks of records announced past the end of the file, at (0 m, 0 ms) with class
    // 0, after the stored picks and not held in the vectors; counted in pickCount. This
    // loader still stores them as real picks and leaves the count at 0.
    int zeroPicks = 0;
};

// Reads an FB file in chunks of ChunkRecords records, one seek and one read per chunk.
// Split in two steps so that a caller can put up its progress display between them.
class FBLoader
{
public:
    static constexpr int ChunkRecords = 2000000;
    static constexpr int ProgressSteps = 100;
    // Picks held at most by one load: two vectors of 2 GB each, just below what a QVector<int>
    // can hold, so that surveys of hundreds of millions of picks load whole.
    static constexpr int DefaultPickLimit = 500000000;
    // Records that a header announces beyond the end of the file read as zero picks, at most
    // this many in all.
    static constexpr int MissingPickLimit = ChunkRecords;

    FBLoader(const QString &fileName, const FBPickFilter &filter);
    ~FBLoader();

    // Opens the file (a file that cannot be opened reads as zero bytes), resets picks and
    // reads the header into it, narrowed to the filter's offset limits.
    void readHeader(FBPicks &picks);

    // Reads the records announced by the header and appends the kept picks. progress is
    // called with each new progress value (0..ProgressSteps and beyond for small counts).
    void readRecords(FBPicks &picks, const std::function<void(int)> &progress = {});

    // Caps the picks that readRecords keeps; the records past the cap are still processed
    // for the progress count. Negative limits count as 0.
    void setPickLimit(int limit);
    int pickLimit() const;

private:
    Q_DISABLE_COPY(FBLoader)
    struct Private;
    Private *d;
};
