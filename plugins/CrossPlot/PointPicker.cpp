#include "PointPicker.h"

#include <QBrush>
#include <QColor>

PointPicker::PointPicker(QWidget *canvas) : QwtPlotPicker(canvas), hideText(false)
{
}

PointPicker::~PointPicker() = default;

QwtText PointPicker::trackerTextF(const QPointF &pos) const
{
    if (hideText)
        return QwtText(QString());

    const QString text = QLatin1String("(") + QString::number(pos.x(), 'f', 0) + tr(" m, ") +
                         QString::number(pos.y(), 'f', 0) + QLatin1String(" ") + QObject::tr("ms") +
                         QLatin1String(")");
    QwtText trackerText(text, QwtText::AutoText);
    // Half-transparent, so the density under the text stays visible.
    trackerText.setBackgroundBrush(QBrush(QColor(255, 255, 255, 200), Qt::SolidPattern));
    return trackerText;
}
