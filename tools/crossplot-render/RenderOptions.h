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

    // Parses the arguments after the program name; on failure returns false with a message.
    bool parse(const QStringList &arguments, QString *error);
    static const char *usage();
};
