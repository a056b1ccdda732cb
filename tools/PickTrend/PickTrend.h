#pragma once

#include <QVector>
#include <QtGlobal>
#include <functional>
#include <limits>
#include <vector>

struct FBPickBlock;
struct FBPicks;
class RefractorModel;
class RefractorTally;

// The trend of the Correct picks of one file: the lower median time in bins of absolute offset,
// and each judged pick's residual against it. Widget-free.
class PickTrend
{
public:
    static constexpr int MinBinPicks = 20;    // fewer picks make a median that noise can move
    static constexpr int HistogramLow = -200; // residual histogram range, ms
    static constexpr int HistogramHigh = 200;
    static constexpr int HistogramBin = 2;
    static constexpr int HistogramCells = (HistogramHigh - HistogramLow) / HistogramBin;
    static constexpr int SpreadCells = 1000; // |residual| counted per ms below this

    struct Suspect
    {
        int record = 0;
        int offset = 0;
        int time = 0;
        int fbClass = 0;
        qint64 residual = 0; // wild times can take it past the int range
    };

    PickTrend(int offsetLow, int binWidth, int suspectMs);

    // Finds each bin's median from the Correct picks of a file: the stored ones and its zero
    // picks. Returns false, with the reason in error(), when the memory for the bins or for one
    // int per pick cannot be had. Clears what earlier judging counted.
    bool fit(const FBPicks &correct);

    // Judges the Correct picks of one block of a later read of the file, in file order (the
    // block carries records and classes): counts and histograms the residuals and hands each
    // suspect pick to onSuspect. Then the file's zero picks, whose records start at record.
    using OnSuspect = std::function<void(const Suspect &)>;
    void judge(const FBPickBlock &block, const OnSuspect &onSuspect = {});
    // The zero picks are tallied too when a tally is given.
    void judgeZeroPicks(qint64 count, qint64 record, const OnSuspect &onSuspect = {},
                        RefractorTally *tally = nullptr);

    // What judging counts. Blocks can be judged into judgements of their own on several threads
    // at once, and the judgements added up in file order after.
    struct Judgement
    {
        qint64 judged = 0;
        qint64 early = 0;
        qint64 late = 0;
        qint64 below = 0;
        qint64 above = 0;
        QVector<qint64> histogram = QVector<qint64>(HistogramCells, 0);
        QVector<qint64> spread = QVector<qint64>(SpreadCells, 0);
        qint64 spreadBeyond = 0;
        // Fed each judged pick, when set; not added up by add().
        RefractorTally *tally = nullptr;
    };
    void judge(const FBPickBlock &block, Judgement &into, const OnSuspect &onSuspect) const;
    // The same for count picks in arrays of their own, the suspects appended to suspects.
    void judge(const int *offsets, const int *fbTimes, const int *records, const int *classes,
               int count, Judgement &into, std::vector<Suspect> *suspects) const;
    void add(const Judgement &judgement);

    QString error() const { return m_error; }
    int binCount() const { return int(m_medians.size()); }
    // The lower median of bin b's times; false for a bin of fewer than MinBinPicks picks.
    bool median(qint64 bin, int *time) const;
    int binWidth() const { return m_binWidth; }
    int offsetLow() const { return m_offsetLow; }

    qint64 judgedCount() const { return m_total.judged; }
    qint64 suspectCount() const { return m_total.early + m_total.late; }
    qint64 suspectEarly() const { return m_total.early; }
    qint64 suspectLate() const { return m_total.late; }
    double suspectShare() const;
    // The lower median of |residual| over the judged picks, whole ms; 0 without any.
    double residualSpread() const;

    // Fits the near-surface model to the judged bins: each at the mean offset of its picks with
    // its median time, weighted by its picks; the model spans the judged bins' outer edges.
    bool fitRefractor(RefractorModel &model) const;
    // Judged residuals per HistogramBin ms from HistogramLow on; those outside the range are
    // counted in below() and above().
    const QVector<qint64> &histogram() const { return m_total.histogram; }
    qint64 below() const { return m_total.below; }
    qint64 above() const { return m_total.above; }

private:
    static constexpr qint64 MaxSparseBins = 1 << 20;
    // Counts of (bin, millisecond) and medians per metre are taken below this many cells (16 MB).
    static constexpr qint64 DenseTimeCells = 1 << 22;
    static constexpr int NotJudged = std::numeric_limits<int>::min();

    // The bin of a pick at this offset, or -1 below the window (which the loader never keeps).
    qint64 binOf(int offset) const;
    template <typename Visit> void forEachPick(const FBPicks &picks, Visit visit) const;
    template <typename Visit>
    void forEachPick(const FBPicks &picks, qint64 first, qint64 last, Visit visit) const;
    // A pass's counts, kept in locals while its picks are judged and added to a Judgement
    // after: counted through the Judgement, every count was stored and loaded again for each
    // pick, as the histograms' counts might have been the same memory.
    struct Counts
    {
        explicit Counts(Judgement &into)
            : spread(into.spread.data()), histogram(into.histogram.data()), tally(into.tally)
        {
        }
        void addTo(Judgement &into) const;
        qint64 *spread;
        qint64 *histogram;
        RefractorTally *tally;
        qint64 judged = 0, early = 0, late = 0, below = 0, above = 0, beyond = 0;
    };
    // The trend's time at this offset; false where its bin is not judged.
    bool trendAt(int offset, int *trend) const;
    // Counts count picks alike at this offset and time; true when they are suspect.
    bool countPicks(int offset, int time, qint64 residual, qint64 count, Counts &counts) const;
    void medianByCounts(const FBPicks &picks, qint64 zeros, qint64 zeroBin, int earliest,
                        qint64 span);
    void medianBySort(const FBPicks &picks, qint64 zeros, qint64 zeroBin, qint64 kept);
    static int lowerMedian(std::vector<int>::iterator first, std::vector<int>::iterator last,
                           qint64 z);

    int m_offsetLow;
    int m_binWidth;
    int m_suspectMs;
    std::vector<int> m_medians;     // meaningful where m_judgedBins is set
    std::vector<bool> m_judgedBins; // bins of at least MinBinPicks picks
    std::vector<int> m_medianAt;    // per metre from m_offsetLow on, NotJudged outside judged bins
    std::vector<qint64> m_binPicks;   // Correct picks per bin, zero picks included
    std::vector<double> m_binOffsets; // the sum of their |offset|
    QString m_error;
    Judgement m_total;
};
