#pragma once

#include <qwt_plot_picker.h>

// Shows the offset and time under the cursor while the mouse is over the plot canvas.
class PointPicker : public QwtPlotPicker
{
    Q_OBJECT

public:
    explicit PointPicker(QWidget *canvas);
    ~PointPicker() override;

    // Set by the window on left clicks; hides the text while the crosshair stays.
    bool hideText;

protected:
    QwtText trackerTextF(const QPointF &pos) const override;
};
