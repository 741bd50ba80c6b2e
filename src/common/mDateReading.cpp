#include "mDateReading.h"

#include "mConvert.h"

#include <array>

namespace TextReading {

namespace {

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

// The time of day the tokens hold, its tokens marked used: h:mm[:ss[.fff]], or an hour with
// an AM/PM word. Midnight with timeRead false when there is none; nothing when the tokens
// hold two times, an AM/PM word out of place, or no valid time.
std::optional<QTime> ReadTime(std::vector<DateToken>& tokens, const ReadSyntax& s, bool& timeRead)
{
    const auto isSep = [&](size_t i, QChar c) {
        return i < tokens.size() && tokens[i].kind == DateToken::Separator && tokens[i].separator == c;
    };
    const auto isNumber = [&](size_t i) { return i < tokens.size() && tokens[i].kind == DateToken::Number; };

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
    timeRead = hour >= 0;
    if (hour < 0)
        return QTime(0, 0);
    if (hour > 23 || minute > 59 || second > 59)
        return std::nullopt;
    return QTime(hour, minute, second, msec);
}

// Year, month and day from the date's numbers and a month given by name (0 for none), in
// the locale's order where the numbers leave it open; all 0 for a time alone.
std::optional<std::array<int, 3>> PlaceDateNumbers(const std::vector<const DateToken*>& numbers, int monthByName,
                                                   const ReadSyntax& s, bool timeRead)
{
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
    } else if (!timeRead) {
        return std::nullopt;
    }
    return std::array<int, 3>{year, month, day};
}

// The date in the tokens the time left: numbers, at most one month name, weekday names and
// separators. Day zero for a time alone.
std::optional<QDate> ReadDate(const std::vector<DateToken>& tokens, const ReadSyntax& s, bool timeRead)
{
    std::vector<const DateToken*> numbers;
    int monthByName = 0;
    for (const DateToken& t : tokens) {
        if (t.used)
            continue;
        switch (t.kind) {
        case DateToken::Number:
            numbers.push_back(&t);
            break;
        case DateToken::Word: {
            if (t.word == QLatin1String("t") && timeRead)
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
    const auto placed = PlaceDateNumbers(numbers, monthByName, s, timeRead);
    if (!placed)
        return std::nullopt;
    const auto [year, month, day] = *placed;
    QDate date = ZeroDate();
    if (year != 0 || month != 0) {
        if (year < 100 || year > 9999 || !QDate::isValid(year, month, day))
            return std::nullopt;
        date = QDate(year, month, day);
    }
    return date;
}

} // namespace

std::optional<QDateTime> ParseDateTime(QStringView text, const ReadSyntax& s)
{
    auto parsed = Tokenize(text.trimmed());
    if (!parsed || parsed->empty())
        return std::nullopt;
    bool timeRead = false;
    const auto time = ReadTime(*parsed, s, timeRead);
    if (!time)
        return std::nullopt;
    const auto date = ReadDate(*parsed, s, timeRead);
    if (!date)
        return std::nullopt;
    return QDateTime(*date, *time, Qt::UTC);
}

} // namespace TextReading
