#include "mConvert.h"

#include <clocale>

#include "cRuntimeError.h"

#include <QUuid>

#include <charconv>
#include <cmath>
#include <limits>
#include <memory>
#include <vector>

namespace {

// Far beyond any double, yet small enough that shifting never overflows an int.
constexpr int kExponentLimit = 100000;
constexpr qint64 kJulianZeroDate = 2415019; // 1899-12-30
constexpr double kFirstSerial = -657434.0; // 0100-01-01
constexpr double kEndSerial = 2958466.0; // 10000-01-01
constexpr qint64 kMsPerDay = 86400000;

[[noreturn]] void ThrowConversionError()
{
    throw cRuntimeError(kConversionErrorNumber, QStringLiteral("Chyba převodu datového typu."),
                        QStringLiteral("Quarnel"));
}

int ClampExponent(qint64 e)
{
    return int(qBound(qint64(-kExponentLimit), e, qint64(kExponentLimit)));
}

bool IsDigit(QChar c)
{
    return c.unicode() >= '0' && c.unicode() <= '9';
}

bool IsMinus(QChar c)
{
    return c == u'-' || c == QChar(0x2212);
}

// Per-locale facts for reading numbers and dates; built once for each locale in use.
struct ReadSyntax {
    QLocale locale;
    QString decimal;
    QString group;
    bool groupIsBlank = false;
    bool dotIsDecimal = false;
    QString currency;
    QString currencyIso;
    enum Order { DMY, MDY, YMD } order = DMY;
    QChar dateSeparator;
    std::vector<std::pair<QString, int>> months; // lower-case name without a final ".", month
    std::vector<QString> weekdays;
    std::vector<QString> amWords, pmWords;
    std::vector<std::pair<QString, bool>> booleans;
};

QString NameKey(QString name)
{
    name = name.toLower();
    while (name.endsWith(u'.'))
        name.chop(1);
    return name;
}

void AddBooleanWords(ReadSyntax& s, const BooleanWords& w)
{
    for (const QString& t : {w.trueText, w.yes, w.on})
        s.booleans.emplace_back(t.toLower(), true);
    for (const QString& f : {w.falseText, w.no, w.off})
        s.booleans.emplace_back(f.toLower(), false);
}

std::unique_ptr<ReadSyntax> BuildSyntax(const QLocale& locale)
{
    auto s = std::make_unique<ReadSyntax>();
    s->locale = locale;
    s->decimal = locale.decimalPoint();
    s->group = locale.groupSeparator();
    s->groupIsBlank = s->group.size() == 1 && s->group.at(0).isSpace();
    s->dotIsDecimal = s->decimal != QStringLiteral(".") && s->group != QStringLiteral(".");
    s->currency = locale.currencySymbol(QLocale::CurrencySymbol);
    s->currencyIso = locale.currencySymbol(QLocale::CurrencyIsoCode);

    const QString shortFormat = locale.dateFormat(QLocale::ShortFormat);
    const qsizetype d = shortFormat.indexOf(u'd');
    const qsizetype m = shortFormat.indexOf(u'M');
    const qsizetype y = shortFormat.indexOf(u'y');
    if (y >= 0 && (m < 0 || y < m) && (d < 0 || y < d))
        s->order = ReadSyntax::YMD;
    else if (m >= 0 && d >= 0 && m < d)
        s->order = ReadSyntax::MDY;
    for (QChar c : shortFormat) {
        if (!c.isLetter() && !c.isSpace()) {
            s->dateSeparator = c;
            break;
        }
    }

    const QLocale english = QLocale::c();
    for (const QLocale* l : {&locale, &english}) {
        for (int month = 1; month <= 12; ++month) {
            for (QLocale::FormatType type : {QLocale::LongFormat, QLocale::ShortFormat}) {
                s->months.emplace_back(NameKey(l->monthName(month, type)), month);
                s->months.emplace_back(NameKey(l->standaloneMonthName(month, type)), month);
            }
        }
        for (int day = 1; day <= 7; ++day) {
            for (QLocale::FormatType type : {QLocale::LongFormat, QLocale::ShortFormat}) {
                s->weekdays.push_back(NameKey(l->dayName(day, type)));
                s->weekdays.push_back(NameKey(l->standaloneDayName(day, type)));
            }
        }
        s->amWords.push_back(NameKey(l->amText()));
        s->pmWords.push_back(NameKey(l->pmText()));
    }
    s->amWords.push_back(QStringLiteral("a"));
    s->pmWords.push_back(QStringLiteral("p"));

    AddBooleanWords(*s, BooleanWordsFor(locale));
    AddBooleanWords(*s, BooleanWordsFor(QLocale(QLocale::English)));
    AddBooleanWords(*s, BooleanWordsFor(QLocale(QLocale::Czech)));
    return s;
}

// Most programs use one or two locales; a handful of entries avoids rebuilding.
const ReadSyntax& SyntaxFor(const QLocale& locale)
{
    thread_local std::vector<std::unique_ptr<ReadSyntax>> cache;
    for (const auto& entry : cache) {
        if (entry->locale == locale)
            return *entry;
    }
    if (cache.size() >= 4)
        cache.erase(cache.begin());
    cache.push_back(BuildSyntax(locale));
    return *cache.back();
}

bool StartsWithCaseless(QStringView text, const QString& prefix)
{
    return !prefix.isEmpty() && text.startsWith(prefix, Qt::CaseInsensitive);
}

bool EndsWithCaseless(QStringView text, const QString& suffix)
{
    return !suffix.isEmpty() && text.endsWith(suffix, Qt::CaseInsensitive);
}

// Collects significant digits as they are read, left to right.
class DigitCollector {
public:
    void AddInteger(int digit)
    {
        if (!Add(digit))
            return;
        ++m_exponent;
    }
    void AddFraction(int digit)
    {
        if (!m_started && digit == 0) {
            --m_exponent;
            return;
        }
        Add(digit);
    }
    DecimalNumber Result(bool negative, qint64 shift)
    {
        DecimalNumber n;
        n.digits = m_digits;
        n.count = m_count;
        while (n.count > 0 && n.digits[size_t(n.count - 1)] == 0)
            --n.count;
        n.exponent = n.count ? ClampExponent(m_exponent + shift) : 0;
        n.negative = negative && n.count > 0;
        return n;
    }

private:
    // False for a leading zero, which carries no weight.
    bool Add(int digit)
    {
        if (!m_started && digit == 0)
            return false;
        m_started = true;
        if (m_count < DecimalNumber::kMaxDigits)
            m_digits[size_t(m_count++)] = quint8(digit);
        return true;
    }

    std::array<quint8, DecimalNumber::kMaxDigits> m_digits{};
    int m_count = 0;
    qint64 m_exponent = 0;
    bool m_started = false;
};

std::optional<DecimalNumber> ParseDecimal(QStringView text, const ReadSyntax& s)
{
    text = text.trimmed();
    bool negative = false;
    bool signSeen = false;
    if (text.size() >= 2 && text.front() == u'(' && text.back() == u')') {
        negative = signSeen = true;
        text = text.mid(1, text.size() - 2).trimmed();
    }
    bool currencySeen = false;
    bool percent = false;
    for (bool changed = true; changed && !text.isEmpty();) {
        changed = false;
        if (!signSeen && (IsMinus(text.front()) || text.front() == u'+')) {
            negative = IsMinus(text.front());
            signSeen = changed = true;
            text = text.mid(1).trimmed();
        } else if (!currencySeen && (StartsWithCaseless(text, s.currency) || StartsWithCaseless(text, s.currencyIso))) {
            text = text.mid(StartsWithCaseless(text, s.currency) ? s.currency.size() : s.currencyIso.size()).trimmed();
            currencySeen = changed = true;
        }
    }
    for (bool changed = true; changed && !text.isEmpty();) {
        changed = false;
        if (!percent && text.back() == u'%') {
            percent = changed = true;
            text = text.chopped(1).trimmed();
        } else if (!currencySeen && (EndsWithCaseless(text, s.currency) || EndsWithCaseless(text, s.currencyIso))) {
            text = text.chopped(EndsWithCaseless(text, s.currency) ? s.currency.size() : s.currencyIso.size()).trimmed();
            currencySeen = changed = true;
        } else if (!signSeen && (IsMinus(text.back()) || text.back() == u'+')) {
            negative = IsMinus(text.back());
            signSeen = changed = true;
            text = text.chopped(1).trimmed();
        }
    }

    DigitCollector collector;
    const qsizetype n = text.size();
    qsizetype i = 0;
    int digitsSeen = 0;
    int run = 0;
    bool grouped = false;
    auto groupAt = [&](qsizetype at) -> qsizetype {
        if (!s.group.isEmpty() && text.mid(at).startsWith(s.group))
            return s.group.size();
        if (s.groupIsBlank && text.at(at).isSpace())
            return 1;
        return 0;
    };
    while (i < n) {
        const QChar c = text.at(i);
        if (IsDigit(c)) {
            collector.AddInteger(c.unicode() - '0');
            ++digitsSeen;
            ++run;
            ++i;
            continue;
        }
        const qsizetype sep = run > 0 ? groupAt(i) : 0;
        if (sep > 0 && i + sep < n && IsDigit(text.at(i + sep))) {
            if (run > 3 || (grouped && run != 3))
                return std::nullopt;
            grouped = true;
            run = 0;
            i += sep;
            continue;
        }
        break;
    }
    if (grouped && run != 3)
        return std::nullopt;
    const int integerDigits = digitsSeen;
    const bool integerNonZero = !collector.Result(false, 0).IsZero();
    qsizetype pointLength = 0;
    bool foreignPoint = false;
    if (i < n && !s.decimal.isEmpty() && text.mid(i).startsWith(s.decimal)) {
        pointLength = s.decimal.size();
    } else if (i < n && s.dotIsDecimal && text.at(i) == u'.') {
        pointLength = 1;
        foreignPoint = true;
    }
    if (pointLength > 0) {
        i += pointLength;
        while (i < n && IsDigit(text.at(i))) {
            collector.AddFraction(text.at(i).unicode() - '0');
            ++digitsSeen;
            ++i;
        }
    }
    if (digitsSeen == 0)
        return std::nullopt;
    // "1.234" where the decimal point is a comma may mean 1234 as well: refused.
    if (foreignPoint && !grouped && integerNonZero && integerDigits <= 3 && digitsSeen - integerDigits == 3
        && (i == n || (text.at(i) != u'e' && text.at(i) != u'E')))
        return std::nullopt;
    qint64 exponent = 0;
    if (i < n && (text.at(i) == u'e' || text.at(i) == u'E')) {
        ++i;
        bool expNegative = false;
        if (i < n && (IsMinus(text.at(i)) || text.at(i) == u'+'))
            expNegative = IsMinus(text.at(i++));
        if (i >= n || !IsDigit(text.at(i)))
            return std::nullopt;
        for (; i < n && IsDigit(text.at(i)); ++i)
            exponent = qMin<qint64>(exponent * 10 + (text.at(i).unicode() - '0'), kExponentLimit);
        if (expNegative)
            exponent = -exponent;
    }
    if (i != n)
        return std::nullopt;
    return collector.Result(negative, exponent - (percent ? 2 : 0));
}

std::optional<bool> ParseBoolean(QStringView text, const ReadSyntax& s)
{
    for (const auto& [word, value] : s.booleans) {
        if (text.compare(word, Qt::CaseInsensitive) == 0)
            return value;
    }
    if (const auto number = ParseDecimal(text, s))
        return !number->IsZero();
    return std::nullopt;
}

// ---- dates ----

struct DateToken {
    enum Kind { Number, Word, Separator } kind;
    qsizetype start, end;
    int value = 0; // numbers
    int width = 0; // digits of a number
    QString word = QString(); // lower-case
    QChar separator = QChar();
    bool used = false;
};

std::optional<std::vector<DateToken>> Tokenize(QStringView text)
{
    std::vector<DateToken> tokens;
    const qsizetype n = text.size();
    for (qsizetype i = 0; i < n;) {
        const QChar c = text.at(i);
        if (c.isSpace()) {
            ++i;
        } else if (IsDigit(c)) {
            DateToken t{DateToken::Number, i, i};
            while (i < n && IsDigit(text.at(i))) {
                if (++t.width > 9)
                    return std::nullopt;
                t.value = t.value * 10 + (text.at(i).unicode() - '0');
                ++i;
            }
            t.end = i;
            tokens.push_back(std::move(t));
        } else if (c.isLetter()) {
            DateToken t{DateToken::Word, i, i};
            while (i < n && text.at(i).isLetter())
                ++i;
            t.end = i;
            t.word = text.mid(t.start, i - t.start).toString().toLower();
            tokens.push_back(std::move(t));
        } else {
            DateToken t{DateToken::Separator, i, i + 1};
            t.separator = c;
            tokens.push_back(std::move(t));
            ++i;
        }
        if (tokens.size() > 64)
            return std::nullopt;
    }
    return tokens;
}

bool Contains(const std::vector<QString>& words, const QString& word)
{
    for (const QString& w : words) {
        if (w == word)
            return true;
    }
    return false;
}

int ExpandYear(const DateToken& t)
{
    if (t.width > 2)
        return t.value;
    return t.value < 30 ? 2000 + t.value : 1900 + t.value;
}

bool IsYearLike(const DateToken& t)
{
    return t.width > 2 || t.value > 31;
}

std::optional<QDateTime> ParseDateTime(QStringView text, const ReadSyntax& s)
{
    auto parsed = Tokenize(text.trimmed());
    if (!parsed || parsed->empty())
        return std::nullopt;
    std::vector<DateToken>& tokens = *parsed;
    const auto isSep = [&](size_t i, QChar c) {
        return i < tokens.size() && tokens[i].kind == DateToken::Separator && tokens[i].separator == c;
    };
    const auto isNumber = [&](size_t i) { return i < tokens.size() && tokens[i].kind == DateToken::Number; };

    // The time: h:mm[:ss[.fff]], or an hour with an AM/PM word.
    int hour = -1, minute = 0, second = 0, msec = 0;
    size_t timeEnd = 0;
    for (size_t i = 0; i < tokens.size(); ++i) {
        if (!(isNumber(i) && isSep(i + 1, u':') && isNumber(i + 2)))
            continue;
        if (hour >= 0)
            return std::nullopt;
        hour = tokens[i].value;
        minute = tokens[i + 2].value;
        tokens[i].used = tokens[i + 1].used = tokens[i + 2].used = true;
        size_t j = i + 3;
        if (isSep(j, u':') && isNumber(j + 1)) {
            second = tokens[j + 1].value;
            tokens[j].used = tokens[j + 1].used = true;
            j += 2;
            if ((isSep(j, u'.') || isSep(j, u',')) && isNumber(j + 1) && tokens[j].start == tokens[j - 1].end
                && tokens[j + 1].start == tokens[j].end) {
                const DateToken& f = tokens[j + 1];
                msec = f.value;
                for (int w = f.width; w < 3; ++w)
                    msec *= 10;
                for (int w = f.width; w > 3; --w)
                    msec /= 10;
                tokens[j].used = tokens[j + 1].used = true;
                j += 2;
            }
        }
        timeEnd = j;
        i = j - 1;
    }
    int meridiem = 0; // 1 AM, 2 PM
    for (size_t i = 0; i < tokens.size(); ++i) {
        DateToken& t = tokens[i];
        if (t.kind != DateToken::Word || t.used)
            continue;
        const bool am = Contains(s.amWords, t.word);
        const bool pm = !am && Contains(s.pmWords, t.word);
        if (!am && !pm)
            continue;
        if (meridiem)
            return std::nullopt;
        if (hour < 0) {
            // "2 PM": the hour stands right before the word.
            if (i == 0 || !isNumber(i - 1) || tokens[i - 1].used)
                return std::nullopt;
            hour = tokens[i - 1].value;
            tokens[i - 1].used = true;
            timeEnd = i + 1;
        } else if (i != timeEnd) {
            return std::nullopt;
        }
        meridiem = am ? 1 : 2;
        t.used = true;
    }
    if (meridiem) {
        if (hour < 1 || hour > 12)
            return std::nullopt;
        hour = hour % 12 + (meridiem == 2 ? 12 : 0);
    }
    QTime time(0, 0);
    if (hour >= 0) {
        if (hour > 23 || minute > 59 || second > 59)
            return std::nullopt;
        time = QTime(hour, minute, second, msec);
    }

    // The date: numbers, at most one month name, weekday names and separators.
    std::vector<const DateToken*> numbers;
    int monthByName = 0;
    for (DateToken& t : tokens) {
        if (t.used)
            continue;
        switch (t.kind) {
        case DateToken::Number:
            numbers.push_back(&t);
            break;
        case DateToken::Word: {
            if (t.word == QLatin1String("t") && hour >= 0)
                break;
            int month = 0;
            for (const auto& [name, m] : s.months) {
                if (name == t.word) {
                    month = m;
                    break;
                }
            }
            if (month) {
                if (monthByName)
                    return std::nullopt;
                monthByName = month;
            } else if (!Contains(s.weekdays, t.word)) {
                return std::nullopt;
            }
            break;
        }
        case DateToken::Separator: {
            const QChar c = t.separator;
            if (c != u'.' && c != u'/' && c != u'-' && c != u',' && c != s.dateSeparator)
                return std::nullopt;
            break;
        }
        }
    }
    if (numbers.size() > 3 || (monthByName && numbers.size() > 2))
        return std::nullopt;

    int year = 0, month = 0, day = 0;
    const int currentYear = QDate::currentDate().year();
    if (monthByName) {
        month = monthByName;
        if (numbers.size() == 2) {
            const DateToken* a = numbers[0];
            const DateToken* b = numbers[1];
            const bool yearFirst = IsYearLike(*a) || (s.order == ReadSyntax::YMD && !IsYearLike(*b));
            day = (yearFirst ? b : a)->value;
            year = ExpandYear(yearFirst ? *a : *b);
        } else if (numbers.size() == 1) {
            if (IsYearLike(*numbers[0])) {
                year = ExpandYear(*numbers[0]);
                day = 1;
            } else {
                day = numbers[0]->value;
                year = currentYear;
            }
        } else {
            return std::nullopt;
        }
    } else if (numbers.size() == 3) {
        const DateToken& a = *numbers[0];
        const DateToken& b = *numbers[1];
        const DateToken& c = *numbers[2];
        if (IsYearLike(a) || s.order == ReadSyntax::YMD) {
            year = ExpandYear(a), month = b.value, day = c.value;
        } else if (s.order == ReadSyntax::MDY) {
            month = a.value, day = b.value, year = ExpandYear(c);
        } else {
            day = a.value, month = b.value, year = ExpandYear(c);
        }
    } else if (numbers.size() == 2) {
        const DateToken& a = *numbers[0];
        const DateToken& b = *numbers[1];
        if (IsYearLike(a)) {
            year = ExpandYear(a), month = b.value, day = 1;
        } else if (IsYearLike(b)) {
            month = a.value, year = ExpandYear(b), day = 1;
        } else if (s.order == ReadSyntax::DMY) {
            day = a.value, month = b.value, year = currentYear;
        } else {
            month = a.value, day = b.value, year = currentYear;
        }
    } else if (numbers.size() == 1) {
        return std::nullopt;
    } else if (hour < 0) {
        return std::nullopt;
    }

    QDate date = ZeroDate();
    if (year != 0 || month != 0) {
        if (year < 100 || year > 9999 || !QDate::isValid(year, month, day))
            return std::nullopt;
        date = QDate(year, month, day);
    }
    return QDateTime(date, time, Qt::UTC);
}

QByteArray ParseHex(QStringView text)
{
    QByteArray bytes;
    bytes.reserve(text.size() / 2);
    int high = -1;
    for (QChar c : text) {
        int v;
        const char16_t u = c.unicode();
        if (u >= '0' && u <= '9')
            v = u - '0';
        else if (u >= 'a' && u <= 'f')
            v = u - 'a' + 10;
        else if (u >= 'A' && u <= 'F')
            v = u - 'A' + 10;
        else if (c.isSpace() && high < 0)
            continue;
        else
            ThrowConversionError();
        if (high < 0) {
            high = v;
        } else {
            bytes.append(char(high * 16 + v));
            high = -1;
        }
    }
    if (high >= 0)
        ThrowConversionError();
    return bytes;
}

QUuid ParseGuid(QStringView text)
{
    if (text.startsWith(u"{guid", Qt::CaseInsensitive) && text.endsWith(u'}'))
        text = text.mid(5, text.size() - 6).trimmed();
    const QUuid id = QUuid::fromString(text);
    if (id.isNull()) {
        // Only the nil GUID itself may read as nil.
        int zeros = 0;
        for (QChar c : text) {
            if (c == u'0')
                ++zeros;
            else if (c != u'-' && c != u'{' && c != u'}')
                ThrowConversionError();
        }
        if (zeros != 32)
            ThrowConversionError();
    }
    return id;
}

DecimalNumber NumberOrThrow(QStringView text, const ReadSyntax& s)
{
    const auto number = ParseDecimal(text, s);
    if (!number)
        ThrowConversionError();
    return *number;
}

qint64 IntegerOrThrow(QStringView text, const ReadSyntax& s, qint64 low, qint64 high)
{
    DecimalNumber number = NumberOrThrow(text, s);
    number.RoundToFraction(0);
    const auto value = number.ToInt64();
    if (!value || *value < low || *value > high)
        ThrowConversionError();
    return *value;
}

} // namespace

// ---- DecimalNumber ----

DecimalNumber DecimalNumber::FromDouble(double value, int significantDigits)
{
    DecimalNumber n;
    if (!std::isfinite(value) || value == 0.0)
        return n;
    // The shortest form that reads back (fast), then rounded to the digits wanted.
    char buffer[64];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::scientific);
    const char* p = buffer;
    if (*p == '-') {
        n.negative = true;
        ++p;
    }
    for (; p < result.ptr && *p != 'e'; ++p) {
        if (*p >= '0' && *p <= '9')
            n.digits[size_t(n.count++)] = quint8(*p - '0');
    }
    int e = 0;
    std::from_chars(p + 1 + (p[1] == '+'), result.ptr, e);
    n.exponent = e + 1;
    while (n.count > 0 && n.digits[size_t(n.count - 1)] == 0)
        --n.count;
    n.RoundToFraction(qBound(1, significantDigits, 17) - n.exponent);
    return n;
}

DecimalNumber DecimalNumber::FromUnsigned(quint64 value, bool negative)
{
    DecimalNumber n;
    char buffer[24];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    n.exponent = int(result.ptr - buffer);
    for (const char* p = buffer; p < result.ptr; ++p)
        n.digits[size_t(n.count++)] = quint8(*p - '0');
    while (n.count > 0 && n.digits[size_t(n.count - 1)] == 0)
        --n.count;
    if (n.count == 0)
        n.exponent = 0;
    n.negative = negative && n.count > 0;
    return n;
}

DecimalNumber DecimalNumber::FromInteger(qint64 value)
{
    // The magnitude of the lowest value only fits unsigned.
    const quint64 magnitude = value < 0 ? 0 - quint64(value) : quint64(value);
    return FromUnsigned(magnitude, value < 0);
}

DecimalNumber DecimalNumber::FromCurrency(cCurrency value)
{
    DecimalNumber n = FromInteger(value.Units());
    n.Shift(-4);
    return n;
}

void DecimalNumber::Shift(int powers)
{
    if (count > 0)
        exponent = ClampExponent(qint64(exponent) + powers);
}

void DecimalNumber::RoundToFraction(int places)
{
    const qint64 keep = qint64(exponent) + places;
    if (keep >= count)
        return;
    if (keep < 0) {
        *this = DecimalNumber();
        return;
    }
    const bool up = digits[size_t(keep)] >= 5;
    count = int(keep);
    if (up) {
        int i = count - 1;
        while (i >= 0 && digits[size_t(i)] == 9)
            --i;
        if (i < 0) {
            digits[0] = 1;
            count = 1;
            exponent = ClampExponent(qint64(exponent) + 1);
        } else {
            ++digits[size_t(i)];
            count = i + 1;
        }
    }
    while (count > 0 && digits[size_t(count - 1)] == 0)
        --count;
    if (count == 0) {
        exponent = 0;
        negative = false;
    }
}

double DecimalNumber::ToDouble(bool* ok) const
{
    if (ok)
        *ok = true;
    if (count == 0)
        return 0.0;
    if (exponent < -400)
        return negative ? -0.0 : 0.0;
    if (exponent > 400) {
        if (ok)
            *ok = false;
        return 0.0;
    }
    char buffer[DecimalNumber::kMaxDigits + 16];
    char* p = buffer;
    *p++ = '0';
    *p++ = '.';
    for (int i = 0; i < count; ++i)
        *p++ = char('0' + digits[size_t(i)]);
    *p++ = 'e';
    p = std::to_chars(p, buffer + sizeof buffer, exponent).ptr;
    double value = 0.0;
    const auto result = std::from_chars(buffer, p, value);
    if (result.ec == std::errc::result_out_of_range) {
        if (exponent > 0) {
            if (ok)
                *ok = false;
            return 0.0;
        }
        value = 0.0;
    }
    return negative ? -value : value;
}

std::optional<qint64> DecimalNumber::ToInt64() const
{
    if (count == 0)
        return 0;
    if (exponent < count || exponent > 19)
        return std::nullopt;
    quint64 magnitude = 0;
    for (int i = 0; i < exponent; ++i) {
        const quint64 digit = i < count ? digits[size_t(i)] : 0;
        if (magnitude > (std::numeric_limits<quint64>::max() - digit) / 10)
            return std::nullopt;
        magnitude = magnitude * 10 + digit;
    }
    constexpr quint64 maxPositive = quint64(std::numeric_limits<qint64>::max());
    if (negative) {
        if (magnitude > maxPositive + 1)
            return std::nullopt;
        return magnitude == maxPositive + 1 ? std::numeric_limits<qint64>::min() : -qint64(magnitude);
    }
    if (magnitude > maxPositive)
        return std::nullopt;
    return qint64(magnitude);
}

// ---- public ----

std::optional<DecimalNumber> TextToDecimal(QStringView text)
{
    return ParseDecimal(text, SyntaxFor(QLocale()));
}

std::optional<QDateTime> TextToDateTime(QStringView text)
{
    return ParseDateTime(text, SyntaxFor(QLocale()));
}

std::optional<cCurrency> CurrencyFromDecimal(DecimalNumber value)
{
    value.Shift(4);
    value.RoundToFraction(0);
    const auto units = value.ToInt64();
    if (!units)
        return std::nullopt;
    return cCurrency::FromUnits(*units);
}

QDate ZeroDate()
{
    return QDate(1899, 12, 30);
}

double DateToSerial(const QDateTime& value)
{
    if (!value.date().isValid())
        return std::numeric_limits<double>::quiet_NaN();
    const double days = double(value.date().toJulianDay() - kJulianZeroDate);
    const double fraction = double(value.time().msecsSinceStartOfDay()) / double(kMsPerDay);
    return days < 0 ? days - fraction : days + fraction;
}

std::optional<QDateTime> SerialToDate(double serial)
{
    if (!std::isfinite(serial) || serial < kFirstSerial || serial >= kEndSerial)
        return std::nullopt;
    double whole = std::trunc(serial);
    qint64 ms = std::llround(std::fabs(serial - whole) * double(kMsPerDay));
    if (ms >= kMsPerDay) {
        ms = 0;
        whole += serial < 0 ? -1.0 : 1.0;
    }
    const QDate date = QDate::fromJulianDay(qint64(whole) + kJulianZeroDate);
    if (date.year() > 9999)
        return std::nullopt;
    return QDateTime(date, QTime::fromMSecsSinceStartOfDay(int(ms)), Qt::UTC);
}

BooleanWords BooleanWordsFor(const QLocale& locale)
{
    switch (locale.language()) {
    case QLocale::Czech:
        return {QStringLiteral("Pravda"), QStringLiteral("Nepravda"), QStringLiteral("Ano"),
                QStringLiteral("Ne"), QStringLiteral("Zapnuto"), QStringLiteral("Vypnuto")};
    case QLocale::Slovak:
        return {QStringLiteral("Pravda"), QStringLiteral("Nepravda"), QStringLiteral("Áno"),
                QStringLiteral("Nie"), QStringLiteral("Zapnuté"), QStringLiteral("Vypnuté")};
    case QLocale::German:
        return {QStringLiteral("Wahr"), QStringLiteral("Falsch"), QStringLiteral("Ja"),
                QStringLiteral("Nein"), QStringLiteral("Ein"), QStringLiteral("Aus")};
    default:
        return {QStringLiteral("True"), QStringLiteral("False"), QStringLiteral("Yes"),
                QStringLiteral("No"), QStringLiteral("On"), QStringLiteral("Off")};
    }
}

QVariant TextToValue(const QString& text, int dataType)
{
    switch (dataType) {
    case JetType::Text:
    case JetType::Memo:
    case JetType::Char:
        return text.isNull() ? QStringLiteral("") : text;
    default:
        break;
    }
    const QStringView t = QStringView(text).trimmed();
    if (t.isEmpty())
        return QVariant();
    const ReadSyntax& s = SyntaxFor(QLocale());
    switch (dataType) {
    case JetType::Boolean: {
        const auto value = ParseBoolean(t, s);
        if (!value)
            ThrowConversionError();
        return *value;
    }
    case JetType::Byte:
        return QVariant::fromValue(quint8(IntegerOrThrow(t, s, 0, 255)));
    case JetType::Integer:
        return QVariant::fromValue(qint16(IntegerOrThrow(t, s, -32768, 32767)));
    case JetType::Long:
        return QVariant::fromValue(
            qint32(IntegerOrThrow(t, s, std::numeric_limits<qint32>::min(), std::numeric_limits<qint32>::max())));
    case JetType::BigInt:
        return QVariant::fromValue(
            IntegerOrThrow(t, s, std::numeric_limits<qint64>::min(), std::numeric_limits<qint64>::max()));
    case JetType::Currency: {
        const auto value = CurrencyFromDecimal(NumberOrThrow(t, s));
        if (!value)
            ThrowConversionError();
        return QVariant::fromValue(*value);
    }
    case JetType::Single: {
        bool ok = false;
        const double value = NumberOrThrow(t, s).ToDouble(&ok);
        // Checked before the cast, which is undefined out of range.
        if (!ok || !(std::fabs(value) <= double(std::numeric_limits<float>::max())))
            ThrowConversionError();
        return QVariant::fromValue(float(value));
    }
    case JetType::Double:
    case JetType::Numeric:
    case JetType::Decimal:
    case JetType::Float: {
        bool ok = false;
        const double value = NumberOrThrow(t, s).ToDouble(&ok);
        if (!ok || !std::isfinite(value))
            ThrowConversionError();
        return value;
    }
    case JetType::Date:
    case JetType::Time:
    case JetType::TimeStamp: {
        const auto value = ParseDateTime(t, s);
        if (!value)
            ThrowConversionError();
        return *value;
    }
    case JetType::Binary:
    case JetType::VarBinary:
    case JetType::LongBinary:
        return ParseHex(t);
    case JetType::Guid:
        return ParseGuid(t);
    default:
        ThrowConversionError();
    }
}

void UseCNumbersInTheCLibrary()
{
    std::setlocale(LC_NUMERIC, "C");
}
