#include "cSortedRows.h"

#include <algorithm>
#include <bit>
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
    m_liveBits.clear();
    m_liveWords.clear();
    m_size = 0;
    m_removed = 0;
}

void cSortedRows::Assign(std::vector<qint32> rowToBase)
{
    Clear();
    const size_t count = rowToBase.size();
    m_size = qint64(count);
    // Room to add rows without copying the lists on the window's thread; made here, which
    // a sort runs on its worker.
    const size_t room = count + count / 8 + 1024;
    m_blockOf.reserve(room);
    m_offsetOf.reserve(room);
    m_liveBits.reserve(room / 64 + 1);
    m_liveWords.reserve(room / 64 + 2);
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
    // Every id live: full words, the last one in part; each node counts the words it covers.
    const size_t words = (count + 63) / 64;
    m_liveBits.assign(words, ~quint64(0));
    if (count % 64 != 0)
        m_liveBits.back() = (quint64(1) << (count % 64)) - 1;
    m_liveWords.assign(words + 1, 0);
    for (size_t i = 1; i <= words; ++i) {
        m_liveWords[i] += qint32(std::popcount(m_liveBits[i - 1]));
        if (const size_t parent = i + size_t(LowBit(qint64(i))); parent <= words)
            m_liveWords[parent] += m_liveWords[i];
    }
}

void cSortedRows::AddLive(size_t word, qint64 change)
{
    for (size_t i = word + 1; i < m_liveWords.size(); i += size_t(LowBit(qint64(i))))
        m_liveWords[i] += qint32(change);
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
    const size_t word = size_t(id) / 64;
    qint64 sum = 0;
    for (size_t i = word; i > 0; i -= size_t(LowBit(qint64(i))))
        sum += m_liveWords[i];
    if (const int bit = int(id % 64); bit > 0)
        sum += std::popcount(m_liveBits[word] & ((quint64(1) << bit) - 1));
    return sum;
}

qint64 cSortedRows::LiveAt(qint64 base) const
{
    // The word holding it: the last one with at most base live ids before it.
    const size_t words = m_liveWords.size() - 1;
    size_t step = 1;
    while (step * 2 <= words)
        step *= 2;
    size_t word = 0;
    qint64 left = base;
    for (; step > 0; step /= 2) {
        if (word + step <= words && m_liveWords[word + step] <= left) {
            word += step;
            left -= m_liveWords[word];
        }
    }
    // Then the bit: the live ids of the word in order, `left` of them passed over.
    quint64 bits = m_liveBits[word];
    for (; left > 0; --left)
        bits &= bits - 1;
    return qint64(word) * 64 + std::countr_zero(bits);
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
    const size_t word = size_t(id) / 64;
    if (word == m_liveBits.size()) {
        // A new word joins the tree empty: its node covers the words below it that LowBit spans.
        m_liveBits.push_back(0);
        const qint64 node = qint64(m_liveBits.size());
        qint64 covered = 0;
        for (qint64 i = node - 1; i > node - LowBit(node); i -= LowBit(i))
            covered += m_liveWords[size_t(i)];
        m_liveWords.push_back(qint32(covered));
    }
    m_liveBits[word] |= quint64(1) << (id % 64);
    AddLive(word, 1);
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
    m_liveBits[size_t(id) / 64] &= ~(quint64(1) << (id % 64));
    AddLive(size_t(id) / 64, -1);
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
