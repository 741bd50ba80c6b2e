#include "mNumberReading.h"

namespace TextReading {

namespace {

bool IsMinus(QChar c)
{
    return c == u'-' || c == QChar(0x2212);
}

bool StartsWithCaseless(QStringView text, const QString& prefix)
{
    return !prefix.isEmpty() && text.startsWith(prefix, Qt::CaseInsensitive);
}

bool EndsWithCaseless(QStringView text, const QString& suffix)
{
    return !suffix.isEmpty() && text.endsWith(suffix, Qt::CaseInsensitive);
}

} // namespace

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
            exponent = qMin<qint64>(exponent * 10 + (text.at(i).unicode() - '0'), DecimalNumber::kExponentLimit);
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

} // namespace TextReading
