#include "DBEngine.h"
#include "Database.h"
#include "Recordset.h"
#include "cSetting.h"
#include "mCommandChoices.h"
#include "mStringTable.h"
#include "TestSupport.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>
#include <sqlite3.h>

// What the main window's commands decide, tried without a window on databases made as other
// programs make them.

namespace {

class CommandChoicesTest : public ::testing::Test {
protected:
    // A file made through SQLite itself, as another program would make it.
    QString MakeForeign(const char* name, const char* sql) const
    {
        const QString path = m_dir.filePath(QString::fromUtf8(name));
        sqlite3* db = nullptr;
        EXPECT_EQ(sqlite3_open(path.toUtf8().constData(), &db), SQLITE_OK);
        EXPECT_EQ(sqlite3_exec(db, sql, nullptr, nullptr, nullptr), SQLITE_OK) << sqlite3_errmsg(db);
        sqlite3_close(db);
        return path;
    }

    ScopedRegistry m_registry;
    QTemporaryDir m_dir;
};

TEST_F(CommandChoicesTest, OnlyTheUsersTablesAreOfferedAndEachNameShowsItsOwnTable)
{
    // An AUTOINCREMENT key makes SQLite keep a table of its own; a view is a query, not a table.
    const QString path = MakeForeign("ciziny.db", R"(
PRAGMA journal_mode = WAL;
PRAGMA foreign_keys = ON;
CREATE TABLE "Odběratelé" ("Id" INTEGER PRIMARY KEY AUTOINCREMENT, "Kdo" TEXT);
INSERT INTO "Odběratelé" ("Kdo") VALUES ('odběratelé');
CREATE TABLE "Dva stoly" ("Kdo" TEXT);
INSERT INTO "Dva stoly" VALUES ('dva stoly');
CREATE TABLE "Select" ("Kdo" TEXT);
INSERT INTO "Select" VALUES ('select');
CREATE TABLE "a]b" ("Kdo" TEXT, "Odběratel" INTEGER REFERENCES "Odběratelé"("Id"));
INSERT INTO "a]b" VALUES ('a]b', 1);
CREATE VIEW "Pohled" AS SELECT "Kdo" FROM "Dva stoly";
)");
    auto database = DBEngine::Instance().OpenDatabase(path);
    const QStringList offered = ChoosableTables(*database);
    EXPECT_EQ(offered, QStringList({"Odběratelé", "Dva stoly", "Select", "a]b"}));
    for (const QString& table : offered) {
        auto records = database->OpenRecordset(TableQuery(table));
        ASSERT_FALSE(records->Eof()) << table.toStdString();
        EXPECT_EQ(records->FieldValue(table == QStringLiteral("Odběratelé") ? 1 : 0).toString(), table.toLower())
            << "a name with a blank, a keyword or a bracket is still the whole name";
        EXPECT_TRUE(ShowsTable(TableQuery(table), table));
    }
    // Only the query that shows the whole table is that table's.
    EXPECT_FALSE(ShowsTable(TableQuery(QStringLiteral("Select")), QStringLiteral("Dva stoly")));
    EXPECT_FALSE(ShowsTable(TableQuery(QStringLiteral("Select")) + QStringLiteral(" Where [Kdo] Is Null"),
                            QStringLiteral("Select")));
    EXPECT_FALSE(ShowsTable(TableQuery(QString()), QString())) << "no table chosen shows none";

    // The engine's own bookkeeping in a database it made is never offered either.
    const QString own = m_dir.filePath(QStringLiteral("vlastni.mdb"));
    DBEngine::Instance().CreateDatabase(own, QStringLiteral(";LANGID=0x0405;CP=1250;COUNTRY=0"))->Close();
    MakeForeign("vlastni.mdb", R"(CREATE TABLE "Kniha" ("Název" TEXT);)");
    EXPECT_EQ(ChoosableTables(*DBEngine::Instance().OpenDatabase(own)), QStringList({"Kniha"}));
}

TEST_F(CommandChoicesTest, RecordsThatCannotChangeAreRefusedWithTheReasonTheUserCanActOn)
{
    const QString path = MakeForeign("klice.db", R"(
CREATE TABLE "Volné" ("Kdo" TEXT);
CREATE TABLE "Bez identity" ("Klíč" TEXT PRIMARY KEY, "Kdo" TEXT) WITHOUT ROWID;
)");
    auto database = DBEngine::Instance().OpenDatabase(path);
    cSetting setting;
    setting.setDatabaseFile(path);

    auto open = database->OpenRecordset(TableQuery(QStringLiteral("Volné")));
    EXPECT_FALSE(ReadOnlyRefusal(open.get(), &setting)) << "records that can change are not refused";

    const QString readOnly = QStringLiteral("Databázi nebo objekt nelze aktualizovat. Je jen pro čtení.");
    auto closed = database->OpenRecordset(TableQuery(QStringLiteral("Bez identity")));
    ASSERT_FALSE(closed->ReadOnlyReason().isEmpty());
    std::optional<ErrorStorage> refusal = ReadOnlyRefusal(closed.get(), &setting);
    ASSERT_TRUE(refusal);
    EXPECT_EQ(refusal->Number, 3027);
    EXPECT_EQ(refusal->Source, QStringLiteral("DAO.Recordset"));
    EXPECT_EQ(refusal->Description, readOnly + u' ' + closed->ReadOnlyReason());

    // An Access file's records are refused for what the file is: Save As makes a copy that can change.
    setting.setDatabaseFile(QStringLiteral(QUARNEL_TESTDATA "/nwind.mdb"));
    refusal = ReadOnlyRefusal(closed.get(), &setting);
    ASSERT_TRUE(refusal);
    EXPECT_EQ(refusal->Description, readOnly + QStringLiteral(" Upravitelnou kopii vytvoří příkaz Uložit jako."));

    // Nothing open: refused, with no reason to add.
    refusal = ReadOnlyRefusal(nullptr, nullptr);
    ASSERT_TRUE(refusal);
    EXPECT_EQ(refusal->Description, readOnly);
}

TEST(CommandChoices, ADeletionAsksOnceAndTheNextRowIsPickedWithinTheRowsLeft)
{
    EXPECT_EQ(DeleteQuestion(1, QStringLiteral("Adam")), QStringLiteral("Opravdu odstranit záznam 'Adam'?"));
    EXPECT_EQ(DeleteQuestion(3, QStringLiteral("Adam")), QStringLiteral("Opravdu odstranit 3 vybraných záznamů?"));
    EXPECT_EQ(RowAfterDeletion(2, 4), 2) << "the row after the deleted one moves up into its place";
    EXPECT_EQ(RowAfterDeletion(4, 4), 3) << "after the last row, the new last one";
    EXPECT_EQ(RowAfterDeletion(0, 0), -1) << "none left";
    // Go to: a number past either end takes the row at that end.
    EXPECT_EQ(GoToRow(3, 5), 2);
    EXPECT_EQ(GoToRow(-7, 5), 0);
    EXPECT_EQ(GoToRow(99, 5), 4);
}

} // namespace
