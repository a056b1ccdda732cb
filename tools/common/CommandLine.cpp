#include "CommandLine.h"

#include <cstdio>

int CommandLine::refuse(const QString &program, const QString &message)
{
    // Qt's parser ends its messages with a full stop, ours do not: one form for both.
    QString text = message;
    if (text.endsWith(QLatin1Char('.')))
        text.chop(1);
    std::fprintf(stderr, "%s: %s (see %s --help)\n", qPrintable(program), qPrintable(text),
                 qPrintable(program));
    return BadCommandLine;
}
