#pragma once

#include "MemoryAdmission.h"

#include <QtGlobal>
#include <vector>

struct FBPickBlock;

// The record index and class code of each stored pick of one load, kept compactly beside the
// picks (about 9 bits a pick instead of 64), so that a reader can name the records of picks it
// judges later without reading the file again. One chunk per block of the load: the first pick's
// record and a bit per record from there on, set where a stored pick lies, and the class codes in
// a byte each, or in four for a block whose codes do not all fit in one.
class FBPickDetails
{
public:
    struct Chunk
    {
        qint64 firstPick = 0; // among the stored picks
        int count = 0;        // picks
        int firstRecord = 0;  // the first pick's record index
        std::vector<quint64> bits;
        std::vector<qint8> smallClasses; // when every code fits
        std::vector<qint32> classes;     // otherwise

        // Keeps the first count picks of block (which carries records and classes).
        void encode(const FBPickBlock &block, int count);
        // Writes the chunk's records and classes into block, count of them.
        void decode(FBPickBlock &block) const;
        qint64 bytes() const;
    };

    // Asks for the memory of the details of up to records records at once, or for as much of it
    // as there is, before the picks take what they find.
    void reserve(qint64 records);
    // Takes over a chunk of the next picks; false, and nothing kept, when memory refuses it.
    // Nothing is kept after a refusal, so the chunks always hold the first picks.
    bool append(Chunk &chunk);
    // Keeps the details of the first picks only, such as those that a store found room for.
    void truncate(qint64 picks);
    int chunkCount() const { return int(m_chunks.size()); }
    const Chunk &chunk(int k) const { return m_chunks[size_t(k)]; }
    // The picks whose details are kept: the first ones stored.
    qint64 pickCount() const { return m_picks; }

private:
    std::vector<Chunk> m_chunks;
    qint64 m_picks = 0;
    qint64 m_used = 0; // bytes of the grant that the chunks take
    bool m_refused = false;
    MemoryAdmission::Grant m_grant;
};
