#include "FBPickDetails.h"

#include "FBRecordScanner.h"

#include <limits>
#include <new>

void FBPickDetails::Chunk::encode(const FBPickBlock &block, int picks)
{
    count = picks;
    firstRecord = picks > 0 ? block.records[0] : 0;
    // A block's records lie within one block of the load, so its bits stay few.
    const qint64 span = picks > 0 ? qint64(block.records[picks - 1]) - firstRecord + 1 : 0;
    bits.assign(size_t((span + 63) / 64), 0);
    bool small = true;
    for (int i = 0; i < picks; ++i) {
        const qint64 bit = qint64(block.records[i]) - firstRecord;
        bits[size_t(bit / 64)] |= quint64(1) << (bit % 64);
        small = small && block.classes[i] >= std::numeric_limits<qint8>::min() &&
                block.classes[i] <= std::numeric_limits<qint8>::max();
    }
    smallClasses.clear();
    classes.clear();
    if (small)
        smallClasses.assign(block.classes.get(), block.classes.get() + picks);
    else
        classes.assign(block.classes.get(), block.classes.get() + picks);
}

void FBPickDetails::Chunk::decode(FBPickBlock &block) const
{
    block.count = count;
    int i = 0;
    for (size_t word = 0; word < bits.size() && i < count; ++word) {
        for (quint64 rest = bits[word]; rest != 0 && i < count; rest &= rest - 1)
            block.records[i++] = firstRecord + int(word * 64) + __builtin_ctzll(rest);
    }
    for (i = 0; i < count; ++i)
        block.classes[i] = smallClasses.empty() ? classes[size_t(i)] : smallClasses[size_t(i)];
}

qint64 FBPickDetails::Chunk::bytes() const
{
    return qint64(bits.size() * sizeof(quint64) + smallClasses.size() +
                  classes.size() * sizeof(qint32));
}

void FBPickDetails::reserve(qint64 records)
{
    // A bit per record and a byte per pick at most, as the common codes take.
    for (qint64 bytes = records / 8 + records; bytes >= 4096; bytes /= 2) {
        if (m_grant.extend(bytes))
            return;
    }
}

bool FBPickDetails::append(Chunk &chunk)
{
    // Memory is asked for in slices: each asking reads the machine's limits afresh.
    constexpr qint64 SliceBytes = 4 << 20;
    const qint64 bytes = chunk.bytes();
    if (!m_refused && m_used + bytes > m_grant.bytes() &&
        !m_grant.extend(qMax(bytes, SliceBytes)) && !m_grant.extend(bytes))
        m_refused = true;
    if (m_refused)
        return false;
    m_used += bytes;
    chunk.firstPick = m_picks;
    try {
        m_chunks.push_back(std::move(chunk));
    } catch (const std::bad_alloc &) {
        m_refused = true;
        return false;
    }
    m_picks += m_chunks.back().count;
    chunk = Chunk();
    return true;
}

void FBPickDetails::truncate(qint64 picks)
{
    while (!m_chunks.empty() && m_chunks.back().firstPick >= picks)
        m_chunks.pop_back();
    if (!m_chunks.empty())
        m_chunks.back().count =
            int(qMin<qint64>(m_chunks.back().count, picks - m_chunks.back().firstPick));
    m_picks = m_chunks.empty() ? 0 : m_chunks.back().firstPick + m_chunks.back().count;
}
