#pragma once

#include <QString>
#include <QtGlobal>
#include <functional>
#include <vector>

// One layer of a planted near-surface model: its velocity, and the offset where it takes over
// from the layer above (ignored for the first layer, which starts at 0 m).
struct FBSynthLayer
{
    double velocity = 0.0;   // m/s
    double fromOffset = 0.0; // m
};

// What a synthetic FB file holds: a refraction survey of shots into symmetric receiver spreads,
// with first breaks following a direct wave and two refractors plus noise.
struct FBSynthOptions
{
    qint64 records = 1000000;
    quint64 seed = 1;
    double errorShare = 0.05;          // picks with class codes 2 and above
    double negativeClassShare = 0.001; // correct picks with negative class codes
    int maxOffset = 3000;              // receivers reach this far on both sides, metres
    double noise = 4.0;                // Gaussian pick noise, ms (standard deviation)
    double staticAmplitude = 20.0;     // per-shot statics, uniform in +-this, ms
    double wildShare = 0.0;            // correct-class picks 150 ms early to 400 ms late

    // A planted model instead of the default direct wave and two refractors: 1..4 layers in
    // order of offset, the first break t = intercept + 1000 * x / v of the layer at |offset|
    // x, continuous at each crossover. The velocities are taken as given, without the default
    // survey's per-shot velocity spread, so that a fit can be checked against them.
    std::vector<FBSynthLayer> layers;
    double intercept = 0.0; // ms, the first layer's time at 0 m

    // Forged header words, for tests of bad input; the true values otherwise.
    bool forgeRecordCount = false;
    qint32 headerRecordCount = 0;
    bool forgeOffsetLow = false;
    qint32 headerOffsetLow = 0;
    bool forgeOffsetHigh = false;
    qint32 headerOffsetHigh = 0;
};

// Streams an FB file in constant memory. The same options give the same bytes. progress, when
// given, is called now and then with the records written so far.
class FBSynth
{
public:
    using Progress = std::function<void(qint64 written, qint64 total)>;

    static bool write(const QString &fileName, const FBSynthOptions &options,
                      const Progress &progress = {}, QString *errorString = nullptr);
    // Checks options before anything is written; empty when they are usable.
    static QString validate(const FBSynthOptions &options);
    // The planted model's time at absolute offset x, ms; 0 without layers.
    static double plantedTime(const FBSynthOptions &options, double x);
};
