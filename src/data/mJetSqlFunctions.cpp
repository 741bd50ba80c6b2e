// Jet's functions as SQLite functions, registered on every connection. They run per row
// on large tables: nothing here may cost more per call than the value needs.

#include "mJetSql.h"

#include <QDate>
#include <QLocale>
#include <QRegularExpression>
#include <QString>

#include <sqlite3.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <vector>

// SQL functions. They run per row on large tables: text is walked as UTF-8 in place and
// the LIKE pattern is compiled once per statement.

namespace {

// Errors reach the engine as SQLite messages; JetFunctionError reads them back.
void ResultError(sqlite3_context* ctx, int number, const char* description)
{
    char message[256];
    std::snprintf(message, sizeof message, "Jet#%d: %s", number, description);
    sqlite3_result_error(ctx, message, -1);
}

void InvalidArgument(sqlite3_context* ctx, const char* function)
{
    char message[160];
    std::snprintf(message, sizeof message, "Neplatné volání procedury nebo argument funkce %s.", function);
    ResultError(ctx, 5, message);
}

void TypeMismatch(sqlite3_context* ctx)
{
    ResultError(ctx, 13, "Neshoda typů.");
}

void Overflow(sqlite3_context* ctx)
{
    ResultError(ctx, 6, "Přetečení.");
}

bool AnyNull(int argc, sqlite3_value** argv)
{
    for (int i = 0; i < argc; ++i)
        if (sqlite3_value_type(argv[i]) == SQLITE_NULL)
            return true;
    return false;
}

struct Utf8 {
    const unsigned char* data;
    int size;
};

Utf8 TextOf(sqlite3_value* v)
{
    const unsigned char* data = sqlite3_value_text(v);
    const int size = sqlite3_value_bytes(v);
    return {data ? data : reinterpret_cast<const unsigned char*>(""), data ? size : 0};
}

// One code point at s[i], i advanced; broken sequences count as U+FFFD, one byte each.
char32_t Decode(const unsigned char* s, int size, int& i)
{
    const unsigned char c = s[i];
    if (c < 0x80) {
        ++i;
        return c;
    }
    int extra = 0;
    char32_t cp = 0;
    if ((c & 0xE0) == 0xC0) {
        extra = 1;
        cp = c & 0x1F;
    } else if ((c & 0xF0) == 0xE0) {
        extra = 2;
        cp = c & 0x0F;
    } else if ((c & 0xF8) == 0xF0) {
        extra = 3;
        cp = c & 0x07;
    } else {
        ++i;
        return 0xFFFD;
    }
    if (i + extra >= size) {
        ++i;
        return 0xFFFD;
    }
    for (int k = 1; k <= extra; ++k) {
        if ((s[i + k] & 0xC0) != 0x80) {
            ++i;
            return 0xFFFD;
        }
        cp = (cp << 6) | (s[i + k] & 0x3F);
    }
    i += extra + 1;
    return cp > 0x10FFFF ? 0xFFFD : cp;
}

int SkipChars(const unsigned char* s, int size, int from, qint64 count)
{
    int i = from;
    while (count-- > 0 && i < size)
        Decode(s, size, i);
    return i;
}

qint64 CountChars(const unsigned char* s, int size)
{
    qint64 count = 0;
    for (int i = 0; i < size; ++i)
        if ((s[i] & 0xC0) != 0x80)
            ++count;
    return count;
}

char32_t Fold(char32_t c)
{
    if (c < 0x80)
        return (c >= 'A' && c <= 'Z') ? c + 32 : c;
    return QChar::toCaseFolded(c);
}

// ---- numbers

bool ParseNumber(const QString& text, double& out)
{
    const QString s = text.trimmed();
    if (s.isEmpty())
        return false;
    bool ok = false;
    out = s.toDouble(&ok); // C locale first: what SQL and the stored values use
    if (!ok)
        out = QLocale().toDouble(s, &ok);
    return ok && std::isfinite(out);
}

// The value as a number; text converts as Jet converts it, anything else is a mismatch.
bool NumberOf(sqlite3_value* v, double& out)
{
    switch (sqlite3_value_type(v)) {
    case SQLITE_INTEGER:
        out = double(sqlite3_value_int64(v));
        return true;
    case SQLITE_FLOAT:
        out = sqlite3_value_double(v);
        return true;
    case SQLITE_TEXT: {
        const Utf8 t = TextOf(v);
        return ParseNumber(QString::fromUtf8(reinterpret_cast<const char*>(t.data), t.size), out);
    }
    default:
        return false;
    }
}

// Banker's rounding, as Jet rounds; halves within representation error count as halves.
double RoundHalfEven(double x)
{
    const double f = std::floor(x);
    const double diff = x - f;
    const double eps = 1e-9 * std::max(1.0, std::fabs(x));
    if (std::fabs(diff - 0.5) <= eps)
        return std::fmod(f, 2.0) == 0.0 ? f : f + 1.0;
    return std::floor(x + 0.5);
}

bool IntegerArgument(sqlite3_context* ctx, sqlite3_value* v, qint64& out, const char* function)
{
    double d = 0;
    if (!NumberOf(v, d)) {
        TypeMismatch(ctx);
        return false;
    }
    d = RoundHalfEven(d);
    if (d < -2147483648.0 || d > 2147483647.0) {
        InvalidArgument(ctx, function);
        return false;
    }
    out = qint64(d);
    return true;
}

// ---- dates: stored as 'YYYY-MM-DD HH:MM:SS'

struct DateTime {
    int year = 1899, month = 12, day = 30, hour = 0, minute = 0, second = 0;
};

bool Digits(const unsigned char* s, int size, int& i, int minCount, int maxCount, int& out)
{
    int count = 0;
    out = 0;
    while (i < size && count < maxCount && s[i] >= '0' && s[i] <= '9') {
        out = out * 10 + (s[i++] - '0');
        ++count;
    }
    return count >= minCount;
}

bool ParseTime(const unsigned char* s, int size, int& i, DateTime& dt)
{
    if (!Digits(s, size, i, 1, 2, dt.hour) || i >= size || s[i] != ':')
        return false;
    ++i;
    if (!Digits(s, size, i, 2, 2, dt.minute))
        return false;
    if (i < size && s[i] == ':') {
        ++i;
        if (!Digits(s, size, i, 2, 2, dt.second))
            return false;
        if (i < size && s[i] == '.') { // fractions of a second are dropped
            ++i;
            int ignored = 0;
            Digits(s, size, i, 1, 9, ignored);
        }
    }
    return dt.hour < 24 && dt.minute < 60 && dt.second < 60;
}

// 'YYYY-MM-DD[( |T)HH:MM[:SS]]', 'HH:MM[:SS]' or the Czech 'D.M.YYYY[ H:MM[:SS]]'.
bool ParseDateText(const unsigned char* s, int size, DateTime& dt)
{
    while (size > 0 && s[size - 1] == ' ')
        --size;
    int i = 0;
    while (i < size && s[i] == ' ')
        ++i;
    int a = 0;
    const int first = i;
    if (!Digits(s, size, i, 1, 4, a))
        return false;
    if (i < size && s[i] == ':') {
        i = first;
        return ParseTime(s, size, i, dt) && i == size;
    }
    if (i - first == 4 && i < size && s[i] == '-') {
        dt.year = a;
        ++i;
        if (!Digits(s, size, i, 1, 2, dt.month) || i >= size || s[i] != '-')
            return false;
        ++i;
        if (!Digits(s, size, i, 1, 2, dt.day))
            return false;
    } else if (i - first <= 2 && i < size && s[i] == '.') {
        dt.day = a;
        ++i;
        if (!Digits(s, size, i, 1, 2, dt.month) || i >= size || s[i] != '.')
            return false;
        ++i;
        while (i < size && s[i] == ' ')
            ++i;
        if (!Digits(s, size, i, 4, 4, dt.year))
            return false;
    } else {
        return false;
    }
    if (!QDate::isValid(dt.year, dt.month, dt.day))
        return false;
    if (i == size)
        return true;
    if (s[i] != ' ' && s[i] != 'T')
        return false;
    while (i < size && (s[i] == ' ' || s[i] == 'T'))
        ++i;
    return ParseTime(s, size, i, dt) && i == size;
}

// Day 0 of Jet's serial dates.
const qint64 kSerialEpoch = QDate(1899, 12, 30).toJulianDay();

bool DateFromSerial(double serial, DateTime& dt)
{
    if (!(serial > -657435.0 && serial < 2958466.0)) // years 100 to 9999
        return false;
    const double days = std::trunc(serial);
    // Before day 0 the fraction still counts forwards in Jet.
    qint64 seconds = qint64(std::llround(std::fabs(serial - days) * 86400.0));
    qint64 dayNumber = qint64(days);
    if (seconds >= 86400) {
        seconds -= 86400;
        dayNumber += serial < 0 ? -1 : 1;
    }
    const QDate date = QDate::fromJulianDay(kSerialEpoch + dayNumber);
    dt = {date.year(), date.month(), date.day(), int(seconds / 3600), int(seconds / 60 % 60), int(seconds % 60)};
    return true;
}

bool DateOf(sqlite3_value* v, DateTime& dt)
{
    switch (sqlite3_value_type(v)) {
    case SQLITE_INTEGER:
    case SQLITE_FLOAT:
        return DateFromSerial(sqlite3_value_double(v), dt);
    case SQLITE_TEXT: {
        const Utf8 t = TextOf(v);
        return ParseDateText(t.data, t.size, dt);
    }
    default:
        return false;
    }
}

void ResultDate(sqlite3_context* ctx, const DateTime& dt)
{
    char text[32];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d", dt.year, dt.month, dt.day, dt.hour,
                  dt.minute, dt.second);
    sqlite3_result_text(ctx, text, -1, SQLITE_TRANSIENT);
}

// ---- LIKE

struct PatternItem {
    enum Type : unsigned char { Char, AnyChar, Digit, Star, Set } kind;
    bool negated = false;
    char32_t ch = 0;       // Char: folded
    int from = 0, to = 0;  // Set: its ranges
};

struct Pattern {
    std::vector<PatternItem> items;
    std::vector<std::pair<char32_t, char32_t>> ranges;
    QByteArray source;
    char32_t escape = 0;
    bool valid = true;
};

void CompilePattern(Pattern& p, const unsigned char* s, int size, char32_t escape)
{
    p.source = QByteArray(reinterpret_cast<const char*>(s), size);
    p.escape = escape;
    int i = 0;
    while (i < size) {
        char32_t c = Decode(s, size, i);
        if (escape && c == escape && i < size) {
            p.items.push_back({PatternItem::Char, false, Fold(Decode(s, size, i))});
            continue;
        }
        switch (c) {
        case '*':
            if (p.items.empty() || p.items.back().kind != PatternItem::Star)
                p.items.push_back({PatternItem::Star});
            break;
        case '?':
            p.items.push_back({PatternItem::AnyChar});
            break;
        case '#':
            p.items.push_back({PatternItem::Digit});
            break;
        case '[': {
            PatternItem set{PatternItem::Set};
            set.from = int(p.ranges.size());
            if (i < size && s[i] == '!') {
                set.negated = true;
                ++i;
            }
            bool closed = false;
            bool firstInSet = true;
            while (i < size) {
                char32_t lo = Decode(s, size, i);
                if (lo == ']' && !firstInSet) {
                    closed = true;
                    break;
                }
                if (lo == ']') { // "[]" is the empty text: nothing to match
                    closed = true;
                    break;
                }
                firstInSet = false;
                char32_t hi = lo;
                if (i + 1 < size && s[i] == '-' && s[i + 1] != ']') {
                    ++i;
                    hi = Decode(s, size, i);
                }
                if (hi < lo)
                    std::swap(lo, hi);
                p.ranges.emplace_back(lo, hi);
            }
            if (!closed) {
                p.valid = false;
                return;
            }
            set.to = int(p.ranges.size());
            if (set.from != set.to || set.negated)
                p.items.push_back(set);
            break;
        }
        default:
            p.items.push_back({PatternItem::Char, false, Fold(c)});
        }
    }
}

bool MatchesItem(const Pattern& p, const PatternItem& item, char32_t c)
{
    switch (item.kind) {
    case PatternItem::Char:
        // Folding is idempotent: a character already as the pattern holds it needs none.
        return c == item.ch || Fold(c) == item.ch;
    case PatternItem::AnyChar:
        return true;
    case PatternItem::Digit:
        return c >= '0' && c <= '9';
    case PatternItem::Set: {
        const char32_t f = Fold(c);
        bool in = false;
        for (int r = item.from; r < item.to && !in; ++r) {
            const auto [lo, hi] = p.ranges[size_t(r)];
            in = (c >= lo && c <= hi) || (f >= Fold(lo) && f <= Fold(hi));
        }
        return in != item.negated;
    }
    case PatternItem::Star:
        break;
    }
    return false;
}

// Every item but * takes one character, so going back to the last * is enough: time is
// at most the pattern's length times the text's.
bool Matches(const Pattern& p, const unsigned char* s, int size)
{
    const size_t n = p.items.size();
    size_t pi = 0;
    int vi = 0;
    size_t starItem = SIZE_MAX;
    int starText = 0;
    while (vi < size) {
        if (pi < n && p.items[pi].kind == PatternItem::Star) {
            starItem = pi++;
            starText = vi;
            continue;
        }
        int next = vi;
        const char32_t c = s[vi] < 0x80 ? char32_t(s[next++]) : Decode(s, size, next);
        if (pi < n && MatchesItem(p, p.items[pi], c)) {
            ++pi;
            vi = next;
            continue;
        }
        if (starItem == SIZE_MAX)
            return false;
        pi = starItem + 1;
        Decode(s, size, starText);
        vi = starText;
    }
    while (pi < n && p.items[pi].kind == PatternItem::Star)
        ++pi;
    return pi == n;
}

void DeletePattern(void* p)
{
    delete static_cast<Pattern*>(p);
}

void LikeFunction(sqlite3_context* ctx, int argc, sqlite3_value** argv)
{
    if (AnyNull(argc, argv)) {
        sqlite3_result_null(ctx);
        return;
    }
    char32_t escape = 0;
    if (argc == 3) {
        const Utf8 e = TextOf(argv[2]);
        int k = 0;
        if (e.size == 0 || (escape = Decode(e.data, e.size, k), k != e.size)) {
            sqlite3_result_error(ctx, "ESCAPE expression must be a single character", -1);
            return;
        }
    }
    const Utf8 pattern = TextOf(argv[0]);
    const Utf8 value = TextOf(argv[1]);
    auto* cached = static_cast<const Pattern*>(sqlite3_get_auxdata(ctx, 0));
    if (cached && cached->escape == escape && cached->source.size() == pattern.size
        && std::memcmp(cached->source.constData(), pattern.data, size_t(pattern.size)) == 0) {
        if (!cached->valid)
            ResultError(ctx, 93, "Neplatný vzor řetězce.");
        else
            sqlite3_result_int(ctx, Matches(*cached, value.data, value.size) ? 1 : 0);
        return;
    }
    auto* compiled = new Pattern;
    CompilePattern(*compiled, pattern.data, pattern.size, escape);
    if (!compiled->valid)
        ResultError(ctx, 93, "Neplatný vzor řetězce.");
    else
        sqlite3_result_int(ctx, Matches(*compiled, value.data, value.size) ? 1 : 0);
    // Kept while the pattern is a constant of the statement; SQLite frees it otherwise.
    sqlite3_set_auxdata(ctx, 0, compiled, DeletePattern);
}

// ---- text functions

void ResultUtf8(sqlite3_context* ctx, const unsigned char* s, int size)
{
    sqlite3_result_text(ctx, reinterpret_cast<const char*>(s), size, SQLITE_TRANSIENT);
}

void ResultQString(sqlite3_context* ctx, const QString& s)
{
    const QByteArray utf8 = s.toUtf8();
    sqlite3_result_text(ctx, utf8.constData(), int(utf8.size()), SQLITE_TRANSIENT);
}

QString QStringOf(sqlite3_value* v)
{
    const Utf8 t = TextOf(v);
    return QString::fromUtf8(reinterpret_cast<const char*>(t.data), t.size);
}

void ConcatFunction(sqlite3_context* ctx, int argc, sqlite3_value** argv)
{
    bool allNull = true;
    sqlite3_uint64 total = 0;
    for (int i = 0; i < argc; ++i) {
        if (sqlite3_value_type(argv[i]) == SQLITE_NULL)
            continue;
        allNull = false;
        total += sqlite3_uint64(TextOf(argv[i]).size);
    }
    if (allNull) {
        sqlite3_result_null(ctx);
        return;
    }
    if (total > sqlite3_uint64(sqlite3_limit(sqlite3_context_db_handle(ctx), SQLITE_LIMIT_LENGTH, -1))) {
        sqlite3_result_error_toobig(ctx);
        return;
    }
    auto* out = static_cast<char*>(sqlite3_malloc64(total + 1));
    if (!out) {
        sqlite3_result_error_nomem(ctx);
        return;
    }
    char* end = out;
    for (int i = 0; i < argc; ++i) {
        if (sqlite3_value_type(argv[i]) == SQLITE_NULL)
            continue;
        const Utf8 t = TextOf(argv[i]); // already text: no second conversion
        std::memcpy(end, t.data, size_t(t.size));
        end += t.size;
    }
    sqlite3_result_text64(ctx, out, sqlite3_uint64(end - out), sqlite3_free, SQLITE_UTF8);
}

template<int Which> // 0 Left, 1 Right, 2 Mid
void SubstringFunction(sqlite3_context* ctx, int argc, sqlite3_value** argv)
{
    static const char* const names[] = {"Left", "Right", "Mid"};
    if (AnyNull(argc, argv)) {
        sqlite3_result_null(ctx);
        return;
    }
    qint64 a = 0;
    qint64 b = std::numeric_limits<qint32>::max();
    if (!IntegerArgument(ctx, argv[1], a, names[Which]) || (argc == 3 && !IntegerArgument(ctx, argv[2], b, names[Which])))
        return;
    if ((Which == 2 && (a < 1 || b < 0)) || (Which != 2 && a < 0)) {
        InvalidArgument(ctx, names[Which]);
        return;
    }
    const Utf8 t = TextOf(argv[0]);
    int from = 0;
    int to = t.size;
    if (Which == 0) {
        to = SkipChars(t.data, t.size, 0, a);
    } else if (Which == 1) {
        const qint64 length = CountChars(t.data, t.size);
        from = SkipChars(t.data, t.size, 0, std::max<qint64>(0, length - a));
    } else {
        from = SkipChars(t.data, t.size, 0, a - 1);
        to = SkipChars(t.data, t.size, from, b);
    }
    ResultUtf8(ctx, t.data + from, to - from);
}

void LenFunction(sqlite3_context* ctx, int, sqlite3_value** argv)
{
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL) {
        sqlite3_result_null(ctx);
        return;
    }
    const Utf8 t = TextOf(argv[0]);
    sqlite3_result_int64(ctx, CountChars(t.data, t.size));
}

void Encode(char32_t c, char*& out)
{
    if (c < 0x80) {
        *out++ = char(c);
    } else if (c < 0x800) {
        *out++ = char(0xC0 | (c >> 6));
        *out++ = char(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        *out++ = char(0xE0 | (c >> 12));
        *out++ = char(0x80 | ((c >> 6) & 0x3F));
        *out++ = char(0x80 | (c & 0x3F));
    } else {
        *out++ = char(0xF0 | (c >> 18));
        *out++ = char(0x80 | ((c >> 12) & 0x3F));
        *out++ = char(0x80 | ((c >> 6) & 0x3F));
        *out++ = char(0x80 | (c & 0x3F));
    }
}

// Character by character, as Jet maps case: no text grows (ß stays ß).
template<bool Upper>
void CaseFunction(sqlite3_context* ctx, int, sqlite3_value** argv)
{
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL) {
        sqlite3_result_null(ctx);
        return;
    }
    const Utf8 t = TextOf(argv[0]);
    // A mapped character takes at most twice the bytes of the original.
    auto* out = static_cast<char*>(sqlite3_malloc64(sqlite3_uint64(t.size) * 2 + 1));
    if (!out) {
        sqlite3_result_error_nomem(ctx);
        return;
    }
    char* end = out;
    for (int i = 0; i < t.size;) {
        const char32_t c = Decode(t.data, t.size, i);
        if (c < 0x80)
            *end++ = char(Upper ? ((c >= 'a' && c <= 'z') ? c - 32 : c) : ((c >= 'A' && c <= 'Z') ? c + 32 : c));
        else
            Encode(Upper ? QChar::toUpper(c) : QChar::toLower(c), end);
    }
    sqlite3_result_text64(ctx, out, sqlite3_uint64(end - out), sqlite3_free, SQLITE_UTF8);
}

// Case-insensitive search: byte offset of needle in hay from `from`, or -1.
int FindFolded(const Utf8& hay, int from, const Utf8& needle, bool fold)
{
    for (int start = from; start <= hay.size; ) {
        int h = start;
        int k = 0;
        while (k < needle.size && h < hay.size) {
            const char32_t a = Decode(hay.data, hay.size, h);
            const char32_t b = Decode(needle.data, needle.size, k);
            if (fold ? Fold(a) != Fold(b) : a != b)
                break;
            if (k == needle.size)
                return start;
        }
        if (needle.size == 0)
            return start;
        if (start == hay.size)
            break;
        Decode(hay.data, hay.size, start);
    }
    return -1;
}

bool CompareArgument(sqlite3_context* ctx, sqlite3_value* v, bool& fold)
{
    qint64 mode = 1;
    if (!IntegerArgument(ctx, v, mode, "InStr"))
        return false;
    if (mode != 0 && mode != 1) {
        InvalidArgument(ctx, "InStr");
        return false;
    }
    fold = mode == 1;
    return true;
}

// InStr([start,] text, sought[, compare]): compares as text unless compare is 0.
void InStrFunction(sqlite3_context* ctx, int argc, sqlite3_value** argv)
{
    qint64 start = 1;
    int first = 0;
    bool fold = true;
    if (argc >= 3) {
        if (sqlite3_value_type(argv[0]) == SQLITE_NULL) {
            sqlite3_result_null(ctx);
            return;
        }
        if (!IntegerArgument(ctx, argv[0], start, "InStr"))
            return;
        if (start < 1) {
            InvalidArgument(ctx, "InStr");
            return;
        }
        first = 1;
        if (argc == 4 && sqlite3_value_type(argv[3]) != SQLITE_NULL && !CompareArgument(ctx, argv[3], fold))
            return;
    }
    if (sqlite3_value_type(argv[first]) == SQLITE_NULL || sqlite3_value_type(argv[first + 1]) == SQLITE_NULL) {
        sqlite3_result_null(ctx);
        return;
    }
    const Utf8 hay = TextOf(argv[first]);
    const Utf8 needle = TextOf(argv[first + 1]);
    if (hay.size == 0 || start > CountChars(hay.data, hay.size)) {
        sqlite3_result_int(ctx, 0);
        return;
    }
    const int from = SkipChars(hay.data, hay.size, 0, start - 1);
    const int at = FindFolded(hay, from, needle, fold);
    sqlite3_result_int64(ctx, at < 0 ? 0 : CountChars(hay.data, at) + 1);
}

// Replace(text, find, with[, start[, count[, compare]]]), as text unless compare is 0.
void ReplaceFunction(sqlite3_context* ctx, int argc, sqlite3_value** argv)
{
    if (AnyNull(std::min(argc, 3), argv)) {
        sqlite3_result_null(ctx);
        return;
    }
    qint64 start = 1;
    qint64 count = -1;
    bool fold = true;
    if ((argc > 3 && sqlite3_value_type(argv[3]) != SQLITE_NULL && !IntegerArgument(ctx, argv[3], start, "Replace"))
        || (argc > 4 && sqlite3_value_type(argv[4]) != SQLITE_NULL && !IntegerArgument(ctx, argv[4], count, "Replace"))
        || (argc > 5 && sqlite3_value_type(argv[5]) != SQLITE_NULL && !CompareArgument(ctx, argv[5], fold)))
        return;
    if (start < 1 || count < -1) {
        InvalidArgument(ctx, "Replace");
        return;
    }
    const Utf8 text = TextOf(argv[0]);
    const Utf8 find = TextOf(argv[1]);
    const Utf8 with = TextOf(argv[2]);
    // Jet returns the text from `start` on.
    int at = SkipChars(text.data, text.size, 0, start - 1);
    sqlite3_str* out = sqlite3_str_new(sqlite3_context_db_handle(ctx));
    while (find.size > 0 && count != 0) {
        const int found = FindFolded(text, at, find, fold);
        if (found < 0)
            break;
        sqlite3_str_append(out, reinterpret_cast<const char*>(text.data + at), found - at);
        sqlite3_str_append(out, reinterpret_cast<const char*>(with.data), with.size);
        // The match has as many characters as `find`.
        at = SkipChars(text.data, text.size, found, CountChars(find.data, find.size));
        if (count > 0)
            --count;
    }
    sqlite3_str_append(out, reinterpret_cast<const char*>(text.data + at), text.size - at);
    const int size = sqlite3_str_length(out);
    char* result = sqlite3_str_finish(out);
    if (!result && size != 0) {
        sqlite3_result_error_nomem(ctx);
        return;
    }
    sqlite3_result_text(ctx, result ? result : "", size, result ? sqlite3_free : SQLITE_TRANSIENT);
}

// Space(n) and String(n, character)
void RepeatFunction(sqlite3_context* ctx, int argc, sqlite3_value** argv)
{
    const char* name = argc == 1 ? "Space" : "String";
    if (AnyNull(argc, argv)) {
        sqlite3_result_null(ctx);
        return;
    }
    qint64 n = 0;
    if (!IntegerArgument(ctx, argv[0], n, name))
        return;
    if (n < 0 || n > 100000000) {
        InvalidArgument(ctx, name);
        return;
    }
    char unit[8] = " ";
    int unitSize = 1;
    if (argc == 2) {
        if (sqlite3_value_type(argv[1]) == SQLITE_TEXT) {
            const Utf8 t = TextOf(argv[1]);
            if (t.size == 0) {
                InvalidArgument(ctx, name);
                return;
            }
            int k = 0;
            Decode(t.data, t.size, k);
            unitSize = k;
            std::memcpy(unit, t.data, size_t(k));
        } else {
            qint64 code = 0;
            if (!IntegerArgument(ctx, argv[1], code, name))
                return;
            const QString c = QString(QChar(char16_t(code & 0xFFFF)));
            if (code < 0 || code > 0xFFFF || QChar(char16_t(code)).isSurrogate()) {
                InvalidArgument(ctx, name);
                return;
            }
            const QByteArray utf8 = c.toUtf8();
            unitSize = int(utf8.size());
            std::memcpy(unit, utf8.constData(), size_t(unitSize));
        }
    }
    const qint64 total = n * unitSize;
    if (total > sqlite3_limit(sqlite3_context_db_handle(ctx), SQLITE_LIMIT_LENGTH, -1)) {
        sqlite3_result_error_toobig(ctx);
        return;
    }
    auto* out = static_cast<char*>(sqlite3_malloc64(sqlite3_uint64(total) + 1));
    if (!out) {
        sqlite3_result_error_nomem(ctx);
        return;
    }
    for (qint64 i = 0; i < n; ++i)
        std::memcpy(out + i * unitSize, unit, size_t(unitSize));
    sqlite3_result_text64(ctx, out, sqlite3_uint64(total), sqlite3_free, SQLITE_UTF8);
}

// ---- dates and times

template<int Part> // 0 year … 5 second
void DatePartFunction(sqlite3_context* ctx, int, sqlite3_value** argv)
{
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL) {
        sqlite3_result_null(ctx);
        return;
    }
    DateTime dt;
    if (!DateOf(argv[0], dt)) {
        TypeMismatch(ctx);
        return;
    }
    const int parts[] = {dt.year, dt.month, dt.day, dt.hour, dt.minute, dt.second};
    sqlite3_result_int(ctx, parts[Part]);
}

// An optional first-day-of-week argument (1 Sunday … 7 Saturday, 0 the locale's; Null or
// missing: Sunday). False once an error is set.
bool FirstDayArgument(sqlite3_context* ctx, int argc, sqlite3_value** argv, int index, qint64& firstDay,
                      const char* function)
{
    firstDay = 1;
    if (argc <= index || sqlite3_value_type(argv[index]) == SQLITE_NULL)
        return true;
    if (!IntegerArgument(ctx, argv[index], firstDay, function))
        return false;
    if (firstDay < 0 || firstDay > 7) {
        InvalidArgument(ctx, function);
        return false;
    }
    if (firstDay == 0)
        firstDay = QLocale().firstDayOfWeek() % 7 + 1;
    return true;
}

// The day's number in a week starting on firstDay (1 Sunday … 7 Saturday).
int JetWeekday(const QDate& date, qint64 firstDay)
{
    const int sundayBased = date.dayOfWeek() % 7 + 1; // Sunday 1
    return int((sundayBased - firstDay + 7) % 7 + 1);
}

void WeekdayFunction(sqlite3_context* ctx, int argc, sqlite3_value** argv)
{
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL) {
        sqlite3_result_null(ctx);
        return;
    }
    DateTime dt;
    if (!DateOf(argv[0], dt)) {
        TypeMismatch(ctx);
        return;
    }
    qint64 firstDay = 1;
    if (!FirstDayArgument(ctx, argc, argv, 1, firstDay, "Weekday"))
        return;
    sqlite3_result_int(ctx, JetWeekday(QDate(dt.year, dt.month, dt.day), firstDay));
}

// The first day of week 1 of a year, by Jet's rules: 1 the week of 1 January, 2 the
// first week of four days or more, 3 the first whole week. firstDay: 1 Sunday … 7 Saturday.
QDate FirstWeekStart(int year, int firstDay, int firstWeek)
{
    const QDate january1(year, 1, 1);
    const int offset = JetWeekday(january1, firstDay) - 1; // days of the week before 1 January
    QDate start = january1.addDays(-offset);
    if ((firstWeek == 2 && offset > 3) || (firstWeek == 3 && offset > 0))
        start = start.addDays(7);
    return start;
}

// DatePart(interval, date [, firstdayofweek [, firstweekofyear]])
void DatePartOfFunction(sqlite3_context* ctx, int argc, sqlite3_value** argv)
{
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL) {
        InvalidArgument(ctx, "DatePart");
        return;
    }
    if (sqlite3_value_type(argv[1]) == SQLITE_NULL) {
        sqlite3_result_null(ctx);
        return;
    }
    DateTime dt;
    if (!DateOf(argv[1], dt)) {
        TypeMismatch(ctx);
        return;
    }
    qint64 firstDay = 1, firstWeek = 1; // Sunday; the week of 1 January
    if (!FirstDayArgument(ctx, argc, argv, 2, firstDay, "DatePart"))
        return;
    if (argc > 3 && sqlite3_value_type(argv[3]) != SQLITE_NULL && !IntegerArgument(ctx, argv[3], firstWeek, "DatePart"))
        return;
    if (firstWeek < 0 || firstWeek > 3) {
        InvalidArgument(ctx, "DatePart");
        return;
    }
    if (firstWeek == 0)
        firstWeek = 1;
    const Utf8 text = TextOf(argv[0]);
    const QString interval =
        QString::fromUtf8(reinterpret_cast<const char*>(text.data), text.size).trimmed().toLower();
    const QDate date(dt.year, dt.month, dt.day);
    int result = 0;
    if (interval == QLatin1String("yyyy")) {
        result = dt.year;
    } else if (interval == QLatin1String("q")) {
        result = (dt.month - 1) / 3 + 1;
    } else if (interval == QLatin1String("m")) {
        result = dt.month;
    } else if (interval == QLatin1String("y")) {
        result = date.dayOfYear();
    } else if (interval == QLatin1String("d")) {
        result = dt.day;
    } else if (interval == QLatin1String("w")) {
        result = JetWeekday(date, firstDay);
    } else if (interval == QLatin1String("ww")) {
        QDate start = FirstWeekStart(dt.year, int(firstDay), int(firstWeek));
        if (date < start) // the last week of the year before
            start = FirstWeekStart(dt.year - 1, int(firstDay), int(firstWeek));
        result = int(start.daysTo(date) / 7 + 1);
    } else if (interval == QLatin1String("h")) {
        result = dt.hour;
    } else if (interval == QLatin1String("n")) {
        result = dt.minute;
    } else if (interval == QLatin1String("s")) {
        result = dt.second;
    } else {
        InvalidArgument(ctx, "DatePart");
        return;
    }
    sqlite3_result_int(ctx, result);
}

template<int What> // 0 Now, 1 Date, 2 Time
void ClockFunction(sqlite3_context* ctx, int, sqlite3_value**)
{
    const QDateTime now = QDateTime::currentDateTime();
    DateTime dt;
    if (What != 2)
        dt = {now.date().year(), now.date().month(), now.date().day(), 0, 0, 0};
    if (What != 1) {
        dt.hour = now.time().hour();
        dt.minute = now.time().minute();
        dt.second = now.time().second();
    }
    ResultDate(ctx, dt);
}

void DateSerialFunction(sqlite3_context* ctx, int argc, sqlite3_value** argv)
{
    if (AnyNull(argc, argv)) {
        sqlite3_result_null(ctx);
        return;
    }
    qint64 year = 0, month = 0, day = 0;
    if (!IntegerArgument(ctx, argv[0], year, "DateSerial") || !IntegerArgument(ctx, argv[1], month, "DateSerial")
        || !IntegerArgument(ctx, argv[2], day, "DateSerial"))
        return;
    if (year >= 0 && year < 100)
        year = JetTwoDigitYear(int(year));
    // Months and days outside their range roll over, as in Jet.
    const qint64 months = year * 12 + (month - 1);
    const qint64 y = months >= 0 ? months / 12 : -((-months + 11) / 12);
    const qint64 m = months - y * 12 + 1;
    if (y < 100 || y > 9999) {
        InvalidArgument(ctx, "DateSerial");
        return;
    }
    const qint64 julian = QDate(int(y), int(m), 1).toJulianDay() + (day - 1);
    const QDate date = QDate::fromJulianDay(julian);
    if (!date.isValid() || date.year() < 100 || date.year() > 9999) {
        InvalidArgument(ctx, "DateSerial");
        return;
    }
    ResultDate(ctx, {date.year(), date.month(), date.day()});
}

void CDateFunction(sqlite3_context* ctx, int, sqlite3_value** argv)
{
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL) {
        sqlite3_result_null(ctx);
        return;
    }
    DateTime dt;
    if (!DateOf(argv[0], dt)) {
        TypeMismatch(ctx);
        return;
    }
    ResultDate(ctx, dt);
}

// ---- Null and choice

// Jet's truth: Null is false, numbers are true unless 0, text converts.
bool Truth(sqlite3_value* v, bool& ok)
{
    ok = true;
    switch (sqlite3_value_type(v)) {
    case SQLITE_NULL:
        return false;
    case SQLITE_INTEGER:
        return sqlite3_value_int64(v) != 0;
    case SQLITE_FLOAT:
        return sqlite3_value_double(v) != 0.0;
    case SQLITE_TEXT: {
        const QString s = QStringOf(v).trimmed();
        if (s.compare(QLatin1String("true"), Qt::CaseInsensitive) == 0
            || s.compare(QStringLiteral("pravda"), Qt::CaseInsensitive) == 0)
            return true;
        if (s.compare(QLatin1String("false"), Qt::CaseInsensitive) == 0
            || s.compare(QStringLiteral("nepravda"), Qt::CaseInsensitive) == 0)
            return false;
        double d = 0;
        ok = ParseNumber(s, d);
        return d != 0.0;
    }
    default:
        ok = false;
        return false;
    }
}

void IIfFunction(sqlite3_context* ctx, int, sqlite3_value** argv)
{
    bool ok = true;
    const bool truth = Truth(argv[0], ok);
    if (!ok) {
        TypeMismatch(ctx);
        return;
    }
    sqlite3_result_value(ctx, argv[truth ? 1 : 2]);
}

void NzFunction(sqlite3_context* ctx, int argc, sqlite3_value** argv)
{
    if (sqlite3_value_type(argv[0]) != SQLITE_NULL)
        sqlite3_result_value(ctx, argv[0]);
    else if (argc == 2)
        sqlite3_result_value(ctx, argv[1]);
    else
        sqlite3_result_text(ctx, "", 0, SQLITE_STATIC);
}

void IsNullFunction(sqlite3_context* ctx, int, sqlite3_value** argv)
{
    sqlite3_result_int(ctx, sqlite3_value_type(argv[0]) == SQLITE_NULL ? -1 : 0);
}

// ---- conversions

// Val: the leading number of a text, blanks anywhere ignored; &H and &O prefixes.
double ValOf(const QString& text)
{
    QString digits;
    for (QChar c : text)
        if (c != u' ' && c != u'\t' && c != u'\n' && c != u'\r')
            digits += c;
    if (digits.startsWith(QLatin1String("&h"), Qt::CaseInsensitive)
        || digits.startsWith(QLatin1String("&o"), Qt::CaseInsensitive)) {
        const int base = digits[1].toLower() == u'h' ? 16 : 8;
        qsizetype end = 2;
        while (end < digits.size() && end < 18 && QStringLiteral("0123456789abcdef").indexOf(digits[end].toLower()) >= 0
               && QStringLiteral("0123456789abcdef").indexOf(digits[end].toLower()) < base)
            ++end;
        bool ok = false;
        const qint64 value = digits.mid(2, end - 2).toLongLong(&ok, base);
        return ok ? double(value) : 0.0;
    }
    static const QRegularExpression number(QStringLiteral(R"(^[+-]?(\d+\.?\d*|\.\d+)([eEdD][+-]?\d+)?)"));
    const QRegularExpressionMatch m = number.match(digits);
    if (!m.hasMatch())
        return 0.0;
    QString n = m.captured(0);
    n.replace(u'd', u'e').replace(u'D', u'e');
    const double value = n.toDouble();
    return std::isfinite(value) ? value : 0.0;
}

void ValFunction(sqlite3_context* ctx, int, sqlite3_value** argv)
{
    switch (sqlite3_value_type(argv[0])) {
    case SQLITE_NULL:
        sqlite3_result_null(ctx);
        return;
    case SQLITE_INTEGER:
    case SQLITE_FLOAT:
        sqlite3_result_value(ctx, argv[0]);
        return;
    default:
        sqlite3_result_double(ctx, ValOf(QStringOf(argv[0])));
    }
}

// Up to 15 significant digits, exponent as 1E+20; the decimal point is given.
QString NumberText(sqlite3_value* v, QChar point)
{
    if (sqlite3_value_type(v) == SQLITE_INTEGER)
        return QString::number(sqlite3_value_int64(v));
    const double d = sqlite3_value_double(v);
    char buffer[40];
    std::snprintf(buffer, sizeof buffer, "%.15G", d);
    QString s = QString::fromLatin1(buffer);
    s.replace(u'.', point);
    return s;
}

void StrFunction(sqlite3_context* ctx, int, sqlite3_value** argv)
{
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL) {
        sqlite3_result_null(ctx);
        return;
    }
    QString s;
    if (sqlite3_value_type(argv[0]) == SQLITE_INTEGER || sqlite3_value_type(argv[0]) == SQLITE_FLOAT) {
        s = NumberText(argv[0], u'.');
    } else {
        double d = 0;
        if (!NumberOf(argv[0], d)) {
            TypeMismatch(ctx);
            return;
        }
        char buffer[40];
        std::snprintf(buffer, sizeof buffer, "%.15G", d);
        s = QString::fromLatin1(buffer);
    }
    // Str leaves a blank for the sign of a positive number and drops a leading zero.
    if (s.startsWith(QLatin1String("0.")))
        s.remove(0, 1);
    else if (s.startsWith(QLatin1String("-0.")))
        s.remove(1, 1);
    if (!s.startsWith(u'-'))
        s.prepend(u' ');
    ResultQString(ctx, s);
}

void CStrFunction(sqlite3_context* ctx, int, sqlite3_value** argv)
{
    switch (sqlite3_value_type(argv[0])) {
    case SQLITE_NULL:
        sqlite3_result_null(ctx);
        return;
    case SQLITE_INTEGER:
    case SQLITE_FLOAT:
        ResultQString(ctx, NumberText(argv[0], QLocale().decimalPoint().front()));
        return;
    default: {
        const Utf8 t = TextOf(argv[0]);
        ResultUtf8(ctx, t.data, t.size);
    }
    }
}

template<int Which> // 0 CInt, 1 CLng, 2 CDbl, 3 CCur, 4 CSng
void ConvertNumberFunction(sqlite3_context* ctx, int, sqlite3_value** argv)
{
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL) {
        sqlite3_result_null(ctx);
        return;
    }
    double d = 0;
    if (!NumberOf(argv[0], d)) {
        TypeMismatch(ctx);
        return;
    }
    if (Which == 2) {
        sqlite3_result_double(ctx, d);
        return;
    }
    if (Which == 3) { // Currency keeps four decimal places
        if (std::fabs(d) > 922337203685477.0) {
            Overflow(ctx);
            return;
        }
        sqlite3_result_double(ctx, RoundHalfEven(d * 10000.0) / 10000.0);
        return;
    }
    if (Which == 4) {
        if (std::isfinite(d) && std::fabs(d) > double(std::numeric_limits<float>::max())) {
            Overflow(ctx);
            return;
        }
        sqlite3_result_double(ctx, double(float(d)));
        return;
    }
    d = RoundHalfEven(d);
    const double limit = Which == 0 ? 32768.0 : 2147483648.0;
    if (d < -limit || d > limit - 1) {
        Overflow(ctx);
        return;
    }
    sqlite3_result_int64(ctx, qint64(d));
}

void CBoolFunction(sqlite3_context* ctx, int, sqlite3_value** argv)
{
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL) {
        sqlite3_result_null(ctx);
        return;
    }
    bool ok = true;
    const bool truth = Truth(argv[0], ok);
    if (!ok) {
        TypeMismatch(ctx);
        return;
    }
    sqlite3_result_int(ctx, truth ? -1 : 0);
}

// ---- arithmetic

template<int Which> // 0 Int (down), 1 Fix (towards zero)
void WholeFunction(sqlite3_context* ctx, int, sqlite3_value** argv)
{
    switch (sqlite3_value_type(argv[0])) {
    case SQLITE_NULL:
        sqlite3_result_null(ctx);
        return;
    case SQLITE_INTEGER:
        sqlite3_result_value(ctx, argv[0]);
        return;
    default: {
        double d = 0;
        if (!NumberOf(argv[0], d)) {
            TypeMismatch(ctx);
            return;
        }
        sqlite3_result_double(ctx, Which == 0 ? std::floor(d) : std::trunc(d));
    }
    }
}

void RoundFunction(sqlite3_context* ctx, int argc, sqlite3_value** argv)
{
    if (AnyNull(argc, argv)) {
        sqlite3_result_null(ctx);
        return;
    }
    qint64 places = 0;
    if (argc == 2 && !IntegerArgument(ctx, argv[1], places, "Round"))
        return;
    if (places < 0 || places > 22) {
        InvalidArgument(ctx, "Round");
        return;
    }
    if (sqlite3_value_type(argv[0]) == SQLITE_INTEGER) {
        sqlite3_result_value(ctx, argv[0]);
        return;
    }
    double d = 0;
    if (!NumberOf(argv[0], d)) {
        TypeMismatch(ctx);
        return;
    }
    const double scale = std::pow(10.0, double(places));
    const double scaled = d * scale;
    if (!std::isfinite(scaled) || std::fabs(scaled) >= 4503599627370496.0) { // nothing left to round
        sqlite3_result_double(ctx, d);
        return;
    }
    sqlite3_result_double(ctx, RoundHalfEven(scaled) / scale);
}

void SgnFunction(sqlite3_context* ctx, int, sqlite3_value** argv)
{
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL) {
        sqlite3_result_null(ctx);
        return;
    }
    double d = 0;
    if (!NumberOf(argv[0], d)) {
        TypeMismatch(ctx);
        return;
    }
    sqlite3_result_int(ctx, d > 0 ? 1 : (d < 0 ? -1 : 0));
}

void SqrFunction(sqlite3_context* ctx, int, sqlite3_value** argv)
{
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL) {
        sqlite3_result_null(ctx);
        return;
    }
    double d = 0;
    if (!NumberOf(argv[0], d)) {
        TypeMismatch(ctx);
        return;
    }
    if (d < 0) {
        InvalidArgument(ctx, "Sqr");
        return;
    }
    sqlite3_result_double(ctx, std::sqrt(d));
}

// ---- First and Last

template<bool Last>
void EdgeStep(sqlite3_context* ctx, int, sqlite3_value** argv)
{
    auto** held = static_cast<sqlite3_value**>(sqlite3_aggregate_context(ctx, sizeof(sqlite3_value*) + 1));
    if (!held) {
        sqlite3_result_error_nomem(ctx);
        return;
    }
    auto* seen = reinterpret_cast<unsigned char*>(held + 1);
    if (*seen && !Last)
        return;
    sqlite3_value* copy = sqlite3_value_dup(argv[0]);
    if (!copy) {
        sqlite3_result_error_nomem(ctx);
        return;
    }
    sqlite3_value_free(*held);
    *held = copy;
    *seen = 1;
}

void EdgeFinal(sqlite3_context* ctx)
{
    auto** held = static_cast<sqlite3_value**>(sqlite3_aggregate_context(ctx, 0));
    if (!held || !*held) {
        sqlite3_result_null(ctx);
        return;
    }
    sqlite3_result_value(ctx, *held);
    sqlite3_value_free(*held);
    *held = nullptr;
}

struct Registration {
    const char* name;
    int args;
    bool deterministic;
    void (*function)(sqlite3_context*, int, sqlite3_value**);
};

const Registration kFunctions[] = {
    {"like", 2, true, LikeFunction},
    {"like", 3, true, LikeFunction},
    {"jet_concat", -1, true, ConcatFunction},
    {"jet_left", 2, true, SubstringFunction<0>},
    {"jet_right", 2, true, SubstringFunction<1>},
    {"mid", 2, true, SubstringFunction<2>},
    {"mid", 3, true, SubstringFunction<2>},
    {"len", 1, true, LenFunction},
    {"ucase", 1, true, CaseFunction<true>},
    {"lcase", 1, true, CaseFunction<false>},
    {"instr", 2, true, InStrFunction},
    {"instr", 3, true, InStrFunction},
    {"instr", 4, true, InStrFunction},
    {"replace", 3, true, ReplaceFunction},
    {"replace", 4, true, ReplaceFunction},
    {"replace", 5, true, ReplaceFunction},
    {"replace", 6, true, ReplaceFunction},
    {"space", 1, true, RepeatFunction},
    {"string", 2, true, RepeatFunction},
    {"year", 1, true, DatePartFunction<0>},
    {"month", 1, true, DatePartFunction<1>},
    {"day", 1, true, DatePartFunction<2>},
    {"hour", 1, true, DatePartFunction<3>},
    {"minute", 1, true, DatePartFunction<4>},
    {"second", 1, true, DatePartFunction<5>},
    {"weekday", 1, false, WeekdayFunction},
    {"weekday", 2, false, WeekdayFunction},
    {"datepart", 2, true, DatePartOfFunction},
    {"datepart", 3, false, DatePartOfFunction},
    {"datepart", 4, false, DatePartOfFunction},
    {"now", 0, false, ClockFunction<0>},
    {"date", 0, false, ClockFunction<1>},
    {"time", 0, false, ClockFunction<2>},
    {"dateserial", 3, true, DateSerialFunction},
    {"cdate", 1, true, CDateFunction},
    {"iif", 3, true, IIfFunction},
    {"nz", 1, true, NzFunction},
    {"nz", 2, true, NzFunction},
    {"jet_isnull", 1, true, IsNullFunction},
    {"val", 1, true, ValFunction},
    {"str", 1, true, StrFunction},
    {"cstr", 1, false, CStrFunction},
    {"cint", 1, false, ConvertNumberFunction<0>},
    {"clng", 1, false, ConvertNumberFunction<1>},
    {"cdbl", 1, false, ConvertNumberFunction<2>},
    {"ccur", 1, false, ConvertNumberFunction<3>},
    {"csng", 1, false, ConvertNumberFunction<4>},
    {"cbool", 1, false, CBoolFunction},
    {"int", 1, true, WholeFunction<0>},
    {"fix", 1, true, WholeFunction<1>},
    {"round", 1, true, RoundFunction},
    {"round", 2, true, RoundFunction},
    {"sgn", 1, true, SgnFunction},
    {"sqr", 1, true, SqrFunction},
};

} // namespace

int RegisterJetFunctions(sqlite3* db)
{
    for (const Registration& r : kFunctions) {
        // None has side effects, so views may use them whatever trusted_schema says.
        const int flags = SQLITE_UTF8 | SQLITE_INNOCUOUS | (r.deterministic ? SQLITE_DETERMINISTIC : 0);
        const int rc = sqlite3_create_function_v2(db, r.name, r.args, flags, nullptr, r.function, nullptr,
                                                  nullptr, nullptr);
        if (rc != SQLITE_OK)
            return rc;
    }
    for (const char* name : {"first", "last"}) {
        const bool last = name[0] == 'l';
        const int rc = sqlite3_create_function_v2(db, name, 1, SQLITE_UTF8 | SQLITE_INNOCUOUS, nullptr, nullptr,
                                                  last ? EdgeStep<true> : EdgeStep<false>, EdgeFinal, nullptr);
        if (rc != SQLITE_OK)
            return rc;
    }
    return SQLITE_OK;
}

bool JetFunctionError(const QString& sqliteMessage, qint32& number, QString& description)
{
    static const QRegularExpression form(QStringLiteral(R"(^Jet#(\d+): (.*)$)"),
                                         QRegularExpression::DotMatchesEverythingOption);
    const QRegularExpressionMatch m = form.match(sqliteMessage);
    if (!m.hasMatch())
        return false;
    number = m.captured(1).toInt();
    description = m.captured(2);
    return true;
}
