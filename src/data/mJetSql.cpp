#include "mJetSql.h"

#include "mJetSqlTokens.h"

#include <QRegularExpression>

QStringList NamesInJetSql(const QString& jetSql)
{
    QStringList names;
    for (const JetTokens::Token& k : JetTokens::Tokenise(jetSql)) {
        if (k.kind == JetTokens::Kind::Word || k.kind == JetTokens::Kind::Name)
            names << k.text;
    }
    return names;
}

QString JetQuoteText(const QString& text)
{
    QString escaped = text;
    escaped.replace(u'\'', QLatin1String("''"));
    return u'\'' + escaped + u'\'';
}

QString JetBracketName(const QString& name)
{
    QString text = name;
    text.replace(u']', QLatin1String("]]"));
    return u'[' + text + u']';
}

int JetTwoDigitYear(int year)
{
    return year < 30 ? 2000 + year : 1900 + year;
}

JetDateParse ParseJetDate(const QString& content, JetDateTime& result)
{
    static const QRegularExpression form(QStringLiteral(
        R"(^\s*(?:(\d{1,2})[/-](\d{1,2})(?:[/-](\d{1,4}))?|(\d{4})-(\d{1,2})-(\d{1,2}))?)"
        R"((?:(?:\s+|T)?(\d{1,2}):(\d{1,2})(?::(\d{1,2}))?\s*([AaPp][Mm])?)?\s*$)"));
    // No date is longer; a long run of blanks would only make the expression backtrack.
    if (content.size() > 64)
        return JetDateParse::Syntax;
    const QRegularExpressionMatch m = form.match(content);
    const bool hasDate = m.hasMatch() && (!m.captured(1).isEmpty() || !m.captured(4).isEmpty());
    const bool hasTime = m.hasMatch() && !m.captured(7).isEmpty();
    // A date and a time need a blank or a T between them.
    const bool separated = !(hasDate && hasTime) || content[m.capturedStart(7) - 1].isSpace()
                           || content[m.capturedStart(7) - 1] == u'T';
    if ((!hasDate && !hasTime) || !separated)
        return JetDateParse::Syntax;
    result = JetDateTime();
    if (!m.captured(4).isEmpty()) {
        result.date = QDate(m.captured(4).toInt(), m.captured(5).toInt(), m.captured(6).toInt());
    } else if (hasDate) {
        int year = QDate::currentDate().year();
        if (!m.captured(3).isEmpty()) {
            year = m.captured(3).toInt();
            if (m.captured(3).size() <= 2)
                year = JetTwoDigitYear(year);
        }
        result.date = QDate(year, m.captured(1).toInt(), m.captured(2).toInt());
    }
    int hour = 0;
    bool timeOk = true;
    if (hasTime) {
        hour = m.captured(7).toInt();
        const QString half = m.captured(10).toUpper();
        if (!half.isEmpty()) {
            timeOk = hour >= 1 && hour <= 12;
            hour = hour % 12 + (half == QStringLiteral("PM") ? 12 : 0);
        }
        result.time = QTime(hour, m.captured(8).toInt(), m.captured(9).toInt());
        timeOk = timeOk && result.time.isValid();
    }
    if (!result.date.isValid() || result.date.year() < 100 || result.date.year() > 9999 || !timeOk)
        return JetDateParse::Invalid;
    return JetDateParse::Ok;
}

QString JetDateTime::Text() const
{
    return date.toString(QStringLiteral("yyyy-MM-dd")) + u' ' + time.toString(QStringLiteral("HH:mm:ss"));
}
