#pragma once

#include "CrossPlotParam.h"
#include "FBHeader.h"

#include <QString>

// The checks that stand between a user's parameters and a crossplot, in their order: the offset
// range, opening the FB file, and its header. The dialog shows the message in its boxes, the
// tools print it; the texts are the dialog's.
struct InputCheck
{
    enum Problem { None, OffsetRange, OpenFile, Header };

    Problem problem = None;
    QString message; // empty when there is no problem
    // What a command line adds after the message: the system's reason where the file cannot be
    // opened, the header's words where it is illegal. The dialog shows the message alone.
    QString openError;
    FBHeader header;
    qint64 fileSize = 0;
    // An input that cannot seek, such as a pipe: its header is read here, once, and the
    // records follow where it stands; its size is not known.
    bool sequential = false;

    bool passed() const { return problem == None; }

    // Opens the file only when the offset range is legal, and closes it again. Of a pipe it
    // takes the header's 16 bytes and no more.
    static InputCheck of(const CrossPlotParam &param);
    // The first of the checks alone, for callers that check many files in one range.
    static InputCheck ofOffsetRange(const CrossPlotParam &param);
};
