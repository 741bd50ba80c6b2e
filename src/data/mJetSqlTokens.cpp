#include "mJetSqlTokens.h"

#include "cRuntimeError.h"
#include "mJetSql.h"
#include "mStringTable.h"

namespace SqlText {

bool IsWordChar(QChar c, Dialect dialect)
{
    // As SQLite reads names: every character outside ASCII may be part of one. Jet reads
    // a byte-order mark as a blank, and "$" only after a function's name.
    const char16_t u = c.unicode();
    if ((u >= 'a' && u <= 'z') || (u >= 'A' && u <= 'Z') || (u >= '0' && u <= '9') || u == '_')
        return true;
    if (dialect == Dialect::Jet)
        return u >= 0x80 && u != 0xFEFF;
    return u == '$' || u >= 0x80;
}

bool IsBlank(QChar c, Dialect dialect)
{
    const char16_t u = c.unicode();
    return u == ' ' || u == '\t' || u == '\n' || u == '\r' || u == '\f' || u == '\v'
           || (dialect == Dialect::Jet && u == 0xFEFF);
}

namespace {

// From the opening quote at sql[at] to its closing one; a doubled closing quote stays
// inside when the dialect says so.
Piece Quoted(const QString& sql, qsizetype at, QChar close, bool doubled, Kind kind)
{
    Piece piece;
    piece.kind = kind;
    piece.begin = at;
    const qsizetype n = sql.size();
    qsizetype i = at + 1;
    for (;;) {
        if (i >= n) {
            piece.closed = false;
            break;
        }
        if (sql[i] == close) {
            if (doubled && i + 1 < n && sql[i + 1] == close) {
                piece.content += close;
                i += 2;
                continue;
            }
            ++i;
            break;
        }
        piece.content += sql[i++];
    }
    piece.end = i;
    return piece;
}

qsizetype NumberEnd(const QString& sql, qsizetype i, Dialect dialect)
{
    const qsizetype n = sql.size();
    while (i < n && JetTokens::IsDigit(sql[i]))
        ++i;
    if (i < n && sql[i] == u'.')
        ++i;
    while (i < n && JetTokens::IsDigit(sql[i]))
        ++i;
    if (i + 1 < n && (sql[i] == u'e' || sql[i] == u'E')
        && (JetTokens::IsDigit(sql[i + 1])
            || ((sql[i + 1] == u'+' || sql[i + 1] == u'-') && i + 2 < n && JetTokens::IsDigit(sql[i + 2])))) {
        i += 2;
        while (i < n && JetTokens::IsDigit(sql[i]))
            ++i;
    }
    // Letters glued to a number stay with it: the target refuses them rather than
    // reading two tokens.
    while (i < n && IsWordChar(sql[i], dialect))
        ++i;
    return i;
}

} // namespace

Piece Read(const QString& sql, qsizetype at, Dialect dialect)
{
    const qsizetype n = sql.size();
    const QChar c = sql[at];
    const char16_t u = c.unicode();
    const bool jet = dialect == Dialect::Jet;
    Piece piece;
    piece.begin = at;
    qsizetype i = at + 1;
    if (IsBlank(c, dialect)) {
        while (i < n && IsBlank(sql[i], dialect))
            ++i;
        piece.kind = Kind::Blank;
    } else if (!jet && u == '-' && i < n && sql[i] == u'-') {
        i = sql.indexOf(u'\n', at);
        if (i < 0)
            i = n;
        piece.kind = Kind::Comment;
    } else if (!jet && u == '/' && i < n && sql[i] == u'*') {
        const qsizetype close = sql.indexOf(QLatin1String("*/"), at + 2);
        piece.closed = close >= 0;
        i = close < 0 ? n : close + 2;
        piece.kind = Kind::Comment;
    } else if (u == '\'' || u == '"' || (!jet && u == '`')) {
        return Quoted(sql, at, c, true, u == '\'' || jet ? Kind::Text : Kind::Name);
    } else if (u == '[') {
        return Quoted(sql, at, u']', jet, Kind::Name);
    } else if (JetTokens::IsDigit(c) || (u == '.' && i < n && JetTokens::IsDigit(sql[i]))) {
        i = NumberEnd(sql, at, dialect);
        piece.kind = Kind::Number;
    } else if (IsWordChar(c, dialect)) {
        while (i < n && IsWordChar(sql[i], dialect))
            ++i;
        piece.kind = Kind::Word;
    }
    piece.end = i;
    return piece;
}

std::vector<Piece> ReadAll(const QString& sql, Dialect dialect)
{
    std::vector<Piece> pieces;
    for (qsizetype i = 0; i < sql.size();) {
        Piece piece = Read(sql, i, dialect);
        i = piece.end;
        if (piece.kind != Kind::Blank && !(piece.kind == Kind::Comment && piece.closed))
            pieces.push_back(std::move(piece));
    }
    return pieces;
}

} // namespace SqlText

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
    return SqlText::IsWordChar(c, SqlText::Dialect::Jet);
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

namespace {

// The date literal opening at sql[at] ("#") as the engine stores dates; returns the
// index just past it.
qsizetype ReadDate(const QString& sql, qsizetype at, QString& date)
{
    const qsizetype close = sql.indexOf(u'#', at + 1);
    if (close < 0)
        Fail(kSyntaxError, QStringLiteral("Chybí ukončovací znak # data %1.").arg(Excerpt(sql, at)));
    const QString content = sql.mid(at + 1, close - at - 1);
    JetDateTime parsed;
    switch (ParseJetDate(content, parsed)) {
    case JetDateParse::Ok: break;
    case JetDateParse::Syntax:
        Fail(kSyntaxError, QStringLiteral("Syntaktická chyba v datu #%1#.").arg(Excerpt(content, 0)));
    case JetDateParse::Invalid:
        Fail(kSyntaxError, QStringLiteral("Neplatné datum #%1#.").arg(Excerpt(content, 0)));
    }
    date = parsed.Text();
    return close + 1;
}

// The operator at sql[at]; returns the index just past it. Any other character is no
// part of Jet SQL.
qsizetype ReadOperator(const QString& sql, qsizetype at, QString& op)
{
    static const QString twoChar[] = {QStringLiteral("<>"), QStringLiteral("<="), QStringLiteral(">="),
                                      QStringLiteral("!=")};
    for (const QString& pair : twoChar) {
        if (QStringView(sql).mid(at, 2) == pair) {
            op = pair;
            return at + 2;
        }
    }
    const QChar c = sql[at];
    switch (c.unicode()) {
    case '<': case '>': case '=': case '+': case '-': case '*': case '/':
    case '(': case ')': case ',': case '.': case '&': case ';':
        op = QString(c);
        break;
    case '!': // table!field
        op = QStringLiteral(".");
        break;
    case '\\': case '^':
        Fail(kSyntaxError, QStringLiteral("Operátor '%1' není podporován.").arg(c));
    default:
        if (c.unicode() == 0)
            Fail(kSyntaxError, QStringLiteral("Neplatný znak s kódem 0 ve výrazu."));
        Fail(kSyntaxError, QStringLiteral("Neplatný znak '%1' v příkazu SQL na pozici %2.").arg(c).arg(at + 1));
    }
    return at + 1;
}

} // namespace

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
    using Piece = SqlText::Piece;
    while (i < n) {
        const QChar c = sql[i];
        const qsizetype start = i;
        const char16_t u = c.unicode();
        const Piece piece = u == '#' ? Piece() : SqlText::Read(sql, i, SqlText::Dialect::Jet);
        if (u != '#' && piece.kind == SqlText::Kind::Blank) {
            // Written out as the blanks SQLite knows; a byte-order mark is one too.
            QString space = sql.mid(start, piece.end - start);
            for (QChar& s : space) {
                if (s == u'\f' || s == u'\v' || s == QChar(0xFEFF))
                    s = u' ';
            }
            push(Kind::Space, space, start);
            i = piece.end;
        } else if (u == '\'' || u == '"') {
            // A name or function glued to a text is no Jet, and some sources read it as a
            // literal of another kind: E'\'' holds a quote there, X'41' is bytes.
            if (!tokens.empty() && tokens.back().kind == Kind::Word && !StopWords().contains(tokens.back().upper))
                Fail(kSyntaxError, LoadString(10740).arg(tokens.back().text + c));
            if (piece.content.contains(QChar(0)))
                Fail(kSyntaxError, QStringLiteral("Neplatný znak s kódem 0 v řetězci."));
            if (!piece.closed)
                Fail(kSyntaxError, QStringLiteral("Chybí ukončovací uvozovka řetězce %1.").arg(Excerpt(sql, start)));
            push(Kind::Text, piece.content, start);
            i = piece.end;
        } else if (u == '[') {
            if (!piece.closed || piece.content.trimmed().isEmpty() || piece.content.contains(QChar(0)))
                Fail(kInvalidBracketing, QStringLiteral("Neplatné uzávorkování názvu %1.").arg(Excerpt(sql, start)));
            push(Kind::Name, piece.content, start);
            i = piece.end;
        } else if (u == '#') {
            QString date;
            i = ReadDate(sql, i, date);
            push(Kind::Date, date, start);
        } else if (piece.kind == SqlText::Kind::Number) {
            // "5True" stays one token, which SQLite refuses, rather than becoming 5-1.
            push(Kind::Number, sql.mid(start, piece.end - start), start);
            i = piece.end;
        } else if (piece.kind == SqlText::Kind::Word) {
            i = piece.end;
            push(Kind::Word, sql.mid(start, i - start), start);
            // Left$( and friends are the same functions.
            if (i + 1 < n && sql[i] == u'$' && sql[i + 1] == u'(')
                ++i;
        } else {
            QString op;
            i = ReadOperator(sql, i, op);
            push(Kind::Op, op, start);
        }
    }
    return tokens;
}

} // namespace JetTokens
