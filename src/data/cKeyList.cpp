#include "cKeyList.h"

#include <algorithm>

namespace {

// Pieces beyond which a deletion joins them into one array again (once per this many
// deletions in the middle at most).
constexpr size_t kMostPieces = 1024;

} // namespace

cKeyList::cKeyList(std::vector<qint64> keys)
{
    m_size = keys.size();
    if (m_size == 0)
        return;
    m_pieces.push_back({std::make_shared<std::vector<qint64>>(std::move(keys)), 0, m_size});
    m_starts.push_back(0);
}

size_t cKeyList::PieceOf(size_t position) const
{
    if (m_pieces.size() == 1)
        return 0;
    return size_t(std::upper_bound(m_starts.begin(), m_starts.end(), position) - m_starts.begin()) - 1;
}

qint64 cKeyList::operator[](size_t position) const
{
    const size_t piece = PieceOf(position);
    const Piece& at = m_pieces[piece];
    return (*at.Keys)[at.Offset + position - m_starts[piece]];
}

void cKeyList::push_back(qint64 key)
{
    if (!m_pieces.empty()) {
        Piece& last = m_pieces.back();
        // The last piece's array grows in place where no other piece shares it.
        if (last.Keys.use_count() == 1) {
            last.Keys->resize(last.Offset + last.Length);
            last.Keys->push_back(key);
            ++last.Length;
            ++m_size;
            return;
        }
    }
    m_pieces.push_back({std::make_shared<std::vector<qint64>>(1, key), 0, 1});
    m_starts.push_back(m_size);
    ++m_size;
}

void cKeyList::erase(size_t position)
{
    if (position >= m_size)
        return;
    const size_t index = PieceOf(position);
    Piece& piece = m_pieces[index];
    const size_t local = position - m_starts[index];
    if (local == 0) {
        ++piece.Offset;
        --piece.Length;
    } else if (local + 1 == piece.Length) {
        --piece.Length;
    } else {
        Piece after{piece.Keys, piece.Offset + local + 1, piece.Length - local - 1};
        piece.Length = local;
        m_pieces.insert(m_pieces.begin() + std::ptrdiff_t(index) + 1, std::move(after));
        m_starts.insert(m_starts.begin() + std::ptrdiff_t(index) + 1, 0);
    }
    if (m_pieces[index].Length == 0) {
        m_pieces.erase(m_pieces.begin() + std::ptrdiff_t(index));
        m_starts.erase(m_starts.begin() + std::ptrdiff_t(index));
    }
    --m_size;
    Restart(index);
    CompactIfScattered();
}

void cKeyList::Restart(size_t from)
{
    for (size_t i = from; i < m_pieces.size(); ++i)
        m_starts[i] = i == 0 ? 0 : m_starts[i - 1] + m_pieces[i - 1].Length;
}

void cKeyList::CompactIfScattered()
{
    if (m_pieces.size() > kMostPieces)
        *this = cKeyList(ToVector());
}

void cKeyList::clear()
{
    m_pieces.clear();
    m_starts.clear();
    m_size = 0;
}

std::vector<qint64> cKeyList::ToVector() const
{
    std::vector<qint64> keys;
    keys.reserve(m_size);
    for (const Piece& piece : m_pieces)
        keys.insert(keys.end(), piece.Keys->begin() + std::ptrdiff_t(piece.Offset),
                    piece.Keys->begin() + std::ptrdiff_t(piece.Offset + piece.Length));
    return keys;
}

qint64 cKeyList::FindAscending(qint64 key) const
{
    size_t low = 0;
    size_t high = m_size;
    while (low < high) {
        const size_t middle = low + (high - low) / 2;
        if ((*this)[middle] < key)
            low = middle + 1;
        else
            high = middle;
    }
    return low < m_size && (*this)[low] == key ? qint64(low) : -1;
}
