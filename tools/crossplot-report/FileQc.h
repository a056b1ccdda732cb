#pragma once

#include "FileReport.h"
#include "ReportOptions.h"

#include <QCoreApplication>
#include <QDir>
#include <QSet>

struct FBPicks;
class CrossPlotMap;
class PickTrend;

// Checks, reads and draws one input of the report: the dialog's checks, one read of the file
// for all three classes, the three crossplots through the window's own code, and the trend's
// suspect list and residual histogram. Progress goes to stderr.
class FileQc
{
    Q_DECLARE_TR_FUNCTIONS(FileQc)

public:
    static constexpr int ThumbnailWidth = 300; // four pictures side by side on a 1400-pixel screen
    // No record reaches a minute either way: such times are flagged as wild. Negative times of
    // a few ms are ordinary mispicks, which the suspect list catches.
    static constexpr int WildTimeMs = 60000;

    FileQc(const ReportOptions &options, const QDir &reportDir);

    // index counts from 0 among total inputs.
    FileReport run(const QString &path, int index, int total);

private:
    bool check(const QString &path, FileReport &report);
    void analyse(const QString &path, int index, FileReport &report);
    bool load(const QString &path, FBPicks &picks, FileReport &report);
    void drawClass(const FBPicks &picks, const QString &path, int index, const char *className,
                   const PickTrend *trend, FileReport::ClassFigures &figures, QStringList &notes);
    void judge(const FBPicks &picks, const QString &path, int index, FileReport &report,
               PickTrend &trend);
    QString uniqueCsvName(const QString &path);
    void progress(int value);
    void stage(const QString &what);

    const ReportOptions &m_options;
    QDir m_dir;
    QSet<QString> m_csvNames;
    QString m_progressLabel;
    int m_progressShown = -1;
    int m_progressRecords = 0;
    bool m_tty = false;
};
