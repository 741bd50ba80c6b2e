#include "mSqliteSchema.h"

#include "mJetSqlTokens.h"

#include <QList>

#include <algorithm>

namespace {

enum class TokenKind { Word, Name, String, Open, Close, Comma, Other };

struct Token {
    TokenKind Kind;
    qsizetype Start;
    qsizetype End;
    QString Content; // names and texts: unquoted
};

// Nothing when a quote or a comment does not close.
std::optional<QList<Token>> Tokenize(const QString& s)
{
    QList<Token> tokens;
    for (const SqlText::Piece& piece : SqlText::ReadAll(s, SqlText::Dialect::Sqlite)) {
        if (!piece.closed)
            return std::nullopt;
        TokenKind kind = TokenKind::Other;
        switch (piece.kind) {
        case SqlText::Kind::Word:
        case SqlText::Kind::Number: kind = TokenKind::Word; break;
        case SqlText::Kind::Text: kind = TokenKind::String; break;
        case SqlText::Kind::Name: kind = TokenKind::Name; break;
        default: {
            const QChar c = s[piece.begin];
            kind = c == u'(' ? TokenKind::Open : c == u')' ? TokenKind::Close : c == u',' ? TokenKind::Comma : TokenKind::Other;
        }
        }
        tokens.append({kind, piece.begin, piece.end, piece.content});
    }
    return tokens;
}

class cTokens {
public:
    cTokens(const QString& text, QList<Token> tokens) : m_text(text), m_tokens(std::move(tokens)) {}

    qsizetype Count() const { return m_tokens.size(); }
    const Token& operator[](qsizetype i) const { return m_tokens[i]; }
    bool IsWord(qsizetype i, const char* word) const
    {
        return i >= 0 && i < Count() && m_tokens[i].Kind == TokenKind::Word
               && QStringView(m_text).mid(m_tokens[i].Start, m_tokens[i].End - m_tokens[i].Start)
                          .compare(QLatin1String(word), Qt::CaseInsensitive) == 0;
    }
    bool IsNameLike(qsizetype i) const
    {
        return i < Count() && (m_tokens[i].Kind == TokenKind::Word || m_tokens[i].Kind == TokenKind::Name
                               || m_tokens[i].Kind == TokenKind::String);
    }
    // The text of tokens [first, last], with what lies between them.
    QString Span(qsizetype first, qsizetype last) const
    {
        return m_text.mid(m_tokens[first].Start, m_tokens[last].End - m_tokens[first].Start);
    }
    QString Unquoted(qsizetype i) const
    {
        const Token& t = m_tokens[i];
        return t.Kind == TokenKind::Word ? m_text.mid(t.Start, t.End - t.Start) : t.Content;
    }
    // The index of the parenthesis that closes the one at open, or −1.
    qsizetype Closing(qsizetype open) const
    {
        int depth = 0;
        for (qsizetype i = open; i < Count(); ++i) {
            if (m_tokens[i].Kind == TokenKind::Open)
                ++depth;
            else if (m_tokens[i].Kind == TokenKind::Close && --depth == 0)
                return i;
        }
        return -1;
    }

private:
    const QString& m_text;
    QList<Token> m_tokens;
};

bool StartsTableConstraint(const cTokens& t, qsizetype i)
{
    for (const char* word : {"CONSTRAINT", "PRIMARY", "UNIQUE", "CHECK", "FOREIGN"}) {
        if (t.IsWord(i, word))
            return true;
    }
    return false;
}

// A word that begins a column constraint where it stands; the same words inside a
// foreign key clause (SET NULL, SET DEFAULT, NOT DEFERRABLE) or GENERATED ALWAYS AS do not.
bool StartsColumnConstraint(const cTokens& t, qsizetype i)
{
    if ((t.IsWord(i, "NULL") || t.IsWord(i, "DEFAULT")) && t.IsWord(i - 1, "SET"))
        return false;
    if (t.IsWord(i, "NOT") && t.IsWord(i + 1, "DEFERRABLE"))
        return false;
    if (t.IsWord(i, "AS") && t.IsWord(i - 1, "ALWAYS"))
        return false;
    // GENERATED alone is a type name ("b generated" declares b of type "generated").
    if (t.IsWord(i, "GENERATED") && !t.IsWord(i + 1, "ALWAYS"))
        return false;
    for (const char* word : {"CONSTRAINT", "PRIMARY", "NOT", "NULL", "UNIQUE", "CHECK", "DEFAULT", "COLLATE",
                             "REFERENCES", "GENERATED", "AS"}) {
        if (t.IsWord(i, word))
            return true;
    }
    return false;
}

std::optional<SqliteColumnText::Kind> KindOf(const cTokens& t, qsizetype i)
{
    using Kind = SqliteColumnText::Kind;
    if (t.IsWord(i, "PRIMARY"))
        return Kind::PrimaryKey;
    if (t.IsWord(i, "NOT") && t.IsWord(i + 1, "NULL"))
        return Kind::NotNull;
    if (t.IsWord(i, "NULL"))
        return Kind::Null;
    if (t.IsWord(i, "UNIQUE"))
        return Kind::Unique;
    if (t.IsWord(i, "CHECK"))
        return Kind::Check;
    if (t.IsWord(i, "DEFAULT"))
        return Kind::Default;
    if (t.IsWord(i, "COLLATE"))
        return Kind::Collate;
    if (t.IsWord(i, "REFERENCES"))
        return Kind::References;
    if ((t.IsWord(i, "GENERATED") && t.IsWord(i + 1, "ALWAYS")) || t.IsWord(i, "AS"))
        return Kind::Generated;
    return std::nullopt;
}

} // namespace

QString SqliteTableText::Create(const QString& quotedName) const
{
    return QStringLiteral("CREATE TABLE %1 (%2)%3")
        .arg(quotedName, (Columns + Constraints).join(QLatin1String(", ")), Options);
}

QString SqliteViewBody(const QString& sql)
{
    const std::optional<QList<Token>> read = Tokenize(sql);
    if (!read)
        return QString();
    const cTokens t(sql, *read);
    qsizetype i = 0;
    if (!t.IsWord(i++, "CREATE"))
        return QString();
    if (t.IsWord(i, "TEMP") || t.IsWord(i, "TEMPORARY"))
        ++i;
    if (!t.IsWord(i++, "VIEW"))
        return QString();
    // The first AS outside the column list ends the head; names are read whole.
    for (int depth = 0; i < t.Count(); ++i) {
        depth += t[i].Kind == TokenKind::Open ? 1 : t[i].Kind == TokenKind::Close ? -1 : 0;
        if (depth == 0 && t.IsWord(i, "AS"))
            return sql.mid(t[i].End).trimmed();
    }
    return QString();
}

std::optional<SqliteTableText> SplitCreateTable(const QString& sql)
{
    auto tokens = Tokenize(sql);
    if (!tokens)
        return std::nullopt;
    const cTokens t(sql, std::move(*tokens));
    qsizetype open = 0;
    while (open < t.Count() && t[open].Kind != TokenKind::Open)
        ++open;
    if (!t.IsWord(0, "CREATE") || open >= t.Count())
        return std::nullopt;
    bool table = false;
    for (qsizetype i = 1; i < open; ++i) {
        if (t.IsWord(i, "VIRTUAL") || t.IsWord(i, "AS"))
            return std::nullopt;
        table = table || t.IsWord(i, "TABLE");
    }
    const qsizetype close = t.Closing(open);
    if (!table || close < 0)
        return std::nullopt;

    SqliteTableText result;
    qsizetype first = open + 1;
    for (qsizetype i = first; i <= close; ++i) {
        if (t[i].Kind == TokenKind::Open) {
            i = t.Closing(i);
            continue;
        }
        if (t[i].Kind != TokenKind::Comma && i != close)
            continue;
        if (i == first)
            return std::nullopt; // an empty piece
        const QString piece = t.Span(first, i - 1);
        if (StartsTableConstraint(t, first))
            result.Constraints << piece;
        else if (result.Constraints.isEmpty())
            result.Columns << piece;
        else
            return std::nullopt; // a column after the table's constraints
        first = i + 1;
    }
    for (qsizetype i = close + 1; i < t.Count(); ++i) {
        if (t[i].Kind != TokenKind::Word && t[i].Kind != TokenKind::Comma)
            return std::nullopt;
        result.WithoutRowid = result.WithoutRowid || t.IsWord(i, "WITHOUT");
        result.Strict = result.Strict || t.IsWord(i, "STRICT");
    }
    if (result.Columns.isEmpty())
        return std::nullopt;
    result.Options = sql.mid(t[close].End);
    return result;
}

bool SqliteColumnText::Has(Kind kind) const
{
    return std::any_of(Constraints.begin(), Constraints.end(), [&](const Constraint& c) { return c.What == kind; });
}

QString SqliteColumnText::Definition() const
{
    QString text = NameText;
    if (!Type.isEmpty())
        text += u' ' + Type;
    for (const Constraint& constraint : Constraints)
        text += u' ' + constraint.Text;
    return text;
}

std::optional<SqliteColumnText> SplitColumnDefinition(const QString& definition)
{
    auto tokens = Tokenize(definition);
    if (!tokens || tokens->isEmpty())
        return std::nullopt;
    using Kind = SqliteColumnText::Kind;
    const cTokens t(definition, std::move(*tokens));
    if (!t.IsNameLike(0))
        return std::nullopt;
    SqliteColumnText column;
    column.NameText = t.Span(0, 0);
    column.Name = t.Unquoted(0);

    qsizetype i = 1;
    while (t.IsNameLike(i) && !StartsColumnConstraint(t, i))
        ++i;
    if (i > 1 && i < t.Count() && t[i].Kind == TokenKind::Open) {
        const qsizetype close = t.Closing(i);
        if (close < 0)
            return std::nullopt;
        i = close + 1;
    }
    if (i > 1)
        column.Type = t.Span(1, i - 1);

    // Steps over one piece of a constraint, a parenthesised group whole; false where the
    // definition breaks off or a bracket or comma stands where none may.
    const auto stepOver = [&t](qsizetype& at) {
        if (t[at].Kind == TokenKind::Open) {
            at = t.Closing(at);
            if (at < 0)
                return false;
        } else if (t[at].Kind == TokenKind::Close || t[at].Kind == TokenKind::Comma) {
            return false;
        }
        ++at;
        return true;
    };
    while (i < t.Count()) {
        const qsizetype begin = i;
        if (t.IsWord(i, "CONSTRAINT")) {
            if (!t.IsNameLike(i + 1))
                return std::nullopt;
            i += 2;
        }
        const auto kind = KindOf(t, i);
        if (!kind)
            return std::nullopt;
        ++i;
        if (*kind == Kind::NotNull)
            ++i;
        // A default's value and a collation's name are one piece, whatever word they are.
        if (*kind == Kind::Default || *kind == Kind::Collate) {
            if (*kind == Kind::Default && i < t.Count() && t[i].Kind == TokenKind::Other
                && (definition[t[i].Start] == u'-' || definition[t[i].Start] == u'+'))
                ++i;
            if (i >= t.Count() || !stepOver(i))
                return std::nullopt;
        }
        while (i < t.Count() && !StartsColumnConstraint(t, i)) {
            if (!stepOver(i))
                return std::nullopt;
        }
        column.Constraints.append({*kind, t.Span(begin, i - 1)});
    }
    return column;
}

// SQLite's rules, in their order: the first that matches decides.
SqliteAffinity AffinityOf(const QString& declaredType)
{
    const QString type = declaredType.toUpper();
    if (type.contains(QLatin1String("INT")))
        return SqliteAffinity::Integer;
    if (type.contains(QLatin1String("CHAR")) || type.contains(QLatin1String("CLOB")) || type.contains(QLatin1String("TEXT")))
        return SqliteAffinity::Text;
    if (type.contains(QLatin1String("BLOB")) || type.trimmed().isEmpty())
        return SqliteAffinity::Blob;
    if (type.contains(QLatin1String("REAL")) || type.contains(QLatin1String("FLOA")) || type.contains(QLatin1String("DOUB")))
        return SqliteAffinity::Real;
    return SqliteAffinity::Numeric;
}
