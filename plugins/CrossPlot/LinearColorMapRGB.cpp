#include "LinearColorMapRGB.h"

LinearColorMapRGB::LinearColorMapRGB() : QwtLinearColorMap(Qt::blue, Qt::red, QwtColorMap::RGB)
{
}

LinearColorMapRGB::~LinearColorMapRGB() = default;
