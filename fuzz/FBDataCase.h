#pragma once

#include <QByteArray>
#include <QString>

// One pass of the widget-free path over arbitrary bytes, shared by the fuzzer and by the
// regression test that replays what the fuzzer found. The input starts with ParameterBytes of
// load parameters, little-endian:
//   byte 0       class flags: 1 correct, 2 error, 4 all; 8 loads in blocks of 8 records
//   byte 1       an extra point size, beside 4 and 20
//   bytes 2..3   pick limit = 1 + value, so that the limit is reached often
//   bytes 4..7   minOffset
//   bytes 8..11  maxOffset
// and the rest is the FB file.
class FBDataCase
{
public:
    static constexpr int ParameterBytes = 12;

    // Header check, load, grid and matrices; returns the first broken invariant, or an empty
    // string when all hold.
    static QString run(const QByteArray &input);
};
