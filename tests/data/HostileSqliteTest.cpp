#include "DataTestSupport.h"

#include "cSqliteDriver.h"
#include "mJetErrors.h"

// SQLite files come from other people too, ours among them: a schema that makes the
// engine's own reads endless and a schema rewritten through the connection are refused.
class HostileSqlite : public DatabaseTest {
protected:
    void TearDown() override { cSqliteDriver::SetCatalogueLimit(10000); }
};

TEST_F(HostileSqlite, ASystemTableReplacedByAnEndlessViewMakesListingFailNotHang)
{
    CreateOsoby()->Close();
    // Counting to a billion to return nothing: the engine's list of fields reads this view.
    RawExec(PathOf(QStringLiteral("osoby.db")),
            "DROP TABLE QSysFields;"
            "CREATE VIEW QSysFields(TableName, FieldName, AllowZeroLength) AS "
            "WITH RECURSIVE n(x) AS (SELECT 1 UNION ALL SELECT x + 1 FROM n WHERE x < 1000000000) "
            "SELECT 'Osoby', 'Jméno', 0 FROM n WHERE x < 0");
    cSqliteDriver::SetCatalogueLimit(300);
    auto db = DBEngine::Instance().OpenDatabase(PathOf(QStringLiteral("osoby.db")));
    EXPECT_EQ(ErrorOf([&] { db->TableDefs()->Count(); }), JetError::NotADatabase);
    // Each read has a limit of its own: a spent one does not fail the next.
    EXPECT_EQ(ErrorOf([&] { db->QueryDefs()->Count(); }), 0);
    EXPECT_EQ(ErrorOf([&] { db->TableDefs()->Refresh(); }), JetError::NotADatabase);
}

TEST_F(HostileSqlite, TheConnectionCannotRewriteTheSchemaNorRunSchemaFunctionsWithSideEffects)
{
    CreateOsoby()->Close();
    auto driver = cSqliteDriver::Open(PathOf(QStringLiteral("osoby.db")), false);
    sqlite3* db = driver->Handle();
    ASSERT_EQ(sqlite3_exec(db, "PRAGMA writable_schema = ON", nullptr, nullptr, nullptr), SQLITE_OK);
    EXPECT_NE(sqlite3_exec(db, "UPDATE sqlite_master SET sql = 'CREATE TABLE Osoby(x)' WHERE name = 'Osoby'", nullptr,
                           nullptr, nullptr),
              SQLITE_OK)
        << "defensive mode keeps sqlite_master read-only";
    int trusted = -1;
    sqlite3_db_config(db, SQLITE_DBCONFIG_TRUSTED_SCHEMA, -1, &trusted);
    EXPECT_EQ(trusted, 0);
    driver->Close();
    EXPECT_EQ(DBEngine::Instance().OpenDatabase(PathOf(QStringLiteral("osoby.db")))->TableDefs()->Item(QStringLiteral("Osoby"))
                  ->Fields()->Count(),
              7);
}
