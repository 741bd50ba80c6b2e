#pragma once

// A table made anew from its own edited CREATE TABLE text, for what SQLite's ALTER TABLE
// cannot change. Runs inside the caller's transaction with relations switched off: it
// opens no transaction and switches nothing of the connection's for good.

#include "cDatabaseDriver.h"
#include "mSqliteSchema.h"

#include <QList>
#include <QString>

#include <sqlite3.h>

class cWorkControl;

// Text fields of files written before every SQLite program could read them name this
// collation: it stays registered so that they open, and goes when their structure changes.
inline const QString kSqliteLegacyCollation = QStringLiteral("QUARNEL");

// Progress and stopping of one structure change, through SQLite's progress handler; it
// is gone before the caller's transaction is undone, which it would otherwise break into.
class cStructureProgress {
public:
    cStructureProgress(sqlite3* db, cWorkControl* control);
    ~cStructureProgress();
    cStructureProgress(const cStructureProgress&) = delete;
    cStructureProgress& operator=(const cStructureProgress&) = delete;

    // The rows about to be copied are the whole of the work.
    void Copying(const QString& countSql);
    // A copy's rows read so far are its full-scan steps; the statement must not be
    // looked at once it is gone, finished or not.
    void Watch(sqlite3_stmt* copy) { m_copy = copy; }
    void Copied();
    // A rewrite of the definition checks the rows rather than copying them, in steps
    // that cannot be counted beforehand.
    void Checking();
    void Checked();

private:
    static int OnProgress(void* context);

    sqlite3* m_db;
    cWorkControl* m_control;
    sqlite3_stmt* m_copy = nullptr;
    qint64 m_total = -1;
};

// A relation as SQLite declares it: the child's field refers to the parent's.
struct SqliteRelation {
    QString Child, ChildField, Parent, ParentField;
};
QList<SqliteRelation> SqliteRelations(sqlite3* db);

// The table's own CREATE TABLE text, taken apart; a text that cannot be taken apart
// safely, or whose columns are not the ones SQLite lists, refuses the change.
SqliteTableText SqliteTableTextOf(sqlite3* db, const QString& table);

// Refuses the change with error (naming field) when a row of the table meets condition.
void RefuseRowsWhere(sqlite3* db, const QString& table, const QString& condition, int error, const QString& field);

// added names the new column with no values; lossy finds values the copy could not keep.
void RebuildSqliteTable(sqlite3* db, const QString& table, const SqliteTableText& text, const QString& added,
                        const QString& lossy, cStructureProgress& progress);

// One column's new type, nullability, default or place, written into the table's text.
struct SqliteColumnChange {
    QString Table;
    qsizetype Index = 0;     // the column's place now
    qsizetype Position = -1; // its new place; −1 where it stays
    FieldSchema Changed;
    QString Type;            // the declared type, when retyped
    QString Default;         // the default as SQL, when it changes; empty for none
    bool Retyped = false;
    bool RequiredChanged = false;
    bool DefaultChanged = false;
};
void ChangeSqliteColumn(sqlite3* db, const SqliteColumnChange& change, cStructureProgress& progress);

// Text fields of an old file name a collation only the engine has: the first change of
// their table's structure gives them the portable one.
void MendLegacyCollation(sqlite3* db, const TableSchema& table, cStructureProgress& progress);
