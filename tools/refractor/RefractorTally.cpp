#include "RefractorTally.h"

#include "RefractorModel.h"

#include <cmath>

RefractorTally::RefractorTally(const RefractorModel &model)
    : m_model(model), m_layerCounts(model.layers().size(), 0), m_histogram(Steps, 0)
{
}

void RefractorTally::add(int offset, int time, qint64 count)
{
    const int layer = m_model.layerAt(offset);
    // A tally made before its model was fitted has no layers to count in.
    if (layer < 0 || layer >= m_layerCounts.size() || count <= 0)
        return;
    m_layerCounts[layer] += count;
    m_total += count;
    const double residual = std::abs(double(time) - m_model.timeAt(offset));
    if (residual < Steps * Step)
        m_histogram[int(residual / Step)] += count;
    else
        m_beyond += count;
}

qint64 RefractorTally::pickCount(int layer) const
{
    return layer >= 0 && layer < m_layerCounts.size() ? m_layerCounts.at(layer) : 0;
}

double RefractorTally::medianAbsResidual() const
{
    if (m_total == 0)
        return 0.0;
    const qint64 rank = (m_total - 1) / 2;
    qint64 below = 0;
    for (int step = 0; step < Steps; ++step) {
        below += m_histogram.at(step);
        if (below > rank)
            return (step + 0.5) * Step;
    }
    return Steps * Step;
}
