#pragma once

#include <QtGlobal>

class QIODevice;

// The 16-byte header at the start of every FB file (.cal, .fb, .fit): four little-endian
// 32-bit signed words.
struct FBHeader
{
    static constexpr int Size = 16;

    qint32 recordCount = 0; // records that follow the header
    qint32 word1 = 0;       // present, never interpreted
    qint32 offsetLow = 0;   // inclusive lower end of the absolute offsets, metres
    qint32 offsetHigh = 0;  // exclusive upper end

    // Reads the four words from byte 0 of an open device, or from where a sequential device
    // (a pipe) stands. A word the device cannot supply stays 0, so a short or unreadable file
    // reads as a header of zeros where it ends.
    static FBHeader read(QIODevice &device);

    // A header is legal when its offset range is a non-empty range of non-negative offsets.
    bool isLegal() const { return offsetLow >= 0 && offsetLow < offsetHigh; }

    // The header's 16 bytes, little-endian, for writers of synthetic files.
    void write(char *bytes) const;
};
