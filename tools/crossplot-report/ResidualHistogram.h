#pragma once

#include <qwt_plot.h>

class PickTrend;

// The residuals of one file's judged Correct picks as a small histogram, drawn with Qwt like
// the crossplots: the bars beyond the suspect limit in red.
class ResidualHistogram : public QwtPlot
{
    Q_OBJECT

public:
    static constexpr int Width = 480;
    static constexpr int Height = 260;

    ResidualHistogram(const PickTrend &trend, int suspectMs, QWidget *parent = nullptr);

    // Renders at the fixed size and saves a PNG; false when it cannot be written.
    bool save(const QString &fileName);
};
