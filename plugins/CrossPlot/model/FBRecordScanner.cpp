#include "FBRecordScanner.h"

#include "FBRecord.h"

#include <cmath>

namespace {

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

} // namespace

FBPickBlock::FBPickBlock(int capacity, bool details, bool split)
    : offsets(new int[size_t(capacity)]), fbTimes(new int[size_t(capacity)]),
      records(details ? new int[size_t(capacity)] : nullptr),
      classes(details ? new int[size_t(capacity)] : nullptr),
      errors(split ? new FBPickBlock(capacity, false) : nullptr)
{
}

FBRecordScanner::FBRecordScanner(int offsetLow, int offsetHigh, const FBPickFilter &filter)
    : details(filter.keepDetails), split(filter.splitClasses)
{
    const qint64 low = qMax(0, offsetLow);
    windowLow = quint32(low);
    windowSpan = offsetHigh > low ? quint32(offsetHigh - low) : 0u;
    if (windowSpan == 0)
        rule = ClassRule::None;
    else if (filter.plotAllFB || (filter.plotCorrectFB && filter.plotErrorFB))
        rule = ClassRule::All;
    else if (filter.plotCorrectFB)
        rule = ClassRule::Correct;
    else if (filter.plotErrorFB)
        rule = ClassRule::Error;
}

bool FBRecordScanner::inWindow(qint32 offset) const
{
    // Unsigned negation keeps |INT_MIN| = 2^31 defined; it lies above every window.
    const quint32 magnitude = offset < 0 ? 0u - quint32(offset) : quint32(offset);
    return magnitude - windowLow < windowSpan;
}

bool FBRecordScanner::acceptsZeroRecord() const
{
    return inWindow(0) && (rule == ClassRule::All || rule == ClassRule::Correct);
}

template <FBRecordScanner::ClassRule Rule, bool Details, bool Split>
void FBRecordScanner::scanWith(const char *records, int count, qint64 first, FBPickBlock &out) const
{
    int kept = out.count;
    for (int j = 0; j < count; ++j) {
        const char *record = records + qptrdiff(j) * FBRecord::Size;
        const qint32 offset = FBRecord::offset(record);
        if (!inWindow(offset))
            continue;
        const qint32 fbClass = FBRecord::fbClass(record);
        if ((Rule == ClassRule::Correct && FBRecord::isErrorClass(fbClass)) ||
            (Rule == ClassRule::Error && !FBRecord::isErrorClass(fbClass)))
            continue;
        if (Split && FBRecord::isErrorClass(fbClass)) {
            FBPickBlock &errors = *out.errors;
            errors.offsets[errors.count] = offset;
            errors.fbTimes[errors.count++] = truncatedTime(FBRecord::fbTime(record));
            continue;
        }
        out.offsets[kept] = offset;
        out.fbTimes[kept] = truncatedTime(FBRecord::fbTime(record));
        if (Details) {
            out.records[kept] = int(first + j);
            out.classes[kept] = fbClass;
        }
        ++kept;
    }
    out.count = kept;
}

void FBRecordScanner::scan(const char *records, int count, qint64 first, FBPickBlock &out) const
{
    switch (rule) {
    case ClassRule::All:
        if (split && out.errors)
            return details ? scanWith<ClassRule::All, true, true>(records, count, first, out)
                           : scanWith<ClassRule::All, false, true>(records, count, first, out);
        return details ? scanWith<ClassRule::All, true>(records, count, first, out)
                       : scanWith<ClassRule::All, false>(records, count, first, out);
    case ClassRule::Correct:
        return details ? scanWith<ClassRule::Correct, true>(records, count, first, out)
                       : scanWith<ClassRule::Correct, false>(records, count, first, out);
    case ClassRule::Error:
        return details ? scanWith<ClassRule::Error, true>(records, count, first, out)
                       : scanWith<ClassRule::Error, false>(records, count, first, out);
    case ClassRule::None:
        break;
    }
}
