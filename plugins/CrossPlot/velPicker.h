#pragma once

#include <qwt_plot_picker.h>

// Measures the apparent velocity along a line dragged over the plot: the offset difference over
// the time difference, in metres per second.
class velPicker : public QwtPlotPicker
{
    Q_OBJECT

public:
    explicit velPicker(QWidget *canvas);
    ~velPicker() override;

    void drawRubberBand(QPainter *painter) const override;

protected:
    QwtText trackerTextF(const QPointF &pos) const override;

private:
    QPointF toPlotCoordinates(const QPointF &canvasPoint) const;
};
