#include "ResidualHistogram.h"

#include "PickTrend.h"
#include "PngFile.h"

#include <QPixmap>
#include <qwt_plot_grid.h>
#include <qwt_plot_histogram.h>
#include <qwt_plot_renderer.h>
#include <qwt_text.h>

ResidualHistogram::ResidualHistogram(const PickTrend &trend, int suspectMs, QWidget *parent)
    : QwtPlot(parent)
{
    QFont titleFont;
    titleFont.setPixelSize(13);
    QwtText title(tr("Residuals of the judged Correct picks"));
    title.setFont(titleFont);
    title.setColor(Qt::darkRed);
    setTitle(title);
    QFont small;
    small.setPixelSize(11);
    for (int axis : {QwtPlot::xBottom, QwtPlot::yLeft}) {
        setAxisFont(axis, small);
        QwtText axisTitle(axis == QwtPlot::xBottom ? tr("Residual (ms)") : tr("Picks"));
        axisTitle.setFont(small);
        setAxisTitle(axis, axisTitle);
    }
    setCanvasBackground(Qt::white);
    setAxisScale(QwtPlot::xBottom, PickTrend::HistogramLow, PickTrend::HistogramHigh, 50);
    QwtText footer(tr("red: suspect, beyond \u00b1%1 ms; off the chart: %L2 below, %L3 above")
                       .arg(suspectMs)
                       .arg(trend.below())
                       .arg(trend.above()));
    footer.setFont(small);
    setFooter(footer);

    auto *grid = new QwtPlotGrid;
    grid->setMajorPen(Qt::gray, 0.0, Qt::DotLine);
    grid->attach(this);

    QVector<QwtIntervalSample> inside;
    QVector<QwtIntervalSample> outside;
    const QVector<qint64> &counts = trend.histogram();
    for (int i = 0; i < counts.size(); ++i) {
        const double low = PickTrend::HistogramLow + i * PickTrend::HistogramBin;
        const double high = low + PickTrend::HistogramBin;
        // A bar is suspect when every residual it holds is: |r| > suspectMs.
        const bool suspect = low > suspectMs || high - 1 < -suspectMs;
        (suspect ? outside : inside).append(QwtIntervalSample(double(counts.at(i)), low, high));
    }
    const struct
    {
        QVector<QwtIntervalSample> &samples;
        QColor color;
    } parts[] = {{inside, QColor(40, 110, 180)}, {outside, QColor(210, 40, 40)}};
    for (const auto &part : parts) {
        auto *bars = new QwtPlotHistogram;
        bars->setStyle(QwtPlotHistogram::Columns);
        bars->setPen(QPen(Qt::NoPen));
        bars->setBrush(part.color);
        bars->setSamples(part.samples);
        bars->attach(this); // the plot deletes it
    }
    resize(Width, Height);
    replot();
}

bool ResidualHistogram::save(const QString &fileName)
{
    QPixmap pixmap(Width, Height);
    pixmap.fill(Qt::white);
    QwtPlotRenderer renderer;
    renderer.renderTo(this, pixmap);
    return PngFile::write(pixmap.toImage(), fileName);
}
