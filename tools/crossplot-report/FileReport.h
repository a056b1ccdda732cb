#pragma once

#include "CrossPlotModel.h"

#include <QJsonObject>
#include <QJsonValue>

class RefractorModel;
#include <QString>
#include <QStringList>

// What the report says about one input: the figures of summary.json and what the page shows.
struct FileReport
{
    // The figures of one class's window, as the window shows them.
    struct ClassFigures
    {
        CrossPlotFigures figures;
        QString image;     // relative to the report folder
        QString thumbnail; // relative to the report folder
    };

    // The residuals of the Correct picks against the survey's own trend.
    struct TrendFigures
    {
        bool done = false; // false: skipped (--no-trend) or refused (error says why)
        QString error;
        qint64 judgedCount = 0;
        qint64 suspectCount = 0;
        qint64 suspectEarly = 0;
        qint64 suspectLate = 0;
        double suspectShare = 0.0;
        double residualSpread = 0.0; // median |residual| of the judged picks, ms
        QJsonValue refractor;        // the near-surface model, null without one
        QString refractorLine;       // the model in one line, empty without one
        double firstVelocity = -1.0; // m/s, -1 without a model
        double lastVelocity = -1.0;
        QString histogram; // picture, relative to the report folder
        QString csv;       // suspect list, relative to the report folder
    };

    QString file; // as given, or folder as given joined with the name
    bool legal = false;
    bool readable = false; // its picks could be read
    QString refusal;       // why it is not legal: the dialog's text or one of our own
    QStringList notes;     // what else a processor must know: truncation, wild times, limits
    int recordCount = 0;
    qint64 recordsInFile = 0;
    bool truncated = false;
    int offsetLow = 0;
    int offsetHigh = 0;
    bool hasClasses = false;
    ClassFigures correct;
    ClassFigures error;
    ClassFigures both;
    TrendFigures trend;

    // null for a file that is legal and needs no remark
    QString message() const;
    // "1890, 3200 from 180 m, 5500 from 1200 m (m/s); intercept 12.3 ms"
    static QString refractorLine(const RefractorModel &model);
    QJsonObject toJson(bool withTrend) const;
};
