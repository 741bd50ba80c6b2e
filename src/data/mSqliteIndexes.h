#pragma once
// The indexes of one field of a SQLite table: which it has, making and dropping its own, and the terms that let a text filter use one.

#include "cDatabaseDriver.h"

#include <QString>

#include <sqlite3.h>

class cWorkControl;

// The field's own index as the file has it, whoever made it: an index of that one column
// without a condition, unique or not; the primary key of that column alone wins.
FieldIndexing SqliteFieldIndexing(sqlite3* db, const QString& table, const QString& field);

// Makes the field's index (named "<table>_<field>_idx", numbered where that name is taken)
// or drops the ones made by CREATE INDEX, so that the field is indexed as wanted. Runs in
// the caller's transaction: a uniqueness the rows break fails with 3022, a stop with 3059,
// and the caller undoes what was done. A UNIQUE written into the table's definition can
// only go with the table's rewrite: 3219.
void SetSqliteFieldIndexing(sqlite3* db, const QString& table, const QString& field, FieldIndexing wanted,
                            cWorkControl* control);

// A Jet SELECT of one table whose condition holds [field] LIKE 'text' or 'text*' on a
// field with an index that can find every row the pattern matches: the same SELECT with a
// condition added that the index answers (the LIKE stays and decides). sqliteSql is the
// text translated as it stands. Empty where no index helps.
QString JetWithIndexTerms(sqlite3* db, const QString& jetSql, const QString& sqliteSql);
