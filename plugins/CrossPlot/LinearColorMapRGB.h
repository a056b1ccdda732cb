#pragma once

#include <qwt_color_map.h>

// The density colour scale from blue at no density to red at the top of the scale; the window
// adds the cyan, green and yellow stops in between.
class LinearColorMapRGB : public QwtLinearColorMap
{
public:
    LinearColorMapRGB();
    ~LinearColorMapRGB() override;
};
