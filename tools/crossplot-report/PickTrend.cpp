#include "PickTrend.h"

#include "FBLoader.h"
#include "FBRecord.h"
#include "MemoryAdmission.h"

#include <QCoreApplication>
#include <algorithm>
#include <new>
#include <vector>

PickTrend::PickTrend(int offsetLow, int binWidth, int suspectMs)
    : m_offsetLow(offsetLow), m_binWidth(qMax(1, binWidth)), m_suspectMs(suspectMs),
      m_histogram((HistogramHigh - HistogramLow) / HistogramBin, 0)
{
}

qint64 PickTrend::binOf(int offset) const
{
    const qint64 magnitude = offset < 0 ? -qint64(offset) : qint64(offset);
    if (magnitude < m_offsetLow)
        return -1;
    return (magnitude - m_offsetLow) / m_binWidth;
}

// Calls visit(bin, offset, time, record, fbClass) for every stored Correct pick in file order.
// A pick below the window, which no load keeps, is skipped rather than binned out of range. The
// zero picks of records past the end of the file, which may number billions, are taken as one
// count by the callers.
template <typename Visit> void PickTrend::forEachCorrect(const FBPicks &picks, Visit visit) const
{
    const int stored = picks.offsets.size();
    for (int i = 0; i < stored; ++i) {
        const qint64 bin = binOf(picks.offsets.at(i));
        if (bin >= 0 && !FBRecord::isErrorClass(picks.classes.at(i)))
            visit(bin, picks.offsets.at(i), picks.fbTimes.at(i), picks.records.at(i),
                  picks.classes.at(i));
    }
}

qint64 PickTrend::zeroBin(const FBPicks &picks) const
{
    return picks.zeroPicks > 0 ? binOf(0) : -1;
}

bool PickTrend::fit(const FBPicks &picks)
{
    m_medians.clear();
    m_judgedBins.clear();
    m_error.clear();
    if (picks.records.size() != picks.offsets.size() ||
        picks.classes.size() != picks.offsets.size()) {
        m_error = QCoreApplication::translate("PickTrend", "the picks carry no record details");
        return false;
    }
    // Bins reach as far as the picks do, not as far as the header's window, which a forged
    // header can stretch to the whole int range.
    const qint64 zeros = zeroBin(picks) >= 0 ? picks.zeroPicks : 0;
    qint64 lastBin = zeros > 0 ? zeroBin(picks) : -1;
    qint64 stored = 0;
    forEachCorrect(picks, [&](qint64 bin, int, int, int, int) {
        lastBin = qMax(lastBin, bin);
        ++stored;
    });
    const qint64 correct = stored + zeros;
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
    // Counting sort of the times by bin: bin b's times end up in times[bound[b] .. bound[b+1]).
    // Asked of the admission first, as the grid is: the kernel would rather kill the process
    // than fail the allocation. The grant lasts while the sort runs; the medians kept after it
    // are the bounds' own memory, one int per bin.
    std::vector<int> bound;
    std::vector<int> times;
    const MemoryAdmission::Grant grant =
        MemoryAdmission::grant((bins + 1) * qint64(sizeof(int)) + bins / 8 + 1 +
                               stored * qint64(sizeof(int)));
    try {
        if (grant.bytes() == 0)
            throw std::bad_alloc();
        bound.assign(size_t(bins) + 1, 0);
        m_judgedBins.assign(size_t(bins), false);
        times.resize(size_t(stored));
    } catch (const std::bad_alloc &) {
        m_error = QCoreApplication::translate("PickTrend",
                                              "not enough memory for %L1 trend bins and %L2 picks")
                      .arg(bins)
                      .arg(correct);
        return false;
    }
    forEachCorrect(picks, [&](qint64 bin, int, int, int, int) { ++bound[size_t(bin)]; });
    for (size_t b = 1; b < bound.size(); ++b)
        bound[b] += bound[b - 1];
    // Filled from the back of each bin, which leaves bound[b] at the bin's first time.
    forEachCorrect(picks, [&](qint64 bin, int, int time, int, int) {
        times[size_t(--bound[size_t(bin)])] = time;
    });

    // Bin b's first time is overwritten by its median once the bin is done; bound[b + 1] is
    // still the next bin's start then.
    for (size_t b = 0; b < size_t(bins); ++b) {
        const auto first = times.begin() + bound[b];
        const auto last = times.begin() + bound[b + 1];
        const qint64 z = qint64(b) == zeroBin(picks) ? zeros : 0;
        const qint64 n = (last - first) + z;
        m_judgedBins[b] = n >= MinBinPicks;
        if (!m_judgedBins[b])
            continue;
        bound[b] = lowerMedian(first, last, z);
    }
    bound.pop_back();
    m_medians = std::move(bound);
    return true;
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

void PickTrend::judge(const FBPicks &picks, const std::function<void(const Suspect &)> &onSuspect)
{
    m_judged = m_early = m_late = m_below = m_above = 0;
    m_histogram.fill(0);
    // count picks alike, at this offset and time, whose records start at record.
    const auto take = [&](qint64 bin, int offset, int time, int record, int fbClass, qint64 count) {
        int trend = 0;
        if (!median(bin, &trend))
            return;
        m_judged += count;
        const qint64 residual = qint64(time) - trend;
        if (residual < HistogramLow)
            m_below += count;
        else if (residual >= HistogramHigh)
            m_above += count;
        else
            m_histogram[int((residual - HistogramLow) / HistogramBin)] += count;
        if (residual >= -m_suspectMs && residual <= m_suspectMs)
            return;
        (residual < 0 ? m_early : m_late) += count;
        // Zero picks are suspect only where they are at most half of their bin, so this stays
        // within the stored picks' number.
        for (qint64 k = 0; onSuspect && k < count; ++k)
            onSuspect(Suspect{int(record + k), offset, time, fbClass, residual});
    };
    forEachCorrect(picks, [&](qint64 bin, int offset, int time, int record, int fbClass) {
        take(bin, offset, time, record, fbClass, 1);
    });
    if (zeroBin(picks) >= 0)
        take(zeroBin(picks), 0, 0, picks.recordCount - picks.zeroPicks, 0, picks.zeroPicks);
}

double PickTrend::suspectShare() const
{
    return m_judged == 0 ? 0.0 : 100.0 * double(suspectCount()) / double(m_judged);
}
