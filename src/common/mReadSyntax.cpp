#include "mReadSyntax.h"

#include "mConvert.h"
#include "mLocaleCache.h"

#include <memory>

namespace TextReading {

namespace {

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

} // namespace

const ReadSyntax& SyntaxFor(const QLocale& locale)
{
    return CachedForLocale<ReadSyntax>(locale, BuildSyntax);
}

} // namespace TextReading
