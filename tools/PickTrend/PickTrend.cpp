#include "PickTrend.h"

#include "FBLoader.h"
#include "FBRecordScanner.h"
#include "MemoryAdmission.h"
#include "ParallelShares.h"
#include "RefractorModel.h"
#include "RefractorTally.h"

#include <QCoreApplication>
#include <algorithm>
#include <limits>
#include <new>
#include <vector>

PickTrend::PickTrend(int offsetLow, int binWidth, int suspectMs)
    : m_offsetLow(offsetLow), m_binWidth(qMax(1, binWidth)), m_suspectMs(suspectMs)
{
}

qint64 PickTrend::binOf(int offset) const
{
    const qint64 magnitude = offset < 0 ? -qint64(offset) : qint64(offset);
    if (magnitude < m_offsetLow)
        return -1;
    return (magnitude - m_offsetLow) / m_binWidth;
}

// Calls visit(bin, time, |offset|) for every stored pick (from first to last). A pick below the
// window, which no load keeps, is skipped rather than binned out of range. The zero picks of records past the end of the
// file, which may number billions, are taken as one count by the callers.
template <typename Visit>
void PickTrend::forEachPick(const FBPicks &picks, qint64 first, qint64 last, Visit visit) const
{
    const int *offsets = picks.offsets.constData();
    const int *times = picks.fbTimes.constData();
    for (qint64 i = first; i < last; ++i) {
        const qint64 bin = binOf(offsets[i]);
        if (bin >= 0)
            visit(bin, times[i], qAbs(qint64(offsets[i])));
    }
}

template <typename Visit> void PickTrend::forEachPick(const FBPicks &picks, Visit visit) const
{
    forEachPick(picks, 0, qMin(picks.offsets.size(), picks.fbTimes.size()), visit);
}

bool PickTrend::fit(const FBPicks &picks)
{
    m_medians.clear();
    m_judgedBins.clear();
    m_medianAt.clear();
    m_binPicks.clear();
    m_binOffsets.clear();
    m_error.clear();
    m_total = Judgement();
    // Bins reach as far as the picks do, not as far as the header's window, which a forged
    // header can stretch to the whole int range.
    const int stored = qMin(picks.offsets.size(), picks.fbTimes.size());
    const int *offsets = picks.offsets.constData();
    const int *times = picks.fbTimes.constData();
    const qint64 zeroBin = picks.zeroPicks > 0 ? binOf(0) : -1;
    const qint64 zeros = zeroBin >= 0 ? picks.zeroPicks : 0;
    struct Extent
    {
        qint64 farthest = -1; // the largest |offset| of a pick in the window
        qint64 kept = 0;
        int earliest = std::numeric_limits<int>::max();
        int latest = std::numeric_limits<int>::min();
    };
    std::vector<Extent> extents(static_cast<size_t>(sharesFor(stored)));
    runShares(stored, int(extents.size()), [&](int share, qint64 first, qint64 last) {
        Extent extent;
        for (qint64 i = first; i < last; ++i) {
            const qint64 magnitude = qAbs(qint64(offsets[i]));
            if (magnitude < m_offsetLow)
                continue;
            extent.farthest = qMax(extent.farthest, magnitude);
            extent.earliest = qMin(extent.earliest, times[i]);
            extent.latest = qMax(extent.latest, times[i]);
            ++extent.kept;
        }
        extents[size_t(share)] = extent;
    });
    qint64 farthest = -1;
    qint64 kept = 0;
    int earliest = zeros > 0 ? 0 : std::numeric_limits<int>::max();
    int latest = zeros > 0 ? 0 : std::numeric_limits<int>::min();
    for (const Extent &extent : extents) {
        farthest = qMax(farthest, extent.farthest);
        kept += extent.kept;
        earliest = qMin(earliest, extent.earliest);
        latest = qMax(latest, extent.latest);
    }
    const qint64 lastBin = qMax(farthest >= 0 ? binOf(int(farthest)) : -1, zeroBin);
    const qint64 correct = kept + zeros;
    if (lastBin < 0)
        return true;

    // The bins cost one int each: as many as the picks, or a few MB for a sparse survey, keeps
    // the trend within one int per pick beside the picks. Beyond that the picks are spread over
    // a window far wider than any spread (wild offsets), and the trend is refused as such.
    const qint64 bins = lastBin + 1;
    if (bins > qMax<qint64>(correct, MaxSparseBins)) {
        m_error = QCoreApplication::translate("PickTrend",
                                              "the Correct picks spread over %L1 trend bins, more "
                                              "than their %L2 picks: no trend")
                      .arg(bins)
                      .arg(correct);
        return false;
    }
    const qint64 span = qint64(latest) - earliest + 1;
    // Asked of the admission first, as the grid is: the kernel would rather kill the process
    // than fail the allocation. The grant lasts while the medians are found; what is kept after
    // is a few numbers per bin and the per-metre medians.
    const bool byCounts = bins * span <= qMax<qint64>(kept, DenseTimeCells);
    const bool perMetre = bins * m_binWidth <= DenseTimeCells;
    const qint64 scratch = byCounts ? bins * span * qint64(sizeof(quint32))
                                    : (bins + 1) * qint64(sizeof(qint64)) + kept * qint64(sizeof(int));
    const MemoryAdmission::Grant grant = MemoryAdmission::grant(
        scratch + bins * qint64(2 * sizeof(qint64) + sizeof(int) + 1) +
        (perMetre ? bins * m_binWidth * qint64(sizeof(int)) : 0));
    try {
        if (grant.bytes() == 0)
            throw std::bad_alloc();
        m_judgedBins.assign(size_t(bins), false);
        m_medians.assign(size_t(bins), 0);
        m_binPicks.assign(size_t(bins), 0);
        m_binOffsets.assign(size_t(bins), 0.0);
        if (zeroBin >= 0)
            m_binPicks[size_t(zeroBin)] = zeros;
        // One count per bin and millisecond when the times keep to a range that costs no
        // more than the picks would in a sort: one pass and no sort. Wild times spread the
        // range out of that, and the picks are sorted by bin instead.
        if (byCounts)
            medianByCounts(picks, zeros, zeroBin, earliest, span);
        else
            medianBySort(picks, zeros, zeroBin, kept);
        // A median per metre of offset for judging, where the window is narrow enough.
        if (perMetre) {
            m_medianAt.assign(size_t(bins * m_binWidth), NotJudged);
            for (size_t m = 0; m < m_medianAt.size(); ++m) {
                const size_t b = m / size_t(m_binWidth);
                if (m_judgedBins[b])
                    m_medianAt[m] = m_medians[b];
            }
        }
    } catch (const std::bad_alloc &) {
        m_medians.clear();
        m_judgedBins.clear();
        m_medianAt.clear();
        m_binPicks.clear();
        m_binOffsets.clear();
        m_error = QCoreApplication::translate("PickTrend",
                                              "not enough memory for %L1 trend bins and %L2 picks")
                      .arg(bins)
                      .arg(correct);
        return false;
    }
    return true;
}

void PickTrend::medianByCounts(const FBPicks &picks, qint64 zeros, qint64 zeroBin, int earliest,
                               qint64 span)
{
    const size_t bins = m_medians.size();
    const size_t cells = bins * size_t(span);
    // Each share of the picks counts into counts of its own, added up after: the counts and
    // the offsets' sums (whole metres, exact in a double) are the same on any number of threads.
    // The other shares' counts are admitted, or one thread counts.
    const int stored = qMin(picks.offsets.size(), picks.fbTimes.size());
    int shares = sharesFor(stored);
    MemoryAdmission::Grant grant;
    if (!grant.extend(qint64(cells) * qint64(sizeof(quint32)) * (shares - 1)))
        shares = 1;
    struct Share
    {
        std::vector<quint32> counts;
        std::vector<qint64> binPicks;
        std::vector<double> binOffsets;
    };
    std::vector<Share> perShare(static_cast<size_t>(shares));
    for (Share &share : perShare) {
        share.counts.assign(cells, 0u);
        share.binPicks.assign(bins, 0);
        share.binOffsets.assign(bins, 0.0);
    }
    runShares(stored, shares, [&](int index, qint64 first, qint64 last) {
        Share &share = perShare[size_t(index)];
        forEachPick(picks, first, last, [&](qint64 bin, int time, qint64 magnitude) {
            ++share.counts[size_t(bin) * size_t(span) + size_t(qint64(time) - earliest)];
            ++share.binPicks[size_t(bin)];
            share.binOffsets[size_t(bin)] += double(magnitude);
        });
    });
    std::vector<quint32> &counts = perShare.front().counts;
    for (size_t s = 1; s < perShare.size(); ++s) {
        for (size_t k = 0; k < cells; ++k)
            counts[k] += perShare[s].counts[k];
    }
    for (const Share &share : perShare) {
        for (size_t b = 0; b < bins; ++b) {
            m_binPicks[b] += share.binPicks[b];
            m_binOffsets[b] += share.binOffsets[b];
        }
    }
    for (size_t b = 0; b < bins; ++b) {
        const quint32 *row = counts.data() + b * size_t(span);
        const qint64 z = qint64(b) == zeroBin ? zeros : 0;
        qint64 n = z;
        for (qint64 t = 0; t < span; ++t)
            n += row[t];
        m_judgedBins[b] = n >= MinBinPicks;
        if (!m_judgedBins[b])
            continue;
        // The lower median: the time at index (n - 1) / 2 of the bin's sorted times, the
        // zero picks counted at 0 ms.
        const qint64 k = (n - 1) / 2;
        qint64 below = 0;
        for (qint64 t = 0; t < span; ++t) {
            below += row[t] + (qint64(earliest) + t == 0 ? z : 0);
            if (below > k) {
                m_medians[b] = int(qint64(earliest) + t);
                break;
            }
        }
    }
}

void PickTrend::medianBySort(const FBPicks &picks, qint64 zeros, qint64 zeroBin, qint64 kept)
{
    // Counting sort of the times by bin: bin b's times end up in times[bound[b] .. bound[b+1]).
    const size_t bins = m_medians.size();
    std::vector<qint64> bound(bins + 1, 0);
    std::vector<int> times(static_cast<size_t>(kept));
    forEachPick(picks, [&](qint64 bin, int, qint64 magnitude) {
        ++bound[size_t(bin)];
        ++m_binPicks[size_t(bin)];
        m_binOffsets[size_t(bin)] += double(magnitude);
    });
    for (size_t b = 1; b < bound.size(); ++b)
        bound[b] += bound[b - 1];
    // Filled from the back of each bin, which leaves bound[b] at the bin's first time.
    forEachPick(picks,
                [&](qint64 bin, int time, qint64) { times[size_t(--bound[size_t(bin)])] = time; });
    for (size_t b = 0; b < bins; ++b) {
        const auto first = times.begin() + bound[b];
        const auto last = times.begin() + bound[b + 1];
        const qint64 z = qint64(b) == zeroBin ? zeros : 0;
        m_judgedBins[b] = (last - first) + z >= MinBinPicks;
        if (m_judgedBins[b])
            m_medians[b] = lowerMedian(first, last, z);
    }
}

// The element at index (n - 1) / 2 of the sorted times [first, last) together with z more
// times of 0, found by selection; the zeros are counted, not stored.
int PickTrend::lowerMedian(std::vector<int>::iterator first, std::vector<int>::iterator last,
                           qint64 z)
{
    const qint64 k = ((last - first) + z - 1) / 2;
    if (z == 0) {
        std::nth_element(first, first + k, last);
        return first[k];
    }
    const auto zerosFrom = std::partition(first, last, [](int t) { return t < 0; });
    const auto above = std::partition(zerosFrom, last, [](int t) { return t == 0; });
    const qint64 below = zerosFrom - first;
    if (k < below) {
        std::nth_element(first, first + k, zerosFrom);
        return first[k];
    }
    if (k < (above - first) + z)
        return 0;
    const auto median = first + (k - z);
    std::nth_element(above, median, last);
    return *median;
}

bool PickTrend::median(qint64 bin, int *time) const
{
    if (bin < 0 || size_t(bin) >= m_medians.size() || !m_judgedBins[size_t(bin)])
        return false;
    *time = m_medians[size_t(bin)];
    return true;
}

// Inline, as the next two: judging calls them once per pick.
inline bool PickTrend::trendAt(int offset, int *trend) const
{
    const qint64 metre = qAbs(qint64(offset)) - m_offsetLow;
    if (metre < 0 || metre >= qint64(m_medianAt.size()))
        return median(binOf(offset), trend);
    *trend = m_medianAt[size_t(metre)];
    return *trend != NotJudged;
}

inline bool PickTrend::countPicks(int offset, int time, qint64 residual, qint64 count,
                                  Counts &counts) const
{
    counts.judged += count;
    const qint64 magnitude = qAbs(residual);
    if (magnitude < SpreadCells)
        counts.spread[magnitude] += count;
    else
        counts.beyond += count;
    if (counts.tally)
        counts.tally->add(offset, time, count);
    if (residual < HistogramLow)
        counts.below += count;
    else if (residual >= HistogramHigh)
        counts.above += count;
    else
        counts.histogram[(residual - HistogramLow) / HistogramBin] += count;
    if (magnitude <= m_suspectMs)
        return false;
    (residual < 0 ? counts.early : counts.late) += count;
    return true;
}

void PickTrend::Counts::addTo(Judgement &into) const
{
    into.judged += judged;
    into.early += early;
    into.late += late;
    into.below += below;
    into.above += above;
    into.spreadBeyond += beyond;
}

void PickTrend::judge(const FBPickBlock &block, Judgement &into, const OnSuspect &onSuspect) const
{
    std::vector<Suspect> suspects;
    judge(block.offsets.get(), block.fbTimes.get(), block.records.get(), block.classes.get(),
          block.count, into, onSuspect ? &suspects : nullptr);
    for (const Suspect &suspect : suspects)
        onSuspect(suspect);
}

void PickTrend::judge(const int *offsets, const int *fbTimes, const int *records,
                      const int *classes, int count, Judgement &into,
                      std::vector<Suspect> *suspects) const
{
    Counts counts(into);
    for (int i = 0; i < count; ++i) {
        int trend = 0;
        if (!trendAt(offsets[i], &trend))
            continue;
        const qint64 residual = qint64(fbTimes[i]) - trend;
        if (countPicks(offsets[i], fbTimes[i], residual, 1, counts) && suspects)
            suspects->push_back(Suspect{records[i], offsets[i], fbTimes[i], classes[i], residual});
    }
    counts.addTo(into);
}

void PickTrend::add(const Judgement &judgement)
{
    for (int k = 0; k < SpreadCells; ++k)
        m_total.spread[k] += judgement.spread.at(k);
    m_total.spreadBeyond += judgement.spreadBeyond;
    m_total.judged += judgement.judged;
    m_total.early += judgement.early;
    m_total.late += judgement.late;
    m_total.below += judgement.below;
    m_total.above += judgement.above;
    for (int k = 0; k < HistogramCells; ++k)
        m_total.histogram[k] += judgement.histogram.at(k);
}

void PickTrend::judge(const FBPickBlock &block, const OnSuspect &onSuspect)
{
    judge(block, m_total, onSuspect);
}

void PickTrend::judgeZeroPicks(qint64 count, qint64 record, const OnSuspect &onSuspect,
                               RefractorTally *tally)
{
    int trend = 0;
    if (count <= 0 || !trendAt(0, &trend))
        return;
    Counts counts(m_total);
    counts.tally = tally;
    const bool suspect = countPicks(0, 0, -qint64(trend), count, counts);
    counts.addTo(m_total);
    // Zero picks are suspect only where they are at most half of their bin, so this stays
    // within the stored picks' number.
    for (qint64 k = 0; suspect && onSuspect && k < count; ++k)
        onSuspect(Suspect{int(record + k), 0, 0, 0, -qint64(trend)});
}

double PickTrend::residualSpread() const
{
    const qint64 rank = (m_total.judged - 1) / 2;
    qint64 below = 0;
    for (int k = 0; k < SpreadCells && m_total.judged > 0; ++k) {
        below += m_total.spread.at(k);
        if (below > rank)
            return k;
    }
    return m_total.judged > 0 ? SpreadCells : 0;
}

bool PickTrend::fitRefractor(RefractorModel &model) const
{
    // Each judged bin at the mean offset of its picks, which a bin at the end of a spread does
    // not fill evenly, weighted by their number.
    QVector<RefractorModel::Bin> bins;
    double low = -1.0;
    double high = 0.0;
    for (size_t b = 0; b < m_medians.size(); ++b) {
        if (!m_judgedBins[b])
            continue;
        bins.append({m_binOffsets[b] / double(m_binPicks[b]), double(m_medians[b]),
                     double(m_binPicks[b])});
        high = double(m_offsetLow) + double(b + 1) * m_binWidth;
        if (low < 0.0)
            low = high - m_binWidth;
    }
    return model.fit(bins, qMax(0.0, low), high);
}

double PickTrend::suspectShare() const
{
    return m_total.judged == 0 ? 0.0 : 100.0 * double(suspectCount()) / double(m_total.judged);
}
