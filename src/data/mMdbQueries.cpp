#include "mMdbQueries.h"

#include "mConvert.h"
#include "mJetSql.h"
#include "mJetSqlTokens.h"
#include "mNames.h"


#include <optional>

namespace {

QString ParameterType(int type)
{
    switch (type) {
    case JetType::Boolean: return QStringLiteral("Bit");
    case JetType::Byte: return QStringLiteral("Byte");
    case JetType::Integer: return QStringLiteral("Short");
    case JetType::Long: return QStringLiteral("Long");
    case JetType::Currency: return QStringLiteral("Currency");
    case JetType::Single: return QStringLiteral("IEEESingle");
    case JetType::Double: return QStringLiteral("IEEEDouble");
    case JetType::Date: return QStringLiteral("DateTime");
    case JetType::Binary: return QStringLiteral("Binary");
    case JetType::LongBinary: return QStringLiteral("LongBinary");
    case JetType::Memo: return QStringLiteral("Memo");
    case JetType::Guid: return QStringLiteral("Guid");
    default: return QStringLiteral("Text");
    }
}

struct Source {
    QString Text;
    QStringList Names;
    bool Joined = false;
};

// The rows of one stored query sorted by the part of the text each holds.
struct QueryParts {
    int Type = 1;
    int Flags = 0;
    QString Top, Target, Written;
    QStringList Parameters, Where, GroupBy, Having, OrderBy, UnionParts;
    QList<Source> Sources;
    QList<const MdbQueryRow*> Joins;
    QList<const MdbQueryRow*> Columns;
};

QueryParts SortRows(const QList<MdbQueryRow>& rows)
{
    QueryParts parts;
    for (const MdbQueryRow& row : rows) {
        switch (row.Attribute) {
        case 1:
            parts.Type = row.Flag;
            parts.Target = row.Name1;
            parts.Written = row.Expression;
            break;
        case 2: parts.Parameters << JetBracketName(row.Name1) + u' ' + ParameterType(row.Flag); break;
        case 3:
            parts.Flags = row.Flag;
            parts.Top = row.Name1;
            break;
        case 5:
            if (row.Name2.startsWith(QLatin1String("X7YZ_____"))) {
                parts.UnionParts << row.Expression.trimmed();
            } else {
                Source source;
                source.Text = row.Expression.isEmpty() ? JetBracketName(row.Name1) : u'(' + row.Expression + u')';
                if (!row.Name2.isEmpty())
                    source.Text += QLatin1String(" AS ") + JetBracketName(row.Name2);
                source.Names << (row.Name2.isEmpty() ? row.Name1 : row.Name2);
                parts.Sources << source;
            }
            break;
        case 6: parts.Columns << &row; break;
        case 7: parts.Joins << &row; break;
        case 8: parts.Where << row.Expression; break;
        case 9:
            if (!(parts.Type == kMdbQueryCrosstab && row.Flag == 1)) // a crosstab's pivot is grouped by apart
                parts.GroupBy << row.Expression;
            break;
        case 10: parts.Having << row.Expression; break;
        case 11:
            parts.OrderBy << row.Expression + (row.Name1 == QLatin1String("D") ? QLatin1String(" DESC") : QLatin1String(""));
            break;
        default: break;
        }
    }
    return parts;
}

// The FROM list: each join puts the two sources it names together as one.
QString FromText(QList<Source> sources, const QList<const MdbQueryRow*>& joins)
{
    for (const MdbQueryRow* join : joins) {
        auto find = [&](const QString& name) {
            for (qsizetype i = 0; i < sources.size(); ++i) {
                for (const QString& known : sources[i].Names) {
                    if (SameName(known, name))
                        return i;
                }
            }
            return qsizetype(-1);
        };
        const qsizetype left = find(join->Name1);
        const qsizetype right = find(join->Name2);
        if (left < 0 || right < 0)
            continue;
        if (left == right) {
            sources[left].Text += QLatin1String(" AND ") + join->Expression;
            continue;
        }
        const char* kind = join->Flag == 2 ? " LEFT JOIN " : join->Flag == 3 ? " RIGHT JOIN " : " INNER JOIN ";
        auto operand = [](const Source& s) { return s.Joined ? u'(' + s.Text + u')' : s.Text; };
        Source joined;
        joined.Text = operand(sources[left]) + QLatin1String(kind) + operand(sources[right]) + QLatin1String(" ON ")
                      + join->Expression;
        joined.Names = sources[left].Names + sources[right].Names;
        joined.Joined = true;
        sources[left] = joined;
        sources.removeAt(right);
    }
    QStringList from;
    for (const Source& source : sources)
        from << source.Text;
    return from.join(QLatin1String(", "));
}

QString UnionText(const QueryParts& parts)
{
    const QString glue = (parts.Flags & 0x02) ? QStringLiteral("\nUNION ") : QStringLiteral("\nUNION ALL ");
    QString sql = parts.UnionParts.join(glue);
    if (!parts.OrderBy.isEmpty())
        sql += QLatin1String("\nORDER BY ") + parts.OrderBy.join(QLatin1String(", "));
    return sql;
}

// What the column rows say for the query's type: the select list, an update's assignments,
// an append's target fields, a crosstab's value and pivot.
struct QueryColumns {
    QStringList Select, Assignments, Targets;
    QString Value, ValueName, Pivot;
};

QueryColumns SortColumns(const QueryParts& parts)
{
    QueryColumns columns;
    if (parts.Flags & 0x01)
        columns.Select << QStringLiteral("*");
    for (const MdbQueryRow* column : parts.Columns) {
        if (parts.Type == 4) {
            // Access keeps the field to set in Name2.
            columns.Assignments << (column->Name1.isEmpty() ? column->Name2 : column->Name1) + QLatin1String(" = ") + column->Expression;
            continue;
        }
        if (parts.Type == kMdbQueryCrosstab && column->Flag != 2) {
            // 1 the pivot, 2 a row heading, anything else the value
            if (column->Flag == 1) {
                columns.Pivot = column->Expression;
            } else {
                columns.Value = column->Expression;
                columns.ValueName = column->Name1;
            }
            continue;
        }
        if (parts.Type == 3 && !column->Name2.isEmpty())
            columns.Targets << column->Name2;
        columns.Select << column->Expression + (column->Name1.isEmpty() ? QString() : QLatin1String(" AS ") + JetBracketName(column->Name1));
    }
    return columns;
}

QString Predicate(const QueryParts& parts)
{
    QString predicate;
    if (parts.Flags & 0x10)
        predicate = QLatin1String("TOP ") + parts.Top + ((parts.Flags & 0x20) ? QLatin1String(" PERCENT ") : QLatin1String(" "));
    if (parts.Flags & 0x08)
        predicate.prepend(QLatin1String("DISTINCTROW "));
    else if (parts.Flags & 0x02)
        predicate.prepend(QLatin1String("DISTINCT "));
    return predicate;
}

MdbCrosstab CrosstabParts(const QueryParts& parts, const QueryColumns& columns, const QString& fromText)
{
    MdbCrosstab crosstab;
    crosstab.Value = columns.Value;
    crosstab.Pivot = columns.Pivot;
    crosstab.Headings = columns.Select;
    crosstab.From = fromText;
    crosstab.Where = parts.Where.join(QLatin1String(" AND "));
    crosstab.GroupBy = parts.GroupBy.join(QLatin1String(", "));
    crosstab.Having = parts.Having.join(QLatin1String(" AND "));
    crosstab.OrderBy = parts.OrderBy.join(QLatin1String(", "));
    return crosstab;
}

// The statement up to its FROM: a crosstab's TRANSFORM, then what the query does.
QString Head(const QueryParts& parts, const QueryColumns& columns, const QString& fromText)
{
    QString sql;
    if (parts.Type == kMdbQueryCrosstab)
        sql += QLatin1String("TRANSFORM ") + columns.Value
               + (columns.ValueName.isEmpty() ? QString() : QLatin1String(" AS ") + JetBracketName(columns.ValueName)) + u'\n';
    const QString predicate = Predicate(parts);
    switch (parts.Type) {
    case 3:
        sql += QLatin1String("INSERT INTO ") + JetBracketName(parts.Target)
               + (columns.Targets.isEmpty() ? QString() : QLatin1String(" (") + columns.Targets.join(QLatin1String(", ")) + u')')
               + QLatin1String("\nSELECT ") + predicate + columns.Select.join(QLatin1String(", "));
        break;
    case 4: sql += QLatin1String("UPDATE ") + fromText + QLatin1String("\nSET ") + columns.Assignments.join(QLatin1String(", ")); break;
    case 5: sql += QLatin1String("DELETE ") + columns.Select.join(QLatin1String(", ")); break;
    default:
        sql += QLatin1String("SELECT ") + predicate + columns.Select.join(QLatin1String(", "));
        if (parts.Type == 2)
            sql += QLatin1String(" INTO ") + JetBracketName(parts.Target);
        break;
    }
    return sql;
}

QString Clauses(const QueryParts& parts, const QueryColumns& columns, const QString& fromText)
{
    QString sql;
    if (parts.Type != 4 && !fromText.isEmpty())
        sql += QLatin1String("\nFROM ") + fromText;
    if (!parts.Where.isEmpty())
        sql += QLatin1String("\nWHERE ") + parts.Where.join(QLatin1String(" AND "));
    if (!parts.GroupBy.isEmpty())
        sql += QLatin1String("\nGROUP BY ") + parts.GroupBy.join(QLatin1String(", "));
    if (!parts.Having.isEmpty())
        sql += QLatin1String("\nHAVING ") + parts.Having.join(QLatin1String(" AND "));
    if (!parts.OrderBy.isEmpty())
        sql += QLatin1String("\nORDER BY ") + parts.OrderBy.join(QLatin1String(", "));
    if (parts.Type == kMdbQueryCrosstab)
        sql += QLatin1String("\nPIVOT ") + columns.Pivot;
    if (parts.Flags & 0x04)
        sql += QLatin1String("\nWITH OWNERACCESS OPTION");
    return sql;
}

QString BuildQuerySql(const QueryParts& parts, MdbCrosstab& crosstab)
{
    const QString fromText = FromText(parts.Sources, parts.Joins);
    QString sql;
    if (!parts.Parameters.isEmpty())
        sql = QLatin1String("PARAMETERS ") + parts.Parameters.join(QLatin1String(", ")) + QLatin1String(";\n");
    // Data definition and pass-through queries keep their text as it was written (Access
    // stores it with its closing NUL).
    if (parts.Type == 7 || parts.Type == 8) {
        QString written = parts.Written;
        while (written.endsWith(QChar(0)))
            written.chop(1);
        return sql + written;
    }
    if (parts.Type == 9)
        return sql + UnionText(parts);
    const QueryColumns columns = SortColumns(parts);
    if (parts.Type == kMdbQueryCrosstab)
        crosstab = CrosstabParts(parts, columns, fromText);
    return sql + Head(parts, columns, fromText) + Clauses(parts, columns, fromText);
}

// A word right after "." or "]" is a member of a name (t.Sum, [t].Count), not a call.
bool IsMember(const QString& sql, const SqlText::Piece& word)
{
    return word.begin > 0 && (sql[word.begin - 1] == u'.' || sql[word.begin - 1] == u']');
}

bool IsSign(const QString& sql, const SqlText::Piece& piece, char16_t sign)
{
    return piece.kind == SqlText::Kind::Other && sql[piece.begin] == sign;
}

// Whether pieces[i] calls one of Jet's totals.
bool IsTotalCall(const QString& sql, const std::vector<SqlText::Piece>& pieces, size_t i)
{
    static const QSet<QString> names{QStringLiteral("AVG"),   QStringLiteral("COUNT"),  QStringLiteral("SUM"),
                                     QStringLiteral("MIN"),   QStringLiteral("MAX"),    QStringLiteral("FIRST"),
                                     QStringLiteral("LAST"),  QStringLiteral("STDEV"),  QStringLiteral("STDEVP"),
                                     QStringLiteral("VAR"),   QStringLiteral("VARP")};
    return pieces[i].kind == SqlText::Kind::Word && i + 1 < pieces.size() && IsSign(sql, pieces[i + 1], u'(')
           && names.contains(sql.mid(pieces[i].begin, pieces[i].end - pieces[i].begin).toUpper());
}

// Whether a WHERE condition totals, which Jet refuses; the copy would only fail on it with
// a message of its own. A subquery may total, so a condition with one is left be.
bool TotalsInWhere(const QString& conditions)
{
    const std::vector<SqlText::Piece> pieces = SqlText::ReadAll(conditions, SqlText::Dialect::Jet);
    bool totals = false;
    for (size_t i = 0; i < pieces.size(); ++i) {
        if (pieces[i].kind != SqlText::Kind::Word)
            continue;
        const QString word = conditions.mid(pieces[i].begin, pieces[i].end - pieces[i].begin).toUpper();
        if (word == QLatin1String("SELECT"))
            return false;
        totals = totals || (IsTotalCall(conditions, pieces, i) && !IsMember(conditions, pieces[i]));
    }
    return totals;
}

// "PIVOT x In (a, b)" names its columns itself, in its own order, whether or not rows have
// them: the expression, and each value as written with the column it names.
struct PivotList {
    QString Expression;
    QList<std::pair<QString, QString>> Values;
};

std::optional<PivotList> ReadPivotList(const QString& pivot)
{
    const std::vector<SqlText::Piece> p = SqlText::ReadAll(pivot, SqlText::Dialect::Jet);
    if (p.size() < 4 || !p.back().closed || !IsSign(pivot, p.back(), u')'))
        return std::nullopt;
    // A list of plain values only: no parenthesis inside.
    size_t open = p.size() - 2;
    while (open > 0 && !IsSign(pivot, p[open], u'(')) {
        if (IsSign(pivot, p[open], u')'))
            return std::nullopt;
        --open;
    }
    if (open < 2 || !IsSign(pivot, p[open], u'(') || p[open - 1].kind != SqlText::Kind::Word
        || !SameName(pivot.mid(p[open - 1].begin, p[open - 1].end - p[open - 1].begin), QStringLiteral("In")))
        return std::nullopt;
    PivotList list;
    list.Expression = pivot.left(p[open - 1].begin).trimmed();
    for (size_t first = open + 1; first < p.size() - 1;) {
        size_t last = first;
        while (last < p.size() - 1 && !IsSign(pivot, p[last], u','))
            ++last;
        if (last > first) {
            const QString literal = pivot.mid(p[first].begin, p[last - 1].end - p[first].begin);
            const bool text = last == first + 1 && p[first].kind == SqlText::Kind::Text;
            list.Values.append({literal, text ? p[first].content : literal});
        }
        first = last + 1;
    }
    return list;
}

// A crosstab's value for one pivot column: each total in it taken over the rows that
// belong to the column alone, and Null, as Jet leaves a cell, where none does (Count
// included). Empty when the value holds no total, or First or Last, whose rows the
// condition cannot pick out while keeping their order.
QString SpreadTotals(const QString& value, const QString& condition)
{
    // The calls are found among the pieces; the text between them is kept as written.
    const std::vector<SqlText::Piece> significant = SqlText::ReadAll(value, SqlText::Dialect::Jet);
    if (!significant.empty() && !significant.back().closed)
        return QString();
    const QString in = QLatin1String("IIf(") + condition + QLatin1String(", ");
    QString out;
    qsizetype copied = 0;
    int totals = 0;
    for (size_t k = 0; k < significant.size(); ++k) {
        if (!IsTotalCall(value, significant, k) || IsMember(value, significant[k]))
            continue;
        const SqlText::Piece& name = significant[k];
        const QString function = value.mid(name.begin, name.end - name.begin);
        const QString upper = function.toUpper();
        if (upper == QLatin1String("FIRST") || upper == QLatin1String("LAST"))
            return QString();
        const qsizetype open = significant[k + 1].end;
        size_t close = k + 2;
        for (int depth = 1;; ++close) {
            if (close >= significant.size())
                return QString();
            depth += IsSign(value, significant[close], u'(') ? 1 : IsSign(value, significant[close], u')') ? -1 : 0;
            if (depth == 0)
                break;
        }
        QString argument = value.mid(open, significant[close].begin - open).trimmed();
        if (argument == u'*')
            argument = QStringLiteral("1");
        out += value.mid(copied, name.begin - copied);
        const QString spread = function + u'(' + in + argument + QLatin1String(", Null))");
        if (upper == QLatin1String("COUNT"))
            out += QLatin1String("IIf(Sum(") + in + QLatin1String("1, 0)) = 0, Null, ") + spread + u')';
        else
            out += spread;
        ++totals;
        copied = significant[close].end;
        k = close;
    }
    out += value.mid(copied);
    return totals > 0 ? out : QString();
}

} // namespace

MdbStoredQuery RebuildMdbQuery(const QList<MdbQueryRow>& rows)
{
    const QueryParts parts = SortRows(rows);
    MdbStoredQuery query;
    query.Type = parts.Type;
    if (TotalsInWhere(parts.Where.join(u' ')))
        query.TotalsInWhere = parts.Where.join(QLatin1String(" AND "));
    query.Sql = BuildQuerySql(parts, query.Crosstab);
    return query;
}

QString MdbCrosstabSelect(const MdbCrosstab& crosstab, const MdbPivotValues& pivotValues)
{
    if (SpreadTotals(crosstab.Value, QStringLiteral("True")).isEmpty() || crosstab.Pivot.isEmpty() || crosstab.From.isEmpty())
        return QString();
    QStringList columns = crosstab.Headings;
    auto add = [&](const QString& condition, const QString& name) {
        columns << SpreadTotals(crosstab.Value, condition) + QLatin1String(" AS ") + JetBracketName(name);
    };
    auto select = [&] {
        QString sql = QLatin1String("SELECT ") + columns.join(QLatin1String(", ")) + QLatin1String(" FROM ") + crosstab.From;
        if (!crosstab.Where.isEmpty())
            sql += QLatin1String(" WHERE ") + crosstab.Where;
        if (!crosstab.GroupBy.isEmpty())
            sql += QLatin1String(" GROUP BY ") + crosstab.GroupBy;
        if (!crosstab.Having.isEmpty())
            sql += QLatin1String(" HAVING ") + crosstab.Having;
        if (!crosstab.OrderBy.isEmpty())
            sql += QLatin1String(" ORDER BY ") + crosstab.OrderBy;
        return sql;
    };
    // "PIVOT x In (a, b)" names its columns itself, in its own order, whether or not rows have them.
    if (const std::optional<PivotList> listed = ReadPivotList(crosstab.Pivot)) {
        for (const auto& [literal, name] : listed->Values)
            add(u'(' + listed->Expression + QLatin1String(") = ") + literal, name);
        return select();
    }
    // The pivot's values, in the order Jet gives its columns.
    QString values = QLatin1String("SELECT DISTINCT ") + crosstab.Pivot + QLatin1String(" FROM ") + crosstab.From;
    if (!crosstab.Where.isEmpty())
        values += QLatin1String(" WHERE ") + crosstab.Where;
    values += QLatin1String(" ORDER BY 1");
    bool named = true;
    pivotValues(values, [&](const QVariant& value) {
        QString condition, name;
        switch (value.isValid() ? value.typeId() : int(QMetaType::UnknownType)) {
        case QMetaType::UnknownType:
            condition = u'(' + crosstab.Pivot + QLatin1String(") Is Null");
            name = QStringLiteral("<>");
            break;
        case QMetaType::LongLong:
            name = QString::number(value.toLongLong());
            condition = u'(' + crosstab.Pivot + QLatin1String(") = ") + name;
            break;
        case QMetaType::Double:
            name = QString::number(value.toDouble(), 'g', 17);
            condition = u'(' + crosstab.Pivot + QLatin1String(") = ") + name;
            break;
        case QMetaType::QString:
            name = value.toString();
            condition = u'(' + crosstab.Pivot + QLatin1String(") = ") + JetQuoteText(name);
            break;
        default: // a binary value names no column
            named = false;
            return false;
        }
        add(condition, name);
        return true;
    });
    return named ? select() : QString();
}
