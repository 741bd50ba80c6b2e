#pragma once

// SQLite's values as they come from a statement, and as the engine's field values; the
// distinct raw values of a column. Reads a statement's current row only: no SQL here.

#include <QVariant>

#include <sqlite3.h>

#include <algorithm>
#include <cstring>
#include <vector>

// A value as SQLite hands it out, before it becomes the field's value.
struct RawValue {
    int Kind = SQLITE_NULL;
    qint64 Integer = 0;
    double Real = 0;
    const unsigned char* Bytes = nullptr;
    int Size = 0;
};

RawValue RawOf(sqlite3_stmt* statement, int column);
// The value a field of that Jet type has for a raw value.
QVariant ValueOf(const RawValue& raw, int type);
QVariant ReadValue(sqlite3_stmt* statement, int column, int type);

// A quick hash of a few bytes: the values of one column are hashed a million times.
quint64 HashBytes(const char* bytes, size_t size, quint64 seed);

// Raw values seen once each, by their kind and bytes, in one block of memory: a column of
// a million records often holds few distinct values, and hashing bytes is cheaper than
// making a value of each. A column that turns out to hold mostly distinct values is no
// longer looked up: each record then simply gets an entry of its own.
class cDistinctRaw {
public:
    // Grows as values come: a column of few values never touches more than a few slots.
    explicit cDistinctRaw(qint64 expected)
    {
        m_slots.assign(1024, 0);
        m_entries.reserve(size_t(std::min<qint64>(expected, 1024)));
    }

    qint32 Add(const RawValue& raw)
    {
        char head[9];
        head[0] = char(raw.Kind);
        size_t headSize = 1;
        const char* tail = nullptr;
        size_t tailSize = 0;
        if (raw.Kind == SQLITE_INTEGER || raw.Kind == SQLITE_FLOAT) {
            std::memcpy(head + 1, raw.Kind == SQLITE_INTEGER ? static_cast<const void*>(&raw.Integer)
                                                            : static_cast<const void*>(&raw.Real), 8);
            headSize = 9;
        } else if (raw.Kind == SQLITE_TEXT || raw.Kind == SQLITE_BLOB) {
            tail = reinterpret_cast<const char*>(raw.Bytes);
            tailSize = size_t(raw.Size);
        }
        if (!m_lookUp)
            return Append(head, headSize, tail, tailSize);
        // Mostly distinct after a good sample: looking up would only cost.
        if (++m_added == kSample && m_entries.size() * 10 > kSample * 9) {
            m_lookUp = false;
            m_slots = {};
            return Append(head, headSize, tail, tailSize);
        }
        const quint64 hash = Hash(head, headSize, tail, tailSize);
        const quint64 tag = hash >> 32;
        const size_t mask = m_slots.size() - 1;
        for (size_t slot = size_t(hash) & mask;; slot = (slot + 1) & mask) {
            const quint64 held = m_slots[slot];
            if (held == 0) {
                const qint32 added = Append(head, headSize, tail, tailSize);
                m_slots[slot] = (tag << 32) | quint64(added + 1);
                if (m_entries.size() * 2 > m_slots.size())
                    Grow();
                return added;
            }
            if ((held >> 32) != tag)
                continue;
            const qint32 entry = qint32(held & 0xFFFFFFFFu) - 1;
            const Entry& e = m_entries[size_t(entry)];
            if (e.Size == headSize + tailSize && std::memcmp(m_bytes.data() + e.Offset, head, headSize) == 0
                && (tailSize == 0 || std::memcmp(m_bytes.data() + e.Offset + headSize, tail, tailSize) == 0))
                return entry;
        }
    }

    qsizetype Count() const { return qsizetype(m_entries.size()); }

    RawValue At(qsizetype index) const
    {
        const Entry& e = m_entries[size_t(index)];
        const char* bytes = m_bytes.data() + e.Offset;
        RawValue raw;
        raw.Kind = bytes[0];
        if (raw.Kind == SQLITE_INTEGER)
            std::memcpy(&raw.Integer, bytes + 1, 8);
        else if (raw.Kind == SQLITE_FLOAT)
            std::memcpy(&raw.Real, bytes + 1, 8);
        else if (raw.Kind == SQLITE_TEXT || raw.Kind == SQLITE_BLOB) {
            raw.Bytes = reinterpret_cast<const unsigned char*>(bytes + 1);
            raw.Size = int(e.Size - 1);
        }
        return raw;
    }

private:
    static constexpr size_t kSample = 65536;

    // The kind seeds the hash; a number's eight bytes or a text's bytes follow.
    static quint64 Hash(const char* head, size_t headSize, const char* tail, size_t tailSize)
    {
        return headSize > 1 ? HashBytes(head + 1, headSize - 1, quint64(head[0]))
                            : HashBytes(tail, tailSize, quint64(head[0]));
    }

    struct Entry {
        size_t Offset;
        size_t Size;
    };

    qint32 Append(const char* head, size_t headSize, const char* tail, size_t tailSize)
    {
        m_entries.push_back({m_bytes.size(), headSize + tailSize});
        m_bytes.insert(m_bytes.end(), head, head + headSize);
        if (tailSize > 0)
            m_bytes.insert(m_bytes.end(), tail, tail + tailSize);
        return qint32(m_entries.size() - 1);
    }

    void Grow()
    {
        std::vector<quint64> table(m_slots.size() * 2, 0);
        const size_t mask = table.size() - 1;
        for (const quint64 held : m_slots) {
            if (held == 0)
                continue;
            const Entry& e = m_entries[size_t(held & 0xFFFFFFFFu) - 1];
            const size_t headSize = (m_bytes[e.Offset] == SQLITE_INTEGER || m_bytes[e.Offset] == SQLITE_FLOAT) ? 9 : 1;
            const quint64 hash = Hash(m_bytes.data() + e.Offset, headSize, m_bytes.data() + e.Offset + headSize,
                                      e.Size - headSize);
            size_t slot = size_t(hash) & mask;
            while (table[slot] != 0)
                slot = (slot + 1) & mask;
            table[slot] = held;
        }
        m_slots = std::move(table);
    }

    std::vector<quint64> m_slots; // the hash's upper half, and the entry + 1; 0 for none
    std::vector<Entry> m_entries;
    std::vector<char> m_bytes;
    bool m_lookUp = true;
    size_t m_added = 0;
};
