#pragma once

#include <QVector>
#include <QtGlobal>
#include <cmath>
#include <memory>
#include <vector>

class RefractorModel;

// The per-pick figures of a refractor model, fed pick by pick from the trend's pass over the
// judged Correct picks: how many fall in each layer's span, and the median of |time - model|.
// Constant memory, whatever the number of picks.
// Aligned to a cache line: tallies kept one per thread, side by side, would otherwise share the
// line their counters are written to with every pick.
class alignas(64) RefractorTally
{
public:
    // |residual| histogram: 0.05 ms steps up to 1000 ms, so the median is read to within
    // 0.025 ms, well under the 0.1 ms it is reported to; larger residuals are only counted.
    static constexpr double Step = 0.05;
    static constexpr int Steps = 20000;

    // Takes the layers of a fitted model.
    explicit RefractorTally(const RefractorModel &model);
    // A tally of the same model with nothing counted yet, such as one per thread; it shares
    // this one's table of the model.
    RefractorTally fresh() const;

    // count picks alike at this offset (either sign) and time, ms. Inline: it runs once per
    // judged pick.
    void add(int offset, int time, qint64 count = 1)
    {
        // A model without layers has nothing to count in.
        if (m_lines.isEmpty() || count <= 0)
            return;
        const qint64 magnitude = qAbs(qint64(offset));
        double model;
        int layer;
        if (magnitude < qint64(m_table->size())) {
            const Metre &metre = (*m_table)[size_t(magnitude)];
            model = metre.time;
            layer = metre.layer;
        } else {
            layer = layerOf(double(magnitude));
            const Line &line = m_lines.at(layer);
            model = line.intercept + line.slope * double(magnitude);
        }
        m_layerCounts[layer] += count;
        m_total += count;
        const double residual = std::abs(double(time) - model);
        if (residual < Steps * Step)
            m_histogram[size_t(residual * (1.0 / Step))] += count;
        else
            m_beyond += count;
    }
    // Adds what another tally of the same model counted, such as one kept per thread.
    void add(const RefractorTally &other);

    qint64 pickCount(int layer) const;
    qint64 total() const { return m_total; }
    // The lower median of |time - model| to within Step / 2; 1000 ms when it lies beyond the
    // histogram; 0 without picks.
    double medianAbsResidual() const;

private:
    struct Line
    {
        double to;        // the layer's toOffset
        double intercept; // ms
        double slope;     // ms per m
    };
    // The model's layer and time at each whole metre of offset up to the end of its span: every
    // pick is at a whole metre, so the tally looks them up instead of searching the layers.
    struct Metre
    {
        double time;
        int layer;
    };
    static constexpr int MaxTableMetres = 1 << 20; // 16 MB; farther offsets are computed
    int layerOf(double x) const;

    QVector<Line> m_lines;
    std::shared_ptr<const std::vector<Metre>> m_table;
    // Inside the object, not beside another thread's counts on the heap.
    qint64 m_layerCounts[4] = {};
    std::vector<qint64> m_histogram;
    qint64 m_beyond = 0;
    qint64 m_total = 0;
};
