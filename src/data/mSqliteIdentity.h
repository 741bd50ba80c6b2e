#pragma once
// The name that finds a SQLite table's rows by their identity; it reads the schema, changes nothing.
#include <QString>
#include <QStringList>

#include <sqlite3.h>

// The name, quoted, under which a table's rows are found by their identity, which no
// column of the table nor any of alsoTaken shadows: rowid, _rowid_ or oid while one of
// them is free, else the table's INTEGER PRIMARY KEY, which is the identity under a name
// of its own. Empty when there is none (all three names taken and no such key, or a
// table WITHOUT ROWID).
QString SqliteRowIdentity(sqlite3* db, const QString& table, const QStringList& alsoTaken = {});
