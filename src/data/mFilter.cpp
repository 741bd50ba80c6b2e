#include "mFilter.h"

#include "mConvert.h"
#include "mJetErrors.h"
#include "mJetSql.h"

#include <QDateTime>
#include <QUuid>

QString JetLiteral(const QVariant& value, int dataType)
{
    if (!value.isValid() || value.isNull())
        return QStringLiteral("Null");
    switch (dataType) {
    case JetType::Boolean: return value.toBool() ? QStringLiteral("True") : QStringLiteral("False");
    case JetType::Currency: {
        const qint64 units = value.value<cCurrency>().Units();
        const quint64 magnitude = units < 0 ? 0 - quint64(units) : quint64(units);
        QString text = QString::number(magnitude / 10000) + u'.'
                       + QStringLiteral("%1").arg(magnitude % 10000, 4, 10, QChar(u'0'));
        while (text.endsWith(u'0'))
            text.chop(1);
        if (text.endsWith(u'.'))
            text.chop(1);
        return units < 0 ? u'-' + text : text;
    }
    case JetType::Single: return QString::number(value.toFloat(), 'g', QLocale::FloatingPointShortest);
    case JetType::Double:
    case JetType::Numeric:
    case JetType::Decimal:
    case JetType::Float: return QString::number(value.toDouble(), 'g', QLocale::FloatingPointShortest);
    case JetType::Byte:
    case JetType::Integer:
    case JetType::Long:
    case JetType::BigInt: return QString::number(value.toLongLong());
    case JetType::Date:
    case JetType::Time:
    case JetType::TimeStamp: {
        const QDateTime when = value.toDateTime();
        const QTime time = when.time();
        const QString clock = time.second() ? time.toString(QStringLiteral("H:mm:ss")) : time.toString(QStringLiteral("H:mm"));
        if (when.date() == ZeroDate())
            return u'#' + clock + u'#';
        const QString day = when.date().toString(QStringLiteral("M/d/yyyy"));
        return u'#' + (time == QTime(0, 0) ? day : day + u' ' + clock) + u'#';
    }
    // Upper case, as Quarnel and Access store a GUID written as text.
    case JetType::Guid: return JetQuoteText(value.toUuid().toString(QUuid::WithBraces).toUpper());
    case JetType::Binary:
    case JetType::LongBinary:
    case JetType::VarBinary: RaiseJetError(JetError::Conversion);
    default: break;
    }
    return JetQuoteText(value.toString());
}

QString JetFilterTerm(const QString& fieldName, int dataType, const QString& typed)
{
    const QString name = JetBracketName(fieldName);
    if (JetType::IsText(dataType) || dataType == JetType::Char)
        return name + QStringLiteral(" LIKE ") + JetLiteral(typed, JetType::Text);
    const QVariant value = TextToValue(typed, dataType);
    // Yes is anything but No: other programs store 1 where Jet stores -1.
    if (dataType == JetType::Boolean && !value.isNull() && value.toBool())
        return QStringLiteral("NOT (") + name + QStringLiteral("=False)");
    // A GUID kept as text by another program may be in lower case.
    if (dataType == JetType::Guid && !value.isNull()) {
        const QString literal = JetLiteral(value, dataType);
        return u'(' + name + u'=' + literal + QStringLiteral(" OR ") + name + u'=' + literal.toLower() + u')';
    }
    return name + u'=' + JetLiteral(value, dataType);
}

QString FilteredQuery(const QString& query, const QString& condition)
{
    if (condition.isEmpty())
        return query;
    const JetSelectClauses c = AnalyseJetClauses(query);
    if (!c.Narrowable)
        return QStringLiteral("SELECT * FROM (") + query.left(c.StatementEnd) + QStringLiteral(") AS [Filtr] WHERE ")
               + condition;
    // What follows the condition: an ORDER BY, and whatever ended the statement.
    const QString rest = query.mid(c.ConditionEnd);
    const QString after = rest.isEmpty() || rest.front().isSpace() || rest.front() == u';' ? rest : u' ' + rest;
    if (c.ConditionStart < 0)
        return query.left(c.ConditionEnd) + QStringLiteral(" WHERE ") + condition + after;
    if (!c.ConditionHasOr)
        return query.left(c.ConditionEnd) + QStringLiteral(" AND ") + condition + after;
    const QString existing = query.mid(c.ConditionStart, c.ConditionEnd - c.ConditionStart).trimmed();
    return query.left(c.ConditionStart).trimmed() + QStringLiteral(" (") + existing + QStringLiteral(") AND ")
           + condition + after;
}
