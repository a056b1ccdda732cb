#include "RefractorTally.h"

#include "RefractorModel.h"

#include <algorithm>
#include <cmath>

RefractorTally::RefractorTally(const RefractorModel &model)
    : m_histogram(Steps, 0)
{
    static_assert(sizeof m_layerCounts / sizeof *m_layerCounts == RefractorModel::MaxLayers,
                  "a count per layer");
    for (const RefractorModel::Layer &layer : model.layers())
        m_lines.append({layer.toOffset, layer.intercept, 1000.0 / layer.velocity});
    if (m_lines.isEmpty())
        return;
    auto table = std::make_shared<std::vector<Metre>>();
    const int metres = int(qBound(0.0, std::ceil(m_lines.constLast().to), double(MaxTableMetres)));
    table->reserve(size_t(metres));
    for (int x = 0; x < metres; ++x) {
        const int layer = layerOf(x);
        const Line &line = m_lines.at(layer);
        table->push_back({line.intercept + line.slope * x, layer});
    }
    m_table = std::move(table);
}

RefractorTally RefractorTally::fresh() const
{
    RefractorTally tally = *this;
    std::fill(std::begin(tally.m_layerCounts), std::end(tally.m_layerCounts), 0);
    std::fill(tally.m_histogram.begin(), tally.m_histogram.end(), 0);
    tally.m_beyond = tally.m_total = 0;
    return tally;
}

// As RefractorModel::layerAt: the layer whose span holds x, the nearest end layer outside.
int RefractorTally::layerOf(double x) const
{
    int layer = 0;
    while (layer + 1 < m_lines.size() && x >= m_lines.at(layer).to)
        ++layer;
    return layer;
}

void RefractorTally::add(const RefractorTally &other)
{
    for (int k = 0; k < RefractorModel::MaxLayers; ++k)
        m_layerCounts[k] += other.m_layerCounts[k];
    for (size_t k = 0; k < m_histogram.size(); ++k)
        m_histogram[k] += other.m_histogram[k];
    m_beyond += other.m_beyond;
    m_total += other.m_total;
}

qint64 RefractorTally::pickCount(int layer) const
{
    return layer >= 0 && layer < m_lines.size() ? m_layerCounts[layer] : 0;
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
