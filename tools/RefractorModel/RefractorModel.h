#pragma once

#include <QJsonValue>
#include <QString>
#include <QVector>

class RefractorTally;

// The near-surface model of one file's Correct picks: a continuous, piecewise-linear time over
// absolute offset of 1 to 4 layers whose velocities increase with offset, fitted to the trend's
// judged bins. Widget-free and deterministic.
class RefractorModel
{
public:
    static constexpr int MaxLayers = 4;
    static constexpr int MinBins = 10;      // judged bins below which there is no model
    static constexpr int MinLayerBins = 5;  // judged bins a layer must hold
    static constexpr double MinLayerLength = 50.0; // metres a layer must span

    struct Bin
    {
        // The bin's absolute offset, m: best the mean of its picks' offsets, which an edge bin
        // filled on one side only can take far from its centre; else the centre.
        double offset = 0.0;
        double time = 0.0;   // the bin's median time, ms
        double weight = 1.0; // its pick count
    };

    struct Layer
    {
        double velocity = 0.0;  // m/s
        double intercept = 0.0; // ms: the layer's line at 0 m
        double fromOffset = 0.0;
        double toOffset = 0.0;
    };

    // Fits the bins, in any order. The model spans from low to high, the outer edges of the
    // judged bins (widened to the bins' offsets where they lie beyond). Returns false, with the
    // reason in reason(), when there is no model.
    bool fit(QVector<Bin> bins, double low, double high);

    bool isValid() const { return !m_layers.isEmpty(); }
    QString reason() const { return m_reason; }
    const QVector<Layer> &layers() const { return m_layers; }
    // The weighted mean absolute deviation of the bins from the model, ms.
    double misfit() const { return m_misfit; }

    // The model's time at |offset|, the end layers' lines carried on beyond the span; 0 without
    // a model.
    double timeAt(double offset) const;
    // The layer whose span holds |offset|, the nearest end layer outside; -1 without a model.
    int layerAt(double offset) const;

    // {"layers": [{velocity, intercept, fromOffset, toOffset, pickCount}], "medianAbsResidual"}
    // with the tally's per-pick figures (the median null without picks), or null without a
    // model. Velocities and intercepts to 0.1, offsets in whole metres.
    QJsonValue toJson(const RefractorTally &tally) const;

private:
    QVector<Layer> m_layers;
    QString m_reason;
    double m_misfit = 0.0;
};
