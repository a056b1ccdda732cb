#include "FBHeader.h"

#include <QIODevice>
#include <QtEndian>

namespace {

// Reads one little-endian word at the device's position; whatever the device does not
// deliver stays zero, so a short read leaves the missing bytes (and a missing word) as 0.
qint32 readWord(QIODevice &device)
{
    uchar bytes[4] = {0, 0, 0, 0};
    device.read(reinterpret_cast<char *>(bytes), sizeof bytes);
    return qFromLittleEndian<qint32>(bytes);
}

} // namespace

FBHeader FBHeader::read(QIODevice &device)
{
    FBHeader header;
    // A pipe cannot seek: its header is what it delivers first.
    if (!device.isSequential() && !device.seek(0))
        return header;
    header.recordCount = readWord(device);
    header.word1 = readWord(device);
    header.offsetLow = readWord(device);
    header.offsetHigh = readWord(device);
    return header;
}

void FBHeader::write(char *bytes) const
{
    qToLittleEndian<qint32>(recordCount, bytes);
    qToLittleEndian<qint32>(word1, bytes + 4);
    qToLittleEndian<qint32>(offsetLow, bytes + 8);
    qToLittleEndian<qint32>(offsetHigh, bytes + 12);
}
