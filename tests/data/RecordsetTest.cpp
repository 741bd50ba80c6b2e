#include "DataTestSupport.h"

#include "cCurrency.h"
#include "mConvert.h"
#include "mJetErrors.h"

#include <QDateTime>

namespace {
const QDateTime kBorn(QDate(1985, 3, 14), QTime(0, 0), Qt::UTC);
}

class RecordsetTest : public DatabaseTest {
protected:
    void SetUp() override
    {
        DatabaseTest::SetUp();
        db = CreateOsoby();
        AddPerson(*db, {1, QStringLiteral("Jana"), QStringLiteral("Nováková"), kBorn, QVariant::fromValue(cCurrency::FromUnits(123456789)), true,
                        QString()});
        AddPerson(*db, {2, QStringLiteral("Petr"), QVariant(), QVariant(), QVariant(), false, QStringLiteral("řádek\nřádek")});
        AddPerson(*db, {3, QStringLiteral("Nela"), QStringLiteral("Malá")});
    }
    std::shared_ptr<Recordset> Open(const QString& sql = QStringLiteral("SELECT * FROM Osoby"))
    {
        return db->OpenRecordset(sql);
    }
    std::shared_ptr<Database> db;
};

TEST_F(RecordsetTest, ValuesComeBackAsStoredNullApartFromEmptyText)
{
    ScopedLocale czech(QStringLiteral("cs_CZ"));
    auto rs = Open();
    auto field = [&](int i) { return rs->Fields()->Item(i)->Value(); };
    EXPECT_EQ(field(0), QVariant(1));
    EXPECT_EQ(field(2).toString(), QStringLiteral("Nováková"));
    EXPECT_EQ(field(3).toDateTime(), kBorn);
    EXPECT_EQ(field(4).value<cCurrency>().Units(), 123456789) << "currency is exact to four places";
    EXPECT_EQ(field(5), QVariant(true));
    EXPECT_EQ(field(6), QVariant(QString())) << "the empty text";
    EXPECT_TRUE(field(6).isValid());
    rs->MoveNext();
    EXPECT_FALSE(field(2).isValid()) << "Null";
    EXPECT_FALSE(field(3).isValid());
    EXPECT_EQ(field(5), QVariant(false));
    EXPECT_EQ(field(6).toString(), QStringLiteral("řádek\nřádek"));
}

TEST_F(RecordsetTest, FieldsFollowTheSelectOrder)
{
    auto rs = Open(QStringLiteral("select Příjmení, Jméno from Osoby"));
    ASSERT_EQ(rs->Fields()->Count(), 2);
    EXPECT_EQ(rs->Fields()->Item(0)->Name(), QStringLiteral("Příjmení"));
    EXPECT_EQ(rs->Fields()->Item(1)->Name(), QStringLiteral("Jméno"));
    EXPECT_EQ(rs->Fields()->Item(QStringLiteral("JMÉNO"))->Type(), JetType::Text);
    EXPECT_EQ(rs->Fields()->Item(1)->Size(), 20);
    EXPECT_EQ(ErrorOf([&] { rs->Fields()->Item(2); }), JetError::ItemNotFound);
    EXPECT_EQ(ErrorOf([&] { rs->Fields()->Item(QStringLiteral("Plat")); }), JetError::ItemNotFound);
}

TEST_F(RecordsetTest, MovesPositionsAndBookmarks)
{
    auto rs = Open(QStringLiteral("SELECT * FROM Osoby ORDER BY Jméno"));
    EXPECT_FALSE(rs->Bof() || rs->Eof());
    EXPECT_EQ(rs->AbsolutePosition(), 0);
    EXPECT_EQ(rs->RecordCount(), 3);
    rs->MoveLast();
    EXPECT_EQ(rs->Fields()->Item(1)->Value().toString(), QStringLiteral("Petr"));
    rs->MoveNext();
    EXPECT_TRUE(rs->Eof());
    EXPECT_EQ(rs->AbsolutePosition(), -1);
    EXPECT_EQ(ErrorOf([&] { rs->MoveNext(); }), JetError::NoCurrentRecord);
    EXPECT_EQ(ErrorOf([&] { rs->Fields()->Item(0)->Value(); }), JetError::NoCurrentRecord);
    rs->MovePrevious();
    EXPECT_EQ(rs->AbsolutePosition(), 2);
    rs->setAbsolutePosition(1);
    EXPECT_EQ(rs->Fields()->Item(1)->Value().toString(), QStringLiteral("Nela"));
    const QVariant nela = rs->Bookmark();
    rs->MoveFirst();
    rs->MovePrevious();
    EXPECT_TRUE(rs->Bof());
    rs->setBookmark(nela);
    EXPECT_EQ(rs->AbsolutePosition(), 1);
    EXPECT_EQ(ErrorOf([&] { rs->setAbsolutePosition(3); }), JetError::InvalidArgument);
    EXPECT_EQ(ErrorOf([&] { rs->setAbsolutePosition(-1); }), JetError::InvalidArgument);

    auto none = Open(QStringLiteral("SELECT * FROM Osoby WHERE Id > 100"));
    EXPECT_TRUE(none->Bof() && none->Eof());
    EXPECT_EQ(none->RecordCount(), 0);
    EXPECT_EQ(ErrorOf([&] { none->MoveFirst(); }), JetError::NoCurrentRecord);
}

TEST_F(RecordsetTest, EditUpdateAndCancel)
{
    ScopedLocale czech(QStringLiteral("cs_CZ"));
    auto rs = Open();
    rs->setAbsolutePosition(1);
    rs->Edit();
    rs->Fields()->Item(2)->setValue(QStringLiteral("Svoboda"));
    rs->Fields()->Item(4)->setValue(QStringLiteral("1 500,25"));
    EXPECT_EQ(rs->Fields()->Item(2)->Value().toString(), QStringLiteral("Svoboda")) << "the edit shows at once";
    rs->Update();
    EXPECT_EQ(rs->Fields()->Item(2)->Value().toString(), QStringLiteral("Svoboda"));
    rs->Edit();
    rs->Fields()->Item(2)->setValue(QStringLiteral("Zapomenuto"));
    rs->CancelUpdate();
    rs->Requery();
    rs->setAbsolutePosition(1);
    EXPECT_EQ(rs->Fields()->Item(2)->Value().toString(), QStringLiteral("Svoboda"));
    EXPECT_EQ(rs->Fields()->Item(4)->Value().value<cCurrency>().Units(), 15002500);
    EXPECT_EQ(ErrorOf([&] { rs->Fields()->Item(2)->setValue(QStringLiteral("x")); }), JetError::UpdateWithoutEdit);
    EXPECT_EQ(ErrorOf([&] { rs->Update(); }), JetError::UpdateWithoutEdit);
}

TEST_F(RecordsetTest, UpdateEnforcesTheFieldRules)
{
    ScopedLocale czech(QStringLiteral("cs_CZ"));
    auto rs = Open();
    rs->Edit();
    rs->Fields()->Item(1)->setValue(QString());
    EXPECT_EQ(ErrorOf([&] { rs->Update(); }), JetError::ZeroLength);
    rs->Fields()->Item(1)->setValue(QVariant());
    EXPECT_EQ(ErrorOf([&] { rs->Update(); }), JetError::Required);
    rs->Fields()->Item(1)->setValue(QString(21, u'x'));
    EXPECT_EQ(ErrorOf([&] { rs->Update(); }), JetError::FieldTooSmall);
    EXPECT_EQ(ErrorOf([&] { rs->Fields()->Item(0)->setValue(QStringLiteral("dvě")); }), JetError::Conversion);
    EXPECT_EQ(ErrorOf([&] { rs->Fields()->Item(3)->setValue(QStringLiteral("31.2.2020")); }), JetError::Conversion);
    EXPECT_EQ(ErrorOf([&] { rs->Fields()->Item(0)->setValue(QStringLiteral("3000000000")); }), JetError::Conversion);
    rs->CancelUpdate();
    rs->Requery();
    EXPECT_EQ(Column(*rs, 1), (QStringList{QStringLiteral("Jana"), QStringLiteral("Petr"), QStringLiteral("Nela")}))
        << "nothing was written";

    rs->AddNew();
    rs->Fields()->Item(1)->setValue(QStringLiteral("Bez čísla"));
    EXPECT_EQ(ErrorOf([&] { rs->Update(); }), JetError::Required);
    rs->CancelUpdate();
}

TEST_F(RecordsetTest, UniqueKeysRefuseDuplicates)
{
    // A unique index made outside the engine, as other programs' files have them.
    db->Close();
    RawExec(PathOf(QStringLiteral("osoby.db")), "CREATE UNIQUE INDEX OsobyId ON Osoby(Id)");
    db = DBEngine::Instance().OpenDatabase(PathOf(QStringLiteral("osoby.db")));
    EXPECT_EQ(ErrorOf([&] { AddPerson(*db, {2, QStringLiteral("Dvojník")}); }), JetError::DuplicateKey);
    auto rs = Open();
    EXPECT_EQ(rs->RecordCount(), 3);
}

TEST_F(RecordsetTest, AddNewAppendsAndDeleteRemoves)
{
    auto rs = Open(QStringLiteral("SELECT * FROM Osoby ORDER BY Jméno"));
    rs->AddNew();
    rs->Fields()->Item(0)->setValue(4);
    rs->Fields()->Item(1)->setValue(QStringLiteral("Adam"));
    rs->Update();
    EXPECT_EQ(rs->RecordCount(), 4);
    rs->MoveLast();
    EXPECT_EQ(rs->Fields()->Item(1)->Value().toString(), QStringLiteral("Adam")) << "a new record joins the end";
    rs->Requery();
    EXPECT_EQ(rs->Fields()->Item(1)->Value().toString(), QStringLiteral("Adam")) << "and takes its place on requery";

    rs->setAbsolutePosition(1); // Jana
    rs->Delete();
    EXPECT_EQ(ErrorOf([&] { rs->Fields()->Item(1)->Value(); }), JetError::RecordDeleted);
    rs->MoveNext();
    EXPECT_EQ(rs->Fields()->Item(1)->Value().toString(), QStringLiteral("Nela"));
    EXPECT_EQ(rs->AbsolutePosition(), 1);
    EXPECT_EQ(rs->RecordCount(), 3);

    // Deleting a selection by bookmarks, as positions shift under the deletions.
    QList<QVariant> marks;
    for (int position : {0, 2}) {
        rs->setAbsolutePosition(position);
        marks << rs->Bookmark();
    }
    for (const QVariant& mark : marks) {
        rs->setBookmark(mark);
        rs->Delete();
    }
    rs->Requery();
    EXPECT_EQ(Column(*rs, 1), QStringList{QStringLiteral("Nela")});
}

TEST_F(RecordsetTest, QueriesOfSeveralTablesOrCalculatedFieldsAreReadOnly)
{
    auto joined = Open(QStringLiteral("SELECT a.Jméno, b.Jméno FROM Osoby AS a, Osoby AS b WHERE a.Id = b.Id"));
    EXPECT_FALSE(joined->Updatable());
    EXPECT_EQ(joined->RecordCount(), 3);
    joined->MoveLast();
    joined->MoveFirst();
    EXPECT_EQ(ErrorOf([&] { joined->Edit(); }), JetError::ReadOnly);
    EXPECT_EQ(ErrorOf([&] { joined->AddNew(); }), JetError::ReadOnly);

    auto calculated = Open(QStringLiteral("SELECT Id, Jméno & ' ' & Příjmení AS Celé FROM Osoby ORDER BY Id"));
    EXPECT_TRUE(calculated->Updatable());
    EXPECT_EQ(calculated->Fields()->Item(1)->Type(), JetType::Text);
    EXPECT_EQ(calculated->Fields()->Item(1)->Value().toString(), QStringLiteral("Jana Nováková"));
    calculated->Edit();
    EXPECT_EQ(ErrorOf([&] { calculated->Fields()->Item(1)->setValue(QStringLiteral("x")); }), JetError::CannotUpdateField);
}

TEST_F(RecordsetTest, JetSqlOfTheCallers)
{
    EXPECT_EQ(Column(*Open(QStringLiteral("Select * From Osoby WHERE Jméno LIKE 'N*'")), 1), QStringList{QStringLiteral("Nela")});
    EXPECT_EQ(Column(*Open(QStringLiteral("Select * From Osoby WHERE Jméno LIKE 'n*' AND Id=3")), 1),
              QStringList{QStringLiteral("Nela")});
    EXPECT_EQ(Open(QStringLiteral("SELECT * FROM Osoby WHERE Aktivní = True"))->RecordCount(), 1);
    EXPECT_EQ(Open(QStringLiteral("SELECT * FROM Osoby WHERE Narozen = #3/14/1985#"))->RecordCount(), 1);
    EXPECT_EQ(Open(QStringLiteral("SELECT DISTINCTROW * FROM [Osoby]"))->RecordCount(), 3);
    EXPECT_EQ(Open(QStringLiteral("SELECT TOP 2 * FROM Osoby ORDER BY Jméno"))->RecordCount(), 2);
    auto converted = Open(QStringLiteral("SELECT CCur(1.23456) AS C, CSng(0.1) AS S FROM Osoby"));
    EXPECT_DOUBLE_EQ(converted->Fields()->Item(0)->Value().toDouble(), 1.2346);
    EXPECT_DOUBLE_EQ(converted->Fields()->Item(1)->Value().toDouble(), double(0.1f));

    EXPECT_EQ(ErrorOf([&] { Open(QStringLiteral("Select * From Order Details")); }), 3131) << "syntax error in FROM";
    EXPECT_EQ(ErrorOf([&] { Open(QStringLiteral("SELECT * FROM Nikde")); }), JetError::NoSuchTable);
    EXPECT_EQ(ErrorOf([&] { Open(QStringLiteral("SELECT Neznámá(Jméno) FROM Osoby")); }), JetError::UndefinedFunction);
    EXPECT_EQ(ErrorOf([&] { Open(QStringLiteral("SELECT * FROM Osoby WHERE Jméno = 'Jana'';")); }), JetError::SyntaxError);
    EXPECT_EQ(ErrorOf([&] { Open(QStringLiteral("DELETE FROM Osoby")); }), JetError::InvalidOperation);
    EXPECT_EQ(Open()->RecordCount(), 3);
}

TEST_F(RecordsetTest, ASecondStatementIsNeverRun)
{
    EXPECT_NE(ErrorOf([&] { Open(QStringLiteral("SELECT * FROM Osoby; DROP TABLE Osoby")); }), 0);
    EXPECT_NE(ErrorOf([&] { Open(QStringLiteral("SELECT * FROM Osoby;DELETE FROM Osoby;")); }), 0);
    EXPECT_EQ(Open(QStringLiteral("SELECT * FROM Osoby;  "))->RecordCount(), 3) << "a closing semicolon is fine";
}

TEST_F(RecordsetTest, JumpsAndWalksAgreeOnALargerTable)
{
    auto big = db->CreateTableDef(QStringLiteral("Velká"));
    big->Fields()->Append(big->CreateField(QStringLiteral("N"), JetType::Long));
    big->Fields()->Append(big->CreateField(QStringLiteral("T"), JetType::Text, 30));
    db->TableDefs()->Append(big);
    RawExec(PathOf(QStringLiteral("osoby.db")),
            "WITH RECURSIVE n(i) AS (SELECT 0 UNION ALL SELECT i + 1 FROM n WHERE i < 9999) "
            "INSERT INTO \"Velká\" SELECT (i * 7919) % 10000, 'r' || i FROM n");
    for (const QString& sql : {QStringLiteral("SELECT * FROM Velká ORDER BY N DESC"),
                               QStringLiteral("SELECT N, count(*) AS C FROM Velká GROUP BY N ORDER BY N DESC")}) {
        auto rs = Open(sql);
        qint64 walked = 0;
        for (; !rs->Eof(); rs->MoveNext(), ++walked)
            ASSERT_EQ(rs->Fields()->Item(0)->Value().toInt(), 9999 - walked);
        EXPECT_EQ(walked, 10000);
        for (int position : {5000, 17, 9999, 0, 4242}) {
            rs->setAbsolutePosition(position);
            EXPECT_EQ(rs->Fields()->Item(0)->Value().toInt(), 9999 - position) << sql.toStdString();
        }
    }
}
