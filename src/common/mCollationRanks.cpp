#include "mCollationRanks.h"

#include "cWorkControl.h"

#include <unicode/ucol.h>

#include <QThread>

#include <algorithm>
#include <cstring>
#include <functional>
#include <memory>
#include <thread>

namespace {

struct CollatorCloser {
    void operator()(UCollator* collator) const { ucol_close(collator); }
};
using Collator = std::unique_ptr<UCollator, CollatorCloser>;

// Keys of one share of the texts, one after another in one block.
struct KeyBlock {
    std::vector<uint8_t> Bytes;
    std::vector<uint32_t> Ends; // the end of each key in Bytes
};

// One key as the sort sees it: its first sixteen bytes as two numbers decide most
// comparisons; names that share their first letters differ soon after.
struct Entry {
    quint64 Prefix;
    quint64 Next;
    const uint8_t* Rest;
    quint32 RestSize;
    qint32 Text;
};

bool Before(const Entry& a, const Entry& b)
{
    if (a.Prefix != b.Prefix)
        return a.Prefix < b.Prefix;
    if (a.Next != b.Next)
        return a.Next < b.Next;
    const int order = std::memcmp(a.Rest, b.Rest, std::min(a.RestSize, b.RestSize));
    return order != 0 ? order < 0 : a.RestSize < b.RestSize;
}

bool Same(const Entry& a, const Entry& b)
{
    return a.Prefix == b.Prefix && a.Next == b.Next && a.RestSize == b.RestSize
           && std::memcmp(a.Rest, b.Rest, a.RestSize) == 0;
}

// Bytes from of a key as a big-endian number, zeros past its end.
quint64 Word(const uint8_t* key, quint32 size, quint32 from)
{
    quint64 word = 0;
    for (quint32 i = from; i < from + 8; ++i)
        word = (word << 8) | (i < size ? key[i] : 0);
    return word;
}

bool MakeKeys(UCollator* collator, const QStringList& texts, qsizetype from, qsizetype to, KeyBlock& block,
              cWorkControl* control)
{
    block.Ends.reserve(size_t(to - from));
    block.Bytes.reserve(size_t(to - from) * 24);
    std::vector<uint8_t> buffer(256);
    for (qsizetype i = from; i < to; ++i) {
        if (control && (i & 4095) == 0 && control->StopRequested())
            return false;
        const QString& text = texts[i];
        const auto* units = reinterpret_cast<const UChar*>(text.utf16());
        int size = ucol_getSortKey(collator, units, int(text.size()), buffer.data(), int(buffer.size()));
        if (size > int(buffer.size())) {
            buffer.resize(size_t(size));
            size = ucol_getSortKey(collator, units, int(text.size()), buffer.data(), int(buffer.size()));
        }
        // The key ends with a zero byte that every key shares; it is left out.
        const size_t length = size > 0 ? size_t(size - 1) : 0;
        block.Bytes.insert(block.Bytes.end(), buffer.data(), buffer.data() + length);
        block.Ends.push_back(quint32(block.Bytes.size()));
    }
    return true;
}

// Runs share 0 … shares − 1 at once, the last on this thread, and waits for all.
void InShares(int shares, const std::function<void(int share)>& run)
{
    std::vector<std::thread> threads;
    for (int share = 0; share + 1 < shares; ++share)
        threads.emplace_back(run, share);
    run(shares - 1);
    for (std::thread& thread : threads)
        thread.join();
}

} // namespace

std::vector<qint32> CollationRanks(const QStringList& texts, const QLocale& locale, qint32* rankCount,
                                   cWorkControl* control)
{
    *rankCount = 0;
    const qsizetype count = texts.size();
    if (count == 0)
        return {};
    UErrorCode status = U_ZERO_ERROR;
    Collator collator(ucol_open(locale.name().toLatin1().constData(), &status));
    if (U_FAILURE(status))
        collator.reset(ucol_open("", &(status = U_ZERO_ERROR)));

    // Keys made on every core, each with a collator of its own.
    const int shares = count < 20000 ? 1 : std::clamp(QThread::idealThreadCount(), 1, 8);
    std::vector<KeyBlock> blocks(static_cast<size_t>(shares));
    std::vector<Collator> collators;
    for (int share = 1; share < shares; ++share) {
        status = U_ZERO_ERROR;
        collators.emplace_back(ucol_clone(collator.get(), &status));
    }
    std::vector<char> finished(static_cast<size_t>(shares), 0);
    InShares(shares, [&](int share) {
        UCollator* own = share == 0 ? collator.get() : collators[size_t(share) - 1].get();
        finished[size_t(share)] = MakeKeys(own, texts, count * share / shares, count * (share + 1) / shares,
                                           blocks[size_t(share)], control);
    });
    if (std::find(finished.begin(), finished.end(), 0) != finished.end())
        return {};

    std::vector<Entry> entries;
    entries.reserve(size_t(count));
    for (int share = 0; share < shares; ++share) {
        const KeyBlock& block = blocks[size_t(share)];
        quint32 start = 0;
        qint32 text = qint32(count * share / shares);
        for (const quint32 end : block.Ends) {
            const uint8_t* key = block.Bytes.data() + start;
            const quint32 size = end - start;
            const quint32 head = std::min<quint32>(size, 16);
            entries.push_back({Word(key, size, 0), Word(key, size, 8), key + head, size - head, text++});
            start = end;
        }
    }
    if (control && control->StopRequested())
        return {};

    // Sorted in shares too, then merged.
    std::vector<qsizetype> bounds;
    for (int share = 0; share <= shares; ++share)
        bounds.push_back(qsizetype(entries.size()) * share / shares);
    InShares(shares, [&](int share) {
        std::sort(entries.begin() + bounds[size_t(share)], entries.begin() + bounds[size_t(share) + 1], Before);
    });
    for (int share = 1; share < shares; ++share)
        std::inplace_merge(entries.begin(), entries.begin() + bounds[size_t(share)],
                           entries.begin() + bounds[size_t(share) + 1], Before);

    std::vector<qint32> ranks(static_cast<size_t>(count));
    qint32 rank = 0;
    for (size_t i = 0; i < entries.size(); ++i) {
        if (i > 0 && !Same(entries[i - 1], entries[i]))
            ++rank;
        ranks[size_t(entries[i].Text)] = rank;
    }
    *rankCount = rank + 1;
    return ranks;
}
