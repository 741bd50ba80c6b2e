#include "DataTestSupport.h"
#include "EngineBackends.h"

#include "mJetErrors.h"

// Stored queries made and changed through the engine, on the backends that keep them;
// Catalogue.StructureChangesAreRefused… covers the others.
class StoredQueries : public EngineTest {
protected:
    void SetUp() override
    {
        EngineTest::SetUp();
        if (HasFatalFailure())
            return;
        if (!Backend().ChangesStructure())
            GTEST_SKIP() << "the backend refuses stored-query changes";
        ASSERT_TRUE(m_dir.isValid());
    }
    std::shared_ptr<Database> CreateOsoby() { return Backend().People(m_dir.path()); }
    static void AddPerson(Database& db, const QVariantList& values) { DatabaseTest::AddPerson(db, values); }
    static QStringList Column(Recordset& rs, int field) { return DatabaseTest::Column(rs, field); }

    QTemporaryDir m_dir;
};
INSTANTIATE_ENGINE_SUITE(StoredQueries);

TEST_P(StoredQueries, KeepTheUsersTextAndServeAsRecordSources)
{
    auto db = CreateOsoby();
    AddPerson(*db, {1, QStringLiteral("Jana")});
    AddPerson(*db, {2, QStringLiteral("Petr")});
    const QString text = QStringLiteral("SELECT [Jméno] FROM Osoby WHERE Jméno LIKE 'J*'");
    db->CreateQueryDef(QStringLiteral("Na J"), text);
    auto detached = db->CreateQueryDef();
    detached->setSQL(QStringLiteral("select Id from Osoby"));
    detached->setName(QStringLiteral("Čísla"));
    db->QueryDefs()->Append(detached);

    auto reopened = DBEngine::Instance().OpenDatabase(db->Name());
    auto queries = reopened->QueryDefs();
    ASSERT_EQ(queries->Count(), 2);
    EXPECT_EQ(queries->Item(0)->Name(), QStringLiteral("Na J"));
    EXPECT_EQ(queries->Item(0)->SQL(), text);
    EXPECT_EQ(queries->Item(QStringLiteral("čísla"))->SQL(), QStringLiteral("select Id from Osoby"));
    auto rs = reopened->OpenRecordset(queries->Item(0)->SQL());
    EXPECT_EQ(Column(*rs, 0), QStringList{QStringLiteral("Jana")});
    EXPECT_EQ(Column(*reopened->OpenRecordset(QStringLiteral("SELECT * FROM [Na J]")), 0), QStringList{QStringLiteral("Jana")});
    EXPECT_EQ(Column(*reopened->OpenRecordset(QStringLiteral("Na J")), 0), QStringList{QStringLiteral("Jana")})
        << "a stored query's name alone opens it";
    EXPECT_EQ(reopened->OpenRecordset(QStringLiteral("osoby"))->RecordCount(), 2);
}

TEST_P(StoredQueries, ChangesRenamesAndDeletions)
{
    auto db = CreateOsoby();
    auto query = db->CreateQueryDef(QStringLiteral("Všichni"), QStringLiteral("SELECT * FROM Osoby"));
    query->setName(QStringLiteral("Lidé"));
    query->setSQL(QStringLiteral("SELECT Jméno FROM Osoby ORDER BY Jméno"));
    db->QueryDefs()->Refresh();
    ASSERT_EQ(db->QueryDefs()->Count(), 1);
    EXPECT_EQ(db->QueryDefs()->Item(0)->Name(), QStringLiteral("Lidé"));
    EXPECT_EQ(db->QueryDefs()->Item(0)->SQL(), QStringLiteral("SELECT Jméno FROM Osoby ORDER BY Jméno"));
    db->QueryDefs()->Delete(QStringLiteral("lidé"));
    EXPECT_EQ(db->QueryDefs()->Count(), 0);
    EXPECT_EQ(ErrorOf([&] { db->QueryDefs()->Delete(QStringLiteral("Lidé")); }), JetError::ItemNotFound);
}

TEST_P(StoredQueries, BadQueriesAreRefusedAndNothingIsStored)
{
    auto db = CreateOsoby();
    db->CreateQueryDef(QStringLiteral("Dobrý"), QStringLiteral("SELECT * FROM Osoby"));
    EXPECT_EQ(ErrorOf([&] { db->CreateQueryDef(QStringLiteral("Špatný"), QStringLiteral("SELECT * FROM Nikde")); }),
              JetError::NoSuchTable);
    EXPECT_NE(ErrorOf([&] { db->CreateQueryDef(QStringLiteral("Dva"), QStringLiteral("SELECT 1; SELECT 2")); }), 0);
    EXPECT_EQ(ErrorOf([&] { db->CreateQueryDef(QStringLiteral("dobrý"), QStringLiteral("SELECT * FROM Osoby")); }),
              JetError::ObjectExists);
    EXPECT_EQ(ErrorOf([&] { db->CreateQueryDef(QStringLiteral("Osoby"), QStringLiteral("SELECT * FROM Osoby")); }),
              JetError::ObjectExists);
    auto good = db->QueryDefs()->Item(QStringLiteral("Dobrý"));
    EXPECT_EQ(ErrorOf([&] { good->setSQL(QStringLiteral("SELECT * FROM Nikde")); }), JetError::NoSuchTable);
    db->QueryDefs()->Refresh();
    ASSERT_EQ(db->QueryDefs()->Count(), 1);
    EXPECT_EQ(db->QueryDefs()->Item(0)->SQL(), QStringLiteral("SELECT * FROM Osoby")) << "a refused change keeps the old text";
}

TEST_P(StoredQueries, AParametersDeclarationIsDroppedAndAMissingValueIsNamed)
{
    auto db = CreateOsoby();
    AddPerson(*db, {1, QStringLiteral("Jana")});
    db->CreateQueryDef(QStringLiteral("Všichni"), QStringLiteral("PARAMETERS [Od] Long;\nSELECT Jméno FROM Osoby"));
    EXPECT_EQ(Column(*db->OpenRecordset(QStringLiteral("SELECT * FROM Všichni")), 0), QStringList{QStringLiteral("Jana")});
    EXPECT_EQ(Column(*db->OpenRecordset(db->QueryDefs()->Item(QStringLiteral("Všichni"))->SQL()), 0),
              QStringList{QStringLiteral("Jana")});
    cRuntimeError failure(0, QString());
    try {
        db->OpenRecordset(QStringLiteral("PARAMETERS [Od] Long; SELECT Jméno FROM Osoby WHERE Id >= [Od]"));
    } catch (const cRuntimeError& e) {
        failure = e;
    }
    EXPECT_EQ(failure.Number(), JetError::TooFewParameters);
    EXPECT_TRUE(failure.Description().contains(QLatin1String("Od"))) << failure.Description().toStdString();
    // A misspelt name is not a text constant, neither in a query nor in a stored one.
    EXPECT_EQ(ErrorOf([&] { db->OpenRecordset(QStringLiteral("SELECT Jméno FROM Osoby WHERE [Jmeno] = 'Jana'")); }),
              JetError::TooFewParameters);
    EXPECT_NE(ErrorOf([&] { db->CreateQueryDef(QStringLiteral("Překlep"), QStringLiteral("SELECT [Jmeno] FROM Osoby")); }), 0);
}
