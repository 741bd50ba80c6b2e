#pragma once

// The one reading of every SQL text the engine reads: Jet SQL, the SQLite text made from
// it, and the CREATE TABLE texts SQLite keeps. Reads only; nothing is run or written here.

#include <QSet>
#include <QString>

#include <vector>

// The pieces both dialects are made of. Where they agree they are read alike: a text that
// two readers take apart differently is how a second statement gets smuggled.
namespace SqlText {

// Jet: 'text' and "text", [name] with "]]" inside, no comments, a byte-order mark is a
// blank. SQLite: 'text', "name", `name` (a doubled quote inside stays), [name] up to the
// first "]", -- and /* */ comments, "$" and a byte-order mark are part of a word.
enum class Dialect { Jet, Sqlite };
enum class Kind { Blank, Comment, Word, Number, Text, Name, Other };

struct Piece {
    Kind kind = Kind::Other;
    qsizetype begin = 0;
    qsizetype end = 0;  // just past it
    QString content;    // Text and Name: unquoted
    bool closed = true; // false: a text, name or comment the end of the text broke off
};

bool IsWordChar(QChar c, Dialect dialect);
bool IsBlank(QChar c, Dialect dialect);
// The piece that begins at sql[at]; Other is one character, for the caller to read.
Piece Read(const QString& sql, qsizetype at, Dialect dialect);
// Every piece but blanks and comments; a text broken off ends the list with its piece.
std::vector<Piece> ReadAll(const QString& sql, Dialect dialect);

} // namespace SqlText

// The one reading of the Jet dialect. The SQLite and ODBC translators, the judging of a
// record source and the Access copy's search for names all start from these tokens.
namespace JetTokens {

enum class Kind { Space, Word, Number, Text, Name, Date, Op };

struct Token {
    Kind kind = Kind::Space;
    // Text and Name: the content, unquoted; Date: "yyyy-MM-dd HH:mm:ss"; Space: the
    // blanks every SQL knows; Op: "!" between names is "."; the rest as written.
    QString text;
    QString upper;  // words only: for keyword tests
    qsizetype pos = 0; // where it began in the Jet text
    // Kept by a translator on its own copy.
    int depth = 0;          // parentheses around it
    qsizetype partner = -1; // the matching parenthesis
    bool removed = false;
    // Written around the text, in this order: prefix, text, suffix, alias, tail.
    QString prefix;
    QString suffix;
    QString alias;
    QString tail;
};

// Throws cRuntimeError (source "Quarnel.Jet") for what Jet cannot read: an unclosed text,
// name or date, an invalid date, a character that is no part of Jet SQL (among them "\",
// "^", "$", "`" and NUL), a broken UTF-16 sequence, a text glued to a name (E'…', N'…'
// and X'…' are literals of their own to some sources).
std::vector<Token> Tokenise(const QString& sql);

bool IsWordChar(QChar c);
bool IsDigit(QChar c);

// Whether two pieces written side by side would read as something else in a target
// SQL: one word, a comment, a longer operator, one literal, a prefixed literal.
bool NeedsBlank(QChar left, QChar right);

[[noreturn]] void Fail(qint32 number, const QString& description);
// Quoted in messages, shortened so that a long statement does not flood the speech.
QString Excerpt(const QString& text, qsizetype from, qsizetype length = 40);

bool IsSpace(const Token& t); // a blank, or taken out
bool IsWord(const Token& t, const char* word);
bool IsOp(const Token& t, const char* op);
qsizetype NextSignificant(const std::vector<Token>& t, qsizetype i);
qsizetype PreviousSignificant(const std::vector<Token>& t, qsizetype i);

// Words that end an operand of &: clause words and every operator weaker than &.
const QSet<QString>& StopWords();
// Words that keep a WHERE condition going.
const QSet<QString>& ConditionWords();

} // namespace JetTokens
