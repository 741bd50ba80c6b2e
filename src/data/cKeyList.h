#pragma once
//
// A record source's keys by position, kept in pieces of shared arrays: a record deleted in
// the middle of ten million splits a piece instead of moving every later key. No widgets.

#include <QtGlobal>

#include <memory>
#include <vector>

class cKeyList {
public:
    cKeyList() = default;
    // Adopts the keys without copying them.
    explicit cKeyList(std::vector<qint64> keys);

    size_t size() const { return m_size; }
    bool empty() const { return m_size == 0; }
    // Reads from several threads at once are safe; nothing is cached on a read.
    qint64 operator[](size_t position) const;
    qint64 front() const { return (*this)[0]; }
    qint64 back() const { return (*this)[m_size - 1]; }
    void push_back(qint64 key);
    void erase(size_t position);
    void clear();
    std::vector<qint64> ToVector() const;
    // In a list whose keys ascend: the position of key, or −1.
    qint64 FindAscending(qint64 key) const;

private:
    struct Piece {
        std::shared_ptr<std::vector<qint64>> Keys;
        size_t Offset = 0;
        size_t Length = 0;
    };
    size_t PieceOf(size_t position) const;
    void Restart(size_t from);
    // Many pieces make every read slower: they become one array again.
    void CompactIfScattered();

    std::vector<Piece> m_pieces;
    std::vector<size_t> m_starts; // the position of each piece's first key
    size_t m_size = 0;
};
