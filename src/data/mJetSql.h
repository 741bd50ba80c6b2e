#pragma once

// The Jet SQL dialect on SQLite: the text users and stored queries are written in becomes
// one SQLite statement, and the functions it relies on are registered per connection.

#include <QDate>
#include <QString>
#include <QStringList>
#include <QTime>

#include <functional>

struct sqlite3;

// Jet SQL to SQLite SQL. [names] become "names", #dates# the stored text
// 'YYYY-MM-DD HH:MM:SS', True/Yes -1, False/No 0, Mod %, "texts" 'texts', DISTINCTROW
// is dropped, TOP n becomes LIMIT n at the end of its SELECT, and a & b becomes
// jet_concat(a, b) (Jet's precedence; Null only when every operand is Null). A leading
// "PARAMETERS …;" declaration is dropped: a parameter used without a value is an unknown name.
// Throws cRuntimeError (source "Quarnel.Jet") for text that is not one Jet statement.
QString TranslateJetSql(const QString& jetSql);

// The collation the engine's connections register to compare text by the database's
// locale. Only SQL the engine runs names it; a file's schema never does, for no other
// program has it.
inline constexpr char kJetLocaleCollation[] = "jet_locale";

// How the translation should compare text, and what it may read in place of a view.
struct JetSqliteTarget {
    // Named on each ORDER BY and GROUP BY term, on each text literal compared, and on a
    // column tested with IN; nothing when empty.
    QString Collation;
    // The SQLite form of the stored query a FROM names, read in its place; empty for a
    // name that is none (it then stays as written).
    std::function<QString(const QString& name)> StoredQuery;
};
QString TranslateJetSql(const QString& jetSql, const JetSqliteTarget& target);

// A name as SQL built by the program writes it: in brackets, with a "]" inside doubled,
// so that blanks, keywords and any other character stay part of the name.
QString JetBracketName(const QString& name);
// A text as a literal: in single quotes, a quote inside doubled. Jet, SQLite and ODBC
// sources read it alike (but see OdbcDialect::BackslashEscapes).
QString JetQuoteText(const QString& text);

// The names a Jet text mentions: its words and [bracketed names], as written. Throws as
// the translation would for a text Jet cannot read.
QStringList NamesInJetSql(const QString& jetSql);

// The date and time inside a Jet date literal #…#: m/d[/y] (US order), yyyy-mm-dd, with
// or without a time (h:mm[:ss] [AM|PM]), or a time alone on 30 December 1899.
struct JetDateTime {
    QDate date{1899, 12, 30};
    QTime time{0, 0};
    // "yyyy-MM-dd HH:mm:ss"
    QString Text() const;
};
// Jet's window for a year of two digits: 00–29 are 2000–2029, 30–99 are 1930–1999.
int JetTwoDigitYear(int year);
enum class JetDateParse { Ok, Syntax, Invalid };
JetDateParse ParseJetDate(const QString& content, JetDateTime& result);

// The top-level shape of a translated SELECT, for building keyset cursors.
struct JetSelectShape {
    bool IsSelect = false;     // the statement is a query (SELECT or WITH … SELECT)
    bool SingleTable = false;  // its FROM names exactly one table, with or without an alias
    QString Table;             // that table's name, unquoted
    QString Alias;             // its alias, unquoted; empty when there is none
    qsizetype SelectListStart = -1; // just after SELECT (and DISTINCT/ALL)
    qsizetype FromStart = -1;  // the top-level FROM keyword; -1 without one
    bool Updatable = false;    // single table, and no DISTINCT, grouping, aggregate or compound
};

JetSelectShape AnalyseSelect(const QString& sqliteSql);

// Where a condition could narrow the rows of a Jet SELECT in place, positions in its text.
struct JetSelectClauses {
    // One SELECT of one table whose list names its fields (or *), without TOP, grouping or
    // a compound: a condition on the names it shows can go into its WHERE.
    bool Narrowable = false;
    qsizetype ConditionStart = -1;  // just after the top-level WHERE; -1 without one
    bool ConditionHasOr = false;    // OR, XOR, EQV or IMP at the top level of that condition
    qsizetype ConditionEnd = 0;     // where a condition ends: the top-level ORDER BY, a final ";" or the end
    qsizetype StatementEnd = 0;     // the end without a final ";" and the blanks around it
};
// Never throws: a text the tokenizer cannot read is not narrowable.
JetSelectClauses AnalyseJetClauses(const QString& jetSql);

// A record source's text judged before anything runs. Action: it would change data or
// structure (append, update, delete, make-table, data definition, or any statement but a
// query), which a record source must never run. MoreStatements: something but blanks
// follows a ";". Names: the words and quoted or bracketed names of the first statement
// outside texts, among them the stored queries it draws on.
struct JetStatementShape {
    bool Action = false;
    bool MoreStatements = false;
    QStringList Names;
};
JetStatementShape InspectJetStatement(const QString& jetSql);

// like() with Jet wildcards, jet_concat() and the Jet functions (Left, Mid, Nz, Year …).
// Returns the SQLite result code of the first registration that failed, else SQLITE_OK.
int RegisterJetFunctions(sqlite3* db);

// Errors raised by those functions while a statement runs reach SQLite as messages;
// this gives back the Jet number and description of one (false for other messages).
bool JetFunctionError(const QString& sqliteMessage, qint32& number, QString& description);
