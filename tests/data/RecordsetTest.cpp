#include "DataTestSupport.h"
#include "EngineBackends.h"

#include "cCurrency.h"
#include "mConvert.h"
#include "mJetErrors.h"

#include <QDateTime>

#include <cmath>

namespace {

const QDateTime kBorn(QDate(1985, 3, 14), QTime(0, 0), Qt::UTC);

// A money value in ten-thousandths, whether the backend keeps it as Currency or as a number.
qint64 Units(const QVariant& value)
{
    if (value.userType() == qMetaTypeId<cCurrency>())
        return value.value<cCurrency>().Units();
    return std::llround(value.toDouble() * cCurrency::kScale);
}

QStringList Names(Recordset& rs)
{
    QStringList names;
    for (const auto& field : *rs.Fields())
        names << field->Name().toLower();
    return names;
}

} // namespace

// The Northwind tables: what every backend reads alike.
class Reading : public EngineTest {
protected:
    void SetUp() override
    {
        EngineTest::SetUp();
        if (HasFatalFailure())
            return;
        db = Backend().Northwind();
        ASSERT_NE(db, nullptr);
    }
    std::shared_ptr<Recordset> Open(const QString& sql) { return db->OpenRecordset(sql); }
    QStringList Column(const QString& sql, int field = 0) { return DatabaseTest::Column(*Open(sql), field); }

    std::shared_ptr<Database> db;
};
INSTANTIATE_ENGINE_SUITE(Reading);

TEST_P(Reading, ValuesComeBackAsStored)
{
    auto order = Open(QStringLiteral("SELECT * FROM Orders WHERE OrderID = 10331"));
    ASSERT_EQ(order->RecordCount(), 1);
    auto value = [&](const char* name) { return order->Fields()->Item(QString::fromLatin1(name))->Value(); };
    EXPECT_EQ(value("EmployeeID").toInt(), 9);
    EXPECT_EQ(Units(value("Freight")), 101900) << "money to four places";
    EXPECT_EQ(value("OrderDate").toDateTime(), QDateTime(QDate(1994, 11, 16), QTime(0, 0), Qt::UTC));
    EXPECT_FALSE(value("ShipRegion").isValid()) << "Null stays Null";
    EXPECT_EQ(value("ShipName").toString(), QStringLiteral("Bon app'"));
    EXPECT_TRUE(Column(QStringLiteral("SELECT ShipAddress FROM Orders WHERE OrderID = 10330")).value(0).contains(
        QStringLiteral("Bolívar")));

    auto employee = Open(QStringLiteral("SELECT Address, Notes, Photo, BirthDate FROM Employees ORDER BY EmployeeID"));
    EXPECT_EQ(employee->Fields()->Item(0)->Value().toString(), QStringLiteral("507 - 20th Ave. E.\r\nApt. 2A"));
    EXPECT_GT(employee->Fields()->Item(1)->Value().toString().size(), 150) << "a memo read whole";
    EXPECT_GT(employee->Fields()->Item(2)->Value().toByteArray().size(), 10000) << "an OLE object over many pages";
    EXPECT_EQ(employee->Fields()->Item(3)->Value().toDateTime(), QDateTime(QDate(1948, 12, 8), QTime(0, 0), Qt::UTC));

    auto discontinued = Open(QStringLiteral("SELECT Discontinued, UnitPrice FROM Products WHERE ProductID = 5"));
    EXPECT_EQ(discontinued->Fields()->Item(0)->Value(), QVariant(true));
    EXPECT_EQ(Units(discontinued->Fields()->Item(1)->Value()), 213500);
}

TEST_P(Reading, FieldsFollowTheSelectOrder)
{
    auto rs = Open(QStringLiteral("select Phone, CompanyName from Shippers"));
    EXPECT_EQ(Names(*rs), (QStringList{QStringLiteral("phone"), QStringLiteral("companyname")}));
    EXPECT_EQ(rs->Fields()->Item(QStringLiteral("COMPANYNAME"))->Type(), JetType::Text);
    EXPECT_EQ(rs->Fields()->Item(1)->Size(), 40);
    EXPECT_EQ(ErrorOf([&] { rs->Fields()->Item(2); }), JetError::ItemNotFound);
    EXPECT_EQ(ErrorOf([&] { rs->Fields()->Item(QStringLiteral("ShipperID")); }), JetError::ItemNotFound);
}

TEST_P(Reading, MovesPositionsAndBookmarks)
{
    auto rs = Open(QStringLiteral("SELECT * FROM Shippers ORDER BY CompanyName"));
    auto name = [&] { return rs->Fields()->Item(1)->Value().toString(); };
    EXPECT_FALSE(rs->Bof() || rs->Eof());
    EXPECT_EQ(rs->AbsolutePosition(), 0);
    EXPECT_EQ(rs->RecordCount(), 3);
    rs->MoveLast();
    EXPECT_EQ(name(), QStringLiteral("United Package"));
    rs->MoveNext();
    EXPECT_TRUE(rs->Eof());
    EXPECT_EQ(rs->AbsolutePosition(), -1);
    EXPECT_EQ(ErrorOf([&] { rs->MoveNext(); }), JetError::NoCurrentRecord);
    EXPECT_EQ(ErrorOf([&] { rs->Fields()->Item(0)->Value(); }), JetError::NoCurrentRecord);
    rs->MovePrevious();
    EXPECT_EQ(rs->AbsolutePosition(), 2);
    rs->setAbsolutePosition(1);
    EXPECT_EQ(name(), QStringLiteral("Speedy Express"));
    const QVariant speedy = rs->Bookmark();
    rs->MoveFirst();
    rs->MovePrevious();
    EXPECT_TRUE(rs->Bof());
    rs->setBookmark(speedy);
    EXPECT_EQ(rs->AbsolutePosition(), 1);
    rs->Requery();
    rs->setBookmark(speedy);
    EXPECT_EQ(name(), QStringLiteral("Speedy Express")) << "a bookmark survives a requery";
    EXPECT_EQ(ErrorOf([&] { rs->setAbsolutePosition(3); }), JetError::InvalidArgument);
    EXPECT_EQ(ErrorOf([&] { rs->setAbsolutePosition(-1); }), JetError::InvalidArgument);

    auto none = Open(QStringLiteral("SELECT * FROM Shippers WHERE ShipperID > 100"));
    EXPECT_TRUE(none->Bof() && none->Eof());
    EXPECT_EQ(none->RecordCount(), 0);
    EXPECT_EQ(ErrorOf([&] { none->MoveFirst(); }), JetError::NoCurrentRecord);
}

TEST_P(Reading, JetSqlOfTheCallers)
{
    EXPECT_EQ(Column(QStringLiteral("Select * From Shippers WHERE CompanyName LIKE 'S*'"), 1),
              QStringList{QStringLiteral("Speedy Express")});
    EXPECT_EQ(Column(QStringLiteral("Select * From Shippers WHERE CompanyName LIKE 's?eedy*' AND ShipperID=1"), 1),
              QStringList{QStringLiteral("Speedy Express")});
    EXPECT_EQ(Open(QStringLiteral("SELECT * FROM Products WHERE Discontinued = True"))->RecordCount(), 8);
    EXPECT_EQ(Column(QStringLiteral("SELECT OrderID FROM Orders WHERE OrderDate = #11/16/1994# ORDER BY OrderID")),
              (QStringList{QStringLiteral("10330"), QStringLiteral("10331")}));
    EXPECT_EQ(Open(QStringLiteral("SELECT DISTINCTROW * FROM [Shippers]"))->RecordCount(), 3);
    EXPECT_EQ(Column(QStringLiteral("SELECT TOP 2 CompanyName FROM Shippers ORDER BY CompanyName")),
              (QStringList{QStringLiteral("Federal Shipping"), QStringLiteral("Speedy Express")}));
    EXPECT_EQ(Column(QStringLiteral("SELECT FirstName & ' ' & LastName AS Name FROM Employees WHERE EmployeeID = 1")),
              QStringList{QStringLiteral("Nancy Davolio")});

    EXPECT_EQ(ErrorOf([&] { Open(QStringLiteral("Select * From Order Details")); }), Backend().ErrorFor(3131))
        << "syntax error in FROM";
    EXPECT_EQ(ErrorOf([&] { Open(QStringLiteral("SELECT * FROM Nikde")); }), Backend().ErrorFor(JetError::NoSuchTable));
    EXPECT_EQ(ErrorOf([&] { Open(QStringLiteral("SELECT Neznámá(CompanyName) FROM Shippers")); }),
              Backend().ErrorFor(JetError::UndefinedFunction));
    EXPECT_EQ(ErrorOf([&] { Open(QStringLiteral("SELECT * FROM Shippers WHERE Phone = 'x'';")); }), JetError::SyntaxError);
    EXPECT_EQ(ErrorOf([&] { Open(QStringLiteral("DELETE FROM Shippers")); }), JetError::InvalidOperation);
    EXPECT_EQ(Open(QStringLiteral("SELECT * FROM Shippers"))->RecordCount(), 3);
}

TEST_P(Reading, JetFunctionsOfTheEngine)
{
    if (!Backend().JetDialect())
        GTEST_SKIP() << "an ODBC source runs its own functions";
    auto converted = Open(QStringLiteral("SELECT CCur(1.23456) AS C, CSng(0.1) AS S, DatePart('q', OrderDate) AS Q "
                                         "FROM Orders WHERE OrderID = 10331"));
    EXPECT_DOUBLE_EQ(converted->Fields()->Item(0)->Value().toDouble(), 1.2346);
    EXPECT_DOUBLE_EQ(converted->Fields()->Item(1)->Value().toDouble(), double(0.1f));
    EXPECT_EQ(converted->Fields()->Item(2)->Value().toInt(), 4);
}

TEST_P(Reading, ASecondStatementIsNeverRun)
{
    EXPECT_NE(ErrorOf([&] { Open(QStringLiteral("SELECT * FROM Shippers; DROP TABLE Shippers")); }), 0);
    EXPECT_NE(ErrorOf([&] { Open(QStringLiteral("SELECT * FROM Shippers WHERE Phone = 'a;b';DELETE FROM Shippers;")); }), 0);
    EXPECT_EQ(Open(QStringLiteral("SELECT * FROM Shippers;  "))->RecordCount(), 3) << "a closing semicolon is fine";
}

TEST_P(Reading, AnActionIsRefusedAsARecordSourceBeforeItRuns)
{
    // A server would run SELECT … INTO and a WITH … DELETE as the queries they look like.
    for (const char* action :
         {"DELETE FROM Shippers", "DELETE * FROM Shippers WHERE ShipperID = 1", "UPDATE Shippers SET Phone = 'x'",
          "INSERT INTO Shippers (CompanyName) VALUES ('x')", "SELECT * INTO Kopie FROM Shippers",
          "(SELECT CompanyName INTO Kopie FROM Shippers)", "CREATE TABLE Kopie (A INTEGER)",
          "WITH d AS (DELETE FROM Shippers RETURNING *) SELECT * FROM d",
          "PARAMETERS [Kdo] Text; UPDATE Shippers SET Phone = [Kdo]", "TRUNCATE TABLE Shippers; "})
        EXPECT_EQ(ErrorOf([&] { Open(QString::fromUtf8(action)); }), JetError::InvalidOperation) << action;
    EXPECT_EQ(Column(QStringLiteral("SELECT Phone FROM Shippers ORDER BY ShipperID")),
              (QStringList{QStringLiteral("(503) 555-9831"), QStringLiteral("(503) 555-3199"),
                           QStringLiteral("(503) 555-9931")}));
    EXPECT_EQ(ErrorOf([&] { Open(QStringLiteral("SELECT * FROM Kopie")); }), Backend().ErrorFor(JetError::NoSuchTable));
    // The words are only words inside a text.
    EXPECT_EQ(Open(QStringLiteral("SELECT * FROM Shippers WHERE CompanyName <> 'DELETE INTO x'"))->RecordCount(), 3);
}

TEST_P(Reading, JumpsAndWalksAgreeOnALargerTable)
{
    for (const QString& sql : {QStringLiteral("SELECT OrderID, ShipName FROM Orders ORDER BY OrderID DESC"),
                               QStringLiteral("SELECT OrderID, count(*) AS C FROM Orders GROUP BY OrderID ORDER BY OrderID DESC")}) {
        SCOPED_TRACE(sql.toStdString());
        auto rs = Open(sql);
        qint64 walked = 0;
        for (; !rs->Eof(); rs->MoveNext(), ++walked)
            ASSERT_EQ(rs->Fields()->Item(0)->Value().toInt(), 11077 - walked);
        EXPECT_EQ(walked, 830);
        for (int position : {415, 17, 829, 0, 423}) {
            rs->setAbsolutePosition(position);
            EXPECT_EQ(rs->Fields()->Item(0)->Value().toInt(), 11077 - position);
        }
        EXPECT_EQ(rs->RecordCount(), 830);
    }
}

TEST_P(Reading, EveryChangeOfARecordIsRefusedOnAReadOnlyFile)
{
    if (!Backend().ReadOnly())
        GTEST_SKIP() << "records can be changed here; Changing covers it";
    const QByteArray before = FileDigest(Backend().NorthwindFile());
    auto rs = Open(QStringLiteral("SELECT * FROM Shippers ORDER BY ShipperID"));
    EXPECT_FALSE(rs->Updatable());
    EXPECT_EQ(ErrorOf([&] { rs->Edit(); }), JetError::ReadOnly);
    EXPECT_EQ(ErrorOf([&] { rs->AddNew(); }), JetError::ReadOnly);
    EXPECT_EQ(ErrorOf([&] { rs->Delete(); }), JetError::ReadOnly);
    EXPECT_EQ(ErrorOf([&] { rs->Fields()->Item(1)->setValue(QStringLiteral("x")); }), JetError::ReadOnly);
    EXPECT_EQ(ErrorOf([&] { rs->Update(); }), JetError::UpdateWithoutEdit);
    EXPECT_EQ(rs->Fields()->Item(1)->Value().toString(), QStringLiteral("Speedy Express"));
    EXPECT_EQ(FileDigest(Backend().NorthwindFile()), before) << "the file is byte for byte as it was";
}

// Osoby on each backend that can be written.
class Changing : public EngineTest {
protected:
    void SetUp() override
    {
        EngineTest::SetUp();
        if (HasFatalFailure())
            return;
        if (Backend().ReadOnly())
            GTEST_SKIP() << "a read-only file: Reading.EveryChangeOfARecordIsRefusedOnAReadOnlyFile covers it";
        ASSERT_TRUE(m_dir.isValid());
        db = Backend().People(m_dir.path());
        AddPerson({1, QStringLiteral("Jana"), QStringLiteral("Nováková"), kBorn,
                   QVariant::fromValue(cCurrency::FromUnits(123456789)), true, QString()});
        AddPerson({2, QStringLiteral("Petr"), QVariant(), QVariant(), QVariant(), false, QStringLiteral("řádek\nřádek")});
        AddPerson({3, QStringLiteral("Nela"), QStringLiteral("Malá")});
    }
    void AddPerson(const QVariantList& values) { DatabaseTest::AddPerson(*db, values); }
    std::shared_ptr<Recordset> Open(const QString& sql = QStringLiteral("SELECT * FROM Osoby ORDER BY Id"))
    {
        return db->OpenRecordset(sql);
    }
    static QStringList Column(Recordset& rs, int field) { return DatabaseTest::Column(rs, field); }

    QTemporaryDir m_dir;
    std::shared_ptr<Database> db;
};
INSTANTIATE_ENGINE_SUITE(Changing);

TEST_P(Changing, ValuesComeBackAsWrittenNullApartFromEmptyText)
{
    auto rs = Open();
    auto field = [&](int i) { return rs->Fields()->Item(i)->Value(); };
    EXPECT_EQ(field(0).toInt(), 1);
    EXPECT_EQ(field(2).toString(), QStringLiteral("Nováková"));
    EXPECT_EQ(field(3).toDateTime(), kBorn);
    EXPECT_EQ(Units(field(4)), 123456789) << "money is exact to four places";
    EXPECT_EQ(field(5), QVariant(true));
    EXPECT_TRUE(field(6).isValid() && field(6).toString().isEmpty()) << "the empty text";
    rs->MoveNext();
    EXPECT_FALSE(field(2).isValid()) << "Null";
    EXPECT_FALSE(field(3).isValid());
    EXPECT_EQ(field(5), QVariant(false));
    EXPECT_EQ(field(6).toString(), QStringLiteral("řádek\nřádek"));
}

TEST_P(Changing, EditUpdateAndCancel)
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
    EXPECT_EQ(Units(rs->Fields()->Item(4)->Value()), 15002500);
    EXPECT_EQ(ErrorOf([&] { rs->Fields()->Item(2)->setValue(QStringLiteral("x")); }), JetError::UpdateWithoutEdit);
    EXPECT_EQ(ErrorOf([&] { rs->Update(); }), JetError::UpdateWithoutEdit);
}

TEST_P(Changing, UpdateEnforcesTheFieldRules)
{
    ScopedLocale czech(QStringLiteral("cs_CZ"));
    auto rs = Open();
    rs->Edit();
    if (Backend().KeepsZeroLengthRule()) {
        rs->Fields()->Item(1)->setValue(QString());
        EXPECT_EQ(ErrorOf([&] { rs->Update(); }), JetError::ZeroLength);
    }
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

TEST_P(Changing, UniqueKeysRefuseDuplicates)
{
    db = Backend().WithUniqueId(db);
    EXPECT_EQ(ErrorOf([&] { AddPerson({2, QStringLiteral("Dvojník")}); }), JetError::DuplicateKey);
    EXPECT_EQ(Open()->RecordCount(), 3);
}

TEST_P(Changing, AddNewAppendsAndDeleteRemoves)
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

TEST_P(Changing, QueriesOfSeveralTablesOrCalculatedFieldsAreReadOnly)
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
    EXPECT_TRUE(JetType::IsText(calculated->Fields()->Item(1)->Type()));
    EXPECT_EQ(calculated->Fields()->Item(1)->Value().toString(), QStringLiteral("Jana Nováková"));
    calculated->Edit();
    EXPECT_EQ(ErrorOf([&] { calculated->Fields()->Item(1)->setValue(QStringLiteral("x")); }), JetError::CannotUpdateField);
}
