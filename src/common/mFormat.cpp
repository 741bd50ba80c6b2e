#include "mFormat.h"

#include "mConvert.h"
#include "mLocaleCache.h"

#include <QDateTime>
#include <QHash>
#include <QLocale>
#include <QUuid>

#include <charconv>
#include <cmath>
#include <memory>
#include <vector>

namespace {

// ---- compiled patterns ----

enum class TokKind : quint8 {
    Literal, // pool[a, a + b)
    DateSep,
    TimeSep,
    // numbers
    Digit, // flags: kZero, kFraction
    Point,
    Percent,
    Exponent, // a: the letter; flags: kPlus
    ExponentDigit,
    // dates
    Day, // a: 1 to 6 letters
    Weekday,
    WeekOfYear,
    Month, // a: 1 to 4 letters; flags: kGenitive
    Minute, // a: 1 or 2
    Quarter,
    DayOfYear,
    Year, // a: 2 or 4 digits
    Hour, // a: 1 or 2; flags: kTwelve
    Second, // a: 1 or 2
    LongTime,
    GeneralDate,
    MeridiemPair, // am text pool[a, a + b), pm text right after it, flags its length
    MeridiemLocale, // flags: 0 as the locale writes it, 1 upper, 2 lower case
    // text
    CharOrBlank, // @
    CharOrNothing, // &
};

constexpr quint8 kZero = 1;
constexpr quint8 kFraction = 2;
constexpr quint8 kPlus = 1;
constexpr quint8 kGenitive = 1;
constexpr quint8 kTwelve = 1;

struct Tok {
    TokKind kind;
    quint8 flags = 0;
    int a = 0;
    int b = 0;
};

enum class SectionKind : quint8 { Empty, Literal, Number, Date, Text };

struct Section {
    SectionKind kind = SectionKind::Empty;
    std::vector<Tok> toks;
    QString pool;
    // numbers
    int intCount = 0;
    int intMin = 0;
    int fracCount = 0;
    std::vector<bool> fracZero;
    bool grouping = false;
    bool percent = false;
    bool scientific = false;
    int thousandsScale = 0;
    int exponentMin = 1;
    // text
    int placeholders = 0;
    int textCase = 0; // -1 lower, 1 upper
    bool leftToRight = false;

    void AddLiteral(QStringView text)
    {
        if (text.isEmpty())
            return;
        if (!toks.empty() && toks.back().kind == TokKind::Literal && toks.back().a + toks.back().b == pool.size()) {
            toks.back().b += int(text.size());
        } else {
            toks.push_back({TokKind::Literal, 0, int(pool.size()), int(text.size())});
        }
        pool += text;
    }
    void AddLiteral(QChar c) { AddLiteral(QStringView(&c, 1)); }
};

enum class Named : quint8 { None, GeneralNumber, Currency, YesNo, TrueFalse, OnOff };

struct Compiled {
    Named named = Named::None;
    int count = 0;
    Section sections[4];
    SectionKind kind = SectionKind::Number;
    int primary = 0; // the first section of that kind
};

// One character of a pattern; quoted and escaped characters are literal.
struct Unit {
    QChar c;
    bool literal;
};

QChar Lower(QChar c)
{
    const char16_t u = c.unicode();
    return u >= 'A' && u <= 'Z' ? QChar(char16_t(u + 32)) : c;
}

bool IsDateLetter(QChar c)
{
    switch (Lower(c).unicode()) {
    case 'd': case 'm': case 'y': case 'h': case 'n': case 's': case 'w': case 'q': case 'c':
        return true;
    default:
        return false;
    }
}

// Run of the same letter (either case), not literal, starting at i.
int RunLength(const std::vector<Unit>& u, size_t i)
{
    const QChar first = Lower(u[i].c);
    size_t j = i;
    while (j < u.size() && !u[j].literal && Lower(u[j].c) == first)
        ++j;
    return int(j - i);
}

bool MatchesAt(const std::vector<Unit>& u, size_t i, QLatin1String word)
{
    if (i + size_t(word.size()) > u.size())
        return false;
    for (qsizetype k = 0; k < word.size(); ++k) {
        const Unit& unit = u[i + size_t(k)];
        if (unit.literal || Lower(unit.c) != QLatin1Char(word.at(k)))
            return false;
    }
    return true;
}

SectionKind Classify(const std::vector<Unit>& u)
{
    if (u.empty())
        return SectionKind::Empty;
    bool date = false, text = false;
    for (size_t i = 0; i < u.size(); ++i) {
        if (u[i].literal)
            continue;
        const char16_t c = u[i].c.unicode();
        if (c == '0' || c == '#' || c == '%')
            return SectionKind::Number;
        if (IsDateLetter(u[i].c) || (Lower(u[i].c) == u't' && RunLength(u, i) >= 5) || MatchesAt(u, i, QLatin1String("am/pm"))
            || MatchesAt(u, i, QLatin1String("a/p")) || MatchesAt(u, i, QLatin1String("ampm")))
            date = true;
        if (c == '@' || c == '&' || c == '<' || c == '>' || c == '!')
            text = true;
    }
    return date ? SectionKind::Date : text ? SectionKind::Text : SectionKind::Literal;
}

// Far beyond anything shown, small enough that no arithmetic on it overflows.
constexpr int kCountLimit = 1000;

void CompileNumber(Section& s, const std::vector<Unit>& u)
{
    enum { Integer, Fraction, Exp } region = Integer;
    std::vector<size_t> commas; // positions in toks, integer part only
    for (size_t i = 0; i < u.size(); ++i) {
        const QChar c = u[i].c;
        if (u[i].literal) {
            s.AddLiteral(c);
            continue;
        }
        switch (c.unicode()) {
        case '0':
        case '#':
            s.toks.push_back({region == Exp ? TokKind::ExponentDigit : TokKind::Digit,
                              quint8((c == u'0' ? kZero : 0) | (region == Fraction ? kFraction : 0))});
            break;
        case '.':
            if (region == Integer) {
                s.toks.push_back({TokKind::Point});
                region = Fraction;
            } else {
                s.AddLiteral(c);
            }
            break;
        case ',':
            if (region == Integer)
                commas.push_back(s.toks.size());
            break;
        case '%':
            s.toks.push_back({TokKind::Percent});
            s.percent = true;
            break;
        case ':':
            s.toks.push_back({TokKind::TimeSep});
            break;
        case '/':
            s.toks.push_back({TokKind::DateSep});
            break;
        case 'E':
        case 'e':
            if (region != Exp && i + 1 < u.size() && !u[i + 1].literal && (u[i + 1].c == u'+' || u[i + 1].c == u'-')) {
                s.toks.push_back({TokKind::Exponent, quint8(u[i + 1].c == u'+' ? kPlus : 0), c.unicode()});
                s.scientific = true;
                region = Exp;
                ++i;
            } else {
                s.AddLiteral(c);
            }
            break;
        default:
            s.AddLiteral(c);
        }
    }

    // A section without integer placeholders still shows the integer digits, where the
    // integer part would stand.
    bool hasInteger = false;
    size_t insertAt = s.toks.size();
    for (size_t i = 0; i < s.toks.size(); ++i) {
        const Tok& t = s.toks[i];
        if (t.kind == TokKind::Digit && !(t.flags & kFraction)) {
            hasInteger = true;
            break;
        }
        if ((t.kind == TokKind::Point || t.kind == TokKind::Percent || t.kind == TokKind::Exponent) && insertAt == s.toks.size())
            insertAt = i;
    }
    if (!hasInteger) {
        s.toks.insert(s.toks.begin() + qsizetype(insertAt), Tok{TokKind::Digit});
        for (size_t& at : commas) {
            if (at >= insertAt)
                ++at;
        }
    }

    int firstZero = -1;
    int exponentZeros = 0;
    std::vector<size_t> integerDigitAt;
    for (size_t i = 0; i < s.toks.size(); ++i) {
        const Tok& t = s.toks[i];
        if (t.kind == TokKind::Digit && !(t.flags & kFraction)) {
            if (firstZero < 0 && (t.flags & kZero))
                firstZero = s.intCount;
            integerDigitAt.push_back(i);
            ++s.intCount;
        } else if (t.kind == TokKind::Digit) {
            s.fracZero.push_back(t.flags & kZero);
        } else if (t.kind == TokKind::ExponentDigit && (t.flags & kZero)) {
            ++exponentZeros;
        }
    }
    s.exponentMin = qBound(1, exponentZeros, kCountLimit);
    s.fracCount = int(s.fracZero.size());
    s.intMin = firstZero < 0 ? 0 : s.intCount - firstZero;
    // A comma followed by an integer placeholder groups; the ones after the last scale.
    const size_t lastInteger = integerDigitAt.empty() ? 0 : integerDigitAt.back();
    for (size_t at : commas) {
        if (at <= lastInteger)
            s.grouping = true;
        else
            s.thousandsScale = qMin(s.thousandsScale + 1, kCountLimit);
    }
}

void CompileDate(Section& s, const std::vector<Unit>& u)
{
    bool twelve = false;
    for (size_t i = 0; i < u.size();) {
        const QChar c = u[i].c;
        if (u[i].literal) {
            s.AddLiteral(c);
            ++i;
            continue;
        }
        const int run = RunLength(u, i);
        switch (Lower(c).unicode()) {
        case 'd': {
            const int n = qMin(run, 6);
            s.toks.push_back({TokKind::Day, 0, n});
            i += size_t(n);
            continue;
        }
        case 'w': {
            const int n = qMin(run, 2);
            s.toks.push_back({n == 1 ? TokKind::Weekday : TokKind::WeekOfYear});
            i += size_t(n);
            continue;
        }
        case 'm': {
            const int n = qMin(run, 4);
            s.toks.push_back({TokKind::Month, 0, n});
            i += size_t(n);
            continue;
        }
        case 'n':
        case 'h':
        case 's': {
            const int n = qMin(run, 2);
            const char16_t l = Lower(c).unicode();
            s.toks.push_back({l == 'n' ? TokKind::Minute : l == 'h' ? TokKind::Hour : TokKind::Second, 0, n});
            i += size_t(n);
            continue;
        }
        case 'y': {
            const int n = run >= 4 ? 4 : run >= 2 ? 2 : 1;
            s.toks.push_back(n == 1 ? Tok{TokKind::DayOfYear} : Tok{TokKind::Year, 0, n});
            i += size_t(n);
            continue;
        }
        case 'q':
            s.toks.push_back({TokKind::Quarter});
            ++i;
            continue;
        case 'c':
            s.toks.push_back({TokKind::GeneralDate});
            ++i;
            continue;
        case 't':
            if (run >= 5) {
                s.toks.push_back({TokKind::LongTime});
                i += 5;
                continue;
            }
            break;
        case 'a':
            if (MatchesAt(u, i, QLatin1String("am/pm")) || MatchesAt(u, i, QLatin1String("a/p"))) {
                const int half = MatchesAt(u, i, QLatin1String("am/pm")) ? 2 : 1;
                const int at = int(s.pool.size());
                for (int k = 0; k < half; ++k)
                    s.pool += u[i + size_t(k)].c;
                for (int k = 0; k < half; ++k)
                    s.pool += u[i + size_t(half + 1 + k)].c;
                s.toks.push_back({TokKind::MeridiemPair, quint8(half), at, half});
                twelve = true;
                i += size_t(2 * half + 1);
                continue;
            }
            if (MatchesAt(u, i, QLatin1String("ampm"))) {
                s.toks.push_back({TokKind::MeridiemLocale});
                twelve = true;
                i += 4;
                continue;
            }
            break;
        case ':':
            s.toks.push_back({TokKind::TimeSep});
            ++i;
            continue;
        case '/':
            s.toks.push_back({TokKind::DateSep});
            ++i;
            continue;
        default:
            break;
        }
        s.AddLiteral(c);
        ++i;
    }
    // m and mm after an hour are minutes; a month name after a day takes the form a
    // date uses ("6. prosince", not "6. prosinec").
    const Tok* previous = nullptr;
    bool dayBefore = false;
    for (Tok& t : s.toks) {
        if (t.kind == TokKind::Hour && twelve)
            t.flags = kTwelve;
        if (t.kind == TokKind::Month && t.a <= 2 && previous && previous->kind == TokKind::Hour)
            t.kind = TokKind::Minute;
        else if (t.kind == TokKind::Month && dayBefore)
            t.flags = kGenitive;
        if (t.kind == TokKind::Day && t.a <= 2)
            dayBefore = true;
        if (t.kind != TokKind::Literal && t.kind != TokKind::DateSep && t.kind != TokKind::TimeSep)
            previous = &t;
    }
}

void CompileText(Section& s, const std::vector<Unit>& u)
{
    for (const Unit& unit : u) {
        if (!unit.literal) {
            switch (unit.c.unicode()) {
            case '@':
                s.toks.push_back({TokKind::CharOrBlank});
                ++s.placeholders;
                continue;
            case '&':
                s.toks.push_back({TokKind::CharOrNothing});
                ++s.placeholders;
                continue;
            case '<':
                s.textCase = -1;
                continue;
            case '>':
                s.textCase = 1;
                continue;
            case '!':
                s.leftToRight = true;
                continue;
            default:
                break;
            }
        }
        s.AddLiteral(unit.c);
    }
}

void CompileSection(Section& s, const std::vector<Unit>& u)
{
    s.kind = Classify(u);
    switch (s.kind) {
    case SectionKind::Number:
        CompileNumber(s, u);
        break;
    case SectionKind::Date:
        CompileDate(s, u);
        break;
    case SectionKind::Text:
        CompileText(s, u);
        break;
    case SectionKind::Literal:
        for (const Unit& unit : u) {
            if (!unit.literal && unit.c == u':')
                s.toks.push_back({TokKind::TimeSep});
            else if (!unit.literal && unit.c == u'/')
                s.toks.push_back({TokKind::DateSep});
            else
                s.AddLiteral(unit.c);
        }
        break;
    case SectionKind::Empty:
        break;
    }
}

std::shared_ptr<Compiled> CompilePatternText(QStringView pattern)
{
    auto c = std::make_shared<Compiled>();
    std::vector<Unit> units;
    std::vector<Unit> sectionUnits[4];
    units.reserve(size_t(pattern.size()));
    const qsizetype n = pattern.size();
    for (qsizetype i = 0; i <= n && c->count < 4; ++i) {
        if (i == n || (pattern.at(i) == u';')) {
            CompileSection(c->sections[c->count], units);
            sectionUnits[c->count++].swap(units);
            units.clear();
            continue;
        }
        const QChar ch = pattern.at(i);
        if (ch == u'\\') {
            if (i + 1 < n)
                units.push_back({pattern.at(++i), true});
        } else if (ch == u'"') {
            for (++i; i < n && pattern.at(i) != u'"'; ++i)
                units.push_back({pattern.at(i), true});
            if (i == n)
                --i; // unterminated: the section still ends with the pattern
        } else {
            units.push_back({ch, false});
        }
    }
    c->kind = SectionKind::Number;
    for (int i = 0; i < c->count; ++i) {
        const SectionKind k = c->sections[i].kind;
        if (k == SectionKind::Number || k == SectionKind::Date || k == SectionKind::Text) {
            c->kind = k;
            c->primary = i;
            break;
        }
    }
    // The other sections of a pattern are texts for zero, Null and the like ("Nil"):
    // letters there are not date tokens.
    for (int i = 0; i < c->count; ++i) {
        Section& s = c->sections[i];
        if (s.kind != SectionKind::Empty && s.kind != SectionKind::Literal && s.kind != c->kind) {
            s = Section();
            s.kind = SectionKind::Literal;
            for (const Unit& unit : sectionUnits[i])
                s.AddLiteral(unit.c);
        }
    }
    return c;
}

std::shared_ptr<Compiled> CompilePattern(const QString& pattern)
{
    struct NamedFormat {
        QLatin1String name;
        Named named;
        QLatin1String equivalent;
    };
    static const NamedFormat kNamed[] = {
        {QLatin1String("General Number"), Named::GeneralNumber, QLatin1String()},
        {QLatin1String("Currency"), Named::Currency, QLatin1String()},
        {QLatin1String("Fixed"), Named::None, QLatin1String("0.00")},
        {QLatin1String("Standard"), Named::None, QLatin1String("#,##0.00")},
        {QLatin1String("Percent"), Named::None, QLatin1String("0.00%")},
        {QLatin1String("Scientific"), Named::None, QLatin1String("0.00E+00")},
        {QLatin1String("Yes/No"), Named::YesNo, QLatin1String()},
        {QLatin1String("True/False"), Named::TrueFalse, QLatin1String()},
        {QLatin1String("On/Off"), Named::OnOff, QLatin1String()},
        {QLatin1String("General Date"), Named::None, QLatin1String("c")},
        {QLatin1String("Long Date"), Named::None, QLatin1String("dddddd")},
        {QLatin1String("Medium Date"), Named::None, QLatin1String("dd-mmm-yy")},
        {QLatin1String("Short Date"), Named::None, QLatin1String("ddddd")},
        {QLatin1String("Long Time"), Named::None, QLatin1String("ttttt")},
        {QLatin1String("Medium Time"), Named::None, QLatin1String("hh:nn AMPM")},
        {QLatin1String("Short Time"), Named::None, QLatin1String("hh:nn")},
    };
    for (const NamedFormat& f : kNamed) {
        if (pattern.compare(f.name, Qt::CaseInsensitive) != 0)
            continue;
        if (f.named != Named::None) {
            auto c = std::make_shared<Compiled>();
            c->named = f.named;
            return c;
        }
        return CompilePatternText(QString(f.equivalent));
    }
    return CompilePatternText(pattern);
}

const Compiled& CompiledFor(const QString& pattern)
{
    // The grid formats every cell of a column with the same pattern.
    thread_local QHash<QString, std::shared_ptr<Compiled>> cache;
    thread_local QString lastPattern;
    thread_local std::shared_ptr<Compiled> last;
    if (last && pattern == lastPattern)
        return *last;
    auto found = cache.constFind(pattern);
    std::shared_ptr<Compiled> compiled;
    if (found != cache.constEnd()) {
        compiled = *found;
    } else {
        compiled = CompilePattern(pattern);
        if (pattern.size() <= 1000) {
            if (cache.size() >= 256)
                cache.clear();
            cache.insert(pattern, compiled);
        }
    }
    lastPattern = pattern;
    last = compiled;
    return *last;
}

// ---- locale ----

struct DateProgram {
    std::vector<Tok> toks;
    QString pool;
};

struct LocaleInfo {
    QLocale locale;
    QString decimal, group, minus, dateSep, timeSep, am, pm;
    QString dayLong[7], dayShort[7]; // Sunday first
    QString monthLong[12], monthShort[12], monthLongGenitive[12], monthShortGenitive[12];
    BooleanWords words;
    Section shortDate, longDate, longTime;
    QString currencyPrefix, currencySuffix, negativeCurrencyPrefix, negativeCurrencySuffix;
};

// A Qt date or time format as a compiled date section.
Section FromQtFormat(const QString& format, bool fourDigitYear)
{
    Section s;
    s.kind = SectionKind::Date;
    const bool twelve = format.contains(u'a', Qt::CaseInsensitive);
    const qsizetype n = format.size();
    for (qsizetype i = 0; i < n;) {
        const QChar c = format.at(i);
        if (c == u'\'') {
            qsizetype j = i + 1;
            if (j < n && format.at(j) == u'\'') {
                s.AddLiteral(c);
                i = j + 1;
                continue;
            }
            for (; j < n && format.at(j) != u'\''; ++j)
                s.AddLiteral(format.at(j));
            i = j + 1;
            continue;
        }
        qsizetype run = 1;
        while (i + run < n && format.at(i + run) == c)
            ++run;
        const int r = int(qMin<qsizetype>(run, 4));
        switch (c.unicode()) {
        case 'd':
            s.toks.push_back({TokKind::Day, 0, r});
            break;
        case 'M':
            s.toks.push_back({TokKind::Month, kGenitive, r});
            break;
        case 'y':
            s.toks.push_back({TokKind::Year, 0, r == 2 && !fourDigitYear ? 2 : 4});
            break;
        case 'h':
        case 'H':
            s.toks.push_back({TokKind::Hour, quint8(c == u'h' && twelve ? kTwelve : 0), qMin(r, 2)});
            break;
        case 'm':
            s.toks.push_back({TokKind::Minute, 0, qMin(r, 2)});
            break;
        case 's':
            s.toks.push_back({TokKind::Second, 0, qMin(r, 2)});
            break;
        case 'a':
        case 'A': {
            const bool both = i + 1 < n && (format.at(i + 1) == u'p' || format.at(i + 1) == u'P');
            s.toks.push_back({TokKind::MeridiemLocale, quint8(c == u'A' ? 1 : 2)});
            i += both ? 2 : 1;
            continue;
        }
        case 't':
        case 'z':
            // No zone and no milliseconds in a value without them; drop the blank before.
            if (!s.toks.empty() && s.toks.back().kind == TokKind::Literal) {
                Tok& t = s.toks.back();
                while (t.b > 0 && s.pool.at(t.a + t.b - 1).isSpace()) {
                    --t.b;
                    if (t.a + t.b + 1 == s.pool.size())
                        s.pool.chop(1);
                }
                if (t.b == 0)
                    s.toks.pop_back();
            }
            break;
        default:
            for (qsizetype k = 0; k < run; ++k)
                s.AddLiteral(c);
            break;
        }
        i += run;
    }
    return s;
}

std::unique_ptr<LocaleInfo> BuildLocaleInfo(const QLocale& locale)
{
    auto li = std::make_unique<LocaleInfo>();
    li->locale = locale;
    li->decimal = locale.decimalPoint();
    li->group = locale.groupSeparator();
    li->minus = locale.negativeSign();
    li->am = locale.amText();
    li->pm = locale.pmText();
    const QString shortFormat = locale.dateFormat(QLocale::ShortFormat);
    li->dateSep = QStringLiteral("/");
    for (QChar c : shortFormat) {
        if (!c.isLetter() && !c.isSpace() && c != u'\'') {
            li->dateSep = QString(c);
            break;
        }
    }
    const QString timeFormat = locale.timeFormat(QLocale::LongFormat);
    li->timeSep = QStringLiteral(":");
    for (QChar c : timeFormat) {
        if (!c.isLetter() && !c.isSpace() && c != u'\'') {
            li->timeSep = QString(c);
            break;
        }
    }
    for (int i = 0; i < 7; ++i) {
        const int qtDay = i == 0 ? 7 : i;
        li->dayLong[i] = locale.dayName(qtDay, QLocale::LongFormat);
        li->dayShort[i] = locale.dayName(qtDay, QLocale::ShortFormat);
    }
    for (int m = 0; m < 12; ++m) {
        li->monthLong[m] = locale.standaloneMonthName(m + 1, QLocale::LongFormat);
        li->monthShort[m] = locale.standaloneMonthName(m + 1, QLocale::ShortFormat);
        li->monthLongGenitive[m] = locale.monthName(m + 1, QLocale::LongFormat);
        li->monthShortGenitive[m] = locale.monthName(m + 1, QLocale::ShortFormat);
    }
    li->words = BooleanWordsFor(locale);
    li->shortDate = FromQtFormat(shortFormat, true);
    li->longDate = FromQtFormat(locale.dateFormat(QLocale::LongFormat), true);
    li->longTime = FromQtFormat(timeFormat, true);

    // The locale's currency pattern, found around a known number.
    const QString number = locale.toString(1234.5, 'f', 2);
    const QString positive = locale.toCurrencyString(1234.5, QString(), 2);
    const QString negative = locale.toCurrencyString(-1234.5, QString(), 2);
    const qsizetype p = positive.indexOf(number);
    const qsizetype q = negative.indexOf(number);
    const QString symbol = locale.currencySymbol(QLocale::CurrencySymbol);
    if (p >= 0 && q >= 0) {
        li->currencyPrefix = positive.left(p);
        li->currencySuffix = positive.mid(p + number.size());
        li->negativeCurrencyPrefix = negative.left(q);
        li->negativeCurrencySuffix = negative.mid(q + number.size());
    } else {
        li->currencySuffix = QLatin1Char(' ') + symbol;
        li->negativeCurrencyPrefix = li->minus;
        li->negativeCurrencySuffix = li->currencySuffix;
    }
    return li;
}

const LocaleInfo& CurrentLocale()
{
    return CachedForLocale<LocaleInfo>(QLocale(), BuildLocaleInfo);
}

// ---- values ----

struct Value {
    enum Kind { Null, Number, Date, Text } kind = Null;
    DecimalNumber number;
    int significant = 0; // digits shown before an exponent; 0 for exact values
    bool isBoolean = false;
    QDateTime date;
    QString text;
    bool opaque = false; // a text that is never read as a number or a date (binary, GUID)
};

// Collects the characters of a result and hands them to the QString in blocks: one
// append per block rather than one per digit.
class Appender {
public:
    explicit Appender(QString& out) : m_out(out) {}
    ~Appender() { Flush(); }
    Appender(const Appender&) = delete;
    Appender& operator=(const Appender&) = delete;

    Appender& operator+=(char16_t c)
    {
        if (m_size == kSize)
            Flush();
        m_buffer[m_size++] = c;
        return *this;
    }
    Appender& operator+=(QChar c) { return *this += c.unicode(); }
    Appender& operator+=(QLatin1Char c) { return *this += char16_t(uchar(c.toLatin1())); }
    Appender& operator+=(QLatin1String text)
    {
        for (char c : text)
            *this += char16_t(uchar(c));
        return *this;
    }
    Appender& operator+=(QStringView text)
    {
        if (text.size() <= 4) {
            for (QChar c : text)
                *this += c.unicode();
        } else {
            Flush();
            m_out += text;
        }
        return *this;
    }
    Appender& operator+=(const QString& text) { return *this += QStringView(text); }
    void Flush()
    {
        if (m_size > 0) {
            m_out.append(reinterpret_cast<const QChar*>(m_buffer), m_size);
            m_size = 0;
        }
    }

private:
    static constexpr int kSize = 64;
    QString& m_out;
    char16_t m_buffer[kSize];
    int m_size = 0;
};

constexpr int kExactDigits = 0;

Value ClassifyValue(const QVariant& v);
void AppendPlain(Appender& out, const Value& v, const LocaleInfo& li);

void AppendNumber(Appender& out, qint64 value, int minDigits)
{
    char buffer[32];
    const quint64 magnitude = value < 0 ? 0 - quint64(value) : quint64(value);
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, magnitude);
    if (value < 0)
        out += QLatin1Char('-');
    for (qsizetype k = result.ptr - buffer; k < minDigits; ++k)
        out += QLatin1Char('0');
    out += QLatin1String(buffer, result.ptr - buffer);
}

void AppendDigit(Appender& out, int digit)
{
    out += QChar(char16_t('0' + digit));
}

// The classic plain form of a number: up to `significant` digits before an exponent.
void AppendGeneralNumber(Appender& out, const DecimalNumber& n, int significant, const LocaleInfo& li)
{
    if (n.IsZero()) {
        out += QLatin1Char('0');
        return;
    }
    if (n.negative)
        out += li.minus;
    if (significant != kExactDigits && (n.exponent > significant || n.exponent < -3)) {
        AppendDigit(out, n.digits[0]);
        if (n.count > 1) {
            out += li.decimal;
            for (int i = 1; i < n.count; ++i)
                AppendDigit(out, n.digits[size_t(i)]);
        }
        const int e = n.exponent - 1;
        out += e < 0 ? QLatin1String("E-") : QLatin1String("E+");
        AppendNumber(out, e < 0 ? -qint64(e) : e, 2);
        return;
    }
    if (n.exponent <= 0) {
        out += QLatin1Char('0');
    } else {
        for (int p = n.exponent - 1; p >= 0; --p)
            AppendDigit(out, n.DigitAt(p));
    }
    if (n.count > n.exponent) {
        out += li.decimal;
        for (int p = -1; p >= n.exponent - n.count; --p)
            AppendDigit(out, n.DigitAt(p));
    }
}

struct DateParts {
    int year, month, day, hour, minute, second;
    int weekday; // 0 Sunday
    int dayOfYear;
    QDate date;
    bool zeroDate, midnight;
};

DateParts Split(const QDateTime& dt)
{
    DateParts p{};
    p.date = dt.date();
    const QTime t = dt.time();
    p.year = p.date.year();
    p.month = p.date.month();
    p.day = p.date.day();
    p.hour = t.hour();
    p.minute = t.minute();
    p.second = t.second();
    p.weekday = p.date.dayOfWeek() % 7;
    p.dayOfYear = p.date.dayOfYear();
    p.zeroDate = p.date == ZeroDate();
    p.midnight = p.hour == 0 && p.minute == 0 && p.second == 0;
    return p;
}

void AppendDate(Appender& out, const Section& s, const DateParts& p, const LocaleInfo& li);

void AppendGeneralDate(Appender& out, const DateParts& p, const LocaleInfo& li)
{
    if (!p.zeroDate)
        AppendDate(out, li.shortDate, p, li);
    if (!p.midnight || p.zeroDate) {
        if (!p.zeroDate)
            out += QLatin1Char(' ');
        AppendDate(out, li.longTime, p, li);
    }
}

void AppendDate(Appender& out, const Section& s, const DateParts& p, const LocaleInfo& li)
{
    for (const Tok& t : s.toks) {
        switch (t.kind) {
        case TokKind::Literal:
            out += QStringView(s.pool).mid(t.a, t.b);
            break;
        case TokKind::DateSep:
            out += li.dateSep;
            break;
        case TokKind::TimeSep:
            out += li.timeSep;
            break;
        case TokKind::Day:
            switch (t.a) {
            case 1:
            case 2:
                AppendNumber(out, p.day, t.a);
                break;
            case 3:
                out += li.dayShort[p.weekday];
                break;
            case 4:
                out += li.dayLong[p.weekday];
                break;
            case 5:
                AppendDate(out, li.shortDate, p, li);
                break;
            default:
                AppendDate(out, li.longDate, p, li);
                break;
            }
            break;
        case TokKind::Weekday:
            AppendNumber(out, p.weekday + 1, 1);
            break;
        case TokKind::WeekOfYear: {
            const int firstWeekday = QDate(p.year, 1, 1).dayOfWeek() % 7;
            AppendNumber(out, (p.dayOfYear - 1 + firstWeekday) / 7 + 1, 1);
            break;
        }
        case TokKind::Month: {
            const int m = p.month - 1;
            if (t.a <= 2)
                AppendNumber(out, p.month, t.a);
            else if (t.a == 3)
                out += (t.flags & kGenitive) ? li.monthShortGenitive[m] : li.monthShort[m];
            else
                out += (t.flags & kGenitive) ? li.monthLongGenitive[m] : li.monthLong[m];
            break;
        }
        case TokKind::Minute:
            AppendNumber(out, p.minute, t.a);
            break;
        case TokKind::Second:
            AppendNumber(out, p.second, t.a);
            break;
        case TokKind::Hour: {
            int h = p.hour;
            if (t.flags & kTwelve)
                h = h % 12 == 0 ? 12 : h % 12;
            AppendNumber(out, h, t.a);
            break;
        }
        case TokKind::Quarter:
            AppendNumber(out, (p.month - 1) / 3 + 1, 1);
            break;
        case TokKind::DayOfYear:
            AppendNumber(out, p.dayOfYear, 1);
            break;
        case TokKind::Year:
            if (t.a == 2)
                AppendNumber(out, (p.year < 0 ? -p.year : p.year) % 100, 2);
            else
                AppendNumber(out, p.year, 1);
            break;
        case TokKind::LongTime:
            AppendDate(out, li.longTime, p, li);
            break;
        case TokKind::GeneralDate:
            AppendGeneralDate(out, p, li);
            break;
        case TokKind::MeridiemPair:
            out += QStringView(s.pool).mid(p.hour < 12 ? t.a : t.a + t.b, t.b);
            break;
        case TokKind::MeridiemLocale: {
            const QString& text = p.hour < 12 ? li.am : li.pm;
            out += t.flags == 1 ? text.toUpper() : t.flags == 2 ? text.toLower() : text;
            break;
        }
        default:
            break;
        }
    }
}

// ---- numbers under a section ----

// The number as a Number section shows it: scaled, rounded, and for an exponent
// the mantissa with its power of ten.
struct Prepared {
    DecimalNumber mantissa;
    int exponent = 0;
};

Prepared Prepare(const Section& s, DecimalNumber n)
{
    Prepared p;
    n.negative = false;
    if (s.percent)
        n.Shift(2);
    if (s.thousandsScale)
        n.Shift(-3 * s.thousandsScale);
    if (s.scientific && !n.IsZero()) {
        p.exponent = n.exponent - s.intCount;
        n.exponent = s.intCount;
        n.RoundToFraction(s.fracCount);
        if (n.exponent > s.intCount) {
            p.exponent += n.exponent - s.intCount;
            n.exponent = s.intCount;
        }
    } else {
        n.RoundToFraction(s.fracCount);
    }
    p.mantissa = n;
    return p;
}

void AppendNumberSection(Appender& out, const Section& s, const Prepared& prepared, const LocaleInfo& li)
{
    const DecimalNumber& m = prepared.mantissa;
    const int length = m.IsZero() ? 0 : qMax(m.exponent, 0);
    const int width = qMax(length, s.intMin);
    int lastFraction = s.fracCount;
    while (lastFraction > 0 && !s.fracZero[size_t(lastFraction - 1)] && m.DigitAt(-lastFraction) == 0)
        --lastFraction;
    int integerIndex = 0;
    int fractionIndex = 0;
    bool exponentShown = false;
    const auto appendExponent = [&] {
        exponentShown = true;
        const int e = prepared.exponent < 0 ? -prepared.exponent : prepared.exponent;
        AppendNumber(out, e, s.exponentMin);
    };
    for (size_t i = 0; i < s.toks.size(); ++i) {
        const Tok& t = s.toks[i];
        switch (t.kind) {
        case TokKind::Literal:
            out += QStringView(s.pool).mid(t.a, t.b);
            break;
        case TokKind::DateSep:
            out += li.dateSep;
            break;
        case TokKind::TimeSep:
            out += li.timeSep;
            break;
        case TokKind::Percent:
            out += QLatin1Char('%');
            break;
        case TokKind::Point:
            out += li.decimal;
            break;
        case TokKind::Digit:
            if (t.flags & kFraction) {
                ++fractionIndex;
                if (fractionIndex <= lastFraction)
                    AppendDigit(out, m.DigitAt(-fractionIndex));
            } else {
                const int low = s.intCount - 1 - integerIndex;
                const int high = integerIndex == 0 ? qMax(width, s.intCount) - 1 : low;
                for (int power = high; power >= low; --power) {
                    if (power >= width)
                        continue;
                    AppendDigit(out, m.DigitAt(power));
                    if (s.grouping && power > 0 && power % 3 == 0)
                        out += li.group;
                }
                ++integerIndex;
            }
            break;
        case TokKind::Exponent:
            out += QChar(char16_t(t.a));
            if (prepared.exponent < 0)
                out += QLatin1Char('-');
            else if (t.flags & kPlus)
                out += QLatin1Char('+');
            if (i + 1 >= s.toks.size() || s.toks[i + 1].kind != TokKind::ExponentDigit)
                appendExponent();
            break;
        case TokKind::ExponentDigit:
            if (!exponentShown)
                appendExponent();
            break;
        default:
            break;
        }
    }
}

void AppendLiterals(Appender& out, const Section& s, const LocaleInfo& li)
{
    for (const Tok& t : s.toks) {
        if (t.kind == TokKind::Literal)
            out += QStringView(s.pool).mid(t.a, t.b);
        else if (t.kind == TokKind::DateSep)
            out += li.dateSep;
        else if (t.kind == TokKind::TimeSep)
            out += li.timeSep;
        else if (t.kind == TokKind::Percent)
            out += QLatin1Char('%');
        else if (t.kind == TokKind::Point)
            out += li.decimal;
    }
}

// Character by character, as the classic function changes case: no allocation, and no
// letter turns into two.
void AppendCased(Appender& out, QStringView text, int textCase)
{
    if (textCase == 0) {
        out += text;
        return;
    }
    for (QChar c : text)
        out += textCase < 0 ? c.toLower() : c.toUpper();
}

void AppendText(Appender& out, const Section& s, const QString& text)
{
    if (s.kind != SectionKind::Text) {
        for (const Tok& t : s.toks) {
            if (t.kind == TokKind::Literal)
                out += QStringView(s.pool).mid(t.a, t.b);
        }
        return;
    }
    if (s.placeholders == 0) {
        for (const Tok& t : s.toks)
            out += QStringView(s.pool).mid(t.a, t.b);
        AppendCased(out, text, s.textCase);
        return;
    }
    const qsizetype length = text.size();
    const qsizetype slotCount = s.placeholders;
    const qsizetype missing = length < slotCount ? slotCount - length : 0;
    qsizetype slot = 0;
    qsizetype next = 0; // next character of the text
    for (const Tok& t : s.toks) {
        if (t.kind == TokKind::Literal) {
            out += QStringView(s.pool).mid(t.a, t.b);
            continue;
        }
        // Placeholders fill from the right unless "!"; extra characters go to the
        // first placeholder (or, filling from the left, to the last).
        bool empty;
        qsizetype take = 1;
        if (s.leftToRight) {
            empty = slot >= length;
            if (slot == slotCount - 1 && length > slotCount)
                take = length - slot;
        } else {
            empty = slot < missing;
            if (slot == 0 && length > slotCount)
                take = length - slotCount + 1;
        }
        if (empty) {
            if (t.kind == TokKind::CharOrBlank)
                out += QLatin1Char(' ');
        } else {
            AppendCased(out, QStringView(text).mid(next, take), s.textCase);
            next += take;
        }
        ++slot;
    }
}

void AppendSignedSection(Appender& out, const Section& s, const Value& v, const DecimalNumber& n, bool sign,
                         const LocaleInfo& li)
{
    switch (s.kind) {
    case SectionKind::Number: {
        const Prepared p = Prepare(s, n);
        if (sign && !p.mantissa.IsZero())
            out += li.minus;
        AppendNumberSection(out, s, p, li);
        break;
    }
    case SectionKind::Literal:
        if (sign)
            out += li.minus;
        AppendLiterals(out, s, li);
        break;
    case SectionKind::Empty: {
        Value plain = v;
        plain.number = n;
        plain.number.negative = sign && !n.IsZero();
        AppendGeneralNumber(out, plain.number, plain.significant, li);
        break;
    }
    case SectionKind::Date: {
        if (const auto date = SerialToDate(n.ToDouble()))
            AppendDate(out, s, Split(*date), li);
        else
            AppendPlain(out, v, li);
        break;
    }
    case SectionKind::Text: {
        QString text;
        {
            Appender plain(text);
            AppendPlain(plain, v, li);
        }
        AppendText(out, s, text);
        break;
    }
    }
}

// A number under sections for positive, negative, zero and Null values.
void AppendNumberKind(Appender& out, const Compiled& c, const Value& v, const LocaleInfo& li)
{
    const Section& positive = c.sections[0];
    const Section* negative = c.count >= 2 && c.sections[1].kind != SectionKind::Empty ? &c.sections[1] : nullptr;
    const Section* zero = c.count >= 3 && c.sections[2].kind != SectionKind::Empty ? &c.sections[2] : nullptr;
    DecimalNumber magnitude = v.number;
    magnitude.negative = false;
    // False, showing nothing, when the number shows as zero under the section.
    const auto show = [&](const Section& s, bool sign) {
        if (magnitude.IsZero())
            return false;
        if (s.kind != SectionKind::Number) {
            AppendSignedSection(out, s, v, magnitude, sign, li);
            return true;
        }
        const Prepared p = Prepare(s, magnitude);
        if (p.mantissa.IsZero())
            return false;
        if (sign)
            out += li.minus;
        AppendNumberSection(out, s, p, li);
        return true;
    };
    if (v.number.negative) {
        const Section& s = negative ? *negative : positive;
        if (show(s, &s == &positive))
            return;
    } else if (show(positive, false)) {
        return;
    }
    // A value that shows as zero is shown as zero is, without a sign.
    AppendSignedSection(out, zero ? *zero : positive, v, DecimalNumber(), false, li);
}

void AppendGroupedFixed(Appender& out, DecimalNumber n, int decimals, const LocaleInfo& li)
{
    n.RoundToFraction(decimals);
    const int width = qMax(n.IsZero() ? 0 : n.exponent, 1);
    for (int p = width - 1; p >= 0; --p) {
        AppendDigit(out, n.DigitAt(p));
        if (p > 0 && p % 3 == 0)
            out += li.group;
    }
    out += li.decimal;
    for (int p = -1; p >= -decimals; --p)
        AppendDigit(out, n.DigitAt(p));
}

// ---- value classification ----

QString HexText(const QByteArray& bytes)
{
    constexpr qsizetype kShown = 255;
    static const char kHex[] = "0123456789ABCDEF";
    const qsizetype shown = qMin(bytes.size(), kShown);
    QString text;
    text.reserve(shown * 2 + 1);
    for (qsizetype i = 0; i < shown; ++i) {
        const auto b = static_cast<unsigned char>(bytes.at(i));
        text += QLatin1Char(kHex[b >> 4]);
        text += QLatin1Char(kHex[b & 15]);
    }
    if (bytes.size() > kShown)
        text += QChar(0x2026);
    return text;
}

Value ClassifyValue(const QVariant& v)
{
    Value r;
    if (!v.isValid())
        return r;
    r.kind = Value::Number;
    r.significant = kExactDigits;
    switch (v.typeId()) {
    case QMetaType::Bool:
        r.isBoolean = true;
        r.number = DecimalNumber::FromInteger(v.toBool() ? -1 : 0);
        return r;
    case QMetaType::Int:
    case QMetaType::Short:
    case QMetaType::Long:
    case QMetaType::LongLong:
    case QMetaType::SChar:
    case QMetaType::Char:
        r.number = DecimalNumber::FromInteger(v.toLongLong());
        return r;
    case QMetaType::UInt:
    case QMetaType::UShort:
    case QMetaType::ULong:
    case QMetaType::ULongLong:
    case QMetaType::UChar:
        r.number = DecimalNumber::FromUnsigned(v.toULongLong());
        return r;
    case QMetaType::Double:
    case QMetaType::Float: {
        const bool single = v.typeId() == QMetaType::Float;
        const double d = single ? double(v.value<float>()) : v.toDouble();
        if (!std::isfinite(d)) {
            r.kind = Value::Text;
            r.text = std::isnan(d) ? QStringLiteral("NaN") : d < 0 ? QStringLiteral("-∞") : QStringLiteral("∞");
            r.opaque = true;
            return r;
        }
        r.significant = single ? 7 : 15;
        r.number = DecimalNumber::FromDouble(d, r.significant);
        return r;
    }
    case QMetaType::QDateTime:
        r.kind = Value::Date;
        r.date = v.toDateTime();
        break;
    case QMetaType::QDate:
        r.kind = Value::Date;
        r.date = QDateTime(v.toDate(), QTime(0, 0), Qt::UTC);
        break;
    case QMetaType::QTime:
        r.kind = Value::Date;
        r.date = QDateTime(ZeroDate(), v.toTime(), Qt::UTC);
        break;
    case QMetaType::QString:
        r.kind = Value::Text;
        r.text = v.toString();
        return r;
    case QMetaType::QByteArray:
        r.kind = Value::Text;
        r.text = HexText(v.toByteArray());
        r.opaque = true;
        return r;
    case QMetaType::QUuid:
        r.kind = Value::Text;
        r.text = v.value<QUuid>().toString(QUuid::WithBraces).toUpper();
        r.opaque = true;
        return r;
    default:
        if (v.metaType() == QMetaType::fromType<cCurrency>()) {
            r.number = DecimalNumber::FromCurrency(v.value<cCurrency>());
            return r;
        }
        r.kind = Value::Text;
        r.text = v.toString();
        return r;
    }
    if (!r.date.isValid())
        r.kind = Value::Null;
    return r;
}

void AppendPlain(Appender& out, const Value& v, const LocaleInfo& li)
{
    switch (v.kind) {
    case Value::Null:
        break;
    case Value::Number:
        if (v.isBoolean)
            out += v.number.IsZero() ? li.words.falseText : li.words.trueText;
        else
            AppendGeneralNumber(out, v.number, v.significant, li);
        break;
    case Value::Date:
        AppendGeneralDate(out, Split(v.date), li);
        break;
    case Value::Text:
        out += v.text;
        break;
    }
}

// A text read as a number or a date for a pattern of that kind; false leaves it text.
bool TextAsNumber(Value& v)
{
    if (v.kind != Value::Text || v.opaque)
        return v.kind == Value::Number;
    const auto n = TextToDecimal(v.text);
    if (!n || n->exponent > 400 || n->exponent < -400)
        return false;
    // A typed number is a Double to the classic function.
    v.kind = Value::Number;
    v.number = *n;
    v.number.RoundToFraction(15 - v.number.exponent);
    v.significant = 15;
    return true;
}

bool AsNumber(Value& v)
{
    if (v.kind == Value::Date) {
        v.kind = Value::Number;
        v.number = DecimalNumber::FromDouble(DateToSerial(v.date), 15);
        v.significant = 15;
        return true;
    }
    return TextAsNumber(v);
}

void Render(Appender& out, const Compiled& c, Value v, const LocaleInfo& li)
{
    if (c.named != Named::None) {
        if (v.kind == Value::Null)
            return;
        if (!AsNumber(v)) {
            out += v.text;
            return;
        }
        switch (c.named) {
        case Named::GeneralNumber:
            AppendGeneralNumber(out, v.number, v.significant, li);
            break;
        case Named::Currency: {
            const bool negative = v.number.negative;
            DecimalNumber n = v.number;
            n.negative = false;
            n.RoundToFraction(2);
            const bool sign = negative && !n.IsZero();
            out += sign ? li.negativeCurrencyPrefix : li.currencyPrefix;
            AppendGroupedFixed(out, n, 2, li);
            out += sign ? li.negativeCurrencySuffix : li.currencySuffix;
            break;
        }
        case Named::YesNo:
            out += v.number.IsZero() ? li.words.no : li.words.yes;
            break;
        case Named::TrueFalse:
            out += v.number.IsZero() ? li.words.falseText : li.words.trueText;
            break;
        case Named::OnOff:
            out += v.number.IsZero() ? li.words.off : li.words.on;
            break;
        case Named::None:
            break;
        }
        return;
    }

    switch (c.kind) {
    case SectionKind::Date: {
        if (v.kind == Value::Null)
            return;
        std::optional<QDateTime> date;
        if (v.kind == Value::Date)
            date = v.date;
        else if (v.kind == Value::Number)
            date = SerialToDate(v.number.ToDouble());
        else if (!v.opaque)
            date = TextToDateTime(v.text);
        if (!date) {
            AppendPlain(out, v, li);
            return;
        }
        AppendDate(out, c.sections[c.primary], Split(*date), li);
        return;
    }
    case SectionKind::Text: {
        const bool blank = v.kind == Value::Null || (v.kind == Value::Text && v.text.isEmpty());
        if (blank && c.count >= 2) {
            AppendText(out, c.sections[1], QString());
            return;
        }
        if (v.kind == Value::Null)
            return;
        if (v.kind == Value::Text) {
            AppendText(out, c.sections[0], v.text);
        } else {
            QString text;
            {
                Appender plain(text);
                AppendPlain(plain, v, li);
            }
            AppendText(out, c.sections[0], text);
        }
        return;
    }
    default:
        break;
    }

    if (v.kind == Value::Null) {
        if (c.count == 4)
            AppendLiterals(out, c.sections[3], li);
        return;
    }
    if (!AsNumber(v)) {
        out += v.text;
        return;
    }
    AppendNumberKind(out, c, v, li);
    return;
}

} // namespace

QString ValueToText(const QVariant& value)
{
    const LocaleInfo& li = CurrentLocale();
    const Value v = ClassifyValue(value);
    if (v.kind == Value::Text)
        return v.text;
    QString out;
    out.reserve(40);
    {
        Appender appender(out);
        AppendPlain(appender, v, li);
    }
    return out;
}

QString Format(const QVariant& value, const QString& pattern)
{
    if (pattern.isEmpty())
        return ValueToText(value);
    const LocaleInfo& li = CurrentLocale();
    QString out;
    out.reserve(40);
    {
        Appender appender(out);
        Render(appender, CompiledFor(pattern), ClassifyValue(value), li);
    }
    return out;
}
