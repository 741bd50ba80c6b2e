// Jet SQL rewritten as one SQLite statement, token by token from the shared reading;
// runs nothing, and never builds a name or literal but from a token's content.

#include "mJetSql.h"

#include "cRuntimeError.h"
#include "cSqliteStatement.h"
#include "mJetSqlTokens.h"

#include <QRegularExpression>
#include <QSet>

#include <algorithm>
#include <functional>
#include <vector>

using namespace JetTokens;

namespace {

constexpr qint32 kSyntaxError = 3075;
constexpr qint32 kEmptyStatement = 3129;
constexpr qint32 kFromClause = 3131;
constexpr qint32 kSelectSyntax = 3141;
constexpr qint32 kTextAfterEnd = 3142;
constexpr qint32 kTooComplex = 3360;

// The tokens as SQLite writes them: texts and dates in single quotes, names in double.
void WriteForSqlite(std::vector<Token>& t)
{
    for (Token& k : t) {
        if (k.kind == Kind::Name) {
            k.text = QuoteName(k.text);
        } else if (k.kind == Kind::Text || k.kind == Kind::Date) {
            k.kind = Kind::Text;
            k.text = JetQuoteText(k.text);
        }
    }
}

// Clause words that may not follow FROM directly, nor stand for a table.
const QSet<QString>& ClauseWords()
{
    static const QSet<QString> words{
        QStringLiteral("SELECT"), QStringLiteral("FROM"),  QStringLiteral("WHERE"),
        QStringLiteral("GROUP"),  QStringLiteral("HAVING"), QStringLiteral("ORDER"),
        QStringLiteral("UNION"),  QStringLiteral("JOIN"),  QStringLiteral("ON"),
        QStringLiteral("BY"),     QStringLiteral("AND"),   QStringLiteral("OR"),
        QStringLiteral("NOT"),    QStringLiteral("INNER"), QStringLiteral("OUTER"),
        QStringLiteral("SET"),    QStringLiteral("VALUES"), QStringLiteral("INTO")};
    return words;
}

bool IsPrimary(const Token& t)
{
    if (t.removed)
        return false;
    switch (t.kind) {
    case Kind::Number: case Kind::Text: case Kind::Name:
        return true;
    case Kind::Word:
        return !StopWords().contains(t.upper);
    default:
        return false;
    }
}

// Operators that bind tighter than & (Mod is % by now).
bool IsArithmetic(const Token& t)
{
    return IsOp(t, "+") || IsOp(t, "-") || IsOp(t, "*") || IsOp(t, "/") || IsOp(t, "%") || IsOp(t, ".");
}

bool IsSign(const Token& t)
{
    return IsOp(t, "+") || IsOp(t, "-");
}

qsizetype MatchingClose(const std::vector<Token>& t, qsizetype open)
{
    return t[open].partner;
}

qsizetype MatchingOpen(const std::vector<Token>& t, qsizetype close)
{
    return t[close].partner;
}

// First token of the operand of & that ends just before `amp`: primaries and groups
// joined by arithmetic, a leading sign included.
qsizetype OperandStart(const std::vector<Token>& t, qsizetype amp)
{
    qsizetype start = -1;
    qsizetype i = PreviousSignificant(t, amp);
    for (;;) {
        if (i < 0)
            return start;
        if (IsOp(t[i], ")")) {
            const qsizetype open = MatchingOpen(t, i);
            if (open < 0)
                return start;
            start = open;
            const qsizetype name = PreviousSignificant(t, open);
            if (name >= 0 && IsPrimary(t[name]) && t[name].kind == Kind::Word)
                start = name; // a function call
        } else if (IsPrimary(t[i])) {
            start = i;
        } else {
            return start;
        }
        qsizetype op = PreviousSignificant(t, start);
        for (;;) {
            if (op < 0 || !IsArithmetic(t[op]))
                return start;
            const qsizetype before = PreviousSignificant(t, op);
            if (before >= 0 && (IsOp(t[before], ")") || IsPrimary(t[before]))) {
                i = before;
                break;
            }
            if (!IsSign(t[op]))
                return start;
            start = op; // a sign after another operator: 2 * -a
            op = before;
        }
    }
}

// Last token of the operand of & that begins just after `amp`.
qsizetype OperandEnd(const std::vector<Token>& t, qsizetype amp)
{
    qsizetype i = NextSignificant(t, amp);
    while (i >= 0 && IsSign(t[i]))
        i = NextSignificant(t, i);
    qsizetype last = -1;
    for (;;) {
        if (i < 0)
            return last;
        if (IsOp(t[i], "(")) {
            last = MatchingClose(t, i);
        } else if (IsPrimary(t[i])) {
            last = i;
            const qsizetype call = NextSignificant(t, i);
            if (t[i].kind == Kind::Word && call >= 0 && IsOp(t[call], "("))
                last = MatchingClose(t, call);
        } else {
            return last;
        }
        if (last < 0)
            return -1;
        const qsizetype op = NextSignificant(t, last);
        if (op < 0 || !IsArithmetic(t[op]))
            return last;
        i = NextSignificant(t, op);
        while (i >= 0 && IsSign(t[i]))
            i = NextSignificant(t, i);
    }
}

// a & b & c becomes jet_concat(a, b, c): & is weaker than arithmetic in Jet, while ||
// binds tighter than everything in SQLite, and Jet ignores a Null operand.
void RewriteConcatenation(std::vector<Token>& t)
{
    for (qsizetype i = 0; i < qsizetype(t.size()); ++i) {
        if (!IsOp(t[i], "&"))
            continue;
        const qsizetype first = OperandStart(t, i);
        if (first < 0)
            Fail(kSyntaxError, QStringLiteral("Operátoru & chybí levý operand."));
        qsizetype amp = i;
        qsizetype last = -1;
        for (;;) {
            last = OperandEnd(t, amp);
            if (last < 0)
                Fail(kSyntaxError, QStringLiteral("Operátoru & chybí pravý operand."));
            t[amp].text = QStringLiteral(",");
            const qsizetype next = NextSignificant(t, last);
            if (next < 0 || !IsOp(t[next], "&"))
                break;
            amp = next;
        }
        t[first].prefix = QStringLiteral("jet_concat(") + t[first].prefix;
        t[last].suffix += QStringLiteral(")");
        i = amp;
    }
}

struct TopClause {
    qsizetype select;  // the SELECT token
    QString count;
    bool percent;
};

// Text of tokens [from, to) as written out so far.
QString Render(const std::vector<Token>& t, qsizetype from, qsizetype to);

// TOP n [PERCENT] after SELECT (in any order with ALL/DISTINCT), taken out of the tokens.
std::vector<TopClause> TakeTopClauses(std::vector<Token>& t)
{
    std::vector<TopClause> clauses;
    for (qsizetype i = 0; i < qsizetype(t.size()); ++i) {
        if (!IsWord(t[i], "SELECT"))
            continue;
        qsizetype j = NextSignificant(t, i);
        while (j >= 0 && (IsWord(t[j], "ALL") || IsWord(t[j], "DISTINCT") || IsWord(t[j], "TOP"))) {
            if (!IsWord(t[j], "TOP")) {
                j = NextSignificant(t, j);
                continue;
            }
            const qsizetype number = NextSignificant(t, j);
            if (number < 0 || t[number].kind != Kind::Number)
                Fail(kSelectSyntax, QStringLiteral("Za slovem TOP musí následovat počet řádků."));
            const qsizetype percent = NextSignificant(t, number);
            const bool isPercent = percent >= 0 && IsWord(t[percent], "PERCENT");
            bool ok = false;
            const double value = t[number].text.toDouble(&ok);
            const bool whole = t[number].text.contains(QRegularExpression(QStringLiteral("^[0-9]+$")));
            if (!ok || value <= 0 || (isPercent ? value > 100 : !whole))
                Fail(kSelectSyntax, QStringLiteral("Neplatný počet řádků za slovem TOP: %1.").arg(t[number].text));
            clauses.push_back({i, t[number].text, isPercent});
            const qsizetype end = isPercent ? percent : number;
            for (qsizetype k = j; k <= end; ++k)
                t[k].removed = true;
            if (end + 1 < qsizetype(t.size()) && t[end + 1].kind == Kind::Space)
                t[end + 1].removed = true;
            j = NextSignificant(t, end);
        }
    }
    return clauses;
}

bool IsCompoundWord(const Token& t)
{
    return IsWord(t, "UNION") || IsWord(t, "INTERSECT") || IsWord(t, "EXCEPT");
}

// Puts LIMIT at the end of each SELECT that had TOP; an arm of a compound becomes a
// subquery, for SQLite's LIMIT would bind the whole compound.
void ApplyTopClauses(std::vector<Token>& t, const std::vector<TopClause>& clauses)
{
    // Innermost first, so that a copied text already carries its inner LIMITs.
    for (auto c = clauses.rbegin(); c != clauses.rend(); ++c) {
        const qsizetype select = c->select;
        const int depth = t[select].depth;
        qsizetype end = qsizetype(t.size());
        qsizetype orderBy = -1;
        bool compoundAfter = false;
        for (qsizetype k = select + 1; k < qsizetype(t.size()); ++k) {
            if (t[k].depth < depth) {
                end = k;
                break;
            }
            if (t[k].depth != depth)
                continue;
            if (IsCompoundWord(t[k])) {
                end = k;
                compoundAfter = true;
                break;
            }
            if (IsWord(t[k], "ORDER") && orderBy < 0) {
                const qsizetype by = NextSignificant(t, k);
                if (by >= 0 && IsWord(t[by], "BY"))
                    orderBy = k;
            }
        }
        qsizetype before = PreviousSignificant(t, select);
        while (before >= 0 && IsWord(t[before], "ALL"))
            before = PreviousSignificant(t, before);
        const bool compoundBefore = before >= 0 && IsCompoundWord(t[before]) && t[before].depth == depth;
        const bool arm = compoundBefore || compoundAfter;
        // The ORDER BY that ends the last arm sorts the whole compound.
        const qsizetype armEnd = (arm && !compoundAfter && orderBy >= 0) ? orderBy : end;
        const qsizetype last = PreviousSignificant(t, armEnd);
        if (last <= select)
            Fail(kSelectSyntax, QStringLiteral("Příkaz SELECT s TOP nemá seznam polí."));

        QString limit = c->count;
        if (c->percent) {
            const qsizetype countEnd = orderBy >= 0 ? orderBy : armEnd;
            // Each PERCENT copies its SELECT once; copies of copies would grow without bound.
            for (const TopClause& other : clauses)
                if (other.percent && other.select > select && other.select < countEnd)
                    Fail(kSelectSyntax, QStringLiteral("TOP … PERCENT nelze použít uvnitř jiného TOP … PERCENT."));
            const QString rows = QStringLiteral("SELECT") + Render(t, select + 1, countEnd);
            limit = QStringLiteral("(SELECT CAST(n AS INTEGER) + (n > CAST(n AS INTEGER)) FROM "
                                   "(SELECT count(*) * %1 / 100.0 AS n FROM (%2)))")
                        .arg(c->count, rows);
        }
        if (arm) {
            t[select].prefix += QStringLiteral("SELECT * FROM (");
            t[last].tail += QStringLiteral(" LIMIT %1)").arg(limit);
        } else {
            t[last].tail += QStringLiteral(" LIMIT %1").arg(limit);
        }
    }
}

// Jet names a computed column of the result Expr1000, Expr1001 …; SQLite would name it
// by its translated text, which is no name to show or speak.
void NameExpressions(std::vector<Token>& t)
{
    qsizetype i = NextSignificant(t, -1);
    if (i < 0 || !IsWord(t[i], "SELECT"))
        return;
    i = NextSignificant(t, i);
    while (i >= 0 && (IsWord(t[i], "DISTINCT") || IsWord(t[i], "ALL")))
        i = NextSignificant(t, i);
    static const QSet<QString> listEnd{QStringLiteral("FROM"), QStringLiteral("INTO"), QStringLiteral("WHERE"),
                                       QStringLiteral("GROUP"), QStringLiteral("HAVING"), QStringLiteral("ORDER"),
                                       QStringLiteral("UNION"), QStringLiteral("INTERSECT"), QStringLiteral("EXCEPT")};
    int number = 1000;
    while (i >= 0) {
        std::vector<qsizetype> item;
        bool named = false;
        for (; i >= 0 && !(t[i].depth == 0 && (IsOp(t[i], ",") || (t[i].kind == Kind::Word && listEnd.contains(t[i].upper))));
             i = NextSignificant(t, i)) {
            if (t[i].depth == 0)
                item.push_back(i);
            named = named || (t[i].depth == 0 && IsWord(t[i], "AS"));
        }
        auto isName = [&t](qsizetype k) {
            return (t[k].kind == Kind::Word && !StopWords().contains(t[k].upper)) || t[k].kind == Kind::Name;
        };
        // Columns and stars keep their names: a, [a b], t.a, *, t.*.
        const size_t n = item.size();
        const bool column = (n == 1 && (isName(item[0]) || IsOp(t[item[0]], "*")))
                            || (n == 3 && isName(item[0]) && IsOp(t[item[1]], ".")
                                && (isName(item[2]) || IsOp(t[item[2]], "*")));
        // SQLite's own alias without AS: expression, then a name.
        named = named
                || (n >= 2 && isName(item[n - 1])
                    && (isName(item[n - 2]) || IsOp(t[item[n - 2]], ")") || t[item[n - 2]].kind == Kind::Text
                        || t[item[n - 2]].kind == Kind::Number));
        if (n > 0 && !named && !column)
            t[item.back()].alias = QStringLiteral(" AS Expr%1").arg(number++);
        if (i < 0 || !IsOp(t[i], ","))
            break;
        i = NextSignificant(t, i);
    }
}

QString Render(const std::vector<Token>& t, qsizetype from, qsizetype to)
{
    QString out;
    auto append = [&out](const QString& piece) {
        if (piece.isEmpty())
            return;
        if (!out.isEmpty() && NeedsBlank(out.back(), piece.front()))
            out += u' ';
        out += piece;
    };
    for (qsizetype i = from; i < to; ++i) {
        if (t[i].removed)
            continue;
        append(t[i].prefix);
        append(t[i].text);
        append(t[i].suffix);
        append(t[i].alias);
        append(t[i].tail);
    }
    return out;
}

// Words Jet reads as values, unless they name something: after "." or AS, before ".".
void TranslateWords(std::vector<Token>& t)
{
    for (qsizetype i = 0; i < qsizetype(t.size()); ++i) {
        Token& w = t[i];
        if (w.kind != Kind::Word)
            continue;
        const qsizetype prev = PreviousSignificant(t, i);
        const qsizetype next = NextSignificant(t, i);
        const bool named = (prev >= 0 && (IsOp(t[prev], ".") || IsWord(t[prev], "AS")))
                           || (next >= 0 && IsOp(t[next], "."));
        const bool call = next >= 0 && IsOp(t[next], "(");
        if (w.upper == QLatin1String("DISTINCTROW")) {
            w.removed = true;
            if (i + 1 < qsizetype(t.size()) && t[i + 1].kind == Kind::Space)
                t[i + 1].removed = true;
        } else if (named) {
            continue;
        } else if (w.upper == QLatin1String("TRUE") || w.upper == QLatin1String("YES")) {
            w.text = QStringLiteral("-1");
        } else if (w.upper == QLatin1String("FALSE") || w.upper == QLatin1String("NO")) {
            w.text = QStringLiteral("0");
        } else if (w.upper == QLatin1String("MOD")) {
            w.kind = Kind::Op;
            w.text = QStringLiteral("%");
        } else if (call && (w.upper == QLatin1String("LEFT") || w.upper == QLatin1String("RIGHT")
                            || w.upper == QLatin1String("ISNULL"))) {
            // Keywords to SQLite, so not callable under these names.
            w.text = QStringLiteral("jet_") + w.text.toLower();
        }
    }
}

// Refuses what Jet reads as a broken FROM clause: nothing or a clause word after FROM,
// or a name of several bare words (a table name with blanks written without brackets).
void CheckFromClauses(const std::vector<Token>& t)
{
    for (qsizetype i = 0; i < qsizetype(t.size()); ++i) {
        if (!IsWord(t[i], "FROM"))
            continue;
        qsizetype j = NextSignificant(t, i);
        if (j < 0 || (t[j].kind == Kind::Word && ClauseWords().contains(t[j].upper)) || IsOp(t[j], ")")
            || IsOp(t[j], ","))
            Fail(kFromClause, QStringLiteral("Syntaktická chyba v klauzuli FROM."));
        int names = 0;
        for (; j >= 0 && t[j].depth == t[i].depth; j = NextSignificant(t, j)) {
            const Token& k = t[j];
            if ((k.kind == Kind::Word && !StopWords().contains(k.upper) && k.upper != QLatin1String("LEFT")
                 && k.upper != QLatin1String("RIGHT"))
                || k.kind == Kind::Name) {
                if (++names > 2)
                    Fail(kFromClause, QStringLiteral("Syntaktická chyba v klauzuli FROM u názvu %1.").arg(k.text));
            } else if (IsWord(k, "AS") || IsOp(k, ".")) {
                continue;
            } else {
                break;
            }
        }
    }
}

bool IsComparison(const Token& t)
{
    return IsOp(t, "=") || IsOp(t, "<>") || IsOp(t, "<") || IsOp(t, ">") || IsOp(t, "<=") || IsOp(t, ">=")
           || IsOp(t, "!=");
}

// Nothing that binds tighter than a comparison joins the neighbour to more.
bool StandsAlone(const std::vector<Token>& t, qsizetype neighbour)
{
    return neighbour < 0 || !(IsArithmetic(t[neighbour]) || IsOp(t[neighbour], "&"));
}

// A stored date: comparing it by a language would only cost the index.
bool IsDateText(const QString& quoted)
{
    static const QRegularExpression date(QStringLiteral("^'\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d'$"));
    return date.match(quoted).hasMatch();
}

// Text compares by the target's collation wherever the statement compares or orders it:
// SQLite would otherwise use the column's own, which another program must also have. A
// collation on a number changes nothing.
void AddCollations(std::vector<Token>& t, const QString& collation)
{
    const QString collate = QStringLiteral(" COLLATE ") + collation;
    auto isText = [&](qsizetype k) { return k >= 0 && t[k].kind == Kind::Text && !IsDateText(t[k].text); };
    for (qsizetype i = 0; i < qsizetype(t.size()); ++i) {
        if (IsSpace(t[i]))
            continue;
        const qsizetype prev = PreviousSignificant(t, i);
        const qsizetype next = NextSignificant(t, i);
        if (isText(i)) {
            const qsizetype low = prev >= 0 ? PreviousSignificant(t, prev) : -1;
            const qsizetype word = low >= 0 ? PreviousSignificant(t, low) : -1;
            const bool between = prev >= 0
                                 && (IsWord(t[prev], "BETWEEN")
                                     || (IsWord(t[prev], "AND") && isText(low) && word >= 0 && IsWord(t[word], "BETWEEN")));
            const bool compared = (prev >= 0 && IsComparison(t[prev]) && StandsAlone(t, next))
                                  || (next >= 0 && IsComparison(t[next]) && StandsAlone(t, prev));
            if (between || compared)
                t[i].tail += collate;
        } else if (IsWord(t[i], "IN")) {
            // IN compares by its left operand's collation alone.
            qsizetype column = prev;
            if (column >= 0 && IsWord(t[column], "NOT"))
                column = PreviousSignificant(t, column);
            if (column >= 0 && (t[column].kind == Kind::Name || t[column].kind == Kind::Word) && IsPrimary(t[column]))
                t[column].tail += collate;
        } else if ((IsWord(t[i], "ORDER") || IsWord(t[i], "GROUP")) && next >= 0 && IsWord(t[next], "BY")) {
            static const QSet<QString> clauseEnd{
                QStringLiteral("HAVING"), QStringLiteral("ORDER"),     QStringLiteral("LIMIT"),  QStringLiteral("OFFSET"),
                QStringLiteral("UNION"),  QStringLiteral("INTERSECT"), QStringLiteral("EXCEPT"), QStringLiteral("WINDOW")};
            const int depth = t[i].depth;
            qsizetype start = next + 1;
            bool ownCollation = false;
            for (qsizetype k = start; k <= qsizetype(t.size()); ++k) {
                const bool end = k == qsizetype(t.size()) || t[k].depth < depth
                                 || (t[k].depth == depth && !t[k].removed && t[k].kind == Kind::Word
                                     && clauseEnd.contains(t[k].upper));
                if (!end && !(t[k].depth == depth && IsOp(t[k], ","))) {
                    ownCollation = ownCollation || (t[k].depth == depth && IsWord(t[k], "COLLATE"));
                    continue;
                }
                qsizetype last = PreviousSignificant(t, k);
                if (last >= start && (IsWord(t[last], "ASC") || IsWord(t[last], "DESC")))
                    last = PreviousSignificant(t, last);
                if (last >= start && !ownCollation)
                    t[last].tail += collate;
                if (end)
                    break;
                start = k + 1;
                ownCollation = false;
            }
        }
    }
}

// A stored query named as a source is read from its own text in place of its view, so
// that it compares as the rest of the statement does. Where a FROM names a source: just
// after FROM or JOIN, after a comma of its list, first in a parenthesis standing there.
void ExpandStoredQueries(std::vector<Token>& t, const std::function<QString(const QString&)>& storedQuery)
{
    const qsizetype first = NextSignificant(t, -1);
    if (first < 0 || IsWord(t[first], "WITH")) // a name may be the statement's own table expression
        return;
    static const QSet<QString> listEnd{QStringLiteral("SELECT"), QStringLiteral("WHERE"),  QStringLiteral("GROUP"),
                                       QStringLiteral("HAVING"), QStringLiteral("ORDER"),  QStringLiteral("ON"),
                                       QStringLiteral("UNION"),  QStringLiteral("INTERSECT"), QStringLiteral("EXCEPT"),
                                       QStringLiteral("LIMIT")};
    static const QSet<QString> notAnAlias{
        QStringLiteral("WHERE"), QStringLiteral("GROUP"), QStringLiteral("HAVING"), QStringLiteral("ORDER"),
        QStringLiteral("INNER"), QStringLiteral("LEFT"),  QStringLiteral("RIGHT"),  QStringLiteral("OUTER"),
        QStringLiteral("FULL"),  QStringLiteral("CROSS"), QStringLiteral("NATURAL"), QStringLiteral("JOIN"),
        QStringLiteral("ON"),    QStringLiteral("USING"), QStringLiteral("UNION"),  QStringLiteral("INTERSECT"),
        QStringLiteral("EXCEPT"), QStringLiteral("LIMIT")};
    std::vector<char> inList(1, 0);
    std::vector<char> source(t.size(), 0);
    for (qsizetype i = 0; i < qsizetype(t.size()); ++i) {
        if (IsSpace(t[i]))
            continue;
        const size_t depth = size_t(t[i].depth);
        if (inList.size() < depth + 2)
            inList.resize(depth + 2, 0);
        const qsizetype prev = PreviousSignificant(t, i);
        source[size_t(i)] = prev >= 0
                            && (IsWord(t[prev], "FROM") || IsWord(t[prev], "JOIN")
                                || (IsOp(t[prev], ",") && inList[depth]) || (IsOp(t[prev], "(") && source[size_t(prev)]));
        if (IsWord(t[i], "FROM") || IsWord(t[i], "JOIN"))
            inList[depth] = 1;
        else if (t[i].kind == Kind::Word && listEnd.contains(t[i].upper))
            inList[depth] = 0;
        else if (IsOp(t[i], "("))
            inList[depth + 1] = source[size_t(i)];
        if (!source[size_t(i)] || !(t[i].kind == Kind::Name || (t[i].kind == Kind::Word && IsPrimary(t[i]))))
            continue;
        const qsizetype next = NextSignificant(t, i);
        if (next >= 0 && (IsOp(t[next], ".") || IsOp(t[next], "(")))
            continue;
        const QString name = t[i].kind == Kind::Word
                                 ? t[i].text
                                 : t[i].text.mid(1, t[i].text.size() - 2).replace(QLatin1String("\"\""), QLatin1String("\""));
        const QString sql = storedQuery(name);
        if (sql.isEmpty())
            continue;
        const bool aliased = next >= 0
                             && (t[next].kind == Kind::Name
                                 || (t[next].kind == Kind::Word && !notAnAlias.contains(t[next].upper)));
        t[i].text = u'(' + sql + u')' + (aliased ? QString() : QLatin1String(" AS ") + QuoteName(name));
    }
}

} // namespace

QString TranslateJetSql(const QString& jetSql)
{
    return TranslateJetSql(jetSql, JetSqliteTarget());
}

QString TranslateJetSql(const QString& jetSql, const JetSqliteTarget& target)
{
    // Jet's own limit, which also bounds the work on any text.
    if (jetSql.size() > 64000)
        Fail(kTooComplex, QStringLiteral("Příkaz SQL je příliš dlouhý (nejvýše 64 000 znaků)."));
    std::vector<Token> t = Tokenise(jetSql);
    WriteForSqlite(t);

    // Stored queries may declare their parameters first: "PARAMETERS [a] Text, b Long; SELECT …".
    // The declaration is dropped; a parameter the query uses stays an unknown name (3061).
    const auto lead = std::find_if(t.begin(), t.end(), [](const Token& k) { return k.kind != Kind::Space; });
    if (lead != t.end() && IsWord(*lead, "PARAMETERS")) {
        const auto end = std::find_if(lead, t.end(), [](const Token& k) { return IsOp(k, ";"); });
        if (end == t.end())
            Fail(kSyntaxError, QStringLiteral("Deklarace PARAMETERS nekončí středníkem."));
        t.erase(t.begin(), end + 1);
    }

    // One statement: a ";" may only be followed by blanks.
    for (qsizetype i = 0; i < qsizetype(t.size()); ++i) {
        if (!IsOp(t[i], ";"))
            continue;
        for (qsizetype k = i + 1; k < qsizetype(t.size()); ++k)
            if (t[k].kind != Kind::Space)
                Fail(kTextAfterEnd, QStringLiteral("Za koncem příkazu SQL jsou další znaky."));
        t.resize(i);
        break;
    }
    if (std::all_of(t.begin(), t.end(), [](const Token& k) { return k.kind == Kind::Space; }))
        Fail(kEmptyStatement, QStringLiteral("Neplatný příkaz SQL: prázdný text."));

    std::vector<qsizetype> open;
    for (qsizetype i = 0; i < qsizetype(t.size()); ++i) {
        if (IsOp(t[i], ")")) {
            if (open.empty())
                Fail(kSyntaxError, QStringLiteral("Nadbytečná pravá závorka ve výrazu."));
            t[i].partner = open.back();
            t[open.back()].partner = i;
            open.pop_back();
        }
        t[i].depth = int(open.size());
        if (IsOp(t[i], "("))
            open.push_back(i);
    }
    if (!open.empty())
        Fail(kSyntaxError, QStringLiteral("Chybí pravá závorka ve výrazu."));

    TranslateWords(t);
    // Jet's DELETE * FROM t (or DELETE t.* FROM t) is SQLite's DELETE FROM t.
    const auto first = std::find_if(t.begin(), t.end(), [](const Token& k) { return !IsSpace(k); });
    if (first != t.end() && IsWord(*first, "DELETE")) {
        auto from = first + 1;
        while (from != t.end() && (from->kind == Kind::Space || from->kind == Kind::Word || from->kind == Kind::Name
                                   || IsOp(*from, ".") || IsOp(*from, "*"))
               && !IsWord(*from, "FROM"))
            ++from;
        if (from != t.end() && IsWord(*from, "FROM"))
            for (auto k = first + 1; k != from; ++k)
                k->removed = k != first + 1 || k->kind != Kind::Space;
    }
    CheckFromClauses(t);
    if (target.StoredQuery)
        ExpandStoredQueries(t, target.StoredQuery);
    const std::vector<TopClause> tops = TakeTopClauses(t);
    if (!target.Collation.isEmpty())
        AddCollations(t, target.Collation);
    NameExpressions(t);
    RewriteConcatenation(t);
    ApplyTopClauses(t, tops);

    // Blanks at either end carry nothing.
    const QString out = Render(t, 0, qsizetype(t.size())).trimmed();
    if (out.isEmpty())
        Fail(kEmptyStatement, QStringLiteral("Neplatný příkaz SQL: prázdný text."));
    return out;
}
