#pragma once

#include "FBHeader.h"

#include <QtEndian>
#include <cstring>

// One 84-byte pick record of an FB file. Only three fields carry meaning; the other bytes are
// present and never interpreted. All fields are little-endian.
struct FBRecord
{
    static constexpr int Size = 84;
    static constexpr int OffsetPos = 8; // int32, metres, signed
    static constexpr int TimePos = 60;  // float32, milliseconds
    static constexpr int ClassPos = 64; // int32; below FirstErrorClass is a correct pick
    static constexpr qint32 FirstErrorClass = 2;

    // Byte position of record index in the file, in 64-bit arithmetic.
    static constexpr qint64 position(qint64 index) { return FBHeader::Size + Size * index; }

    static qint32 offset(const char *record) { return readInt(record + OffsetPos); }
    static qint32 fbClass(const char *record) { return readInt(record + ClassPos); }
    static float fbTime(const char *record)
    {
        const quint32 bits = qFromLittleEndian<quint32>(record + TimePos);
        float value;
        std::memcpy(&value, &bits, sizeof value);
        return value;
    }
    // Class codes are signed: negative codes count as correct picks.
    static bool isErrorClass(qint32 code) { return code >= FirstErrorClass; }

    static void setOffset(char *record, qint32 value) { writeInt(record + OffsetPos, value); }
    static void setFbClass(char *record, qint32 value) { writeInt(record + ClassPos, value); }
    static void setFbTime(char *record, float value)
    {
        quint32 bits;
        std::memcpy(&bits, &value, sizeof bits);
        qToLittleEndian<quint32>(bits, record + TimePos);
    }

private:
    static qint32 readInt(const char *p) { return qFromLittleEndian<qint32>(p); }
    static void writeInt(char *p, qint32 value) { qToLittleEndian<qint32>(value, p); }
};
