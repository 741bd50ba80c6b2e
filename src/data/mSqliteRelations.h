#pragma once
// A SQLite file's declared relations and one-row lookups by bound values; reads only, no widgets.
#include "cDatabaseDriver.h"

#include <sqlite3.h>

#include <functional>
#include <memory>

// Every foreign key of every table, its fields in declared order; a key naming no fields
// of its parent gets the parent's primary key. Keys that lead nowhere (an absent parent,
// no primary key to stand in) are left out, and so is a table SQLite cannot describe.
QList<RelationSchema> ReadSqliteRelations(sqlite3* db);

// One prepared SELECT of table's resultField by keyField, the key bound, never written
// into the text. open gives the connection before each use and throws once it is gone.
std::unique_ptr<cRowLookup> PrepareSqliteLookup(std::function<sqlite3*()> open, const QString& table,
                                                const QString& keyField, const QString& resultField);
