#include "mJetSql.h"

#include "cRuntimeError.h"
#include "mJetSqlTokens.h"
#include "mStringTable.h"

#include <QRegularExpression>

namespace JetTokens {

namespace {

const QString kSource = QStringLiteral("Quarnel.Jet");

constexpr qint32 kSyntaxError = 3075;
constexpr qint32 kInvalidBracketing = 3126;

} // namespace

[[noreturn]] void Fail(qint32 number, const QString& description)
{
    throw cRuntimeError(number, description, kSource);
}

QString Excerpt(const QString& text, qsizetype from, qsizetype length)
{
    QString part = text.mid(from, length);
    if (from + length < text.size())
        part += QStringLiteral("…");
    return part;
}

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

bool NeedsBlank(QChar left, QChar right)
{
    if (IsWordChar(left) && IsWordChar(right))
        return true;
    if ((left == u'-' && right == u'-') || (left == u'/' && right == u'*'))
        return true; // would open a comment
    if (left == right && (left == u'\'' || left == u'"'))
        return true; // would run two literals into one
    if (IsWordChar(left) && (right == u'\'' || right == u'"'))
        return true; // x'41', E'…', N'…' are literals of their own
    // Runs of these are one operator to some sources (||- or <- are not two).
    static const QString joining = QStringLiteral("<>=!|~^&@#?%");
    return joining.contains(left) && (joining.contains(right) || right == u'-' || right == u'+');
}

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

const QSet<QString>& ConditionWords()
{
    static const QSet<QString> words{QStringLiteral("AND"), QStringLiteral("OR"),      QStringLiteral("NOT"),
                                     QStringLiteral("XOR"), QStringLiteral("EQV"),     QStringLiteral("IMP"),
                                     QStringLiteral("LIKE"), QStringLiteral("IS"),     QStringLiteral("IN"),
                                     QStringLiteral("BETWEEN"), QStringLiteral("ESCAPE")};
    return words;
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
        Token t;
        t.kind = kind;
        t.text = std::move(text);
        t.pos = pos;
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
            // A name or function glued to a text is no Jet, and some sources read it as a
            // literal of another kind: E'\'' holds a quote there, X'41' is bytes.
            if (!tokens.empty() && tokens.back().kind == Kind::Word && !StopWords().contains(tokens.back().upper))
                Fail(kSyntaxError, LoadString(10740).arg(tokens.back().text + c));
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
            push(Kind::Text, content, start);
        } else if (u == '[') {
            QString name;
            const qsizetype end = ReadJetBracketedName(sql, i, name);
            if (end < 0 || name.trimmed().isEmpty() || name.contains(QChar(0)))
                Fail(kInvalidBracketing, QStringLiteral("Neplatné uzávorkování názvu %1.").arg(Excerpt(sql, start)));
            push(Kind::Name, name, start);
            i = end;
        } else if (u == '#') {
            const qsizetype close = sql.indexOf(u'#', i + 1);
            if (close < 0)
                Fail(kSyntaxError, QStringLiteral("Chybí ukončovací znak # data %1.").arg(Excerpt(sql, start)));
            const QString content = sql.mid(i + 1, close - i - 1);
            JetDateTime parsed;
            switch (ParseJetDate(content, parsed)) {
            case JetDateParse::Ok: break;
            case JetDateParse::Syntax:
                Fail(kSyntaxError, QStringLiteral("Syntaktická chyba v datu #%1#.").arg(Excerpt(content, 0)));
            case JetDateParse::Invalid:
                Fail(kSyntaxError, QStringLiteral("Neplatné datum #%1#.").arg(Excerpt(content, 0)));
            }
            push(Kind::Date, parsed.Text(), start);
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

} // namespace JetTokens

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
