#include "mJetSql.h"

#include "cRuntimeError.h"

#include <QDate>
#include <QDateTime>
#include <QLocale>
#include <QRegularExpression>
#include <QSet>
#include <QTime>

#include <sqlite3.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <vector>

namespace {

const QString kSource = QStringLiteral("Quarnel.Jet");

constexpr qint32 kSyntaxError = 3075;
constexpr qint32 kInvalidBracketing = 3126;
constexpr qint32 kEmptyStatement = 3129;
constexpr qint32 kFromClause = 3131;
constexpr qint32 kSelectSyntax = 3141;
constexpr qint32 kTextAfterEnd = 3142;
constexpr qint32 kTooComplex = 3360;

// Quoted in messages, shortened so that a long statement does not flood the speech.
QString Excerpt(const QString& text, qsizetype from, qsizetype length = 40)
{
    QString part = text.mid(from, length);
    if (from + length < text.size())
        part += QStringLiteral("…");
    return part;
}

[[noreturn]] void Fail(qint32 number, const QString& description)
{
    throw cRuntimeError(number, description, kSource);
}

// ---------------------------------------------------------------------------------------
// Jet tokens

enum class Kind { Space, Word, Number, Text, Name, Op };

struct Token {
    Kind kind;
    QString text;   // as it is written out
    QString upper;  // words only: for keyword tests
    qsizetype pos;  // where it began in the Jet text
    int depth = 0;  // parentheses around it
    qsizetype partner = -1; // the matching parenthesis
    bool removed = false;
    // Written around the text, in this order: prefix, text, suffix, alias, tail.
    QString prefix;
    QString suffix; // closes jet_concat(
    QString alias;  // names a computed column
    QString tail;   // ends a SELECT with its LIMIT
};

bool IsWordChar(QChar c)
{
    // As SQLite reads names: every character outside ASCII may be part of one (but a
    // byte-order mark is a blank here).
    const char16_t u = c.unicode();
    return (u >= 'a' && u <= 'z') || (u >= 'A' && u <= 'Z') || (u >= '0' && u <= '9') || u == '_'
           || (u >= 0x80 && u != 0xFEFF);
}

bool IsDigit(QChar c)
{
    return c.unicode() >= '0' && c.unicode() <= '9';
}

QString Quoted(const QString& content, QChar quote)
{
    QString out;
    out.reserve(content.size() + 2);
    out += quote;
    for (QChar c : content) {
        out += c;
        if (c == quote)
            out += quote;
    }
    out += quote;
    return out;
}

} // namespace

QString JetBracketName(const QString& name)
{
    QString text = name;
    text.replace(u']', QLatin1String("]]"));
    return u'[' + text + u']';
}

qsizetype ReadJetBracketedName(const QString& sql, qsizetype open, QString& name)
{
    name.clear();
    for (qsizetype i = open + 1; i < sql.size(); ++i) {
        if (sql[i] != u']') {
            name += sql[i];
        } else if (i + 1 < sql.size() && sql[i + 1] == u']') {
            name += u']';
            ++i;
        } else {
            return i + 1;
        }
    }
    return -1;
}

namespace {

int TwoDigitYear(int year)
{
    return year < 30 ? 2000 + year : 1900 + year;
}

} // namespace

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
                year = TwoDigitYear(year);
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

namespace {

// The stored form of the date inside #…#.
QString DateLiteral(const QString& content)
{
    JetDateTime parsed;
    switch (ParseJetDate(content, parsed)) {
    case JetDateParse::Ok: break;
    case JetDateParse::Syntax:
        Fail(kSyntaxError, QStringLiteral("Syntaktická chyba v datu #%1#.").arg(Excerpt(content, 0)));
    case JetDateParse::Invalid:
        Fail(kSyntaxError, QStringLiteral("Neplatné datum #%1#.").arg(Excerpt(content, 0)));
    }
    return u'\'' + parsed.Text() + u'\'';
}

std::vector<Token> Tokenise(const QString& sql)
{
    std::vector<Token> tokens;
    const qsizetype n = sql.size();
    // SQLite's UTF-16 reader takes whatever follows a lone surrogate as its pair, a
    // closing quote included: the text would no longer be tokenised as it is here.
    // A text that begins with U+FFFE is read byte-swapped by it, too.
    for (qsizetype i = 0; i < n; ++i) {
        if (sql[i].isHighSurrogate() && i + 1 < n && sql[i + 1].isLowSurrogate())
            ++i;
        else if (sql[i].isSurrogate() || sql[i] == QChar(0xFFFE) || sql[i] == QChar(0xFFFF))
            Fail(kSyntaxError, QStringLiteral("Neplatný znak Unicode v příkazu SQL na pozici %1.").arg(i + 1));
    }
    auto isBlank = [](QChar c) {
        const char16_t u = c.unicode();
        return u == ' ' || u == '\t' || u == '\n' || u == '\r' || u == '\f' || u == '\v' || u == 0xFEFF;
    };
    qsizetype i = 0;
    auto push = [&](Kind kind, QString text, qsizetype pos) {
        Token t{kind, std::move(text), QString(), pos, 0, -1, false, QString(), QString(), QString(), QString()};
        if (kind == Kind::Word)
            t.upper = t.text.toUpper();
        tokens.push_back(std::move(t));
    };
    while (i < n) {
        const QChar c = sql[i];
        const qsizetype start = i;
        const char16_t u = c.unicode();
        if (isBlank(c)) {
            // Written out as the blanks SQLite knows; a byte-order mark is one too.
            QString space;
            while (i < n && isBlank(sql[i])) {
                const QChar s = sql[i++];
                space += (s == u'\f' || s == u'\v' || s == QChar(0xFEFF)) ? QChar(u' ') : s;
            }
            push(Kind::Space, space, start);
        } else if (u == '\'' || u == '"') {
            QString content;
            ++i;
            for (;;) {
                if (i >= n)
                    Fail(kSyntaxError, QStringLiteral("Chybí ukončovací uvozovka řetězce %1.").arg(Excerpt(sql, start)));
                if (sql[i] == c) {
                    if (i + 1 < n && sql[i + 1] == c) {
                        content += c;
                        i += 2;
                        continue;
                    }
                    ++i;
                    break;
                }
                if (sql[i].unicode() == 0)
                    Fail(kSyntaxError, QStringLiteral("Neplatný znak s kódem 0 v řetězci."));
                content += sql[i++];
            }
            push(Kind::Text, Quoted(content, u'\''), start);
        } else if (u == '[') {
            QString name;
            const qsizetype end = ReadJetBracketedName(sql, i, name);
            if (end < 0 || name.trimmed().isEmpty() || name.contains(QChar(0)))
                Fail(kInvalidBracketing, QStringLiteral("Neplatné uzávorkování názvu %1.").arg(Excerpt(sql, start)));
            push(Kind::Name, Quoted(name, u'"'), start);
            i = end;
        } else if (u == '#') {
            const qsizetype close = sql.indexOf(u'#', i + 1);
            if (close < 0)
                Fail(kSyntaxError, QStringLiteral("Chybí ukončovací znak # data %1.").arg(Excerpt(sql, start)));
            push(Kind::Text, DateLiteral(sql.mid(i + 1, close - i - 1)), start);
            i = close + 1;
        } else if (IsDigit(c) || (u == '.' && i + 1 < n && IsDigit(sql[i + 1]))) {
            while (i < n && IsDigit(sql[i]))
                ++i;
            if (i < n && sql[i] == u'.')
                ++i;
            while (i < n && IsDigit(sql[i]))
                ++i;
            if (i + 1 < n && (sql[i] == u'e' || sql[i] == u'E')
                && (IsDigit(sql[i + 1])
                    || ((sql[i + 1] == u'+' || sql[i + 1] == u'-') && i + 2 < n && IsDigit(sql[i + 2])))) {
                i += 2;
                while (i < n && IsDigit(sql[i]))
                    ++i;
            }
            // "5True" stays one token, which SQLite refuses, rather than becoming 5-1.
            while (i < n && IsWordChar(sql[i]))
                ++i;
            push(Kind::Number, sql.mid(start, i - start), start);
        } else if (IsWordChar(c)) {
            while (i < n && IsWordChar(sql[i]))
                ++i;
            push(Kind::Word, sql.mid(start, i - start), start);
            // Left$( and friends are the same functions.
            if (i + 1 < n && sql[i] == u'$' && sql[i + 1] == u'(')
                ++i;
        } else {
            static const QString twoChar[] = {QStringLiteral("<>"), QStringLiteral("<="), QStringLiteral(">="),
                                              QStringLiteral("!=")};
            bool done = false;
            for (const QString& op : twoChar) {
                if (QStringView(sql).mid(i, 2) == op) {
                    push(Kind::Op, op, start);
                    i += 2;
                    done = true;
                    break;
                }
            }
            if (done)
                continue;
            switch (u) {
            case '<': case '>': case '=': case '+': case '-': case '*': case '/':
            case '(': case ')': case ',': case '.': case '&': case ';':
                push(Kind::Op, QString(c), start);
                break;
            case '!': // table!field
                push(Kind::Op, QStringLiteral("."), start);
                break;
            case '\\': case '^':
                Fail(kSyntaxError, QStringLiteral("Operátor '%1' není podporován.").arg(c));
            default:
                if (u == 0)
                    Fail(kSyntaxError, QStringLiteral("Neplatný znak s kódem 0 ve výrazu."));
                Fail(kSyntaxError, QStringLiteral("Neplatný znak '%1' v příkazu SQL na pozici %2.").arg(c).arg(start + 1));
            }
            ++i;
        }
    }
    return tokens;
}

// ---------------------------------------------------------------------------------------
// Translation

bool IsSpace(const Token& t)
{
    return t.kind == Kind::Space || t.removed;
}

bool IsWord(const Token& t, const char* word)
{
    return t.kind == Kind::Word && !t.removed && t.upper == QLatin1String(word);
}

bool IsOp(const Token& t, const char* op)
{
    return t.kind == Kind::Op && !t.removed && t.text == QLatin1String(op);
}

qsizetype NextSignificant(const std::vector<Token>& t, qsizetype i)
{
    for (++i; i < qsizetype(t.size()); ++i)
        if (!IsSpace(t[i]))
            return i;
    return -1;
}

qsizetype PreviousSignificant(const std::vector<Token>& t, qsizetype i)
{
    for (--i; i >= 0; --i)
        if (!IsSpace(t[i]))
            return i;
    return -1;
}

// Words that end an operand of &: clause words and every operator weaker than &.
const QSet<QString>& StopWords()
{
    static const QSet<QString> words{
        QStringLiteral("SELECT"),  QStringLiteral("FROM"),     QStringLiteral("WHERE"),
        QStringLiteral("GROUP"),   QStringLiteral("BY"),       QStringLiteral("HAVING"),
        QStringLiteral("ORDER"),   QStringLiteral("ASC"),      QStringLiteral("DESC"),
        QStringLiteral("AS"),      QStringLiteral("ON"),       QStringLiteral("JOIN"),
        QStringLiteral("INNER"),   QStringLiteral("OUTER"),    QStringLiteral("UNION"),
        QStringLiteral("ALL"),     QStringLiteral("DISTINCT"), QStringLiteral("DISTINCTROW"),
        QStringLiteral("INTERSECT"), QStringLiteral("EXCEPT"), QStringLiteral("AND"),
        QStringLiteral("OR"),      QStringLiteral("NOT"),      QStringLiteral("XOR"),
        QStringLiteral("EQV"),     QStringLiteral("IMP"),      QStringLiteral("LIKE"),
        QStringLiteral("IS"),      QStringLiteral("IN"),       QStringLiteral("BETWEEN"),
        QStringLiteral("ESCAPE"),  QStringLiteral("SET"),      QStringLiteral("VALUES"),
        QStringLiteral("INTO"),    QStringLiteral("INSERT"),   QStringLiteral("UPDATE"),
        QStringLiteral("DELETE"),  QStringLiteral("TOP"),      QStringLiteral("PERCENT"),
        QStringLiteral("WHEN"),    QStringLiteral("THEN"),     QStringLiteral("ELSE"),
        QStringLiteral("END"),     QStringLiteral("CASE"),     QStringLiteral("LIMIT"),
        QStringLiteral("OFFSET"),  QStringLiteral("GLOB"),     QStringLiteral("COLLATE"),
        QStringLiteral("WITH"),    QStringLiteral("TRANSFORM"), QStringLiteral("PIVOT"),
        QStringLiteral("PARAMETERS")};
    return words;
}

// Words that keep a WHERE condition going.
const QSet<QString>& ConditionWords()
{
    static const QSet<QString> words{QStringLiteral("AND"), QStringLiteral("OR"),      QStringLiteral("NOT"),
                                     QStringLiteral("XOR"), QStringLiteral("EQV"),     QStringLiteral("IMP"),
                                     QStringLiteral("LIKE"), QStringLiteral("IS"),     QStringLiteral("IN"),
                                     QStringLiteral("BETWEEN"), QStringLiteral("ESCAPE")};
    return words;
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

bool NeedsSeparator(QChar left, QChar right)
{
    if (IsWordChar(left) && IsWordChar(right))
        return true;
    if ((left == u'-' && right == u'-') || (left == u'/' && right == u'*'))
        return true; // would open a comment
    if (left == right && (left == u'\'' || left == u'"'))
        return true; // would run two literals into one
    if (IsWordChar(left) && right == u'\'')
        return true; // x'41' would be a blob
    static const QString joining = QStringLiteral("<>=!|");
    return joining.contains(left) && joining.contains(right);
}

QString Render(const std::vector<Token>& t, qsizetype from, qsizetype to)
{
    QString out;
    auto append = [&out](const QString& piece) {
        if (piece.isEmpty())
            return;
        if (!out.isEmpty() && NeedsSeparator(out.back(), piece.front()))
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

} // namespace

QString TranslateJetSql(const QString& jetSql)
{
    // Jet's own limit, which also bounds the work on any text.
    if (jetSql.size() > 64000)
        Fail(kTooComplex, QStringLiteral("Příkaz SQL je příliš dlouhý (nejvýše 64 000 znaků)."));
    std::vector<Token> t = Tokenise(jetSql);

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
    const std::vector<TopClause> tops = TakeTopClauses(t);
    NameExpressions(t);
    RewriteConcatenation(t);
    ApplyTopClauses(t, tops);

    // Blanks at either end carry nothing.
    const QString out = Render(t, 0, qsizetype(t.size())).trimmed();
    if (out.isEmpty())
        Fail(kEmptyStatement, QStringLiteral("Neplatný příkaz SQL: prázdný text."));
    return out;
}

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

// ---------------------------------------------------------------------------------------
// Shape of a translated SELECT

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
    const std::vector<SqlToken> t = TokeniseSqlite(jetSql);
    size_t i = 0;
    if (!t.empty() && IsSqlWord(t[0], "PARAMETERS")) {
        while (i < t.size() && !IsSqlChar(t[i], ';'))
            ++i;
        i = std::min(i + 1, t.size());
    }
    size_t end = i;
    while (end < t.size() && !IsSqlChar(t[end], ';'))
        ++end;
    shape.MoreStatements = end + 1 < t.size();
    size_t first = i;
    while (first < end && IsSqlChar(t[first], '('))
        ++first;
    // Only a query may lead; any other statement would run rather than read.
    static const QSet<QString> reading{QStringLiteral("SELECT"), QStringLiteral("WITH"), QStringLiteral("TRANSFORM"),
                                       QStringLiteral("VALUES")};
    // Make-table (SELECT … INTO), and changes hidden in a WITH clause or a subquery.
    static const QSet<QString> changing{QStringLiteral("INTO"), QStringLiteral("INSERT"), QStringLiteral("UPDATE"),
                                        QStringLiteral("DELETE"), QStringLiteral("MERGE")};
    shape.Action = first < end && t[first].kind == SqlKind::Word && !reading.contains(t[first].upper);
    for (size_t k = i; k < end; ++k) {
        if (t[k].kind == SqlKind::Word) {
            shape.Action = shape.Action || changing.contains(t[k].upper);
            shape.Names << jetSql.mid(t[k].begin, t[k].end - t[k].begin);
        } else if (t[k].kind == SqlKind::Name) {
            shape.Names << t[k].upper;
        }
    }
    return shape;
}

// ---------------------------------------------------------------------------------------
// SQL functions. They run per row on large tables: text is walked as UTF-8 in place and
// the LIKE pattern is compiled once per statement.

namespace {

// Errors reach the engine as SQLite messages; JetFunctionError reads them back.
void ResultError(sqlite3_context* ctx, int number, const char* description)
{
    char message[256];
    std::snprintf(message, sizeof message, "Jet#%d: %s", number, description);
    sqlite3_result_error(ctx, message, -1);
}

void InvalidArgument(sqlite3_context* ctx, const char* function)
{
    char message[160];
    std::snprintf(message, sizeof message, "Neplatné volání procedury nebo argument funkce %s.", function);
    ResultError(ctx, 5, message);
}

void TypeMismatch(sqlite3_context* ctx)
{
    ResultError(ctx, 13, "Neshoda typů.");
}

void Overflow(sqlite3_context* ctx)
{
    ResultError(ctx, 6, "Přetečení.");
}

bool AnyNull(int argc, sqlite3_value** argv)
{
    for (int i = 0; i < argc; ++i)
        if (sqlite3_value_type(argv[i]) == SQLITE_NULL)
            return true;
    return false;
}

struct Utf8 {
    const unsigned char* data;
    int size;
};

Utf8 TextOf(sqlite3_value* v)
{
    const unsigned char* data = sqlite3_value_text(v);
    const int size = sqlite3_value_bytes(v);
    return {data ? data : reinterpret_cast<const unsigned char*>(""), data ? size : 0};
}

// One code point at s[i], i advanced; broken sequences count as U+FFFD, one byte each.
char32_t Decode(const unsigned char* s, int size, int& i)
{
    const unsigned char c = s[i];
    if (c < 0x80) {
        ++i;
        return c;
    }
    int extra = 0;
    char32_t cp = 0;
    if ((c & 0xE0) == 0xC0) {
        extra = 1;
        cp = c & 0x1F;
    } else if ((c & 0xF0) == 0xE0) {
        extra = 2;
        cp = c & 0x0F;
    } else if ((c & 0xF8) == 0xF0) {
        extra = 3;
        cp = c & 0x07;
    } else {
        ++i;
        return 0xFFFD;
    }
    if (i + extra >= size) {
        ++i;
        return 0xFFFD;
    }
    for (int k = 1; k <= extra; ++k) {
        if ((s[i + k] & 0xC0) != 0x80) {
            ++i;
            return 0xFFFD;
        }
        cp = (cp << 6) | (s[i + k] & 0x3F);
    }
    i += extra + 1;
    return cp > 0x10FFFF ? 0xFFFD : cp;
}

int SkipChars(const unsigned char* s, int size, int from, qint64 count)
{
    int i = from;
    while (count-- > 0 && i < size)
        Decode(s, size, i);
    return i;
}

qint64 CountChars(const unsigned char* s, int size)
{
    qint64 count = 0;
    for (int i = 0; i < size; ++i)
        if ((s[i] & 0xC0) != 0x80)
            ++count;
    return count;
}

char32_t Fold(char32_t c)
{
    if (c < 0x80)
        return (c >= 'A' && c <= 'Z') ? c + 32 : c;
    return QChar::toCaseFolded(c);
}

// ---- numbers

bool ParseNumber(const QString& text, double& out)
{
    const QString s = text.trimmed();
    if (s.isEmpty())
        return false;
    bool ok = false;
    out = s.toDouble(&ok); // C locale first: what SQL and the stored values use
    if (!ok)
        out = QLocale().toDouble(s, &ok);
    return ok && std::isfinite(out);
}

// The value as a number; text converts as Jet converts it, anything else is a mismatch.
bool NumberOf(sqlite3_value* v, double& out)
{
    switch (sqlite3_value_type(v)) {
    case SQLITE_INTEGER:
        out = double(sqlite3_value_int64(v));
        return true;
    case SQLITE_FLOAT:
        out = sqlite3_value_double(v);
        return true;
    case SQLITE_TEXT: {
        const Utf8 t = TextOf(v);
        return ParseNumber(QString::fromUtf8(reinterpret_cast<const char*>(t.data), t.size), out);
    }
    default:
        return false;
    }
}

// Banker's rounding, as Jet rounds; halves within representation error count as halves.
double RoundHalfEven(double x)
{
    const double f = std::floor(x);
    const double diff = x - f;
    const double eps = 1e-9 * std::max(1.0, std::fabs(x));
    if (std::fabs(diff - 0.5) <= eps)
        return std::fmod(f, 2.0) == 0.0 ? f : f + 1.0;
    return std::floor(x + 0.5);
}

bool IntegerArgument(sqlite3_context* ctx, sqlite3_value* v, qint64& out, const char* function)
{
    double d = 0;
    if (!NumberOf(v, d)) {
        TypeMismatch(ctx);
        return false;
    }
    d = RoundHalfEven(d);
    if (d < -2147483648.0 || d > 2147483647.0) {
        InvalidArgument(ctx, function);
        return false;
    }
    out = qint64(d);
    return true;
}

// ---- dates: stored as 'YYYY-MM-DD HH:MM:SS'

struct DateTime {
    int year = 1899, month = 12, day = 30, hour = 0, minute = 0, second = 0;
};

bool Digits(const unsigned char* s, int size, int& i, int minCount, int maxCount, int& out)
{
    int count = 0;
    out = 0;
    while (i < size && count < maxCount && s[i] >= '0' && s[i] <= '9') {
        out = out * 10 + (s[i++] - '0');
        ++count;
    }
    return count >= minCount;
}

bool ParseTime(const unsigned char* s, int size, int& i, DateTime& dt)
{
    if (!Digits(s, size, i, 1, 2, dt.hour) || i >= size || s[i] != ':')
        return false;
    ++i;
    if (!Digits(s, size, i, 2, 2, dt.minute))
        return false;
    if (i < size && s[i] == ':') {
        ++i;
        if (!Digits(s, size, i, 2, 2, dt.second))
            return false;
        if (i < size && s[i] == '.') { // fractions of a second are dropped
            ++i;
            int ignored = 0;
            Digits(s, size, i, 1, 9, ignored);
        }
    }
    return dt.hour < 24 && dt.minute < 60 && dt.second < 60;
}

// 'YYYY-MM-DD[( |T)HH:MM[:SS]]', 'HH:MM[:SS]' or the Czech 'D.M.YYYY[ H:MM[:SS]]'.
bool ParseDateText(const unsigned char* s, int size, DateTime& dt)
{
    while (size > 0 && s[size - 1] == ' ')
        --size;
    int i = 0;
    while (i < size && s[i] == ' ')
        ++i;
    int a = 0;
    const int first = i;
    if (!Digits(s, size, i, 1, 4, a))
        return false;
    if (i < size && s[i] == ':') {
        i = first;
        return ParseTime(s, size, i, dt) && i == size;
    }
    if (i - first == 4 && i < size && s[i] == '-') {
        dt.year = a;
        ++i;
        if (!Digits(s, size, i, 1, 2, dt.month) || i >= size || s[i] != '-')
            return false;
        ++i;
        if (!Digits(s, size, i, 1, 2, dt.day))
            return false;
    } else if (i - first <= 2 && i < size && s[i] == '.') {
        dt.day = a;
        ++i;
        if (!Digits(s, size, i, 1, 2, dt.month) || i >= size || s[i] != '.')
            return false;
        ++i;
        while (i < size && s[i] == ' ')
            ++i;
        if (!Digits(s, size, i, 4, 4, dt.year))
            return false;
    } else {
        return false;
    }
    if (!QDate::isValid(dt.year, dt.month, dt.day))
        return false;
    if (i == size)
        return true;
    if (s[i] != ' ' && s[i] != 'T')
        return false;
    while (i < size && (s[i] == ' ' || s[i] == 'T'))
        ++i;
    return ParseTime(s, size, i, dt) && i == size;
}

// Day 0 of Jet's serial dates.
const qint64 kSerialEpoch = QDate(1899, 12, 30).toJulianDay();

bool DateFromSerial(double serial, DateTime& dt)
{
    if (!(serial > -657435.0 && serial < 2958466.0)) // years 100 to 9999
        return false;
    const double days = std::trunc(serial);
    // Before day 0 the fraction still counts forwards in Jet.
    qint64 seconds = qint64(std::llround(std::fabs(serial - days) * 86400.0));
    qint64 dayNumber = qint64(days);
    if (seconds >= 86400) {
        seconds -= 86400;
        dayNumber += serial < 0 ? -1 : 1;
    }
    const QDate date = QDate::fromJulianDay(kSerialEpoch + dayNumber);
    dt = {date.year(), date.month(), date.day(), int(seconds / 3600), int(seconds / 60 % 60), int(seconds % 60)};
    return true;
}

bool DateOf(sqlite3_value* v, DateTime& dt)
{
    switch (sqlite3_value_type(v)) {
    case SQLITE_INTEGER:
    case SQLITE_FLOAT:
        return DateFromSerial(sqlite3_value_double(v), dt);
    case SQLITE_TEXT: {
        const Utf8 t = TextOf(v);
        return ParseDateText(t.data, t.size, dt);
    }
    default:
        return false;
    }
}

void ResultDate(sqlite3_context* ctx, const DateTime& dt)
{
    char text[32];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d", dt.year, dt.month, dt.day, dt.hour,
                  dt.minute, dt.second);
    sqlite3_result_text(ctx, text, -1, SQLITE_TRANSIENT);
}

// ---- LIKE

struct PatternItem {
    enum Type : unsigned char { Char, AnyChar, Digit, Star, Set } kind;
    bool negated = false;
    char32_t ch = 0;       // Char: folded
    int from = 0, to = 0;  // Set: its ranges
};

struct Pattern {
    std::vector<PatternItem> items;
    std::vector<std::pair<char32_t, char32_t>> ranges;
    QByteArray source;
    char32_t escape = 0;
    bool valid = true;
};

void CompilePattern(Pattern& p, const unsigned char* s, int size, char32_t escape)
{
    p.source = QByteArray(reinterpret_cast<const char*>(s), size);
    p.escape = escape;
    int i = 0;
    while (i < size) {
        char32_t c = Decode(s, size, i);
        if (escape && c == escape && i < size) {
            p.items.push_back({PatternItem::Char, false, Fold(Decode(s, size, i))});
            continue;
        }
        switch (c) {
        case '*':
            if (p.items.empty() || p.items.back().kind != PatternItem::Star)
                p.items.push_back({PatternItem::Star});
            break;
        case '?':
            p.items.push_back({PatternItem::AnyChar});
            break;
        case '#':
            p.items.push_back({PatternItem::Digit});
            break;
        case '[': {
            PatternItem set{PatternItem::Set};
            set.from = int(p.ranges.size());
            if (i < size && s[i] == '!') {
                set.negated = true;
                ++i;
            }
            bool closed = false;
            bool firstInSet = true;
            while (i < size) {
                char32_t lo = Decode(s, size, i);
                if (lo == ']' && !firstInSet) {
                    closed = true;
                    break;
                }
                if (lo == ']') { // "[]" is the empty text: nothing to match
                    closed = true;
                    break;
                }
                firstInSet = false;
                char32_t hi = lo;
                if (i + 1 < size && s[i] == '-' && s[i + 1] != ']') {
                    ++i;
                    hi = Decode(s, size, i);
                }
                if (hi < lo)
                    std::swap(lo, hi);
                p.ranges.emplace_back(lo, hi);
            }
            if (!closed) {
                p.valid = false;
                return;
            }
            set.to = int(p.ranges.size());
            if (set.from != set.to || set.negated)
                p.items.push_back(set);
            break;
        }
        default:
            p.items.push_back({PatternItem::Char, false, Fold(c)});
        }
    }
}

bool MatchesItem(const Pattern& p, const PatternItem& item, char32_t c)
{
    switch (item.kind) {
    case PatternItem::Char:
        return Fold(c) == item.ch;
    case PatternItem::AnyChar:
        return true;
    case PatternItem::Digit:
        return c >= '0' && c <= '9';
    case PatternItem::Set: {
        const char32_t f = Fold(c);
        bool in = false;
        for (int r = item.from; r < item.to && !in; ++r) {
            const auto [lo, hi] = p.ranges[size_t(r)];
            in = (c >= lo && c <= hi) || (f >= Fold(lo) && f <= Fold(hi));
        }
        return in != item.negated;
    }
    case PatternItem::Star:
        break;
    }
    return false;
}

// Every item but * takes one character, so going back to the last * is enough: time is
// at most the pattern's length times the text's.
bool Matches(const Pattern& p, const unsigned char* s, int size)
{
    const size_t n = p.items.size();
    size_t pi = 0;
    int vi = 0;
    size_t starItem = SIZE_MAX;
    int starText = 0;
    while (vi < size) {
        if (pi < n && p.items[pi].kind == PatternItem::Star) {
            starItem = pi++;
            starText = vi;
            continue;
        }
        int next = vi;
        const char32_t c = Decode(s, size, next);
        if (pi < n && MatchesItem(p, p.items[pi], c)) {
            ++pi;
            vi = next;
            continue;
        }
        if (starItem == SIZE_MAX)
            return false;
        pi = starItem + 1;
        Decode(s, size, starText);
        vi = starText;
    }
    while (pi < n && p.items[pi].kind == PatternItem::Star)
        ++pi;
    return pi == n;
}

void DeletePattern(void* p)
{
    delete static_cast<Pattern*>(p);
}

void LikeFunction(sqlite3_context* ctx, int argc, sqlite3_value** argv)
{
    if (AnyNull(argc, argv)) {
        sqlite3_result_null(ctx);
        return;
    }
    char32_t escape = 0;
    if (argc == 3) {
        const Utf8 e = TextOf(argv[2]);
        int k = 0;
        if (e.size == 0 || (escape = Decode(e.data, e.size, k), k != e.size)) {
            sqlite3_result_error(ctx, "ESCAPE expression must be a single character", -1);
            return;
        }
    }
    const Utf8 pattern = TextOf(argv[0]);
    const Utf8 value = TextOf(argv[1]);
    auto* cached = static_cast<const Pattern*>(sqlite3_get_auxdata(ctx, 0));
    if (cached && cached->escape == escape && cached->source.size() == pattern.size
        && std::memcmp(cached->source.constData(), pattern.data, size_t(pattern.size)) == 0) {
        if (!cached->valid)
            ResultError(ctx, 93, "Neplatný vzor řetězce.");
        else
            sqlite3_result_int(ctx, Matches(*cached, value.data, value.size) ? 1 : 0);
        return;
    }
    auto* compiled = new Pattern;
    CompilePattern(*compiled, pattern.data, pattern.size, escape);
    if (!compiled->valid)
        ResultError(ctx, 93, "Neplatný vzor řetězce.");
    else
        sqlite3_result_int(ctx, Matches(*compiled, value.data, value.size) ? 1 : 0);
    // Kept while the pattern is a constant of the statement; SQLite frees it otherwise.
    sqlite3_set_auxdata(ctx, 0, compiled, DeletePattern);
}

// ---- text functions

void ResultUtf8(sqlite3_context* ctx, const unsigned char* s, int size)
{
    sqlite3_result_text(ctx, reinterpret_cast<const char*>(s), size, SQLITE_TRANSIENT);
}

void ResultQString(sqlite3_context* ctx, const QString& s)
{
    const QByteArray utf8 = s.toUtf8();
    sqlite3_result_text(ctx, utf8.constData(), int(utf8.size()), SQLITE_TRANSIENT);
}

QString QStringOf(sqlite3_value* v)
{
    const Utf8 t = TextOf(v);
    return QString::fromUtf8(reinterpret_cast<const char*>(t.data), t.size);
}

void ConcatFunction(sqlite3_context* ctx, int argc, sqlite3_value** argv)
{
    bool allNull = true;
    sqlite3_uint64 total = 0;
    for (int i = 0; i < argc; ++i) {
        if (sqlite3_value_type(argv[i]) == SQLITE_NULL)
            continue;
        allNull = false;
        total += sqlite3_uint64(TextOf(argv[i]).size);
    }
    if (allNull) {
        sqlite3_result_null(ctx);
        return;
    }
    if (total > sqlite3_uint64(sqlite3_limit(sqlite3_context_db_handle(ctx), SQLITE_LIMIT_LENGTH, -1))) {
        sqlite3_result_error_toobig(ctx);
        return;
    }
    auto* out = static_cast<char*>(sqlite3_malloc64(total + 1));
    if (!out) {
        sqlite3_result_error_nomem(ctx);
        return;
    }
    char* end = out;
    for (int i = 0; i < argc; ++i) {
        if (sqlite3_value_type(argv[i]) == SQLITE_NULL)
            continue;
        const Utf8 t = TextOf(argv[i]); // already text: no second conversion
        std::memcpy(end, t.data, size_t(t.size));
        end += t.size;
    }
    sqlite3_result_text64(ctx, out, sqlite3_uint64(end - out), sqlite3_free, SQLITE_UTF8);
}

template<int Which> // 0 Left, 1 Right, 2 Mid
void SubstringFunction(sqlite3_context* ctx, int argc, sqlite3_value** argv)
{
    static const char* const names[] = {"Left", "Right", "Mid"};
    if (AnyNull(argc, argv)) {
        sqlite3_result_null(ctx);
        return;
    }
    qint64 a = 0;
    qint64 b = std::numeric_limits<qint32>::max();
    if (!IntegerArgument(ctx, argv[1], a, names[Which]) || (argc == 3 && !IntegerArgument(ctx, argv[2], b, names[Which])))
        return;
    if ((Which == 2 && (a < 1 || b < 0)) || (Which != 2 && a < 0)) {
        InvalidArgument(ctx, names[Which]);
        return;
    }
    const Utf8 t = TextOf(argv[0]);
    int from = 0;
    int to = t.size;
    if (Which == 0) {
        to = SkipChars(t.data, t.size, 0, a);
    } else if (Which == 1) {
        const qint64 length = CountChars(t.data, t.size);
        from = SkipChars(t.data, t.size, 0, std::max<qint64>(0, length - a));
    } else {
        from = SkipChars(t.data, t.size, 0, a - 1);
        to = SkipChars(t.data, t.size, from, b);
    }
    ResultUtf8(ctx, t.data + from, to - from);
}

void LenFunction(sqlite3_context* ctx, int, sqlite3_value** argv)
{
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL) {
        sqlite3_result_null(ctx);
        return;
    }
    const Utf8 t = TextOf(argv[0]);
    sqlite3_result_int64(ctx, CountChars(t.data, t.size));
}

void Encode(char32_t c, char*& out)
{
    if (c < 0x80) {
        *out++ = char(c);
    } else if (c < 0x800) {
        *out++ = char(0xC0 | (c >> 6));
        *out++ = char(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        *out++ = char(0xE0 | (c >> 12));
        *out++ = char(0x80 | ((c >> 6) & 0x3F));
        *out++ = char(0x80 | (c & 0x3F));
    } else {
        *out++ = char(0xF0 | (c >> 18));
        *out++ = char(0x80 | ((c >> 12) & 0x3F));
        *out++ = char(0x80 | ((c >> 6) & 0x3F));
        *out++ = char(0x80 | (c & 0x3F));
    }
}

// Character by character, as Jet maps case: no text grows (ß stays ß).
template<bool Upper>
void CaseFunction(sqlite3_context* ctx, int, sqlite3_value** argv)
{
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL) {
        sqlite3_result_null(ctx);
        return;
    }
    const Utf8 t = TextOf(argv[0]);
    // A mapped character takes at most twice the bytes of the original.
    auto* out = static_cast<char*>(sqlite3_malloc64(sqlite3_uint64(t.size) * 2 + 1));
    if (!out) {
        sqlite3_result_error_nomem(ctx);
        return;
    }
    char* end = out;
    for (int i = 0; i < t.size;) {
        const char32_t c = Decode(t.data, t.size, i);
        if (c < 0x80)
            *end++ = char(Upper ? ((c >= 'a' && c <= 'z') ? c - 32 : c) : ((c >= 'A' && c <= 'Z') ? c + 32 : c));
        else
            Encode(Upper ? QChar::toUpper(c) : QChar::toLower(c), end);
    }
    sqlite3_result_text64(ctx, out, sqlite3_uint64(end - out), sqlite3_free, SQLITE_UTF8);
}

// Case-insensitive search: byte offset of needle in hay from `from`, or -1.
int FindFolded(const Utf8& hay, int from, const Utf8& needle, bool fold)
{
    for (int start = from; start <= hay.size; ) {
        int h = start;
        int k = 0;
        while (k < needle.size && h < hay.size) {
            const char32_t a = Decode(hay.data, hay.size, h);
            const char32_t b = Decode(needle.data, needle.size, k);
            if (fold ? Fold(a) != Fold(b) : a != b)
                break;
            if (k == needle.size)
                return start;
        }
        if (needle.size == 0)
            return start;
        if (start == hay.size)
            break;
        Decode(hay.data, hay.size, start);
    }
    return -1;
}

bool CompareArgument(sqlite3_context* ctx, sqlite3_value* v, bool& fold)
{
    qint64 mode = 1;
    if (!IntegerArgument(ctx, v, mode, "InStr"))
        return false;
    if (mode != 0 && mode != 1) {
        InvalidArgument(ctx, "InStr");
        return false;
    }
    fold = mode == 1;
    return true;
}

// InStr([start,] text, sought[, compare]): compares as text unless compare is 0.
void InStrFunction(sqlite3_context* ctx, int argc, sqlite3_value** argv)
{
    qint64 start = 1;
    int first = 0;
    bool fold = true;
    if (argc >= 3) {
        if (sqlite3_value_type(argv[0]) == SQLITE_NULL) {
            sqlite3_result_null(ctx);
            return;
        }
        if (!IntegerArgument(ctx, argv[0], start, "InStr"))
            return;
        if (start < 1) {
            InvalidArgument(ctx, "InStr");
            return;
        }
        first = 1;
        if (argc == 4 && sqlite3_value_type(argv[3]) != SQLITE_NULL && !CompareArgument(ctx, argv[3], fold))
            return;
    }
    if (sqlite3_value_type(argv[first]) == SQLITE_NULL || sqlite3_value_type(argv[first + 1]) == SQLITE_NULL) {
        sqlite3_result_null(ctx);
        return;
    }
    const Utf8 hay = TextOf(argv[first]);
    const Utf8 needle = TextOf(argv[first + 1]);
    if (hay.size == 0 || start > CountChars(hay.data, hay.size)) {
        sqlite3_result_int(ctx, 0);
        return;
    }
    const int from = SkipChars(hay.data, hay.size, 0, start - 1);
    const int at = FindFolded(hay, from, needle, fold);
    sqlite3_result_int64(ctx, at < 0 ? 0 : CountChars(hay.data, at) + 1);
}

// Replace(text, find, with[, start[, count[, compare]]]), as text unless compare is 0.
void ReplaceFunction(sqlite3_context* ctx, int argc, sqlite3_value** argv)
{
    if (AnyNull(std::min(argc, 3), argv)) {
        sqlite3_result_null(ctx);
        return;
    }
    qint64 start = 1;
    qint64 count = -1;
    bool fold = true;
    if ((argc > 3 && sqlite3_value_type(argv[3]) != SQLITE_NULL && !IntegerArgument(ctx, argv[3], start, "Replace"))
        || (argc > 4 && sqlite3_value_type(argv[4]) != SQLITE_NULL && !IntegerArgument(ctx, argv[4], count, "Replace"))
        || (argc > 5 && sqlite3_value_type(argv[5]) != SQLITE_NULL && !CompareArgument(ctx, argv[5], fold)))
        return;
    if (start < 1 || count < -1) {
        InvalidArgument(ctx, "Replace");
        return;
    }
    const Utf8 text = TextOf(argv[0]);
    const Utf8 find = TextOf(argv[1]);
    const Utf8 with = TextOf(argv[2]);
    // Jet returns the text from `start` on.
    int at = SkipChars(text.data, text.size, 0, start - 1);
    sqlite3_str* out = sqlite3_str_new(sqlite3_context_db_handle(ctx));
    while (find.size > 0 && count != 0) {
        const int found = FindFolded(text, at, find, fold);
        if (found < 0)
            break;
        sqlite3_str_append(out, reinterpret_cast<const char*>(text.data + at), found - at);
        sqlite3_str_append(out, reinterpret_cast<const char*>(with.data), with.size);
        // The match has as many characters as `find`.
        at = SkipChars(text.data, text.size, found, CountChars(find.data, find.size));
        if (count > 0)
            --count;
    }
    sqlite3_str_append(out, reinterpret_cast<const char*>(text.data + at), text.size - at);
    const int size = sqlite3_str_length(out);
    char* result = sqlite3_str_finish(out);
    if (!result && size != 0) {
        sqlite3_result_error_nomem(ctx);
        return;
    }
    sqlite3_result_text(ctx, result ? result : "", size, result ? sqlite3_free : SQLITE_TRANSIENT);
}

// Space(n) and String(n, character)
void RepeatFunction(sqlite3_context* ctx, int argc, sqlite3_value** argv)
{
    const char* name = argc == 1 ? "Space" : "String";
    if (AnyNull(argc, argv)) {
        sqlite3_result_null(ctx);
        return;
    }
    qint64 n = 0;
    if (!IntegerArgument(ctx, argv[0], n, name))
        return;
    if (n < 0 || n > 100000000) {
        InvalidArgument(ctx, name);
        return;
    }
    char unit[8] = " ";
    int unitSize = 1;
    if (argc == 2) {
        if (sqlite3_value_type(argv[1]) == SQLITE_TEXT) {
            const Utf8 t = TextOf(argv[1]);
            if (t.size == 0) {
                InvalidArgument(ctx, name);
                return;
            }
            int k = 0;
            Decode(t.data, t.size, k);
            unitSize = k;
            std::memcpy(unit, t.data, size_t(k));
        } else {
            qint64 code = 0;
            if (!IntegerArgument(ctx, argv[1], code, name))
                return;
            const QString c = QString(QChar(char16_t(code & 0xFFFF)));
            if (code < 0 || code > 0xFFFF || QChar(char16_t(code)).isSurrogate()) {
                InvalidArgument(ctx, name);
                return;
            }
            const QByteArray utf8 = c.toUtf8();
            unitSize = int(utf8.size());
            std::memcpy(unit, utf8.constData(), size_t(unitSize));
        }
    }
    const qint64 total = n * unitSize;
    if (total > sqlite3_limit(sqlite3_context_db_handle(ctx), SQLITE_LIMIT_LENGTH, -1)) {
        sqlite3_result_error_toobig(ctx);
        return;
    }
    auto* out = static_cast<char*>(sqlite3_malloc64(sqlite3_uint64(total) + 1));
    if (!out) {
        sqlite3_result_error_nomem(ctx);
        return;
    }
    for (qint64 i = 0; i < n; ++i)
        std::memcpy(out + i * unitSize, unit, size_t(unitSize));
    sqlite3_result_text64(ctx, out, sqlite3_uint64(total), sqlite3_free, SQLITE_UTF8);
}

// ---- dates and times

template<int Part> // 0 year … 5 second
void DatePartFunction(sqlite3_context* ctx, int, sqlite3_value** argv)
{
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL) {
        sqlite3_result_null(ctx);
        return;
    }
    DateTime dt;
    if (!DateOf(argv[0], dt)) {
        TypeMismatch(ctx);
        return;
    }
    const int parts[] = {dt.year, dt.month, dt.day, dt.hour, dt.minute, dt.second};
    sqlite3_result_int(ctx, parts[Part]);
}

// An optional first-day-of-week argument (1 Sunday … 7 Saturday, 0 the locale's; Null or
// missing: Sunday). False once an error is set.
bool FirstDayArgument(sqlite3_context* ctx, int argc, sqlite3_value** argv, int index, qint64& firstDay,
                      const char* function)
{
    firstDay = 1;
    if (argc <= index || sqlite3_value_type(argv[index]) == SQLITE_NULL)
        return true;
    if (!IntegerArgument(ctx, argv[index], firstDay, function))
        return false;
    if (firstDay < 0 || firstDay > 7) {
        InvalidArgument(ctx, function);
        return false;
    }
    if (firstDay == 0)
        firstDay = QLocale().firstDayOfWeek() % 7 + 1;
    return true;
}

// The day's number in a week starting on firstDay (1 Sunday … 7 Saturday).
int JetWeekday(const QDate& date, qint64 firstDay)
{
    const int sundayBased = date.dayOfWeek() % 7 + 1; // Sunday 1
    return int((sundayBased - firstDay + 7) % 7 + 1);
}

void WeekdayFunction(sqlite3_context* ctx, int argc, sqlite3_value** argv)
{
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL) {
        sqlite3_result_null(ctx);
        return;
    }
    DateTime dt;
    if (!DateOf(argv[0], dt)) {
        TypeMismatch(ctx);
        return;
    }
    qint64 firstDay = 1;
    if (!FirstDayArgument(ctx, argc, argv, 1, firstDay, "Weekday"))
        return;
    sqlite3_result_int(ctx, JetWeekday(QDate(dt.year, dt.month, dt.day), firstDay));
}

// The first day of week 1 of a year, by Jet's rules: 1 the week of 1 January, 2 the
// first week of four days or more, 3 the first whole week. firstDay: 1 Sunday … 7 Saturday.
QDate FirstWeekStart(int year, int firstDay, int firstWeek)
{
    const QDate january1(year, 1, 1);
    const int offset = JetWeekday(january1, firstDay) - 1; // days of the week before 1 January
    QDate start = january1.addDays(-offset);
    if ((firstWeek == 2 && offset > 3) || (firstWeek == 3 && offset > 0))
        start = start.addDays(7);
    return start;
}

// DatePart(interval, date [, firstdayofweek [, firstweekofyear]])
void DatePartOfFunction(sqlite3_context* ctx, int argc, sqlite3_value** argv)
{
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL) {
        InvalidArgument(ctx, "DatePart");
        return;
    }
    if (sqlite3_value_type(argv[1]) == SQLITE_NULL) {
        sqlite3_result_null(ctx);
        return;
    }
    DateTime dt;
    if (!DateOf(argv[1], dt)) {
        TypeMismatch(ctx);
        return;
    }
    qint64 firstDay = 1, firstWeek = 1; // Sunday; the week of 1 January
    if (!FirstDayArgument(ctx, argc, argv, 2, firstDay, "DatePart"))
        return;
    if (argc > 3 && sqlite3_value_type(argv[3]) != SQLITE_NULL && !IntegerArgument(ctx, argv[3], firstWeek, "DatePart"))
        return;
    if (firstWeek < 0 || firstWeek > 3) {
        InvalidArgument(ctx, "DatePart");
        return;
    }
    if (firstWeek == 0)
        firstWeek = 1;
    const Utf8 text = TextOf(argv[0]);
    const QString interval =
        QString::fromUtf8(reinterpret_cast<const char*>(text.data), text.size).trimmed().toLower();
    const QDate date(dt.year, dt.month, dt.day);
    int result = 0;
    if (interval == QLatin1String("yyyy")) {
        result = dt.year;
    } else if (interval == QLatin1String("q")) {
        result = (dt.month - 1) / 3 + 1;
    } else if (interval == QLatin1String("m")) {
        result = dt.month;
    } else if (interval == QLatin1String("y")) {
        result = date.dayOfYear();
    } else if (interval == QLatin1String("d")) {
        result = dt.day;
    } else if (interval == QLatin1String("w")) {
        result = JetWeekday(date, firstDay);
    } else if (interval == QLatin1String("ww")) {
        QDate start = FirstWeekStart(dt.year, int(firstDay), int(firstWeek));
        if (date < start) // the last week of the year before
            start = FirstWeekStart(dt.year - 1, int(firstDay), int(firstWeek));
        result = int(start.daysTo(date) / 7 + 1);
    } else if (interval == QLatin1String("h")) {
        result = dt.hour;
    } else if (interval == QLatin1String("n")) {
        result = dt.minute;
    } else if (interval == QLatin1String("s")) {
        result = dt.second;
    } else {
        InvalidArgument(ctx, "DatePart");
        return;
    }
    sqlite3_result_int(ctx, result);
}

template<int What> // 0 Now, 1 Date, 2 Time
void ClockFunction(sqlite3_context* ctx, int, sqlite3_value**)
{
    const QDateTime now = QDateTime::currentDateTime();
    DateTime dt;
    if (What != 2)
        dt = {now.date().year(), now.date().month(), now.date().day(), 0, 0, 0};
    if (What != 1) {
        dt.hour = now.time().hour();
        dt.minute = now.time().minute();
        dt.second = now.time().second();
    }
    ResultDate(ctx, dt);
}

void DateSerialFunction(sqlite3_context* ctx, int argc, sqlite3_value** argv)
{
    if (AnyNull(argc, argv)) {
        sqlite3_result_null(ctx);
        return;
    }
    qint64 year = 0, month = 0, day = 0;
    if (!IntegerArgument(ctx, argv[0], year, "DateSerial") || !IntegerArgument(ctx, argv[1], month, "DateSerial")
        || !IntegerArgument(ctx, argv[2], day, "DateSerial"))
        return;
    if (year >= 0 && year < 100)
        year = TwoDigitYear(int(year));
    // Months and days outside their range roll over, as in Jet.
    const qint64 months = year * 12 + (month - 1);
    const qint64 y = months >= 0 ? months / 12 : -((-months + 11) / 12);
    const qint64 m = months - y * 12 + 1;
    if (y < 100 || y > 9999) {
        InvalidArgument(ctx, "DateSerial");
        return;
    }
    const qint64 julian = QDate(int(y), int(m), 1).toJulianDay() + (day - 1);
    const QDate date = QDate::fromJulianDay(julian);
    if (!date.isValid() || date.year() < 100 || date.year() > 9999) {
        InvalidArgument(ctx, "DateSerial");
        return;
    }
    ResultDate(ctx, {date.year(), date.month(), date.day()});
}

void CDateFunction(sqlite3_context* ctx, int, sqlite3_value** argv)
{
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL) {
        sqlite3_result_null(ctx);
        return;
    }
    DateTime dt;
    if (!DateOf(argv[0], dt)) {
        TypeMismatch(ctx);
        return;
    }
    ResultDate(ctx, dt);
}

// ---- Null and choice

// Jet's truth: Null is false, numbers are true unless 0, text converts.
bool Truth(sqlite3_value* v, bool& ok)
{
    ok = true;
    switch (sqlite3_value_type(v)) {
    case SQLITE_NULL:
        return false;
    case SQLITE_INTEGER:
        return sqlite3_value_int64(v) != 0;
    case SQLITE_FLOAT:
        return sqlite3_value_double(v) != 0.0;
    case SQLITE_TEXT: {
        const QString s = QStringOf(v).trimmed();
        if (s.compare(QLatin1String("true"), Qt::CaseInsensitive) == 0
            || s.compare(QStringLiteral("pravda"), Qt::CaseInsensitive) == 0)
            return true;
        if (s.compare(QLatin1String("false"), Qt::CaseInsensitive) == 0
            || s.compare(QStringLiteral("nepravda"), Qt::CaseInsensitive) == 0)
            return false;
        double d = 0;
        ok = ParseNumber(s, d);
        return d != 0.0;
    }
    default:
        ok = false;
        return false;
    }
}

void IIfFunction(sqlite3_context* ctx, int, sqlite3_value** argv)
{
    bool ok = true;
    const bool truth = Truth(argv[0], ok);
    if (!ok) {
        TypeMismatch(ctx);
        return;
    }
    sqlite3_result_value(ctx, argv[truth ? 1 : 2]);
}

void NzFunction(sqlite3_context* ctx, int argc, sqlite3_value** argv)
{
    if (sqlite3_value_type(argv[0]) != SQLITE_NULL)
        sqlite3_result_value(ctx, argv[0]);
    else if (argc == 2)
        sqlite3_result_value(ctx, argv[1]);
    else
        sqlite3_result_text(ctx, "", 0, SQLITE_STATIC);
}

void IsNullFunction(sqlite3_context* ctx, int, sqlite3_value** argv)
{
    sqlite3_result_int(ctx, sqlite3_value_type(argv[0]) == SQLITE_NULL ? -1 : 0);
}

// ---- conversions

// Val: the leading number of a text, blanks anywhere ignored; &H and &O prefixes.
double ValOf(const QString& text)
{
    QString digits;
    for (QChar c : text)
        if (c != u' ' && c != u'\t' && c != u'\n' && c != u'\r')
            digits += c;
    if (digits.startsWith(QLatin1String("&h"), Qt::CaseInsensitive)
        || digits.startsWith(QLatin1String("&o"), Qt::CaseInsensitive)) {
        const int base = digits[1].toLower() == u'h' ? 16 : 8;
        qsizetype end = 2;
        while (end < digits.size() && end < 18 && QStringLiteral("0123456789abcdef").indexOf(digits[end].toLower()) >= 0
               && QStringLiteral("0123456789abcdef").indexOf(digits[end].toLower()) < base)
            ++end;
        bool ok = false;
        const qint64 value = digits.mid(2, end - 2).toLongLong(&ok, base);
        return ok ? double(value) : 0.0;
    }
    static const QRegularExpression number(QStringLiteral(R"(^[+-]?(\d+\.?\d*|\.\d+)([eEdD][+-]?\d+)?)"));
    const QRegularExpressionMatch m = number.match(digits);
    if (!m.hasMatch())
        return 0.0;
    QString n = m.captured(0);
    n.replace(u'd', u'e').replace(u'D', u'e');
    const double value = n.toDouble();
    return std::isfinite(value) ? value : 0.0;
}

void ValFunction(sqlite3_context* ctx, int, sqlite3_value** argv)
{
    switch (sqlite3_value_type(argv[0])) {
    case SQLITE_NULL:
        sqlite3_result_null(ctx);
        return;
    case SQLITE_INTEGER:
    case SQLITE_FLOAT:
        sqlite3_result_value(ctx, argv[0]);
        return;
    default:
        sqlite3_result_double(ctx, ValOf(QStringOf(argv[0])));
    }
}

// Up to 15 significant digits, exponent as 1E+20; the decimal point is given.
QString NumberText(sqlite3_value* v, QChar point)
{
    if (sqlite3_value_type(v) == SQLITE_INTEGER)
        return QString::number(sqlite3_value_int64(v));
    const double d = sqlite3_value_double(v);
    char buffer[40];
    std::snprintf(buffer, sizeof buffer, "%.15G", d);
    QString s = QString::fromLatin1(buffer);
    s.replace(u'.', point);
    return s;
}

void StrFunction(sqlite3_context* ctx, int, sqlite3_value** argv)
{
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL) {
        sqlite3_result_null(ctx);
        return;
    }
    QString s;
    if (sqlite3_value_type(argv[0]) == SQLITE_INTEGER || sqlite3_value_type(argv[0]) == SQLITE_FLOAT) {
        s = NumberText(argv[0], u'.');
    } else {
        double d = 0;
        if (!NumberOf(argv[0], d)) {
            TypeMismatch(ctx);
            return;
        }
        char buffer[40];
        std::snprintf(buffer, sizeof buffer, "%.15G", d);
        s = QString::fromLatin1(buffer);
    }
    // Str leaves a blank for the sign of a positive number and drops a leading zero.
    if (s.startsWith(QLatin1String("0.")))
        s.remove(0, 1);
    else if (s.startsWith(QLatin1String("-0.")))
        s.remove(1, 1);
    if (!s.startsWith(u'-'))
        s.prepend(u' ');
    ResultQString(ctx, s);
}

void CStrFunction(sqlite3_context* ctx, int, sqlite3_value** argv)
{
    switch (sqlite3_value_type(argv[0])) {
    case SQLITE_NULL:
        sqlite3_result_null(ctx);
        return;
    case SQLITE_INTEGER:
    case SQLITE_FLOAT:
        ResultQString(ctx, NumberText(argv[0], QLocale().decimalPoint().front()));
        return;
    default: {
        const Utf8 t = TextOf(argv[0]);
        ResultUtf8(ctx, t.data, t.size);
    }
    }
}

template<int Which> // 0 CInt, 1 CLng, 2 CDbl, 3 CCur, 4 CSng
void ConvertNumberFunction(sqlite3_context* ctx, int, sqlite3_value** argv)
{
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL) {
        sqlite3_result_null(ctx);
        return;
    }
    double d = 0;
    if (!NumberOf(argv[0], d)) {
        TypeMismatch(ctx);
        return;
    }
    if (Which == 2) {
        sqlite3_result_double(ctx, d);
        return;
    }
    if (Which == 3) { // Currency keeps four decimal places
        if (std::fabs(d) > 922337203685477.0) {
            Overflow(ctx);
            return;
        }
        sqlite3_result_double(ctx, RoundHalfEven(d * 10000.0) / 10000.0);
        return;
    }
    if (Which == 4) {
        if (std::isfinite(d) && std::fabs(d) > double(std::numeric_limits<float>::max())) {
            Overflow(ctx);
            return;
        }
        sqlite3_result_double(ctx, double(float(d)));
        return;
    }
    d = RoundHalfEven(d);
    const double limit = Which == 0 ? 32768.0 : 2147483648.0;
    if (d < -limit || d > limit - 1) {
        Overflow(ctx);
        return;
    }
    sqlite3_result_int64(ctx, qint64(d));
}

void CBoolFunction(sqlite3_context* ctx, int, sqlite3_value** argv)
{
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL) {
        sqlite3_result_null(ctx);
        return;
    }
    bool ok = true;
    const bool truth = Truth(argv[0], ok);
    if (!ok) {
        TypeMismatch(ctx);
        return;
    }
    sqlite3_result_int(ctx, truth ? -1 : 0);
}

// ---- arithmetic

template<int Which> // 0 Int (down), 1 Fix (towards zero)
void WholeFunction(sqlite3_context* ctx, int, sqlite3_value** argv)
{
    switch (sqlite3_value_type(argv[0])) {
    case SQLITE_NULL:
        sqlite3_result_null(ctx);
        return;
    case SQLITE_INTEGER:
        sqlite3_result_value(ctx, argv[0]);
        return;
    default: {
        double d = 0;
        if (!NumberOf(argv[0], d)) {
            TypeMismatch(ctx);
            return;
        }
        sqlite3_result_double(ctx, Which == 0 ? std::floor(d) : std::trunc(d));
    }
    }
}

void RoundFunction(sqlite3_context* ctx, int argc, sqlite3_value** argv)
{
    if (AnyNull(argc, argv)) {
        sqlite3_result_null(ctx);
        return;
    }
    qint64 places = 0;
    if (argc == 2 && !IntegerArgument(ctx, argv[1], places, "Round"))
        return;
    if (places < 0 || places > 22) {
        InvalidArgument(ctx, "Round");
        return;
    }
    if (sqlite3_value_type(argv[0]) == SQLITE_INTEGER) {
        sqlite3_result_value(ctx, argv[0]);
        return;
    }
    double d = 0;
    if (!NumberOf(argv[0], d)) {
        TypeMismatch(ctx);
        return;
    }
    const double scale = std::pow(10.0, double(places));
    const double scaled = d * scale;
    if (!std::isfinite(scaled) || std::fabs(scaled) >= 4503599627370496.0) { // nothing left to round
        sqlite3_result_double(ctx, d);
        return;
    }
    sqlite3_result_double(ctx, RoundHalfEven(scaled) / scale);
}

void SgnFunction(sqlite3_context* ctx, int, sqlite3_value** argv)
{
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL) {
        sqlite3_result_null(ctx);
        return;
    }
    double d = 0;
    if (!NumberOf(argv[0], d)) {
        TypeMismatch(ctx);
        return;
    }
    sqlite3_result_int(ctx, d > 0 ? 1 : (d < 0 ? -1 : 0));
}

void SqrFunction(sqlite3_context* ctx, int, sqlite3_value** argv)
{
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL) {
        sqlite3_result_null(ctx);
        return;
    }
    double d = 0;
    if (!NumberOf(argv[0], d)) {
        TypeMismatch(ctx);
        return;
    }
    if (d < 0) {
        InvalidArgument(ctx, "Sqr");
        return;
    }
    sqlite3_result_double(ctx, std::sqrt(d));
}

// ---- First and Last

template<bool Last>
void EdgeStep(sqlite3_context* ctx, int, sqlite3_value** argv)
{
    auto** held = static_cast<sqlite3_value**>(sqlite3_aggregate_context(ctx, sizeof(sqlite3_value*) + 1));
    if (!held) {
        sqlite3_result_error_nomem(ctx);
        return;
    }
    auto* seen = reinterpret_cast<unsigned char*>(held + 1);
    if (*seen && !Last)
        return;
    sqlite3_value* copy = sqlite3_value_dup(argv[0]);
    if (!copy) {
        sqlite3_result_error_nomem(ctx);
        return;
    }
    sqlite3_value_free(*held);
    *held = copy;
    *seen = 1;
}

void EdgeFinal(sqlite3_context* ctx)
{
    auto** held = static_cast<sqlite3_value**>(sqlite3_aggregate_context(ctx, 0));
    if (!held || !*held) {
        sqlite3_result_null(ctx);
        return;
    }
    sqlite3_result_value(ctx, *held);
    sqlite3_value_free(*held);
    *held = nullptr;
}

struct Registration {
    const char* name;
    int args;
    bool deterministic;
    void (*function)(sqlite3_context*, int, sqlite3_value**);
};

const Registration kFunctions[] = {
    {"like", 2, true, LikeFunction},
    {"like", 3, true, LikeFunction},
    {"jet_concat", -1, true, ConcatFunction},
    {"jet_left", 2, true, SubstringFunction<0>},
    {"jet_right", 2, true, SubstringFunction<1>},
    {"mid", 2, true, SubstringFunction<2>},
    {"mid", 3, true, SubstringFunction<2>},
    {"len", 1, true, LenFunction},
    {"ucase", 1, true, CaseFunction<true>},
    {"lcase", 1, true, CaseFunction<false>},
    {"instr", 2, true, InStrFunction},
    {"instr", 3, true, InStrFunction},
    {"instr", 4, true, InStrFunction},
    {"replace", 3, true, ReplaceFunction},
    {"replace", 4, true, ReplaceFunction},
    {"replace", 5, true, ReplaceFunction},
    {"replace", 6, true, ReplaceFunction},
    {"space", 1, true, RepeatFunction},
    {"string", 2, true, RepeatFunction},
    {"year", 1, true, DatePartFunction<0>},
    {"month", 1, true, DatePartFunction<1>},
    {"day", 1, true, DatePartFunction<2>},
    {"hour", 1, true, DatePartFunction<3>},
    {"minute", 1, true, DatePartFunction<4>},
    {"second", 1, true, DatePartFunction<5>},
    {"weekday", 1, false, WeekdayFunction},
    {"weekday", 2, false, WeekdayFunction},
    {"datepart", 2, true, DatePartOfFunction},
    {"datepart", 3, false, DatePartOfFunction},
    {"datepart", 4, false, DatePartOfFunction},
    {"now", 0, false, ClockFunction<0>},
    {"date", 0, false, ClockFunction<1>},
    {"time", 0, false, ClockFunction<2>},
    {"dateserial", 3, true, DateSerialFunction},
    {"cdate", 1, true, CDateFunction},
    {"iif", 3, true, IIfFunction},
    {"nz", 1, true, NzFunction},
    {"nz", 2, true, NzFunction},
    {"jet_isnull", 1, true, IsNullFunction},
    {"val", 1, true, ValFunction},
    {"str", 1, true, StrFunction},
    {"cstr", 1, false, CStrFunction},
    {"cint", 1, false, ConvertNumberFunction<0>},
    {"clng", 1, false, ConvertNumberFunction<1>},
    {"cdbl", 1, false, ConvertNumberFunction<2>},
    {"ccur", 1, false, ConvertNumberFunction<3>},
    {"csng", 1, false, ConvertNumberFunction<4>},
    {"cbool", 1, false, CBoolFunction},
    {"int", 1, true, WholeFunction<0>},
    {"fix", 1, true, WholeFunction<1>},
    {"round", 1, true, RoundFunction},
    {"round", 2, true, RoundFunction},
    {"sgn", 1, true, SgnFunction},
    {"sqr", 1, true, SqrFunction},
};

} // namespace

int RegisterJetFunctions(sqlite3* db)
{
    for (const Registration& r : kFunctions) {
        // None has side effects, so views may use them whatever trusted_schema says.
        const int flags = SQLITE_UTF8 | SQLITE_INNOCUOUS | (r.deterministic ? SQLITE_DETERMINISTIC : 0);
        const int rc = sqlite3_create_function_v2(db, r.name, r.args, flags, nullptr, r.function, nullptr,
                                                  nullptr, nullptr);
        if (rc != SQLITE_OK)
            return rc;
    }
    for (const char* name : {"first", "last"}) {
        const bool last = name[0] == 'l';
        const int rc = sqlite3_create_function_v2(db, name, 1, SQLITE_UTF8 | SQLITE_INNOCUOUS, nullptr, nullptr,
                                                  last ? EdgeStep<true> : EdgeStep<false>, EdgeFinal, nullptr);
        if (rc != SQLITE_OK)
            return rc;
    }
    return SQLITE_OK;
}

bool JetFunctionError(const QString& sqliteMessage, qint32& number, QString& description)
{
    static const QRegularExpression form(QStringLiteral(R"(^Jet#(\d+): (.*)$)"),
                                         QRegularExpression::DotMatchesEverythingOption);
    const QRegularExpressionMatch m = form.match(sqliteMessage);
    if (!m.hasMatch())
        return false;
    number = m.captured(1).toInt();
    description = m.captured(2);
    return true;
}
