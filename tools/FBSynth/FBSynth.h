#pragma once

#include <QString>
#include <QtGlobal>
#include <functional>

// What a synthetic FB file holds: a refraction survey of shots into symmetric receiver spreads,
// with first breaks following a direct wave and two refractors plus noise.
struct FBSynthOptions
{
    qint64 records = 1000000;
    quint64 seed = 1;
    double errorShare = 0.05;          // picks with class codes 2 and above
    double negativeClassShare = 0.001; // correct picks with negative class codes
    int maxOffset = 3000;              // receivers reach this far on both sides, metres

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
};
