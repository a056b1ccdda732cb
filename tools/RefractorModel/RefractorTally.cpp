#include "RefractorTally.h"

#include "RefractorModel.h"

#include <cmath>

RefractorTally::RefractorTally(const RefractorModel &model)
    : m_layerCounts(model.layers().size(), 0), m_histogram(Steps, 0)
{
    for (const RefractorModel::Layer &layer : model.layers())
        m_lines.append({layer.toOffset, layer.intercept, 1000.0 / layer.velocity});
}

void RefractorTally::add(int offset, int time, qint64 count)
{
    // As RefractorModel::layerAt and timeAt, without a division per pick.
    const double x = std::abs(double(offset));
    int layer = 0;
    while (layer + 1 < m_lines.size() && x >= m_lines.at(layer).to)
        ++layer;
    // A model without layers has nothing to count in.
    if (m_lines.isEmpty() || count <= 0)
        return;
    m_layerCounts[layer] += count;
    m_total += count;
    const Line &line = m_lines.at(layer);
    const double residual = std::abs(double(time) - (line.intercept + line.slope * x));
    if (residual < Steps * Step)
        m_histogram[int(residual / Step)] += count;
    else
        m_beyond += count;
}

void RefractorTally::add(const RefractorTally &other)
{
    for (int k = 0; k < m_layerCounts.size() && k < other.m_layerCounts.size(); ++k)
        m_layerCounts[k] += other.m_layerCounts.at(k);
    for (int k = 0; k < Steps; ++k)
        m_histogram[k] += other.m_histogram.at(k);
    m_beyond += other.m_beyond;
    m_total += other.m_total;
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
