#include "OdbcTestSupport.h"

#include "DBEngine.h"
#include "Recordset.h"
#include "cRuntimeError.h"

#include <gtest/gtest.h>

// A result larger than the pieces the server sends it in (a thousand rows), read as the
// grid reads it: counted first, then walked, jumped about in and changed meanwhile.
namespace {

constexpr int kRows = 2600;

class OdbcPostgresPieces : public ::testing::Test {
protected:
    void SetUp() override
    {
        PrepareOdbc();
        ASSERT_FALSE(OdbcDriverPath(QStringLiteral("psqlodbcw.so")).isEmpty()) << "odbc-postgresql is missing";
        cPostgresServer* server = SharedPostgres();
        ASSERT_NE(server, nullptr);
        m_connect = server->Connect();
        RunOdbcSql(m_connect, {QStringLiteral("DROP TABLE IF EXISTS kusy"), QStringLiteral("DROP TABLE IF EXISTS volné"),
                               QStringLiteral("CREATE TABLE kusy (id INTEGER PRIMARY KEY, jméno VARCHAR(30))"),
                               QStringLiteral("INSERT INTO kusy SELECT g, 'Kus ' || g FROM generate_series(1, %1) AS g")
                                   .arg(kRows),
                               QStringLiteral("CREATE TABLE volné AS SELECT g AS n FROM generate_series(1, %1) AS g")
                                   .arg(kRows)});
        db = DBEngine::Instance().OpenDatabase(QString(), false, false, m_connect);
    }

    // The field as another connection sees it: what was committed.
    QString Committed(int id) const
    {
        auto other = DBEngine::Instance().OpenDatabase(QString(), false, false, m_connect);
        auto rs = other->OpenRecordset(QStringLiteral("SELECT jméno FROM kusy WHERE id = %1").arg(id));
        return rs->Eof() ? QString() : rs->FieldValue(0).toString();
    }

    QString m_connect;
    std::shared_ptr<Database> db;
};

TEST_F(OdbcPostgresPieces, CountsFirstThenReadsEveryRecordInOrderAndByPosition)
{
    auto rs = db->OpenRecordset(QStringLiteral("SELECT * FROM kusy ORDER BY id"));
    EXPECT_EQ(rs->RecordCount(), kRows);
    EXPECT_EQ(rs->FieldValue(1).toString(), QStringLiteral("Kus 1"));
    int read = 0;
    for (; !rs->Eof(); rs->MoveNext()) {
        ++read;
        ASSERT_EQ(rs->FieldValue(0).toInt(), read);
        ASSERT_EQ(rs->FieldValue(1).toString(), QStringLiteral("Kus %1").arg(read));
    }
    EXPECT_EQ(read, kRows);

    // Jumps ahead of what was read, and back.
    auto jumping = db->OpenRecordset(QStringLiteral("SELECT * FROM kusy ORDER BY id"));
    jumping->setAbsolutePosition(kRows - 5);
    EXPECT_EQ(jumping->FieldValue(0).toInt(), kRows - 4);
    jumping->MoveLast();
    EXPECT_EQ(jumping->FieldValue(0).toInt(), kRows);
    jumping->setAbsolutePosition(1500);
    EXPECT_EQ(jumping->FieldValue(1).toString(), QStringLiteral("Kus 1501"));
    jumping->MoveFirst();
    EXPECT_EQ(jumping->FieldValue(0).toInt(), 1);

    // A condition is counted as the server finds it, and a source without a key too.
    auto filtered = db->OpenRecordset(QStringLiteral("SELECT * FROM kusy WHERE id > 2590 OR id = 7"));
    EXPECT_EQ(filtered->RecordCount(), 11);
    auto keyless = db->OpenRecordset(QStringLiteral("SELECT n FROM volné"));
    EXPECT_EQ(keyless->RecordCount(), kRows);
    keyless->MoveLast();
    EXPECT_EQ(keyless->FieldValue(0).toInt(), kRows);
}

TEST_F(OdbcPostgresPieces, ChangesWhileAResultIsHalfReadAreCommittedAtOnce)
{
    auto reading = db->OpenRecordset(QStringLiteral("SELECT * FROM kusy ORDER BY id"));
    ASSERT_EQ(reading->RecordCount(), kRows);
    for (int i = 0; i < 10; ++i)
        reading->MoveNext(); // the rest of the result still waits on the server

    // Another recordset of the same connection changes records meanwhile.
    auto other = db->OpenRecordset(QStringLiteral("SELECT * FROM kusy WHERE id = 2000"));
    other->Edit();
    other->SetFieldValue(1, QStringLiteral("Změněný"));
    other->Update();
    EXPECT_EQ(Committed(2000), QStringLiteral("Změněný"));
    other->AddNew();
    other->SetFieldValue(0, kRows + 1);
    other->SetFieldValue(1, QStringLiteral("Nový"));
    other->Update();
    EXPECT_EQ(Committed(kRows + 1), QStringLiteral("Nový"));

    // The half-read result reads on, and changes its own records.
    reading->MoveNext();
    EXPECT_EQ(reading->FieldValue(1).toString(), QStringLiteral("Kus 12"));
    reading->setAbsolutePosition(5);
    reading->Delete();
    EXPECT_EQ(Committed(6), QString());
    reading->setAbsolutePosition(1998);
    EXPECT_EQ(reading->FieldValue(0).toInt(), 2000);
    EXPECT_EQ(reading->FieldValue(1).toString(), QStringLiteral("Změněný"));
    reading->MoveLast();
    EXPECT_EQ(reading->FieldValue(0).toInt(), kRows + 1);

    // A failing statement on the connection leaves the result readable.
    EXPECT_THROW(db->OpenRecordset(QStringLiteral("SELECT * FROM kusy WHERE id = 1 / 0"))->RecordCount(), cRuntimeError);
    auto again = db->OpenRecordset(QStringLiteral("SELECT * FROM kusy ORDER BY id"));
    again->MoveNext();
    auto broken = db->OpenRecordset(QStringLiteral("SELECT * FROM kusy WHERE id = 3"));
    broken->Edit();
    broken->SetFieldValue(0, 4); // the key of another record
    EXPECT_THROW(broken->Update(), cRuntimeError);
    broken->CancelUpdate();
    int read = 2;
    for (again->MoveNext(); !again->Eof(); again->MoveNext())
        ++read;
    EXPECT_EQ(read, kRows); // one deleted, one added
    EXPECT_EQ(Committed(2000), QStringLiteral("Změněný"));
}

} // namespace
