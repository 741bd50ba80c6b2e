// The shape of a statement judged from its tokens: where a condition may go, whether a
// translated SELECT reads one table, whether a record source would change anything.

#include "mJetSql.h"

#include "cRuntimeError.h"
#include "mJetSqlTokens.h"

#include <QSet>

#include <algorithm>
#include <vector>

using namespace JetTokens;

namespace {

// A name where a field or table may stand: bracketed, or a word that is no clause's.
bool IsPlainName(const Token& t)
{
    return t.kind == Kind::Name || (t.kind == Kind::Word && !StopWords().contains(t.upper));
}

// A "(" follows: a call or a subquery.
bool OpensParenthesis(const std::vector<Token>& t, qsizetype i)
{
    const qsizetype next = NextSignificant(t, i);
    return next >= 0 && IsOp(t[next], "(");
}

// The significant tokens outside every parenthesis, which hide subqueries and
// expressions; false when the parentheses do not pair or there are none.
bool TopLevel(const std::vector<Token>& t, std::vector<qsizetype>& top)
{
    int depth = 0;
    for (qsizetype i = 0; i < qsizetype(t.size()); ++i) {
        if (t[i].kind == Kind::Space)
            continue;
        if (IsOp(t[i], ")")) {
            if (--depth < 0)
                return false;
            continue;
        }
        if (depth == 0 && !IsOp(t[i], "("))
            top.push_back(i);
        if (IsOp(t[i], "("))
            ++depth;
    }
    return depth == 0 && !top.empty();
}

// SELECT [DISTINCT|DISTINCTROW|ALL] and a list of names, qualified names and stars,
// nothing computed or renamed; k ends on the FROM. A "(" (a call, a subquery) is left out
// of the top level, so it is looked for after each token.
bool ListsFieldsOnly(const std::vector<Token>& t, const std::vector<qsizetype>& top, size_t& k)
{
    if (!IsWord(t[top[k]], "SELECT"))
        return false;
    ++k;
    while (k < top.size()
           && (IsWord(t[top[k]], "DISTINCT") || IsWord(t[top[k]], "DISTINCTROW") || IsWord(t[top[k]], "ALL")))
        ++k;
    if (OpensParenthesis(t, top[k - 1]))
        return false;
    bool any = false;
    for (; k < top.size() && !IsWord(t[top[k]], "FROM"); ++k) {
        const qsizetype i = top[k];
        if (!(IsPlainName(t[i]) || IsOp(t[i], "*") || IsOp(t[i], ".") || IsOp(t[i], ",")) || OpensParenthesis(t, i))
            return false;
        any = true;
        // Two names in a row: the second one renames the first.
        if (k > 0 && IsPlainName(t[i]) && IsPlainName(t[top[k - 1]]))
            return false;
    }
    return any && k < top.size();
}

// FROM and one table, with or without an alias; k ends past them.
bool FromOneTable(const std::vector<Token>& t, const std::vector<qsizetype>& top, size_t& k)
{
    const qsizetype table = NextSignificant(t, top[k]);
    ++k;
    if (k >= top.size() || top[k] != table || !IsPlainName(t[table]) || OpensParenthesis(t, table))
        return false;
    ++k;
    if (k < top.size() && IsWord(t[top[k]], "AS"))
        ++k;
    if (k < top.size() && IsPlainName(t[top[k]]))
        ++k;
    return true;
}

} // namespace

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
    std::vector<qsizetype> top;
    size_t k = 0;
    if (!TopLevel(t, top) || !ListsFieldsOnly(t, top, k) || !FromOneTable(t, top, k))
        return c;
    qsizetype conditionEnd = -1;
    for (; k < top.size(); ++k) {
        const qsizetype i = top[k];
        if (IsWord(t[i], "WHERE") && c.ConditionStart < 0 && conditionEnd < 0) {
            c.ConditionStart = i + 1 < qsizetype(t.size()) ? t[i + 1].pos : jetSql.size();
        } else if (IsWord(t[i], "ORDER") && k + 1 < top.size() && IsWord(t[top[k + 1]], "BY")) {
            if (conditionEnd < 0)
                conditionEnd = t[i].pos;
            break;
        } else if (IsOp(t[i], ";")) {
            break;
        } else if (c.ConditionStart < 0 || (StopWords().contains(t[i].upper) && !ConditionWords().contains(t[i].upper))) {
            // A join, a comma, grouping, a compound, or anything else after the table.
            return c;
        } else if (IsWord(t[i], "OR") || IsWord(t[i], "XOR") || IsWord(t[i], "EQV") || IsWord(t[i], "IMP")) {
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
    int depth = 0;
    for (const SqlText::Piece& piece : SqlText::ReadAll(sql, SqlText::Dialect::Sqlite)) {
        const QString text = sql.mid(piece.begin, piece.end - piece.begin);
        switch (piece.kind) {
        case SqlText::Kind::Comment: break; // one the end broke off
        case SqlText::Kind::Text: tokens.push_back({SqlKind::Literal, piece.content, piece.begin, piece.end, depth}); break;
        case SqlText::Kind::Name: tokens.push_back({SqlKind::Name, piece.content, piece.begin, piece.end, depth}); break;
        case SqlText::Kind::Word: tokens.push_back({SqlKind::Word, text.toUpper(), piece.begin, piece.end, depth}); break;
        case SqlText::Kind::Number: tokens.push_back({SqlKind::Other, text.toUpper(), piece.begin, piece.end, depth}); break;
        default:
            if (text == QLatin1String(")"))
                --depth;
            tokens.push_back({SqlKind::Other, text, piece.begin, piece.end, depth});
            if (text == QLatin1String("("))
                ++depth;
            break;
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

// What lies between FROM and the clause after it, when it is one table with or without
// an alias.
void ReadSingleTable(const QString& sqliteSql, const std::vector<SqlToken>& t, size_t fromIndex, size_t fromEnd,
                     JetSelectShape& shape)
{
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

    if (fromIndex != 0)
        ReadSingleTable(sqliteSql, t, fromIndex, fromEnd, shape);
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
