#pragma once

#include "FileReport.h"
#include "ReportOptions.h"

#include <QCoreApplication>
#include <QDir>
#include <QSet>

#include "CrossPlotModel.h"
#include "InputCheck.h"

#include <memory>

class FBPickDetails;
class PickTrend;
class QFile;
class RefractorModel;

// Checks, reads and draws one input of the report: the dialog's checks; one read of the file that
// deals the Correct and the Error picks to a model each (Both is the sum of their grids) and keeps
// the Correct picks' records and classes compactly; the three crossplots through the window; the
// near-surface model; and the trend's suspect list and residual histogram. Progress goes to stderr.
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
    // The three crossplots of one file, before their windows take them over.
    struct ClassModels
    {
        explicit ClassModels(CrossPlotParam param)
        {
            for (auto *model : {&correct, &error, &both}) {
                param.plotCorrectFB = model == &correct;
                param.plotErrorFB = model == &error;
                param.plotAllFB = model == &both;
                model->reset(new CrossPlotModel(param));
            }
        }
        std::unique_ptr<CrossPlotModel> correct, error, both;
    };

    bool check(const QString &path, FileReport &report);
    void analyse(const QString &path, int index, FileReport &report);
    bool load(ClassModels &models, FBPickDetails *details, FileReport &report);
    void drawClass(std::unique_ptr<CrossPlotModel> model, const QString &path, int index,
                   const char *className, const PickTrend *trend, const RefractorModel *refractor,
                   FileReport::ClassFigures &figures, QStringList &notes);
    std::unique_ptr<QFile> openSuspects(const QString &path, FileReport &report);
    void judge(QFile &csv, FileReport::TrendFigures &figures, QStringList &notes,
               PickTrend &trend, const RefractorModel &refractor, const FBPicks &correct,
               const FBPickDetails &details) const;
    void saveHistogram(const QString &path, int index, FileReport::TrendFigures &figures,
                       const PickTrend &trend, QStringList &notes);
    void noteTruncation(FileReport &report);
    QString uniqueCsvName(const QString &path);
    void progress(int value);
    void stage(const QString &what);

    const ReportOptions &m_options;
    InputCheck m_check; // of the file at hand
    QDir m_dir;
    QSet<QString> m_csvNames;
    QString m_progressLabel;
    int m_progressShown = -1;
    int m_progressRecords = 0;
    bool m_tty = false;
};
