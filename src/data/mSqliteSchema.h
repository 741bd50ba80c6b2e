#pragma once

// SQLite's own CREATE TABLE text taken apart, so a table can be rebuilt from what its
// author wrote rather than from what the engine understood of it. Every piece is kept
// verbatim; only the pieces a change touches are written anew. Texts only: no connection.

#include <QString>
#include <QStringList>

#include <optional>

// A CREATE TABLE text split at the commas of its column list.
struct SqliteTableText {
    QStringList Columns;     // column definitions, in order
    QStringList Constraints; // table constraints (PRIMARY KEY, UNIQUE, CHECK, FOREIGN KEY)
    QString Options;         // what follows the closing parenthesis (WITHOUT ROWID, STRICT)
    bool WithoutRowid = false;
    bool Strict = false;
    // The statement for a table of another name with these pieces.
    QString Create(const QString& quotedName) const;
};

// Nothing when the text is not a plain CREATE TABLE with a column list, or when its
// quoting, comments or parentheses do not close.
std::optional<SqliteTableText> SplitCreateTable(const QString& sql);

// The SELECT of a CREATE VIEW text as its author wrote it; empty when the text is no
// CREATE VIEW. A view's name or column list may hold " AS " of its own.
QString SqliteViewBody(const QString& sql);

// One column definition: its name, its declared type and its constraints.
struct SqliteColumnText {
    enum class Kind { PrimaryKey, NotNull, Null, Unique, Check, Default, Collate, References, Generated };
    struct Constraint {
        Kind What;
        QString Text; // with its CONSTRAINT name, if it has one
    };
    QString NameText; // as written, quoted or not
    QString Name;     // the name itself
    QString Type;     // as written, empty for none
    QList<Constraint> Constraints;

    bool Has(Kind kind) const;
    QString Definition() const;
};

// Nothing when a piece of the definition is not one SQLite's grammar allows there.
std::optional<SqliteColumnText> SplitColumnDefinition(const QString& definition);

// How SQLite stores the values of a column of this declared type.
enum class SqliteAffinity { Integer, Text, Blob, Real, Numeric };
SqliteAffinity AffinityOf(const QString& declaredType);
