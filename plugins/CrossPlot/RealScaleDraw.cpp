#include "RealScaleDraw.h"

QwtText RealScaleDraw::label(double value) const
{
    return QwtText(QString::number(value, 'f', 0), QwtText::AutoText);
}
