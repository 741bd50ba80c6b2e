#include "mJetSql.h"

#include "cRuntimeError.h"
#include "mJetSqlTokens.h"

#include <QSet>

#include <algorithm>
#include <vector>

using namespace JetTokens;

JetSelectClauses AnalyseJetClauses(const QString& jetSql)
{
    JetSelectClauses c;
    // The end without a final ";": found by hand too, for texts the tokenizer refuses.
    qsizetype end = jetSql.size();
    while (end > 0 && jetSql[end - 1].isSpace())
        --end;
    if (end > 0 && jetSql[end - 1] == u';')
        --end;
    while (end > 0 && jetSql[end - 1].isSpace())
        --end;
    c.StatementEnd = c.ConditionEnd = end;

    std::vector<Token> t;
    try {
        t = Tokenise(jetSql);
    } catch (const cRuntimeError&) {
        return c;
    }
    // Only the top level is looked at; parentheses hide subqueries and expressions.
    std::vector<qsizetype> top;
    int depth = 0;
    for (qsizetype i = 0; i < qsizetype(t.size()); ++i) {
        if (t[i].kind == Kind::Space)
            continue;
        if (IsOp(t[i], ")")) {
            if (--depth < 0)
                return c;
            continue;
        }
        if (depth == 0 && !IsOp(t[i], "("))
            top.push_back(i);
        if (IsOp(t[i], "("))
            ++depth;
    }
    if (depth != 0 || top.empty())
        return c;
    const auto word = [&t](qsizetype i, const char* w) { return IsWord(t[i], w); };
    const auto isName = [&t](qsizetype i) {
        return t[i].kind == Kind::Name || (t[i].kind == Kind::Word && !StopWords().contains(t[i].upper));
    };
    size_t k = 0;
    if (!word(top[k], "SELECT"))
        return c;
    ++k;
    while (k < top.size() && (word(top[k], "DISTINCT") || word(top[k], "DISTINCTROW") || word(top[k], "ALL")))
        ++k;
    // The list: names, qualified names and stars, nothing computed or renamed; a "(" (a
    // call, a subquery) is left out of the top level, so it is looked for after each token.
    const auto opensParenthesis = [&t](qsizetype i) {
        const qsizetype next = NextSignificant(t, i);
        return next >= 0 && IsOp(t[next], "(");
    };
    if (opensParenthesis(top[k - 1]))
        return c;
    bool any = false;
    for (; k < top.size() && !word(top[k], "FROM"); ++k) {
        const qsizetype i = top[k];
        if (!(isName(i) || IsOp(t[i], "*") || IsOp(t[i], ".") || IsOp(t[i], ",")) || opensParenthesis(i))
            return c;
        any = true;
        // Two names in a row: the second one renames the first.
        if (k > 0 && isName(i) && isName(top[k - 1]))
            return c;
    }
    if (!any || k >= top.size())
        return c;
    // FROM and one table, with or without an alias.
    const qsizetype table = NextSignificant(t, top[k]);
    ++k;
    if (k >= top.size() || top[k] != table || !isName(table) || opensParenthesis(table))
        return c;
    ++k;
    if (k < top.size() && word(top[k], "AS"))
        ++k;
    if (k < top.size() && isName(top[k]))
        ++k;
    qsizetype conditionEnd = -1;
    for (; k < top.size(); ++k) {
        const qsizetype i = top[k];
        if (word(i, "WHERE") && c.ConditionStart < 0 && conditionEnd < 0) {
            c.ConditionStart = i + 1 < qsizetype(t.size()) ? t[i + 1].pos : jetSql.size();
        } else if (word(i, "ORDER") && k + 1 < top.size() && word(top[k + 1], "BY")) {
            if (conditionEnd < 0)
                conditionEnd = t[i].pos;
            break;
        } else if (IsOp(t[i], ";")) {
            break;
        } else if (c.ConditionStart < 0 || (StopWords().contains(t[i].upper) && !ConditionWords().contains(t[i].upper))) {
            // A join, a comma, grouping, a compound, or anything else after the table.
            return c;
        } else if (word(i, "OR") || word(i, "XOR") || word(i, "EQV") || word(i, "IMP")) {
            c.ConditionHasOr = true;
        }
    }
    if (conditionEnd >= 0) {
        while (conditionEnd > 0 && jetSql[conditionEnd - 1].isSpace())
            --conditionEnd;
        c.ConditionEnd = conditionEnd;
    }
    c.Narrowable = true;
    return c;
}

// The shape of a translated SELECT is read in the target's own SQL.

namespace {

enum class SqlKind { Word, Name, Literal, Other };

struct SqlToken {
    SqlKind kind;
    QString upper; // words: upper case; names: unquoted; other: the character
    qsizetype begin;
    qsizetype end;
    int depth;
};

std::vector<SqlToken> TokeniseSqlite(const QString& sql)
{
    std::vector<SqlToken> tokens;
    const qsizetype n = sql.size();
    qsizetype i = 0;
    int depth = 0;
    while (i < n) {
        const QChar c = sql[i];
        const qsizetype start = i;
        if (c.isSpace()) {
            ++i;
        } else if (c == u'-' && i + 1 < n && sql[i + 1] == u'-') {
            while (i < n && sql[i] != u'\n')
                ++i;
        } else if (c == u'/' && i + 1 < n && sql[i + 1] == u'*') {
            const qsizetype close = sql.indexOf(QStringLiteral("*/"), i + 2);
            i = close < 0 ? n : close + 2;
        } else if (c == u'\'' || c == u'"' || c == u'`' || c == u'[') {
            const QChar close = c == u'[' ? QChar(u']') : c;
            QString content;
            ++i;
            while (i < n) {
                if (sql[i] == close) {
                    if (c != u'[' && i + 1 < n && sql[i + 1] == close) {
                        content += close;
                        i += 2;
                        continue;
                    }
                    ++i;
                    break;
                }
                content += sql[i++];
            }
            tokens.push_back({c == u'\'' ? SqlKind::Literal : SqlKind::Name, content, start, i, depth});
        } else if (IsWordChar(c) || c == u'$') {
            while (i < n && (IsWordChar(sql[i]) || sql[i] == u'$'))
                ++i;
            const SqlKind kind = IsDigit(c) ? SqlKind::Other : SqlKind::Word;
            tokens.push_back({kind, sql.mid(start, i - start).toUpper(), start, i, depth});
        } else {
            if (c == u')')
                --depth;
            tokens.push_back({SqlKind::Other, QString(c), start, i + 1, depth});
            if (c == u'(')
                ++depth;
            ++i;
        }
    }
    return tokens;
}

bool IsSqlWord(const SqlToken& t, const char* word)
{
    return t.kind == SqlKind::Word && t.upper == QLatin1String(word);
}

bool IsSqlChar(const SqlToken& t, char c)
{
    return t.kind == SqlKind::Other && t.upper.size() == 1 && t.upper[0] == QLatin1Char(c);
}

const QSet<QString>& AggregateNames()
{
    static const QSet<QString> names{
        QStringLiteral("COUNT"), QStringLiteral("SUM"),   QStringLiteral("AVG"),
        QStringLiteral("MIN"),   QStringLiteral("MAX"),   QStringLiteral("TOTAL"),
        QStringLiteral("GROUP_CONCAT"), QStringLiteral("FIRST"), QStringLiteral("LAST"),
        QStringLiteral("STRING_AGG")};
    return names;
}

// Words a bare alias cannot be: whatever may follow a table in FROM.
const QSet<QString>& FromStopWords()
{
    static const QSet<QString> words{
        QStringLiteral("WHERE"),  QStringLiteral("GROUP"),  QStringLiteral("HAVING"),
        QStringLiteral("ORDER"),  QStringLiteral("LIMIT"),  QStringLiteral("WINDOW"),
        QStringLiteral("UNION"),  QStringLiteral("INTERSECT"), QStringLiteral("EXCEPT"),
        QStringLiteral("OFFSET")};
    return words;
}

bool IsNameToken(const SqlToken& t)
{
    static const QSet<QString> joinWords{
        QStringLiteral("JOIN"), QStringLiteral("LEFT"), QStringLiteral("RIGHT"), QStringLiteral("FULL"),
        QStringLiteral("INNER"), QStringLiteral("OUTER"), QStringLiteral("CROSS"), QStringLiteral("NATURAL"),
        QStringLiteral("ON"), QStringLiteral("USING"), QStringLiteral("INDEXED"), QStringLiteral("NOT"),
        QStringLiteral("AS"), QStringLiteral("SELECT"), QStringLiteral("VALUES")};
    return t.kind == SqlKind::Name
           || (t.kind == SqlKind::Word && !joinWords.contains(t.upper) && !FromStopWords().contains(t.upper));
}

} // namespace

JetSelectShape AnalyseSelect(const QString& sqliteSql)
{
    JetSelectShape shape;
    const std::vector<SqlToken> t = TokeniseSqlite(sqliteSql);
    if (t.empty())
        return shape;
    if (IsSqlWord(t[0], "WITH")) {
        shape.IsSelect = true;
        return shape;
    }
    if (!IsSqlWord(t[0], "SELECT"))
        return shape;
    shape.IsSelect = true;

    size_t i = 1;
    bool distinct = false;
    shape.SelectListStart = t[0].end;
    if (i < t.size() && (IsSqlWord(t[i], "DISTINCT") || IsSqlWord(t[i], "ALL"))) {
        distinct = IsSqlWord(t[i], "DISTINCT");
        shape.SelectListStart = t[i].end;
        ++i;
    }

    bool grouped = false;
    bool compound = false;
    bool aggregate = false;
    size_t fromIndex = 0;
    size_t fromEnd = t.size();
    for (; i < t.size(); ++i) {
        const SqlToken& k = t[i];
        // A subquery has its own aggregates and clauses.
        if (IsSqlChar(k, '(') && i + 1 < t.size()
            && (IsSqlWord(t[i + 1], "SELECT") || IsSqlWord(t[i + 1], "WITH") || IsSqlWord(t[i + 1], "VALUES"))) {
            const int level = k.depth;
            while (i + 1 < t.size() && !(IsSqlChar(t[i + 1], ')') && t[i + 1].depth == level))
                ++i;
            continue;
        }
        if (k.kind == SqlKind::Word && AggregateNames().contains(k.upper) && i + 1 < t.size()
            && IsSqlChar(t[i + 1], '('))
            aggregate = true;
        if (IsSqlWord(k, "OVER"))
            aggregate = true;
        if (k.depth != 0)
            continue;
        if (IsSqlWord(k, "FROM") && fromIndex == 0) {
            fromIndex = i;
            shape.FromStart = k.begin;
        } else if (k.kind == SqlKind::Word && FromStopWords().contains(k.upper)) {
            if (fromIndex != 0 && fromEnd == t.size())
                fromEnd = i;
            grouped = grouped || IsSqlWord(k, "GROUP") || IsSqlWord(k, "HAVING");
            compound = compound || IsSqlWord(k, "UNION") || IsSqlWord(k, "INTERSECT") || IsSqlWord(k, "EXCEPT");
        }
    }

    if (fromIndex != 0) {
        const size_t count = fromEnd - fromIndex - 1;
        const SqlToken* first = count >= 1 ? &t[fromIndex + 1] : nullptr;
        bool single = first && IsNameToken(*first) && first->depth == 0;
        QString alias;
        if (single && count == 2) {
            single = IsNameToken(t[fromIndex + 2]);
            alias = t[fromIndex + 2].upper;
        } else if (single && count == 3) {
            single = IsSqlWord(t[fromIndex + 2], "AS") && IsNameToken(t[fromIndex + 3]);
            alias = t[fromIndex + 3].upper;
        } else if (count != 1) {
            single = false;
        }
        if (single) {
            auto original = [&sqliteSql](const SqlToken& k) {
                return k.kind == SqlKind::Name ? k.upper : sqliteSql.mid(k.begin, k.end - k.begin);
            };
            shape.SingleTable = true;
            shape.Table = original(*first);
            if (!alias.isEmpty())
                shape.Alias = original(t[fromEnd - 1]);
        }
    }
    shape.Updatable = shape.SingleTable && !distinct && !grouped && !compound && !aggregate;
    return shape;
}

JetStatementShape InspectJetStatement(const QString& jetSql)
{
    JetStatementShape shape;
    std::vector<Token> t;
    try {
        t = Tokenise(jetSql);
    } catch (const cRuntimeError&) {
        // Jet reads no statement here, so no backend runs one: each refuses it, with the reason.
        return shape;
    }
    t.erase(std::remove_if(t.begin(), t.end(), [](const Token& k) { return k.kind == Kind::Space; }), t.end());
    size_t i = 0;
    if (!t.empty() && IsWord(t[0], "PARAMETERS")) {
        while (i < t.size() && !IsOp(t[i], ";"))
            ++i;
        i = std::min(i + 1, t.size());
    }
    size_t end = i;
    while (end < t.size() && !IsOp(t[end], ";"))
        ++end;
    shape.MoreStatements = end + 1 < t.size();
    size_t first = i;
    while (first < end && IsOp(t[first], "("))
        ++first;
    // Only a query may lead; any other statement would run rather than read.
    static const QSet<QString> reading{QStringLiteral("SELECT"), QStringLiteral("WITH"), QStringLiteral("TRANSFORM"),
                                       QStringLiteral("VALUES")};
    // Make-table (SELECT … INTO), and changes hidden in a WITH clause or a subquery.
    static const QSet<QString> changing{QStringLiteral("INTO"), QStringLiteral("INSERT"), QStringLiteral("UPDATE"),
                                        QStringLiteral("DELETE"), QStringLiteral("MERGE")};
    shape.Action = first < end && t[first].kind == Kind::Word && !reading.contains(t[first].upper);
    for (size_t k = i; k < end; ++k) {
        if (t[k].kind == Kind::Word) {
            shape.Action = shape.Action || changing.contains(t[k].upper);
            shape.Names << t[k].text;
        } else if (t[k].kind == Kind::Name) {
            shape.Names << t[k].text;
        }
    }
    return shape;
}
