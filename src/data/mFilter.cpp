#include "mFilter.h"

#include "mConvert.h"
#include "mJetErrors.h"
#include "mJetSql.h"
#include "mJetSqlTokens.h"
#include "cRuntimeError.h"

#include <QDateTime>
#include <QHash>
#include <QSet>
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

namespace {

using namespace JetTokens;

qsizetype TokenEnd(const std::vector<Token>& t, qsizetype i, const QString& text)
{
    return i + 1 < qsizetype(t.size()) ? t[i + 1].pos : text.size();
}

bool IsPlainName(const Token& t)
{
    return t.kind == Kind::Name || (t.kind == Kind::Word && !StopWords().contains(t.upper));
}

// A SELECT of one table that shows computed or renamed columns ("Cena * 2 AS Dvakrát"):
// a shown name in the condition becomes the expression behind it, so the query stays one
// SELECT of its table, whose records can still be edited, instead of being read as a
// table. Empty when the query is not of that kind.
QString NarrowedThroughList(const QString& query, const QString& condition)
{
    std::vector<Token> t;
    std::vector<Token> c;
    try {
        t = Tokenise(query);
        c = Tokenise(condition);
    } catch (const cRuntimeError&) {
        return {};
    }
    const qsizetype select = NextSignificant(t, -1);
    if (select < 0 || !IsWord(t[select], "SELECT"))
        return {};
    // The list's items at the top level, up to the FROM.
    std::vector<std::pair<qsizetype, qsizetype>> items;
    qsizetype from = -1;
    qsizetype first = NextSignificant(t, select);
    if (first < 0 || IsWord(t[first], "DISTINCT") || IsWord(t[first], "DISTINCTROW") || IsWord(t[first], "TOP")
        || IsWord(t[first], "ALL"))
        return {}; // its rows are not the table's
    int depth = 0;
    for (qsizetype k = first; k >= 0; k = NextSignificant(t, k)) {
        if (IsOp(t[k], "(")) {
            ++depth;
        } else if (IsOp(t[k], ")")) {
            --depth;
        } else if (depth == 0 && (IsOp(t[k], ",") || IsWord(t[k], "FROM"))) {
            items.emplace_back(first, PreviousSignificant(t, k));
            if (IsWord(t[k], "FROM")) {
                from = k;
                break;
            }
            first = NextSignificant(t, k);
        }
    }
    if (from < 0)
        return {};
    static const QSet<QString> aggregates{
        QStringLiteral("AVG"),   QStringLiteral("COUNT"), QStringLiteral("FIRST"), QStringLiteral("LAST"),
        QStringLiteral("MAX"),   QStringLiteral("MIN"),   QStringLiteral("STDEV"), QStringLiteral("STDEVP"),
        QStringLiteral("SUM"),   QStringLiteral("VAR"),   QStringLiteral("VARP")};
    QHash<QString, QString> expressions; // shown name, case-folded → the expression's text
    for (const auto& [a, b] : items) {
        if (a < 0 || b < a)
            return {};
        const qsizetype as = PreviousSignificant(t, b);
        if (as > a && IsWord(t[as], "AS") && IsPlainName(t[b])) {
            const qsizetype last = PreviousSignificant(t, as);
            for (qsizetype k = a; k <= last; ++k) {
                if (t[k].kind == Kind::Word && aggregates.contains(t[k].upper))
                    return {}; // a total of many records is no value of one
            }
            expressions.insert(t[b].text.toCaseFolded(),
                               query.mid(t[a].pos, TokenEnd(t, last, query) - t[a].pos));
            continue;
        }
        // Shown as it is: a name, a qualified name, a star. Anything else (an expression
        // Jet names itself) is read as a table.
        for (qsizetype k = a; k >= 0 && k <= b; k = NextSignificant(t, k)) {
            if (!IsPlainName(t[k]) && !IsOp(t[k], ".") && !IsOp(t[k], "*"))
                return {};
            const qsizetype next = NextSignificant(t, k);
            if (IsPlainName(t[k]) && next >= 0 && next <= b && !IsOp(t[next], "."))
                return {}; // a call, or a second name renaming the first
        }
    }
    if (expressions.isEmpty())
        return {};
    // The rest of the query must take a condition in place as a plain SELECT * of it would.
    const QString star = QStringLiteral("SELECT * ");
    const QString probe = star + query.mid(t[from].pos);
    if (!AnalyseJetClauses(probe).Narrowable)
        return {};
    QString narrowed;
    qsizetype copied = 0;
    for (qsizetype k = 0; k < qsizetype(c.size()); ++k) {
        if (!IsPlainName(c[k]))
            continue;
        const auto expression = expressions.constFind(c[k].text.toCaseFolded());
        const qsizetype before = PreviousSignificant(c, k);
        const qsizetype after = NextSignificant(c, k);
        if (expression == expressions.constEnd() || (before >= 0 && IsOp(c[before], "."))
            || (after >= 0 && IsOp(c[after], "(")))
            continue;
        narrowed += condition.mid(copied, c[k].pos - copied) + u'(' + *expression + u')';
        copied = TokenEnd(c, k, condition);
    }
    narrowed += condition.mid(copied);
    return query.left(t[from].pos) + FilteredQuery(probe, narrowed).mid(star.size());
}

} // namespace

QString FilteredQuery(const QString& query, const QString& condition)
{
    if (condition.isEmpty())
        return query;
    const JetSelectClauses c = AnalyseJetClauses(query);
    if (!c.Narrowable) {
        if (QString narrowed = NarrowedThroughList(query, condition); !narrowed.isEmpty())
            return narrowed;
    }
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
