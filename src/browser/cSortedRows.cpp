#include "cSortedRows.h"

#include <algorithm>
#include <numeric>

namespace {

// Rows a block holds after Assign; one holding twice as many splits.
constexpr size_t kBlockRows = 2048;
static_assert(2 * kBlockRows < 65536, "a place in a block is kept in 16 bits");

qint64 LowBit(qint64 i)
{
    return i & -i;
}

} // namespace

void cSortedRows::Clear()
{
    m_blocks.clear();
    m_order.clear();
    m_starts.clear();
    m_orderOf.clear();
    m_blockOf.clear();
    m_offsetOf.clear();
    m_live.clear();
    m_size = 0;
    m_removed = 0;
}

void cSortedRows::Assign(std::vector<qint32> rowToBase)
{
    Clear();
    const size_t count = rowToBase.size();
    m_size = qint64(count);
    m_blockOf.resize(count);
    m_offsetOf.resize(count);
    for (size_t first = 0; first < count; first += kBlockRows) {
        const size_t last = std::min(first + kBlockRows, count);
        const qint32 number = qint32(m_blocks.size());
        std::vector<qint32> block(rowToBase.begin() + std::ptrdiff_t(first), rowToBase.begin() + std::ptrdiff_t(last));
        for (size_t i = 0; i < block.size(); ++i) {
            m_blockOf[size_t(block[i])] = number;
            m_offsetOf[size_t(block[i])] = quint16(i);
        }
        m_blocks.push_back(std::move(block));
        m_order.push_back(number);
        m_orderOf.push_back(number);
        m_starts.push_back(qint64(first));
    }
    // Every id live: each node counts the ids it covers.
    m_live.resize(count + 1);
    for (size_t i = 1; i <= count; ++i)
        m_live[i] = qint32(LowBit(qint64(i)));
}

size_t cSortedRows::BlockAt(qint64 row) const
{
    if (m_order.size() == 1)
        return 0;
    return size_t(std::upper_bound(m_starts.begin(), m_starts.end(), row) - m_starts.begin()) - 1;
}

qint64 cSortedRows::IdOfRow(qint64 row) const
{
    const size_t at = BlockAt(row);
    return m_blocks[size_t(m_order[at])][size_t(row - m_starts[at])];
}

qint64 cSortedRows::RowOfId(qint64 id) const
{
    return m_starts[size_t(m_orderOf[size_t(m_blockOf[size_t(id)])])] + m_offsetOf[size_t(id)];
}

qint64 cSortedRows::LiveBefore(qint64 id) const
{
    qint64 sum = 0;
    for (qint64 i = id; i > 0; i -= LowBit(i))
        sum += m_live[size_t(i)];
    return sum;
}

qint64 cSortedRows::LiveAt(qint64 base) const
{
    const qint64 count = qint64(m_live.size()) - 1;
    qint64 step = 1;
    while (step * 2 <= count)
        step *= 2;
    qint64 position = 0;
    qint64 left = base + 1;
    for (; step > 0; step /= 2) {
        if (position + step <= count && m_live[size_t(position + step)] < left) {
            position += step;
            left -= m_live[size_t(position)];
        }
    }
    return position; // the id after `position` ids holding base live ones
}

qint64 cSortedRows::BaseOfRow(qint64 row) const
{
    if (row < 0 || row >= m_size)
        return -1;
    const qint64 id = IdOfRow(row);
    return m_removed == 0 ? id : LiveBefore(id);
}

qint64 cSortedRows::RowOfBase(qint64 base) const
{
    if (base < 0 || base >= m_size)
        return -1;
    return RowOfId(m_removed == 0 ? base : LiveAt(base));
}

void cSortedRows::Renumber(size_t from)
{
    for (size_t i = from; i < m_order.size(); ++i)
        m_orderOf[size_t(m_order[i])] = qint32(i);
}

void cSortedRows::Insert(qint64 row)
{
    const qint64 id = qint64(m_blockOf.size());
    // The new id joins the tree, live: its node covers the ids below it that LowBit spans.
    const qint64 node = id + 1;
    m_live.resize(size_t(node) + 1);
    m_live[size_t(node)] = qint32(1 + LiveBefore(node - 1) - LiveBefore(node - LowBit(node)));
    if (m_order.empty()) {
        m_blocks.push_back({qint32(id)});
        m_order.push_back(qint32(m_blocks.size() - 1));
        m_orderOf.resize(m_blocks.size());
        Renumber(0);
        m_starts.push_back(0);
        m_blockOf.push_back(m_order.back());
        m_offsetOf.push_back(0);
        ++m_size;
        return;
    }
    row = std::clamp<qint64>(row, 0, m_size);
    const size_t at = row == m_size ? m_order.size() - 1 : BlockAt(row);
    std::vector<qint32>& block = m_blocks[size_t(m_order[at])];
    const size_t local = size_t(row - m_starts[at]);
    block.insert(block.begin() + std::ptrdiff_t(local), qint32(id));
    m_blockOf.push_back(m_order[at]);
    m_offsetOf.push_back(0);
    for (size_t i = local; i < block.size(); ++i)
        m_offsetOf[size_t(block[i])] = quint16(i);
    for (size_t i = at + 1; i < m_starts.size(); ++i)
        ++m_starts[i];
    ++m_size;
    if (block.size() > 2 * kBlockRows)
        Split(at);
}

void cSortedRows::Split(size_t at)
{
    const qint32 number = m_order[at];
    const size_t half = m_blocks[size_t(number)].size() / 2;
    std::vector<qint32> tail(m_blocks[size_t(number)].begin() + std::ptrdiff_t(half), m_blocks[size_t(number)].end());
    m_blocks[size_t(number)].resize(half);
    const qint32 added = qint32(m_blocks.size());
    for (size_t i = 0; i < tail.size(); ++i) {
        m_blockOf[size_t(tail[i])] = added;
        m_offsetOf[size_t(tail[i])] = quint16(i);
    }
    m_blocks.push_back(std::move(tail));
    m_order.insert(m_order.begin() + std::ptrdiff_t(at) + 1, added);
    m_starts.insert(m_starts.begin() + std::ptrdiff_t(at) + 1, m_starts[at] + qint64(half));
    m_orderOf.resize(m_blocks.size());
    Renumber(at + 1);
}

void cSortedRows::RemoveRow(qint64 row)
{
    if (row < 0 || row >= m_size)
        return;
    const size_t at = BlockAt(row);
    const qint32 number = m_order[at];
    std::vector<qint32>& block = m_blocks[size_t(number)];
    const size_t local = size_t(row - m_starts[at]);
    const qint64 id = block[local];
    block.erase(block.begin() + std::ptrdiff_t(local));
    for (size_t i = local; i < block.size(); ++i)
        m_offsetOf[size_t(block[i])] = quint16(i);
    for (size_t i = at + 1; i < m_starts.size(); ++i)
        --m_starts[i];
    for (qint64 i = id + 1; i < qint64(m_live.size()); i += LowBit(i))
        --m_live[size_t(i)];
    ++m_removed;
    --m_size;
    if (block.empty()) {
        m_order.erase(m_order.begin() + std::ptrdiff_t(at));
        m_starts.erase(m_starts.begin() + std::ptrdiff_t(at));
        Renumber(at);
    }
}

std::vector<qint32> cSortedRows::RowToBase() const
{
    std::vector<qint32> bases;
    bases.reserve(size_t(m_size));
    Walk(0, m_size, [&bases](qint64, qint64 base) {
        bases.push_back(qint32(base));
        return true;
    });
    return bases;
}
