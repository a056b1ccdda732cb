#pragma once

#include <QStringList>

class QCoreApplication;

// What one crossplot-report call asks for, parsed from its command line.
struct ReportOptions
{
    QStringList inputs; // files and folders, in the order given
    QString outputDir;
    int minOffset = 0;
    int maxOffset = 0;
    int pointSize = 4;
    double flagErrorShare = 10.0;  // percent
    double flagSuspectShare = 5.0; // percent
    int trendBin = 10;             // metres
    int suspectMs = 20;
    bool trend = true;

    enum class Outcome { Run, Exit, Fail };
    // Parses the application's arguments. Exit after --help or --version (printed on stdout),
    // Fail with the reason on stderr.
    Outcome parse(const QCoreApplication &app);
};
