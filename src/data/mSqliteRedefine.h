#pragma once
// A table's definition rewritten where it stands, for changes its stored rows read the same under; no widgets.

#include "mSqliteSchema.h"

#include <QString>

#include <sqlite3.h>

class cStructureProgress;

// SQLite's own way to change a table without copying it: its CREATE TABLE text replaced
// in the schema, the schema version moved on, the table checked. Only the declared type
// of a column (to one of the same affinity, never a key's), its NOT NULL and its DEFAULT
// may differ from the table's text as it is: anything else, or rows that would read
// otherwise under the new text, and nothing is changed and false is returned, so the
// caller copies the table. Runs inside the caller's transaction; a table that fails the
// check afterwards raises an error with the definition as it was.
bool RedefineSqliteTable(sqlite3* db, const QString& table, const SqliteTableText& text, cStructureProgress& progress);
