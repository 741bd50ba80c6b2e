#pragma once
// Statements, errors and quoted names over SQLite's C API, which the SQLite units share; no widgets.
#include <QString>
#include <QVariant>

#include <sqlite3.h>

// One prepared statement, finalised with its owner.
class cSqliteStatement {
public:
    cSqliteStatement() = default;
    cSqliteStatement(sqlite3* db, const QString& sql); // throws the engine's error
    ~cSqliteStatement();
    cSqliteStatement(cSqliteStatement&& other) noexcept;
    cSqliteStatement& operator=(cSqliteStatement&& other) noexcept;
    cSqliteStatement(const cSqliteStatement&) = delete;
    cSqliteStatement& operator=(const cSqliteStatement&) = delete;

    explicit operator bool() const { return m_stmt != nullptr; }
    sqlite3_stmt* get() const { return m_stmt; }

    // True for a row, false at the end; errors are thrown.
    bool Step();
    void Reset();
    void Bind(int index, const QVariant& value);
    void Bind(int index, qint64 value);
    // Runs to the end.
    void Run();

    QString Text(int column) const;
    qint64 Int(int column) const { return sqlite3_column_int64(m_stmt, column); }
    bool IsNull(int column) const { return sqlite3_column_type(m_stmt, column) == SQLITE_NULL; }

private:
    sqlite3* m_db = nullptr;
    sqlite3_stmt* m_stmt = nullptr;
    QString m_sql;
};

// The engine's error for an SQLite result code, naming what the message names.
[[noreturn]] void ThrowSqliteError(sqlite3* db, int rc, const QString& sql = QString());

// Runs one statement that returns no rows.
void ExecSql(sqlite3* db, const QString& sql);

// "name" with embedded quotes doubled.
QString QuoteName(const QString& name);
