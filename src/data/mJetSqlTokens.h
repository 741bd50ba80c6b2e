#pragma once

#include <QSet>
#include <QString>

#include <vector>

// The one reading of the Jet dialect. The SQLite and ODBC translators, the judging of a
// record source and the Access copy's search for names all start from these tokens: a
// text that two of them read as different statements is how a second one gets smuggled.
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
