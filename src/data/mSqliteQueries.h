#pragma once

// The stored queries of an engine's file: the Jet text each was written in, kept in a
// system table, and the view other programs read. Runs inside the caller's transaction.

#include <QList>
#include <QString>

#include <sqlite3.h>

inline const QString kSqliteQueriesTable = QStringLiteral("QSysQueries");
// Built into every SQLite, and ignoring case as Jet's text does.
inline const QString kSqlitePortableCollation = QStringLiteral("NOCASE");

// A stored query: the Jet text it was written in and the view it became.
struct SqliteStoredQuery {
    QString Name;
    QString Jet;
    QString View;
};
QList<SqliteStoredQuery> SqliteStoredQueries(sqlite3* db);

// A stored query's view is for other programs too: no collation only the engine has.
QString PortableTranslation(const QString& jet);

// The texts of the queries before a field was renamed from → to follow the views SQLite
// has rewritten.
void FollowRenamedField(sqlite3* db, const QList<SqliteStoredQuery>& before, const QString& from, const QString& to);
