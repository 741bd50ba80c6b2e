// Arbitrary text (UTF-8, or raw UTF-16 after a first byte 0xFF) to the Jet SQL
// translations, for SQLite and for an ODBC source of SQLite's reading. Besides the
// sanitizers it checks that what comes out is one SQLite statement and never more: SQLite
// itself must find nothing but blanks after the first.
// Read-only statements are also run for a few rows (bounded), so that the Jet functions
// get fuzzed arguments.

#include "cRuntimeError.h"
#include "mJetSql.h"
#include "mOdbcSql.h"
#include "mSqliteSchema.h"

#include <sqlite3.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

int& ProgressCounter()
{
    static int counter = 0;
    return counter;
}

sqlite3* OpenDatabase()
{
    sqlite3* db = nullptr;
    if (sqlite3_open(":memory:", &db) != SQLITE_OK || RegisterJetFunctions(db) != SQLITE_OK)
        std::abort();
    const char* schema =
        "CREATE TABLE Osoby (Id INTEGER PRIMARY KEY, Jméno TEXT, Příjmení TEXT, Datum TEXT, Aktivní INTEGER,"
        " Plat REAL);"
        "INSERT INTO Osoby VALUES (1, 'Novák', 'Jan', '2024-01-31 10:00:00', -1, 12.5),"
        " (2, 'Čermák', NULL, '1899-12-30 08:15:00', 0, NULL), (3, '', 'Řehoř', NULL, -1, -3);"
        "CREATE TABLE \"Order Details\" (OrderID INTEGER, Datum TEXT, Množství INTEGER);"
        "INSERT INTO \"Order Details\" VALUES (1, '2024-01-31 00:00:00', 5);"
        "CREATE TABLE t (a, b, c); INSERT INTO t VALUES (1, 'x', NULL), (2.5, 'Y*', X'00ff');"
        "CREATE VIEW v AS SELECT * FROM t;";
    if (sqlite3_exec(db, schema, nullptr, nullptr, nullptr) != SQLITE_OK)
        std::abort();
    // Bounded work per input: no huge texts, no endless recursive queries.
    sqlite3_limit(db, SQLITE_LIMIT_LENGTH, 100000);
    sqlite3_progress_handler(db, 1000, [](void* counter) { return ++*static_cast<int*>(counter) > 200 ? 1 : 0; },
                             &ProgressCounter());
    return db;
}

bool Blank(const char16_t* p)
{
    for (; *p; ++p)
        if (*p != u' ' && *p != u'\t' && *p != u'\n' && *p != u'\r' && *p != u'\f')
            return false;
    return true;
}

// The statement sent to an ODBC source that reads SQL as SQLite does: prepared, never run.
void CheckOdbcTranslation(sqlite3* db, const QString& jet)
{
    OdbcDialect dialect;
    dialect.LikeClasses = OdbcDialect::Classes::Glob;
    dialect.BackslashEscapes = false;
    QString sql;
    try {
        sql = TranslateJetSqlForOdbc(jet, dialect);
    } catch (const cRuntimeError& e) {
        if (e.Number() < 3000 || e.Description().isEmpty())
            std::abort();
        return;
    }
    sqlite3_stmt* stmt = nullptr;
    const void* tail = nullptr;
    if (sqlite3_prepare16_v3(db, sql.utf16(), -1, 0, &stmt, &tail) == SQLITE_OK && stmt
        && !Blank(static_cast<const char16_t*>(tail))) {
        std::fprintf(stderr, "more than one statement for ODBC:\n%s\n", sql.toUtf8().constData());
        std::abort();
    }
    sqlite3_finalize(stmt);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static sqlite3* db = OpenDatabase();
    // A first byte 0xFF takes the rest as raw UTF-16, lone surrogates and all.
    QString jet;
    if (size > 0 && data[0] == 0xFF) {
        jet.resize(qsizetype((size - 1) / 2));
        std::memcpy(jet.data(), data + 1, size_t(jet.size()) * 2);
    } else {
        jet = QString::fromUtf8(reinterpret_cast<const char*>(data), qsizetype(size));
    }
    AnalyseSelect(jet); // meant for translated text, but must bear anything
    // SQLite's own CREATE TABLE texts are read by the same tokens, and must bear anything too.
    if (const auto table = SplitCreateTable(jet)) {
        for (const QString& column : table->Columns)
            SplitColumnDefinition(column);
    }
    CheckOdbcTranslation(db, jet);
    QString sql;
    try {
        sql = TranslateJetSql(jet);
    } catch (const cRuntimeError& e) {
        if (e.Number() < 3000 || e.Description().isEmpty())
            std::abort();
        return 0;
    }

    const JetSelectShape shape = AnalyseSelect(sql);
    if (shape.SelectListStart > sql.size() || shape.FromStart > sql.size()
        || (shape.FromStart >= 0 && sql.mid(shape.FromStart, 4).compare(QLatin1String("FROM"), Qt::CaseInsensitive) != 0))
        std::abort();

    sqlite3_stmt* stmt = nullptr;
    const void* tail = nullptr;
    const int rc = sqlite3_prepare16_v3(db, sql.utf16(), -1, 0, &stmt, &tail);
    // Past SQLITE_LIMIT_LENGTH SQLite answers OK without a statement: nothing runs.
    if (rc == SQLITE_OK && !stmt && sql.toUtf8().size() < 100000) {
        std::fprintf(stderr, "no statement:\n%s\n", sql.toUtf8().constData());
        std::abort();
    }
    if (rc == SQLITE_OK && stmt) {
        if (!Blank(static_cast<const char16_t*>(tail))) {
            std::fprintf(stderr, "more than one statement:\n%s\n", sql.toUtf8().constData());
            std::abort();
        }
        if (sqlite3_stmt_readonly(stmt)) {
            ProgressCounter() = 0;
            for (int row = 0; row < 50 && sqlite3_step(stmt) == SQLITE_ROW; ++row)
                for (int c = 0; c < sqlite3_column_count(stmt); ++c)
                    sqlite3_column_text(stmt, c);
        }
    }
    sqlite3_finalize(stmt);
    return 0;
}
