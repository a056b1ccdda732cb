#pragma once

#include "FBLoader.h"

#include <memory>

// The accepted picks of one block of records, in file order; the detail arrays are filled only
// when the filter keeps details. A filter that splits the classes puts the Erroneous picks in
// errors (without details) and the Correct ones here.
struct FBPickBlock
{
    explicit FBPickBlock(int capacity, bool details, bool split = false);

    int count = 0;
    std::unique_ptr<int[]> offsets;
    std::unique_ptr<int[]> fbTimes;
    std::unique_ptr<int[]> records;
    std::unique_ptr<int[]> classes;
    std::unique_ptr<FBPickBlock> errors;
};

// Decides which records are accepted picks: |offset| inside offsetLow..offsetHigh (upper end
// exclusive) and a class that the filter admits. Holds no state while it scans, so one scanner
// serves every thread.
class FBRecordScanner
{
public:
    FBRecordScanner(int offsetLow, int offsetHigh, const FBPickFilter &filter);

    // No record at all can be accepted: an empty window or no class.
    bool acceptsNothing() const { return rule == ClassRule::None; }
    // A record of zeros (offset 0, time 0, class 0) is accepted.
    bool acceptsZeroRecord() const;

    // Scans count records from records on, the first of them record index first of the file,
    // after the picks that out holds already.
    void scan(const char *records, int count, qint64 first, FBPickBlock &out) const;

private:
    enum class ClassRule { None, Correct, Error, All };
    template <ClassRule Rule, bool Details, bool Split = false>
    void scanWith(const char *records, int count, qint64 first, FBPickBlock &out) const;
    bool inWindow(qint32 offset) const;

    // The offset window as one unsigned comparison of |offset| - windowLow against windowSpan;
    // |offset| is never negative, so a negative offsetLow admits from 0 on.
    quint32 windowLow = 0;
    quint32 windowSpan = 0;
    ClassRule rule = ClassRule::None;
    bool details = false;
    bool split = false;
};
