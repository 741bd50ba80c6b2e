#include "DataTestSupport.h"
#include "EngineBackends.h"
#include "TestSupport.h"

#include "cRuntimeError.h"
#include "mFilter.h"
#include "mConvert.h"

#include <QTemporaryDir>
#include <QUuid>

#include <gtest/gtest.h>

TEST(FilteredQuery, NarrowsInPlaceWhereThatMeansTheSameAndReadsAnythingElseAsATable)
{
    const QString f = QStringLiteral("[Jméno] LIKE 'N*'");
    const struct {
        const char* query;
        const char* expected;
    } cases[] = {
        {"Select * From Osoby", "Select * From Osoby WHERE [Jméno] LIKE 'N*'"},
        {"SELECT * FROM Osoby WHERE Plat > 100", "SELECT * FROM Osoby WHERE Plat > 100 AND [Jméno] LIKE 'N*'"},
        {"select * from Osoby where a=1 or b=2", "select * from Osoby where (a=1 or b=2) AND [Jméno] LIKE 'N*'"},
        {"SELECT Osoby.*, Id FROM [Osoby] AS o ORDER BY Id;",
         "SELECT Osoby.*, Id FROM [Osoby] AS o WHERE [Jméno] LIKE 'N*' ORDER BY Id;"},
        {"SELECT * FROM T WHERE a = 'x WHERE y OR z' ORDER BY a DESC",
         "SELECT * FROM T WHERE a = 'x WHERE y OR z' AND [Jméno] LIKE 'N*' ORDER BY a DESC"},
        {"SELECT * FROM T WHERE Id IN (SELECT Id FROM U WHERE a OR b)",
         "SELECT * FROM T WHERE Id IN (SELECT Id FROM U WHERE a OR b) AND [Jméno] LIKE 'N*'"},
        {"SELECT a, Count(*) AS n FROM T GROUP BY a;",
         "SELECT * FROM (SELECT a, Count(*) AS n FROM T GROUP BY a) AS [Filtr] WHERE [Jméno] LIKE 'N*'"},
        {"SELECT * FROM A UNION SELECT * FROM B", "SELECT * FROM (SELECT * FROM A UNION SELECT * FROM B) AS [Filtr] WHERE [Jméno] LIKE 'N*'"},
        {"SELECT TOP 5 * FROM T", "SELECT * FROM (SELECT TOP 5 * FROM T) AS [Filtr] WHERE [Jméno] LIKE 'N*'"},
        {"SELECT Left(a, 1) FROM T", "SELECT * FROM (SELECT Left(a, 1) FROM T) AS [Filtr] WHERE [Jméno] LIKE 'N*'"},
        {"SELECT * FROM T INNER JOIN U ON T.a = U.a",
         "SELECT * FROM (SELECT * FROM T INNER JOIN U ON T.a = U.a) AS [Filtr] WHERE [Jméno] LIKE 'N*'"},
        {"SELECT * FROM (SELECT * FROM T) q", "SELECT * FROM (SELECT * FROM (SELECT * FROM T) q) AS [Filtr] WHERE [Jméno] LIKE 'N*'"},
        {"SELECT * FROM T WHERE a = 1 GROUP BY a",
         "SELECT * FROM (SELECT * FROM T WHERE a = 1 GROUP BY a) AS [Filtr] WHERE [Jméno] LIKE 'N*'"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(FilteredQuery(QString::fromUtf8(c.query), f), QString::fromUtf8(c.expected)) << c.query;
    EXPECT_EQ(FilteredQuery(QStringLiteral("Select * From Osoby"), QString()), QStringLiteral("Select * From Osoby"));
}

// Computed and renamed columns keep a query one SELECT of its table, so its records can
// still be edited; what cannot be written as a condition on the table is read as a table.
TEST(FilteredQuery, ShownNamesOfComputedColumnsBecomeTheirExpressions)
{
    const struct {
        const char* query;
        const char* condition;
        const char* expected;
    } cases[] = {
        {"SELECT Kód, Cena * 2 AS Dvakrát FROM Zboží", "[Dvakrát]=50",
         "SELECT Kód, Cena * 2 AS Dvakrát FROM Zboží WHERE (Cena * 2)=50"},
        {"SELECT Jméno AS [Křestní], Obec FROM T WHERE Obec <> 'Aš' ORDER BY 1", "[křestní] LIKE 'N*' AND [Obec] LIKE 'B*'",
         "SELECT Jméno AS [Křestní], Obec FROM T WHERE Obec <> 'Aš' AND (Jméno) LIKE 'N*' AND [Obec] LIKE 'B*' ORDER BY 1"},
        {"SELECT Obec AS Jméno, Jméno AS Obec FROM T", "[Jméno] LIKE 'Obec' AND Obec LIKE 'J*'",
         "SELECT Obec AS Jméno, Jméno AS Obec FROM T WHERE (Obec) LIKE 'Obec' AND (Jméno) LIKE 'J*'"},
        {"SELECT *, Left(a, 1) & 'x' AS D FROM T;", "[D] = 'ax'", "SELECT *, Left(a, 1) & 'x' AS D FROM T WHERE (Left(a, 1) & 'x') = 'ax';"},
        {"SELECT a, Count(*) AS N FROM T", "[N]=1", "SELECT * FROM (SELECT a, Count(*) AS N FROM T) AS [Filtr] WHERE [N]=1"},
        {"SELECT Left(a, 1), a * 2 AS D FROM T", "[D]=1",
         "SELECT * FROM (SELECT Left(a, 1), a * 2 AS D FROM T) AS [Filtr] WHERE [D]=1"},
        {"SELECT DISTINCT a * 2 AS D FROM T", "[D]=1", "SELECT * FROM (SELECT DISTINCT a * 2 AS D FROM T) AS [Filtr] WHERE [D]=1"},
        {"SELECT T.a * 2 AS D FROM T INNER JOIN U ON T.a = U.a", "[D]=1",
         "SELECT * FROM (SELECT T.a * 2 AS D FROM T INNER JOIN U ON T.a = U.a) AS [Filtr] WHERE [D]=1"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(FilteredQuery(QString::fromUtf8(c.query), QString::fromUtf8(c.condition)), QString::fromUtf8(c.expected))
            << c.query;
}

TEST(FilterTerms, TypedValuesBecomeLiteralsOfTheFieldsType)
{
    const ScopedLocale czech(QStringLiteral("cs_CZ"));
    EXPECT_EQ(JetFilterTerm(QStringLiteral("Příjmení"), JetType::Text, QStringLiteral("O'Brien*")),
              QStringLiteral("[Příjmení] LIKE 'O''Brien*'"));
    EXPECT_EQ(JetFilterTerm(QStringLiteral("Plat"), JetType::Currency, QStringLiteral("12,5")), QStringLiteral("[Plat]=12.5"));
    EXPECT_EQ(JetFilterTerm(QStringLiteral("Plat"), JetType::Currency, QStringLiteral("-0,0001")),
              QStringLiteral("[Plat]=-0.0001"));
    EXPECT_EQ(JetFilterTerm(QStringLiteral("Podíl"), JetType::Double, QStringLiteral("0,1")), QStringLiteral("[Podíl]=0.1"));
    EXPECT_EQ(JetFilterTerm(QStringLiteral("Narozen"), JetType::Date, QStringLiteral("6.12.2026")),
              QStringLiteral("[Narozen]=#12/6/2026#"));
    EXPECT_EQ(JetFilterTerm(QStringLiteral("Kdy"), JetType::Date, QStringLiteral("6.12.2026 8:05:09")),
              QStringLiteral("[Kdy]=#12/6/2026 8:05:09#"));
    EXPECT_EQ(JetFilterTerm(QStringLiteral("Aktivní"), JetType::Boolean, QStringLiteral("Ano")),
              QStringLiteral("NOT ([Aktivní]=False)"));
    EXPECT_EQ(JetFilterTerm(QStringLiteral("Aktivní"), JetType::Boolean, QStringLiteral("Ne")),
              QStringLiteral("[Aktivní]=False"));
    EXPECT_EQ(JetFilterTerm(QStringLiteral("Kč]Eur"), JetType::Long, QStringLiteral("5")), QStringLiteral("[Kč]]Eur]=5"));
    for (const auto& [type, typed] : {std::pair{JetType::Long, "pět"}, std::pair{JetType::Date, "32.1.2026"},
                                      std::pair{JetType::Integer, "40000"}, std::pair{JetType::Binary, "00"}}) {
        try {
            JetFilterTerm(QStringLiteral("Pole"), type, QString::fromUtf8(typed));
            ADD_FAILURE() << typed << " was taken";
        } catch (const cRuntimeError& e) {
            EXPECT_EQ(e.Number(), kConversionErrorNumber) << typed;
        }
    }
}

namespace {
class FilterValues : public DatabaseTest {};
} // namespace

// A file made by another program: its flags hold 1 where Jet's hold -1, its GUIDs are text
// in either case. Yes and a GUID find the rows however they were stored, Quarnel's own too.
TEST_F(FilterValues, YesAndGuidsFindEveryWayTheyAreStored)
{
    const ScopedLocale czech(QStringLiteral("cs_CZ"));
    const QString file = PathOf(QStringLiteral("jiny.db"));
    RawExec(file, "PRAGMA journal_mode=WAL;"
                  "CREATE TABLE Stav (Id INTEGER PRIMARY KEY, Hotovo BOOLEAN, Klic GUID);"
                  "INSERT INTO Stav VALUES (1, 1, '{6B29FC40-CA47-1067-B31D-00DD010662DA}'),"
                  " (2, -1, '{6b29fc40-ca47-1067-b31d-00dd010662da}'),"
                  " (3, 0, '{0E984725-C51C-4BF4-9960-E1C80E27ABA0}'), (4, NULL, NULL);");
    auto db = DBEngine::Instance().OpenDatabase(file);
    {
        auto rs = db->OpenRecordset(QStringLiteral("SELECT * FROM Stav"));
        ASSERT_EQ(rs->Fields()->Item(1)->Type(), JetType::Boolean);
        ASSERT_EQ(rs->Fields()->Item(2)->Type(), JetType::Guid);
        rs->AddNew();
        rs->SetFieldValue(0, 5);
        rs->SetFieldValue(1, true);
        rs->SetFieldValue(2, QUuid::fromString(QStringLiteral("{0e984725-c51c-4bf4-9960-e1c80e27aba0}")));
        rs->Update();
    }
    const auto ids = [&](const char* field, int type, const char* typed) {
        auto found = db->OpenRecordset(FilteredQuery(QStringLiteral("SELECT * FROM Stav ORDER BY Id"),
                                                     JetFilterTerm(QString::fromUtf8(field), type, QString::fromUtf8(typed))));
        return Column(*found, 0).join(u',').toStdString();
    };
    EXPECT_EQ(ids("Hotovo", JetType::Boolean, "Ano"), "1,2,5");
    EXPECT_EQ(ids("Hotovo", JetType::Boolean, "Ne"), "3");
    EXPECT_EQ(ids("Klic", JetType::Guid, "{6B29FC40-CA47-1067-B31D-00DD010662DA}"), "1,2");
    EXPECT_EQ(ids("Klic", JetType::Guid, "{0e984725-c51c-4bf4-9960-e1c80e27aba0}"), "3,5");
}

// Every backend finds the same rows for a filter as for the condition written by hand.
class Filtering : public EngineTest {};
INSTANTIATE_ENGINE_SUITE(Filtering);

TEST_P(Filtering, AFilterFindsWhatTheConditionWrittenByHandFinds)
{
    const ScopedLocale czech(QStringLiteral("cs_CZ"));
    auto db = Backend().Northwind();
    ASSERT_NE(db, nullptr);
    const auto rows = [&db](const QString& sql) {
        auto rs = db->OpenRecordset(sql);
        return DatabaseTest::Column(*rs, 0);
    };
    const struct {
        const char* query;
        const char* field;
        int type;
        const char* typed;
        const char* byHand;
    } cases[] = {
        {"SELECT * FROM Products", "ProductName", JetType::Text, "Sir Rodney's*",
         "SELECT * FROM Products WHERE ProductID IN (20, 21)"},
        {"SELECT * FROM Products", "ProductName", JetType::Text, "ch?i", "SELECT * FROM Products WHERE ProductID = 1"},
        {"SELECT * FROM Products", "UnitPrice", JetType::Currency, "12,5",
         "SELECT * FROM Products WHERE UnitPrice = 12.5"},
        {"SELECT * FROM Orders", "OrderDate", JetType::Date, "16.11.1994",
         "SELECT * FROM Orders WHERE OrderDate = #11/16/1994#"},
        {"SELECT * FROM Products WHERE CategoryID = 1 OR CategoryID = 2", "SupplierID", JetType::Long, "3",
         "SELECT * FROM Products WHERE CategoryID IN (1, 2) AND SupplierID = 3"},
        {"select ProductID, ProductName, CategoryID from Products where UnitPrice > 20 order by ProductName desc",
         "CategoryID", JetType::Long, "1",
         "SELECT ProductID FROM Products WHERE UnitPrice > 20 AND CategoryID = 1 ORDER BY ProductName DESC"},
        {"SELECT CategoryID, Count(*) AS Pocet FROM Products GROUP BY CategoryID", "Pocet", JetType::Long, "13",
         "SELECT CategoryID FROM Products GROUP BY CategoryID HAVING Count(*) = 13"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.query);
        // The name as the source spells it, as the filter form takes it from the recordset.
        QString name;
        const auto shown = db->OpenRecordset(QString::fromUtf8(c.query));
        for (const auto& field : *shown->Fields())
            if (field->Name().compare(QString::fromUtf8(c.field), Qt::CaseInsensitive) == 0)
                name = field->Name();
        const QString term = JetFilterTerm(name, c.type, QString::fromUtf8(c.typed));
        const QStringList expected = rows(QString::fromUtf8(c.byHand));
        ASSERT_FALSE(expected.isEmpty());
        EXPECT_EQ(rows(FilteredQuery(QString::fromUtf8(c.query), term)), expected) << term.toStdString();
    }
}

TEST_P(Filtering, JetsWildcardsMeanTheSameOnEverySource)
{
    if (Backend().ReadOnly())
        GTEST_SKIP() << "the rows are written first";
    QTemporaryDir dir;
    auto db = Backend().People(dir.path());
    auto rs = db->OpenRecordset(QStringLiteral("SELECT * FROM Osoby"));
    int id = 10;
    for (const char* name : {"Jana", "50%", "500", "a_b", "axb", "Nový7", "Nový", "x\\y", "[a]", "Čapek", "100!"}) {
        rs->AddNew();
        rs->SetFieldValue(0, id++);
        rs->SetFieldValue(1, QString::fromUtf8(name));
        rs->Update();
    }
    const auto found = [&](const char* pattern) {
        auto names = db->OpenRecordset(FilteredQuery(
            QStringLiteral("SELECT * FROM Osoby ORDER BY Id"),
            JetFilterTerm(rs->Fields()->Item(1)->Name(), JetType::Text, QString::fromUtf8(pattern))));
        return DatabaseTest::Column(*names, 1).join(u'|').toStdString();
    };
    EXPECT_EQ(found("50%"), "50%") << "% is a character";
    EXPECT_EQ(found("a_b"), "a_b") << "_ is a character";
    EXPECT_EQ(found("5#*"), "50%|500");
    EXPECT_EQ(found("Nový#"), "Nový7");
    EXPECT_EQ(found("[jn]*"), "Jana|Nový7|Nový") << "classes ignore case as Jet does";
    EXPECT_EQ(found("[!a-mo-z5]??*"), "Nový7|Nový|[a]|Čapek|100!");
    EXPECT_EQ(found("jana"), "Jana");
    EXPECT_EQ(found("x\\y"), "x\\y");
    EXPECT_EQ(found("[[]a]"), "[a]");
    EXPECT_EQ(found("čap*"), "Čapek") << "case is ignored beyond ASCII, whatever the server's locale";
    EXPECT_EQ(found("NOVÝ"), "Nový");
    EXPECT_EQ(found("*!"), "100!");
}
