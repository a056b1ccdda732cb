#pragma once

#include "CrossPlotParam.h"

#include <QSize>
#include <QStringList>

// What one crossplot-render call asks for, parsed from its command line.
struct RenderOptions
{
    QStringList files;
    QString output; // a PNG file, or a directory when several files are given
    CrossPlotParam param;
    int cyan = 15;
    int green = 25;
    int yellow = 55;
    int background = 0;
    bool wholeWindow = false;
    QSize size;
    bool stats = false;
    QString matrixFile;

    // Parses the whole command line, program name first. Returns -1 when the program should go
    // on rendering; otherwise it has printed the help, the version or one line about what is
    // wrong, and returns the exit code to end with (0, or 2 for a bad command line).
    int parse(const QStringList &arguments);
};
