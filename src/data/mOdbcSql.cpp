#include "mOdbcSql.h"

#include "cRuntimeError.h"
#include "mJetErrors.h"
#include "mJetSql.h"


#include <algorithm>
#include <vector>

namespace {

const QString kSource = QStringLiteral("Quarnel.Odbc");

enum class Kind { Space, Word, Number, Text, Quoted, Bracketed, Date, Symbol };

struct Token {
    Kind kind;
    QString text; // as written; for Text, Quoted, Bracketed and Date the content alone
};

bool IsWordChar(QChar c)
{
    return c.isLetterOrNumber() || c == u'_' || c == u'$';
}

[[noreturn]] void Syntax(const QString& what)
{
    RaiseJetError(JetError::SyntaxError, {what}, kSource);
}

std::vector<Token> Tokenise(const QString& sql)
{
    std::vector<Token> tokens;
    const qsizetype n = sql.size();
    qsizetype i = 0;
    while (i < n) {
        const QChar c = sql[i];
        const qsizetype start = i;
        if (c.isSpace()) {
            while (i < n && sql[i].isSpace())
                ++i;
            tokens.push_back({Kind::Space, sql.mid(start, i - start)});
        } else if (c == u'-' && i + 1 < n && sql[i + 1] == u'-') {
            while (i < n && sql[i] != u'\n')
                ++i;
            tokens.push_back({Kind::Space, QStringLiteral(" ")});
        } else if (c == u'/' && i + 1 < n && sql[i + 1] == u'*') {
            const qsizetype close = sql.indexOf(QStringLiteral("*/"), i + 2);
            i = close < 0 ? n : close + 2;
            tokens.push_back({Kind::Space, QStringLiteral(" ")});
        } else if (c == u'\'' || c == u'"' || c == u'`') {
            QString content;
            ++i;
            bool closed = false;
            while (i < n) {
                if (sql[i] == c) {
                    if (i + 1 < n && sql[i + 1] == c) {
                        content += c;
                        i += 2;
                        continue;
                    }
                    ++i;
                    closed = true;
                    break;
                }
                content += sql[i++];
            }
            if (!closed)
                Syntax(sql.mid(start, 40));
            tokens.push_back({c == u'`' ? Kind::Bracketed : c == u'"' ? Kind::Quoted : Kind::Text, content});
        } else if (c == u'[') {
            QString name;
            const qsizetype end = ReadJetBracketedName(sql, i, name);
            if (end < 0)
                Syntax(sql.mid(start, 40));
            tokens.push_back({Kind::Bracketed, name});
            i = end;
        } else if (c == u'#') {
            const qsizetype close = sql.indexOf(u'#', i + 1);
            if (close < 0)
                Syntax(sql.mid(start, 40));
            tokens.push_back({Kind::Date, sql.mid(i + 1, close - i - 1)});
            i = close + 1;
        } else if (c.isDigit() || (c == u'.' && i + 1 < n && sql[i + 1].isDigit())) {
            while (i < n && (sql[i].isLetterOrNumber() || sql[i] == u'.'
                             || ((sql[i] == u'+' || sql[i] == u'-') && (sql[i - 1] == u'e' || sql[i - 1] == u'E'))))
                ++i;
            tokens.push_back({Kind::Number, sql.mid(start, i - start)});
        } else if (IsWordChar(c)) {
            while (i < n && IsWordChar(sql[i]))
                ++i;
            tokens.push_back({Kind::Word, sql.mid(start, i - start)});
        } else {
            tokens.push_back({Kind::Symbol, QString(c)});
            ++i;
        }
    }
    return tokens;
}

bool IsWord(const Token& t, const char* word)
{
    return t.kind == Kind::Word && t.text.compare(QLatin1String(word), Qt::CaseInsensitive) == 0;
}

bool IsSymbol(const Token& t, char c)
{
    return t.kind == Kind::Symbol && t.text.size() == 1 && t.text[0] == QLatin1Char(c);
}

size_t NextSignificant(const std::vector<Token>& t, size_t i)
{
    ++i;
    while (i < t.size() && t[i].kind == Kind::Space)
        ++i;
    return i;
}

QString TextLiteral(const QString& content)
{
    QString escaped = content;
    escaped.replace(u'\'', QLatin1String("''"));
    return u'\'' + escaped + u'\'';
}

// A Jet date literal as the ODBC timestamp escape.
QString DateEscape(const QString& content)
{
    JetDateTime parsed;
    if (ParseJetDate(content, parsed) != JetDateParse::Ok)
        Syntax(u'#' + content + u'#');
    return QStringLiteral("{ts '%1'}").arg(parsed.Text());
}

// One piece of a Jet LIKE pattern.
struct PatternItem {
    enum Kind { Literal, AnyRun, AnyChar, Digit, Class } kind;
    QString text;         // Literal: the character; Class: its members, ranges as a-z
    bool negated = false; // [!…]
};

std::vector<PatternItem> ReadJetPattern(const QString& jet)
{
    std::vector<PatternItem> items;
    for (qsizetype i = 0; i < jet.size(); ++i) {
        const QChar c = jet[i];
        if (c == u'*') {
            items.push_back({PatternItem::AnyRun, {}});
        } else if (c == u'?') {
            items.push_back({PatternItem::AnyChar, {}});
        } else if (c == u'#') {
            items.push_back({PatternItem::Digit, {}});
        } else if (c == u'[') {
            const qsizetype close = jet.indexOf(u']', i + 1);
            if (close < 0)
                RaiseJetError(JetError::SyntaxError, {QStringLiteral("LIKE '%1'").arg(jet)}, kSource);
            QString members = jet.mid(i + 1, close - i - 1);
            const bool negated = members.startsWith(u'!') && members.size() > 1;
            if (negated)
                members.remove(0, 1);
            // [*], [?], [#] and [[] are the character itself.
            if (members.size() == 1 && !negated)
                items.push_back({PatternItem::Literal, members});
            else if (members.isEmpty())
                ; // Jet's [] matches nothing and takes no character
            else
                items.push_back({PatternItem::Class, members, negated});
            i = close;
        } else {
            items.push_back({PatternItem::Literal, QString(c)});
        }
    }
    return items;
}

// A pattern of literals, * and ? alone, as LIKE reads it with \ as its escape.
QString LikePattern(const std::vector<PatternItem>& items)
{
    QString out;
    for (const PatternItem& item : items) {
        switch (item.kind) {
        case PatternItem::AnyRun: out += u'%'; break;
        case PatternItem::AnyChar: out += u'_'; break;
        default:
            if (item.text == u'%' || item.text == u'_' || item.text == u'\\')
                out += u'\\';
            out += item.text;
        }
    }
    return out;
}

// A class's members as a bracket expression: ranges kept, the characters a bracket
// expression gives a meaning placed where they are plain ("]" first, "^" not first, "-"
// last). A GLOB heeds case, so there every letter also stands in its other case.
QString BracketExpression(const PatternItem& item, bool regex)
{
    QString members;
    bool closing = false, caret = false, hyphen = false;
    const auto add = [&](QChar c) {
        if (c == u']')
            closing = true;
        else if (c == u'^')
            caret = true;
        else if (c == u'-')
            hyphen = true;
        else if (c == u'\\' && regex)
            members += QStringLiteral("\\\\");
        else if (!members.contains(c))
            members += c;
    };
    const QString& text = item.text;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (i + 2 < text.size() && text[i + 1] == u'-') {
            const QChar from = text[i], to = text[i + 2];
            members += from + QStringLiteral("-") + to;
            if (!regex && from.isLetter() && to.isLetter() && from.toUpper() != from.toLower())
                members += (from.isUpper() ? from.toLower() : from.toUpper()) + QStringLiteral("-")
                           + (to.isUpper() ? to.toLower() : to.toUpper());
            i += 2;
            continue;
        }
        add(text[i]);
        if (!regex && text[i].toUpper() != text[i].toLower()) {
            add(text[i].toUpper());
            add(text[i].toLower());
        }
    }
    QString out = QStringLiteral("[");
    if (item.negated)
        out += u'^';
    if (closing)
        out += u']';
    out += members;
    // A "^" that would stand first after "[" negates: then the hyphen goes before it.
    if (caret && hyphen && out.size() == 1)
        return out + QStringLiteral("-^]");
    if (caret)
        out += u'^';
    if (hyphen)
        out += u'-';
    return out + u']';
}

QString RegexPattern(const std::vector<PatternItem>& items)
{
    static const QString special = QStringLiteral("\\.^$|?*+()[]{}");
    QString out = QStringLiteral("^");
    for (const PatternItem& item : items) {
        switch (item.kind) {
        case PatternItem::AnyRun: out += QStringLiteral(".*"); break;
        case PatternItem::AnyChar: out += u'.'; break;
        case PatternItem::Digit: out += QStringLiteral("[0-9]"); break;
        case PatternItem::Class: out += BracketExpression(item, true); break;
        case PatternItem::Literal:
            if (special.contains(item.text))
                out += u'\\';
            out += item.text;
        }
    }
    return out + u'$';
}

QString GlobPattern(const std::vector<PatternItem>& items)
{
    QString out;
    for (const PatternItem& item : items) {
        switch (item.kind) {
        case PatternItem::AnyRun: out += u'*'; break;
        case PatternItem::AnyChar: out += u'?'; break;
        case PatternItem::Digit: out += QStringLiteral("[0-9]"); break;
        case PatternItem::Class: out += BracketExpression(item, false); break;
        case PatternItem::Literal: {
            // GLOB has no escape: its own wildcards stand in brackets, and a letter in both
            // its cases, as Jet ignores case.
            const QChar c = item.text[0];
            if (c == u'*' || c == u'?' || c == u'[')
                out += u'[' + item.text + u']';
            else if (c.toUpper() != c.toLower())
                out += QStringLiteral("[%1%2]").arg(c.toUpper(), c.toLower());
            else
                out += item.text;
        }
        }
    }
    return out;
}

bool HasClasses(const std::vector<PatternItem>& items)
{
    return std::any_of(items.begin(), items.end(), [](const PatternItem& item) {
        return item.kind == PatternItem::Digit || item.kind == PatternItem::Class;
    });
}

} // namespace

QString QuoteOdbcName(const QString& name, QChar quote)
{
    if (quote.isSpace() || quote.isNull())
        return name;
    QString escaped = name;
    escaped.replace(quote, QString(2, quote));
    return quote + escaped + quote;
}

QStringList NamesInJetSql(const QString& jetSql)
{
    QStringList names;
    for (const Token& k : Tokenise(jetSql)) {
        if (k.kind == Kind::Word || k.kind == Kind::Bracketed)
            names << k.text;
    }
    return names;
}

QString TranslateJetSqlForOdbc(const QString& jetSql, const OdbcDialect& dialect,
                               const std::function<QString(const QString&)>& spell)
{
    std::vector<Token> t = Tokenise(jetSql);
    // One statement: a ';' may stand only at the end.
    int depth = 0;
    for (size_t i = 0; i < t.size(); ++i) {
        if (IsSymbol(t[i], '('))
            ++depth;
        else if (IsSymbol(t[i], ')'))
            --depth;
        else if (IsSymbol(t[i], ';')) {
            if (NextSignificant(t, i) < t.size())
                RaiseJetError(JetError::TextAfterStatement, {}, kSource);
            t.erase(t.begin() + qsizetype(i), t.end());
            break;
        }
    }
    QString limit;
    QString out;
    bool afterSelect = false;
    depth = 0;
    for (size_t i = 0; i < t.size(); ++i) {
        const Token& k = t[i];
        if (IsSymbol(k, '('))
            ++depth;
        else if (IsSymbol(k, ')'))
            --depth;
        switch (k.kind) {
        case Kind::Bracketed: {
            const QString spelt = spell ? spell(k.text) : QString();
            out += QuoteOdbcName(spelt.isEmpty() ? k.text : spelt, dialect.Quote);
            break;
        }
        case Kind::Quoted:
        case Kind::Text: out += TextLiteral(k.text); break;
        case Kind::Date: out += DateEscape(k.text); break;
        case Kind::Word:
            if (IsWord(k, "TRUE") || IsWord(k, "YES")) {
                out += dialect.BooleanWords ? QStringLiteral("TRUE") : QStringLiteral("1");
            } else if (IsWord(k, "FALSE") || IsWord(k, "NO")) {
                out += dialect.BooleanWords ? QStringLiteral("FALSE") : QStringLiteral("0");
            } else if (IsWord(k, "DISTINCTROW")) {
                // Jet's own; rows of one table are distinct anyway
            } else if (IsWord(k, "LIKE")) {
                const size_t next = NextSignificant(t, i);
                if (next >= t.size() || (t[next].kind != Kind::Text && t[next].kind != Kind::Quoted)) {
                    out += dialect.CaseInsensitiveLike ? QStringLiteral("ILIKE") : k.text;
                    break;
                }
                // Jet's wildcards mean here what they mean in Jet, and the source's own
                // (% and _) are plain characters.
                const std::vector<PatternItem> items = ReadJetPattern(t[next].text);
                i = next;
                if (!HasClasses(items)) {
                    out += dialect.CaseInsensitiveLike ? QStringLiteral("ILIKE") : k.text;
                    out += u' ' + TextLiteral(LikePattern(items)) + QStringLiteral(" ESCAPE '\\'");
                    break;
                }
                if (dialect.LikeClasses == OdbcDialect::Classes::None)
                    RaiseJetError(JetError::SyntaxError,
                                  {QStringLiteral("LIKE '%1' (# a […] tento zdroj neumí)").arg(t[next].text)}, kSource);
                // NOT LIKE becomes the operator's own negation.
                const bool negated = out.endsWith(QLatin1String("NOT "), Qt::CaseInsensitive)
                                     && (out.size() == 4 || !IsWordChar(out[out.size() - 5]));
                if (negated)
                    out.chop(4);
                if (dialect.LikeClasses == OdbcDialect::Classes::Regex)
                    out += (negated ? QStringLiteral("!~* ") : QStringLiteral("~* ")) + TextLiteral(RegexPattern(items));
                else
                    out += (negated ? QStringLiteral("NOT GLOB ") : QStringLiteral("GLOB ")) + TextLiteral(GlobPattern(items));
            } else if (IsWord(k, "TOP") && afterSelect && depth == 0 && dialect.Limit) {
                const size_t count = NextSignificant(t, i);
                if (count >= t.size() || t[count].kind != Kind::Number)
                    Syntax(QStringLiteral("TOP"));
                if (const size_t percent = NextSignificant(t, count); percent < t.size() && IsWord(t[percent], "PERCENT"))
                    RaiseJetError(JetError::InvalidOperation, {}, kSource);
                limit = t[count].text;
                i = count;
            } else {
                out += k.text;
            }
            break;
        case Kind::Symbol:
            if (IsSymbol(k, '&'))
                out += dialect.Concat;
            else
                out += k.text;
            break;
        default: out += k.text; break;
        }
        if (k.kind != Kind::Space)
            afterSelect = depth == 0 && (IsWord(k, "SELECT") || IsWord(k, "DISTINCT") || IsWord(k, "DISTINCTROW")
                                         || (afterSelect && IsWord(k, "ALL")));
    }
    out = out.trimmed();
    if (out.isEmpty())
        RaiseJetError(JetError::InvalidOperation, {}, kSource);
    if (!limit.isEmpty())
        out += QLatin1String(" LIMIT ") + limit;
    return out;
}
