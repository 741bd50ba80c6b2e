#pragma once
//
// The grid's rows in a sorted order, by base row (the rows in the order they were added):
// which base each row shows and where each base stands. A row added or removed costs the
// same in a list of ten million as in one of ten thousand. No widgets.

#include <QtGlobal>

#include <algorithm>
#include <vector>

// The rows in blocks, each row a stable id: adding or removing one moves only its block's
// entries and the blocks' starts. Bases are ids renumbered past removed ones, counted by a
// bit a live id and a Fenwick tree of the live ids in each 64 of them.
class cSortedRows {
public:
    // rowToBase: a permutation of 0 … n − 1, the base of each row.
    void Assign(std::vector<qint32> rowToBase);
    void Clear();
    bool Empty() const { return m_size == 0; }
    qint64 Size() const { return m_size; }
    qint64 BaseOfRow(qint64 row) const;
    qint64 RowOfBase(qint64 base) const;
    // A new base, the next one (Size() before), shown at row.
    void Insert(qint64 row);
    // The row goes; every greater base is one less.
    void RemoveRow(qint64 row);
    std::vector<qint32> RowToBase() const;
    // visit(row, base) for the rows first … last − 1 in order, block by block, until it
    // returns false (then false).
    template <typename Visit>
    bool Walk(qint64 first, qint64 last, Visit visit) const
    {
        last = std::min(last, m_size);
        if (first < 0 || first >= last)
            return true;
        size_t at = BlockAt(first);
        size_t local = size_t(first - m_starts[at]);
        for (qint64 row = first; row < last; ++at, local = 0) {
            const std::vector<qint32>& block = m_blocks[size_t(m_order[at])];
            for (; local < block.size() && row < last; ++local, ++row) {
                const qint64 id = block[local];
                if (!visit(row, m_removed == 0 ? id : LiveBefore(id)))
                    return false;
            }
        }
        return true;
    }

private:
    qint64 IdOfRow(qint64 row) const;
    qint64 RowOfId(qint64 id) const;
    size_t BlockAt(qint64 row) const; // its index in m_order
    void Split(size_t at);
    void Renumber(size_t from); // m_orderOf of the blocks from order index on
    // Live ids before id; the id with base live ids before it.
    qint64 LiveBefore(qint64 id) const;
    qint64 LiveAt(qint64 base) const;
    void AddLive(size_t word, qint64 change);

    std::vector<std::vector<qint32>> m_blocks; // by block number
    std::vector<qint32> m_order;               // block numbers in row order
    std::vector<qint64> m_starts;              // the first row of each, by order index
    std::vector<qint32> m_orderOf;             // order index by block number
    std::vector<qint32> m_blockOf;             // by id
    std::vector<quint16> m_offsetOf;           // by id: its place in its block (blocks stay small)
    std::vector<quint64> m_liveBits;           // a bit an id
    std::vector<qint32> m_liveWords;           // the Fenwick tree of the bits' words, 1-based
    qint64 m_size = 0;
    qint64 m_removed = 0; // ids gone since Assign; none: a base is its id
};
