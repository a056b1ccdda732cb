#include "velPicker.h"

#include <QBrush>
#include <QColor>
#include <QPainter>
#include <QPen>
#include <QPolygonF>
#include <cmath>
#include <limits>
#include <qwt_picker_machine.h>
#include <qwt_plot.h>
#include <qwt_scale_map.h>

velPicker::velPicker(QWidget *canvas)
    : QwtPlotPicker(QwtPlot::xBottom, QwtPlot::yLeft, QwtPicker::CrossRubberBand,
                    QwtPicker::ActiveOnly, canvas)
{
    setStateMachine(new QwtPickerClickRectMachine);
    setRubberBandPen(
        QPen(QBrush(Qt::black, Qt::SolidPattern), 2.0, Qt::DashLine, Qt::SquareCap, Qt::BevelJoin));
}

velPicker::~velPicker() = default;

void velPicker::drawRubberBand(QPainter *painter) const
{
    // The rubber-band kind only switches drawing on; the line itself replaces the crosshair.
    painter->drawPolyline(selection());
}

QwtText velPicker::trackerTextF(const QPointF &) const
{
    const QPolygon picked = selection();
    // Until the press that starts a measurement is released only its start point exists, and
    // a line needs two.
    if (picked.size() < 2 || picked.at(1) == picked.at(0))
        return QwtText(QString());

    QPolygonF points(picked);
    for (QPointF &point : points)
        point = toPlotCoordinates(point);

    const float dx = float(std::fabs(points.last().x() - points.first().x()));
    const float dy = float(std::fabs(points.last().y() - points.first().y()));
    // A horizontal line reads as inf, what the division by its zero time difference would give.
    const float quotient = dy != 0.0f ? dx / dy : std::numeric_limits<float>::infinity();
    const double velocity = double(quotient) * 1000.0;

    QwtText text(QLatin1String(" ( V = ") + QString::number(velocity, 'f', 0) + tr(" m/s ) "),
                 QwtText::AutoText);
    text.setColor(Qt::darkRed);
    text.setBackgroundBrush(QBrush(QColor(255, 255, 255, 200), Qt::SolidPattern));
    return text;
}

QPointF velPicker::toPlotCoordinates(const QPointF &canvasPoint) const
{
    const QwtScaleMap xMap = plot()->canvasMap(QwtPlot::xBottom);
    const QwtScaleMap yMap = plot()->canvasMap(QwtPlot::yLeft);
    return QPointF(xMap.invTransform(canvasPoint.x()), yMap.invTransform(canvasPoint.y()));
}
