#pragma once

// Deterministic damage to a database file's bytes: the same file, seed and case number
// always give the same copy, so a case a campaign found can be made again by a test.
#include <QByteArray>
#include <QList>
#include <QtGlobal>

#include <algorithm>
#include <cstring>

namespace damage {

// splitmix64: fixed across compilers and libraries, unlike the standard distributions.
class cRandom {
public:
    explicit cRandom(quint64 seed) : m_state(seed) {}
    quint64 Next()
    {
        quint64 z = (m_state += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
    // 0 … bound − 1 (0 when bound is 0).
    qint64 Below(qint64 bound) { return bound <= 0 ? 0 : qint64(Next() % quint64(bound)); }

private:
    quint64 m_state;
};

enum class Kind { Access, Sqlite };

inline int PageSize(const QByteArray& file, Kind kind)
{
    if (kind == Kind::Access) // Jet 3 pages are 2 KiB, Jet 4 and ACE 4 KiB
        return file.size() > 0x14 && file[0x14] == 0 ? 2048 : 4096;
    if (file.size() < 18)
        return 4096;
    const int size = (quint8(file[16]) << 8) | quint8(file[17]);
    return size == 1 ? 65536 : size >= 512 ? size : 4096;
}

inline void PutLe(QByteArray& bytes, qint64 at, quint32 value, int width)
{
    for (int i = 0; i < width && at + i < bytes.size(); ++i)
        bytes[at + i] = char((value >> (8 * i)) & 0xFF);
}

// One damaged copy. Kinds take turns: truncation, bit flips (most in the first pages, where
// the structures are), pages copied over others (chains that loop or repeat), huge lengths
// and counts, and for SQLite the 100-byte header and the schema's text.
inline QByteArray Damage(const QByteArray& original, Kind kind, quint64 seed, qint64 index)
{
    cRandom random(seed * 0x100000001B3ull + quint64(index));
    QByteArray bytes = original;
    const int page = PageSize(original, kind);
    const qint64 pages = qMax<qint64>(1, bytes.size() / page);
    auto flip = [&](qint64 firstPages) {
        const qint64 span = qMin<qint64>(bytes.size(), firstPages * page);
        const qint64 at = random.Below(span);
        bytes[at] = char(bytes[at] ^ char(1 << random.Below(8)));
    };
    auto copyPage = [&] {
        const qint64 from = random.Below(pages), to = random.Below(pages);
        if (from != to && (to + 1) * page <= bytes.size())
            std::memmove(bytes.data() + to * page, original.constData() + from * page, size_t(page));
    };
    auto huge = [&] {
        static const quint32 values[] = {0xFFFFFFFFu, 0x7FFFFFFFu, 0x80000000u, 0x3FFFFFFFu, 0xFFFFu, 0x7FFFu, 0x8000u};
        const quint32 value = random.Below(4) == 0 ? quint32(random.Next()) : values[random.Below(7)];
        const qint64 inPages = random.Below(2) == 0 ? qMin<qint64>(pages, 16) : pages;
        const qint64 at = random.Below(qMin<qint64>(bytes.size(), inPages * page)) & ~qint64(1);
        PutLe(bytes, at, value, random.Below(2) == 0 ? 2 : 4);
    };
    const int kinds = kind == Kind::Sqlite ? 7 : 5;
    switch (index % kinds) {
    case 0: {
        const qint64 at = random.Below(2) == 0 ? random.Below(pages + 1) * page + random.Below(65) - 32
                                               : random.Below(bytes.size());
        bytes.truncate(std::clamp<qint64>(at, 0, bytes.size()));
        break;
    }
    case 1:
        for (qint64 n = 1 + random.Below(16); n > 0; --n)
            flip(random.Below(2) == 0 ? 16 : pages);
        break;
    case 2:
        for (qint64 n = 1 + random.Below(3); n > 0; --n)
            copyPage();
        break;
    case 3:
        for (qint64 n = 1 + random.Below(4); n > 0; --n)
            huge();
        break;
    case 4:
        copyPage();
        for (qint64 n = 1 + random.Below(8); n > 0; --n)
            flip(pages);
        break;
    case 5: // the SQLite header: page size, counts, schema cookie, encoding
        for (qint64 n = 1 + random.Below(4); n > 0; --n) {
            const qint64 at = 16 + random.Below(84);
            if (at < bytes.size())
                bytes[at] = char(random.Next());
        }
        break;
    default: { // the schema's SQL text, where a name or a keyword changes
        QList<qint64> statements;
        for (qint64 at = bytes.indexOf("CREATE "); at >= 0; at = bytes.indexOf("CREATE ", at + 1))
            statements << at;
        if (statements.isEmpty()) {
            flip(1);
            break;
        }
        const qint64 at = statements[random.Below(statements.size())] + random.Below(80);
        if (at < bytes.size())
            bytes[at] = "(),' \"x0;["[random.Below(11)];
        break;
    }
    }
    return bytes;
}

} // namespace damage
