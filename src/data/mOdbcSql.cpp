#include "mOdbcSql.h"

#include "cRuntimeError.h"
#include "mJetErrors.h"
#include "mJetSql.h"
#include "mJetSqlTokens.h"
#include "mStringTable.h"

#include <QSet>

#include <algorithm>
#include <vector>

using namespace JetTokens;

namespace {

const QString kSource = QStringLiteral("Quarnel.Odbc");

// Not the backslash: a source that reads it as an escape inside '…' would end the
// text elsewhere than we do.
constexpr char16_t kLikeEscape = u'!';

[[noreturn]] void Syntax(const QString& what)
{
    RaiseJetError(JetError::SyntaxError, {what}, kSource);
}

QString SourceText(const QString& content, const OdbcDialect& dialect)
{
    if (dialect.EscapeStrings && content.contains(u'\\')) {
        QString escaped = content;
        escaped.replace(u'\\', QLatin1String("\\\\"));
        return u'E' + JetQuoteText(escaped);
    }
    if (dialect.BackslashEscapes && content.contains(u'\\'))
        throw cRuntimeError(JetError::SyntaxError, LoadString(10741).arg(Excerpt(content, 0)), kSource);
    return JetQuoteText(content);
}

// A letter whose other case must be spelt out: everywhere for a GLOB, which heeds case;
// outside ASCII for the rest, whose folding of other letters hangs on the server's locale.
bool SpellOtherCase(QChar c, bool glob)
{
    return c.toUpper() != c.toLower() && (glob || c.unicode() >= 0x80);
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

// A pattern of literals, * and ? alone, as LIKE reads it with kLikeEscape as its escape
// ("[" too: a class to some sources).
QString LikePattern(const std::vector<PatternItem>& items)
{
    QString out;
    for (const PatternItem& item : items) {
        switch (item.kind) {
        case PatternItem::AnyRun: out += u'%'; break;
        case PatternItem::AnyChar: out += u'_'; break;
        default:
            if (item.text == u'%' || item.text == u'_' || item.text == u'[' || item.text == kLikeEscape)
                out += kLikeEscape;
            out += item.text;
        }
    }
    return out;
}

// A class's members as a bracket expression: ranges kept, the characters a bracket
// expression gives a meaning placed where they are plain ("]" first, "^" not first, "-"
// last), a letter in its other case too where SpellOtherCase says.
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
            if (from.isLetter() && to.isLetter() && SpellOtherCase(from, !regex) && SpellOtherCase(to, !regex))
                members += (from.isUpper() ? from.toLower() : from.toUpper()) + QStringLiteral("-")
                           + (to.isUpper() ? to.toLower() : to.toUpper());
            i += 2;
            continue;
        }
        add(text[i]);
        if (SpellOtherCase(text[i], !regex)) {
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
            if (SpellOtherCase(item.text[0], false))
                out += QStringLiteral("[%1%2]").arg(item.text[0].toUpper(), item.text[0].toLower());
            else
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
            else if (SpellOtherCase(c, true))
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

// Letters outside ASCII: no LIKE is sure to fold their case.
bool HasWideLetters(const std::vector<PatternItem>& items)
{
    return std::any_of(items.begin(), items.end(), [](const PatternItem& item) {
        return std::any_of(item.text.begin(), item.text.end(), [](QChar c) { return SpellOtherCase(c, false); });
    });
}

// The LIKE of one pattern: a LIKE of the source where that keeps Jet's meaning, else a
// regular expression or a GLOB. negated: the NOT before it.
QString LikeOperator(const QString& jetPattern, bool negated, const OdbcDialect& dialect)
{
    const std::vector<PatternItem> items = ReadJetPattern(jetPattern);
    const bool classes = HasClasses(items);
    const bool plain = !classes && (!HasWideLetters(items) || dialect.LikeClasses == OdbcDialect::Classes::None);
    const QString no = negated ? QStringLiteral("NOT ") : QString();
    if (plain)
        return no + (dialect.CaseInsensitiveLike ? QStringLiteral("ILIKE ") : QStringLiteral("LIKE "))
               + SourceText(LikePattern(items), dialect) + QStringLiteral(" ESCAPE '%1'").arg(QChar(kLikeEscape));
    switch (dialect.LikeClasses) {
    case OdbcDialect::Classes::None:
        break;
    case OdbcDialect::Classes::Regex:
        // Its escapes are backslashes, which such a source would read in the text itself.
        if (dialect.BackslashEscapes && !dialect.EscapeStrings)
            break;
        return (negated ? QStringLiteral("!~* ") : QStringLiteral("~* ")) + SourceText(RegexPattern(items), dialect);
    case OdbcDialect::Classes::Glob:
        return no + QStringLiteral("GLOB ") + SourceText(GlobPattern(items), dialect);
    }
    Syntax(QStringLiteral("LIKE '%1' (# a […] tento zdroj neumí)").arg(jetPattern));
}

// Words that begin a statement of their own on a source with UnseparatedStatements; a
// SELECT or WITH is left alone, as a second query would read and change nothing.
const QSet<QString>& StatementWords()
{
    static const QSet<QString> words = [] {
        QSet<QString> set;
        for (const char* word : {"ALTER", "BACKUP", "BEGIN", "BREAK", "BULK", "CHECKPOINT", "CLOSE", "COMMIT",
                                 "CONTINUE", "CREATE", "DBCC", "DEALLOCATE", "DECLARE", "DELETE", "DENY", "DROP",
                                 "DUMP", "EXEC", "EXECUTE", "FETCH", "GOTO", "GRANT", "IF", "INSERT", "KILL",
                                 "LOAD", "MERGE", "OPEN", "PRINT", "RAISERROR", "READTEXT", "RECONFIGURE",
                                 "RESTORE", "RETURN", "REVERT", "REVOKE", "ROLLBACK", "SAVE", "SET", "SETUSER",
                                 "SHUTDOWN", "TRUNCATE", "UPDATE", "UPDATETEXT", "USE", "WAITFOR", "WHILE",
                                 "WRITETEXT"})
            set.insert(QString::fromLatin1(word));
        return set;
    }();
    return words;
}

// The pattern after the LIKE at t[at]: texts, joined by & (which binds tighter than LIKE);
// at becomes its last token. Any other pattern (a field, arithmetic) is known only on the
// source, whose wildcards are not Jet's, and is refused rather than read otherwise.
QString LiteralPattern(const std::vector<Token>& t, qsizetype& at, const QString& jetSql)
{
    const qsizetype like = at;
    QString pattern;
    for (qsizetype part = NextSignificant(t, at);; part = NextSignificant(t, at)) {
        if (part < 0 || t[part].kind != Kind::Text)
            break;
        pattern += t[part].text;
        at = part;
        const qsizetype after = NextSignificant(t, at);
        if (after >= 0 && IsOp(t[after], "&")) {
            at = after;
            continue;
        }
        const bool composed = after >= 0 && (IsWord(t[after], "MOD") || IsOp(t[after], "+") || IsOp(t[after], "-")
                                             || IsOp(t[after], "*") || IsOp(t[after], "/"));
        if (!composed)
            return pattern;
        break;
    }
    throw cRuntimeError(JetError::SyntaxError, LoadString(10743).arg(Excerpt(jetSql, t[like].pos)), kSource);
}

// Appends a piece, with a blank where the source would read the two as one.
void Append(QString& out, const QString& piece)
{
    if (!out.isEmpty() && !piece.isEmpty() && NeedsBlank(out.back(), piece.front()))
        out += u' ';
    out += piece;
}

} // namespace

QString QuoteOdbcName(const QString& name, QChar quote)
{
    if (quote.isSpace() || quote.isNull()) {
        // Without quotes only a plain word reaches the source as one name.
        const bool plain = !name.isEmpty() && !IsDigit(name[0])
                           && std::all_of(name.begin(), name.end(), [](QChar c) {
                                  return c.unicode() < 0x80 && IsWordChar(c);
                              });
        if (!plain)
            throw cRuntimeError(JetError::InvalidName, LoadString(10742).arg(name), kSource);
        return name;
    }
    // A driver that names "[" as its quote closes with "]".
    const QChar close = quote == u'[' ? QChar(u']') : quote;
    QString escaped = name;
    escaped.replace(close, QString(2, close));
    return quote + escaped + close;
}

QString TranslateJetSqlForOdbc(const QString& jetSql, const OdbcDialect& dialect,
                               const std::function<QStringList(const QString&)>& spell)
{
    std::vector<Token> t = Tokenise(jetSql);
    // One statement: a ';' may stand only at the end.
    for (qsizetype i = 0; i < qsizetype(t.size()); ++i) {
        if (!IsOp(t[i], ";"))
            continue;
        if (NextSignificant(t, i) >= 0)
            RaiseJetError(JetError::TextAfterStatement, {}, kSource);
        t.resize(size_t(i));
        break;
    }
    QString limit;
    QString out;
    // The SELECT that TOP belongs to, and the ORDER BY that ends it: in a compound, TOP
    // limits its own arm, while a LIMIT after the compound would limit the whole of it.
    qsizetype armStart = 0;
    qsizetype armOrderBy = -1;
    bool compound = false;
    int limitedArms = 0;
    const auto limitArm = [&](qsizetype end) {
        const QString arm = out.mid(armStart, end - armStart).trimmed();
        const QString after = out.mid(end);
        out.truncate(armStart);
        Append(out, QStringLiteral("SELECT * FROM (") + arm + QLatin1String(" LIMIT ") + limit + QLatin1String(") AS jet_top")
                        + QString::number(++limitedArms));
        if (!after.isEmpty())
            Append(out, after.trimmed().prepend(u' '));
        limit.clear();
    };
    bool afterSelect = false;
    qsizetype beforeNot = -1; // the length of out before the last NOT
    int depth = 0;
    for (qsizetype i = 0; i < qsizetype(t.size()); ++i) {
        const Token& k = t[i];
        if (IsOp(k, "("))
            ++depth;
        else if (IsOp(k, ")"))
            --depth;
        switch (k.kind) {
        case Kind::Name: {
            QStringList parts = spell ? spell(k.text) : QStringList();
            if (parts.isEmpty())
                parts << k.text;
            for (QString& part : parts)
                part = QuoteOdbcName(part, dialect.Quote);
            Append(out, parts.join(u'.'));
            break;
        }
        case Kind::Text: Append(out, SourceText(k.text, dialect)); break;
        case Kind::Date: Append(out, QStringLiteral("{ts '%1'}").arg(k.text)); break;
        case Kind::Word:
            if (dialect.UnseparatedStatements && StatementWords().contains(k.upper))
                RaiseJetError(JetError::TextAfterStatement, {}, kSource);
            if (IsWord(k, "TRUE") || IsWord(k, "YES")) {
                Append(out, dialect.BooleanWords ? QStringLiteral("TRUE") : QStringLiteral("1"));
            } else if (IsWord(k, "FALSE") || IsWord(k, "NO")) {
                Append(out, dialect.BooleanWords ? QStringLiteral("FALSE") : QStringLiteral("0"));
            } else if (IsWord(k, "DISTINCTROW")) {
                // Jet's own; rows of one table are distinct anyway
            } else if (IsWord(k, "LIKE")) {
                // Jet's wildcards mean here what they mean in Jet, and the source's own
                // (% and _) are plain characters.
                qsizetype last = i;
                const QString pattern = LiteralPattern(t, last, jetSql);
                const qsizetype before = PreviousSignificant(t, i);
                const bool negated = before >= 0 && IsWord(t[before], "NOT") && beforeNot >= 0;
                if (negated)
                    out.truncate(beforeNot);
                Append(out, LikeOperator(pattern, negated, dialect));
                i = last;
            } else if (IsWord(k, "TOP") && afterSelect && depth == 0 && dialect.Limit) {
                const qsizetype count = NextSignificant(t, i);
                if (count < 0 || t[count].kind != Kind::Number)
                    Syntax(QStringLiteral("TOP"));
                if (const qsizetype percent = NextSignificant(t, count); percent >= 0 && IsWord(t[percent], "PERCENT"))
                    RaiseJetError(JetError::InvalidOperation, {}, kSource);
                limit = t[count].text;
                i = count;
            } else {
                if (IsWord(k, "NOT"))
                    beforeNot = out.size();
                if (depth == 0 && IsWord(k, "SELECT")) {
                    armStart = out.size();
                    armOrderBy = -1;
                } else if (depth == 0 && IsWord(k, "ORDER")) {
                    armOrderBy = out.size();
                } else if (depth == 0 && (IsWord(k, "UNION") || IsWord(k, "INTERSECT") || IsWord(k, "EXCEPT"))) {
                    if (!limit.isEmpty())
                        limitArm(out.size());
                    compound = true;
                }
                Append(out, k.text);
            }
            break;
        case Kind::Op: Append(out, IsOp(k, "&") ? dialect.Concat : k.text); break;
        case Kind::Space:
        case Kind::Number: Append(out, k.text); break;
        }
        if (k.kind != Kind::Space)
            afterSelect = depth == 0 && (IsWord(k, "SELECT") || IsWord(k, "DISTINCT") || IsWord(k, "DISTINCTROW")
                                         || (afterSelect && IsWord(k, "ALL")));
    }
    // The ORDER BY that ends the last arm of a compound sorts the whole compound.
    if (!limit.isEmpty() && compound)
        limitArm(armOrderBy >= 0 ? armOrderBy : out.size());
    out = out.trimmed();
    if (out.isEmpty())
        RaiseJetError(JetError::InvalidOperation, {}, kSource);
    if (!limit.isEmpty())
        out += QLatin1String(" LIMIT ") + limit;
    return out;
}
