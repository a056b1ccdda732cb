#pragma once

#include <qwt_scale_draw.h>

// Tick labels as whole numbers: no group separators and never exponent notation, so offsets
// and times read the same as in the information labels.
class RealScaleDraw : public QwtScaleDraw
{
public:
    RealScaleDraw() = default;
    ~RealScaleDraw() override = default;

    QwtText label(double value) const override;
};
