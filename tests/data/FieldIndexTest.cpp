#include "DataTestSupport.h"

#include "Database.h"
#include "Field.h"
#include "Recordset.h"
#include "TableDef.h"
#include "cSqliteDriver.h"
#include "cWorkControl.h"
#include "mFilter.h"
#include "mJetErrors.h"
#include "mSampleData.h"

#include <QSet>

#include <thread>

namespace {

class FieldIndex : public DatabaseTest {
protected:
    void Open(const QString& script)
    {
        path = PathOf(QStringLiteral("indexy.db"));
        CreateDatabaseFromScript(path, script);
        db = DBEngine::Instance().OpenDatabase(path);
        driver = std::dynamic_pointer_cast<cSqliteDriver>(db->SharedDriver());
    }
    std::shared_ptr<Field> FieldOf(const QString& table, const QString& field)
    {
        db->TableDefs()->Refresh();
        return db->TableDefs()->Item(table)->Fields()->Item(field);
    }
    FieldIndexing StateOf(const QString& table, const QString& field) { return FieldOf(table, field)->Indexing(); }
    QString Schema()
    {
        sqlite3* raw = nullptr;
        sqlite3_open(path.toUtf8().constData(), &raw);
        const QString rows = PlainRows(raw, QStringLiteral("SELECT type, name, sql FROM sqlite_master ORDER BY name"));
        sqlite3_close(raw);
        return rows;
    }
    // The plan SQLite makes for the record source as the engine runs it.
    QString Plan(const QString& jet)
    {
        return PlainRows(driver->Handle(), QStringLiteral("EXPLAIN QUERY PLAN ") + driver->Translate(jet));
    }
    QStringList Rows(const QString& jet, int field = 0)
    {
        auto rs = db->OpenRecordset(jet);
        QStringList values = Column(*rs, field);
        values.sort();
        return values;
    }

    QString path;
    std::shared_ptr<Database> db;
    std::shared_ptr<cSqliteDriver> driver;
};

} // namespace

TEST_F(FieldIndex, TheStateIsReadWhoeverMadeTheIndexAndChangesAsAsked)
{
    Open(QStringLiteral(
        "CREATE TABLE \"Lidé \"\"a\"\" ]%\" (Id INTEGER PRIMARY KEY, Jméno TEXT(50) COLLATE NOCASE, Obec TEXT(50) "
        "COLLATE NOCASE, Kód TEXT(10) COLLATE NOCASE UNIQUE, Věk INTEGER);"
        "CREATE INDEX \"cizí ]% \"\"x\" ON \"Lidé \"\"a\"\" ]%\" (Obec);"
        "CREATE INDEX dvě ON \"Lidé \"\"a\"\" ]%\" (Jméno, Obec);"
        "CREATE INDEX částečný ON \"Lidé \"\"a\"\" ]%\" (Věk) WHERE Věk > 10;"
        "CREATE VIEW \"Lidé \"\"a\"\" ]%_Věk_idx\" AS SELECT 1;"
        "INSERT INTO \"Lidé \"\"a\"\" ]%\" VALUES (1, 'Eva', 'Brno', 'A', 30), (2, 'Petr', 'brno', 'B', 40), "
        "(3, 'eva', NULL, NULL, NULL), (4, NULL, NULL, NULL, NULL);"));
    const QString table = QStringLiteral("Lidé \"a\" ]%");
    EXPECT_EQ(StateOf(table, QStringLiteral("Id")), FieldIndexing::PrimaryKey);
    EXPECT_EQ(StateOf(table, QStringLiteral("Obec")), FieldIndexing::Duplicates);
    EXPECT_EQ(StateOf(table, QStringLiteral("Kód")), FieldIndexing::Unique);
    // Neither an index of two fields nor one with a condition finds every row by one field.
    EXPECT_EQ(StateOf(table, QStringLiteral("Jméno")), FieldIndexing::None);
    EXPECT_EQ(StateOf(table, QStringLiteral("Věk")), FieldIndexing::None);

    // "eva" and "Eva" are one value to a text index, as to Jet: refused, nothing changed.
    const QString before = Schema();
    EXPECT_EQ(ErrorOf([&] { FieldOf(table, QStringLiteral("Jméno"))->setIndexing(FieldIndexing::Unique); }),
              JetError::DuplicateKey);
    EXPECT_EQ(ErrorOf([&] { FieldOf(table, QStringLiteral("Obec"))->setIndexing(FieldIndexing::Unique); }),
              JetError::DuplicateKey);
    EXPECT_EQ(Schema(), before);

    FieldOf(table, QStringLiteral("Jméno"))->setIndexing(FieldIndexing::Duplicates);
    FieldOf(table, QStringLiteral("Věk"))->setIndexing(FieldIndexing::Unique);
    EXPECT_EQ(StateOf(table, QStringLiteral("Jméno")), FieldIndexing::Duplicates);
    EXPECT_EQ(StateOf(table, QStringLiteral("Věk")), FieldIndexing::Unique);
    const QString made = Schema();
    EXPECT_TRUE(made.contains(QStringLiteral("index|Lidé \"a\" ]%_Jméno_idx|CREATE INDEX \"Lidé \"\"a\"\" ]%_Jméno_idx\"")))
        << made.toStdString();
    // The name a view has taken is not taken from it.
    EXPECT_TRUE(made.contains(QStringLiteral("index|Lidé \"a\" ]%_Věk_idx_2|CREATE UNIQUE INDEX"))) << made.toStdString();

    // Another program's index goes when the field is to have none; a UNIQUE of the
    // table's definition cannot go without a rewrite, and the primary key stays.
    FieldOf(table, QStringLiteral("Obec"))->setIndexing(FieldIndexing::None);
    EXPECT_EQ(StateOf(table, QStringLiteral("Obec")), FieldIndexing::None);
    EXPECT_FALSE(Schema().contains(QStringLiteral("cizí")));
    EXPECT_EQ(ErrorOf([&] { FieldOf(table, QStringLiteral("Kód"))->setIndexing(FieldIndexing::None); }),
              JetError::InvalidOperation);
    EXPECT_EQ(ErrorOf([&] { FieldOf(table, QStringLiteral("Id"))->setIndexing(FieldIndexing::None); }),
              JetError::InvalidOperation);
    EXPECT_EQ(ErrorOf([&] { FieldOf(table, QStringLiteral("Chybí"))->setIndexing(FieldIndexing::None); }),
              JetError::ItemNotFound);

    // A rewrite of the table (a field moved) keeps every index.
    FieldSchema moved = FieldOf(table, QStringLiteral("Věk"))->Schema();
    FieldOf(table, QStringLiteral("Věk"))->Alter(moved, 0);
    EXPECT_EQ(StateOf(table, QStringLiteral("Věk")), FieldIndexing::Unique);
    EXPECT_EQ(StateOf(table, QStringLiteral("Jméno")), FieldIndexing::Duplicates);
    EXPECT_EQ(StateOf(table, QStringLiteral("Kód")), FieldIndexing::Unique);
}

// A table whose identity hides behind a column of its name, or that has none, is indexed
// like any other.
TEST_F(FieldIndex, TablesWithoutTheUsualIdentityAreIndexedToo)
{
    Open(QStringLiteral("CREATE TABLE Stín (rowid TEXT, Obec TEXT(50));"
                        "INSERT INTO Stín VALUES ('x', 'Brno'), (NULL, 'Zlín');"
                        "CREATE TABLE Bez (Kód TEXT(10) PRIMARY KEY, Obec TEXT(50)) WITHOUT ROWID;"
                        "INSERT INTO Bez VALUES ('a', 'Brno'), ('b', 'brno');"));
    for (const QString& table : {QStringLiteral("Stín"), QStringLiteral("Bez")}) {
        SCOPED_TRACE(table.toStdString());
        FieldOf(table, QStringLiteral("Obec"))->setIndexing(FieldIndexing::Duplicates);
        EXPECT_EQ(StateOf(table, QStringLiteral("Obec")), FieldIndexing::Duplicates);
    }
    EXPECT_EQ(ErrorOf([&] { FieldOf(QStringLiteral("Bez"), QStringLiteral("Obec"))->setIndexing(FieldIndexing::Unique); }),
              JetError::DuplicateKey);
}

TEST_F(FieldIndex, AStopWhileTheIndexIsMadeLeavesTheFileAsItWas)
{
    const QString file = PathOf(QStringLiteral("velka.db"));
    GenerateLargeDatabase(file, 300000);
    path = file;
    db = DBEngine::Instance().OpenDatabase(path);
    const QString before = Schema();
    cWorkControl control([this] { db->Interrupt(); });
    std::thread stopper([&] {
        while (control.Percent() < 0)
            std::this_thread::yield();
        control.RequestStop();
    });
    const int error = ErrorOf([&] { FieldOf(QStringLiteral("Velka"), QStringLiteral("Jmeno"))->setIndexing(
                                        FieldIndexing::Duplicates, &control); });
    stopper.join();
    EXPECT_EQ(error, JetError::Cancelled);
    EXPECT_EQ(Schema(), before);
    EXPECT_EQ(StateOf(QStringLiteral("Velka"), QStringLiteral("Jmeno")), FieldIndexing::None);
}

TEST_F(FieldIndex, AFilterUsesTheIndexOnlyWhereItFindsEveryRowAndFindsTheSameRows)
{
    Open(QStringLiteral(
        "CREATE TABLE T (Id INTEGER PRIMARY KEY, Jméno TEXT(50) COLLATE NOCASE, Věk INTEGER, Datum DATETIME);"
        "INSERT INTO T (Jméno, Věk, Datum) VALUES ('abc', 1, '2020-01-02 00:00:00'), ('ABC', 2, NULL), "
        "('Abč', 3, '2020-01-02 10:30:00'), ('chata', 4, NULL), ('Chata', 5, NULL), ('CHATA', NULL, NULL), "
        "('čaj', 30, NULL), ('Čaj', 31, NULL), ('ČAJ', 32, NULL), ('čajovna', 33, NULL), "
        "(char(0x212A) || 'očka', 40, NULL), ('kočka', 41, NULL), ('KOČKA', 42, NULL), "
        "(char(0x017F) || 'al', 50, NULL), ('sal', 51, NULL), ('SAL', 52, NULL), "
        "('', 60, NULL), (NULL, 61, NULL), ('12', 62, NULL), ('a*b', 63, NULL), ('ab%', 64, NULL), "
        "('O''Brien', 65, NULL), ('Zz' || char(0x10FFFF), 66, NULL), ('ß', 67, NULL), ('ẞ', 68, NULL);"));
    const QString whole = QStringLiteral("SELECT * FROM T");
    const QStringList patterns{
        QStringLiteral("abc"),   QStringLiteral("AB*"),   QStringLiteral("čaj"),    QStringLiteral("ČA*"),
        QStringLiteral("kočka"), QStringLiteral("KO*"),   QStringLiteral("sal"),    QStringLiteral("S*"),
        QStringLiteral("12"),    QStringLiteral(""),      QStringLiteral("a?c"),    QStringLiteral("*b*"),
        QStringLiteral("o'b*"),  QStringLiteral("ch*"),   QStringLiteral("a[*]b"),  QStringLiteral("zz*"),
        QStringLiteral("ß"),     QStringLiteral("ab%"),   QStringLiteral("*")};
    auto filterOf = [&](const QString& pattern) {
        return FilteredQuery(whole, JetFilterTerm(QStringLiteral("Jméno"), JetType::Text, pattern));
    };
    QHash<QString, QStringList> scanned;
    for (const QString& pattern : patterns)
        scanned.insert(pattern, Rows(filterOf(pattern)));
    EXPECT_EQ(scanned.value(QStringLiteral("kočka")).size(), 3);
    EXPECT_EQ(scanned.value(QStringLiteral("S*")).size(), 3);
    EXPECT_EQ(scanned.value(QStringLiteral("ß")).size(), 2);

    FieldOf(QStringLiteral("T"), QStringLiteral("Jméno"))->setIndexing(FieldIndexing::Duplicates);
    for (const QString& pattern : patterns) {
        EXPECT_EQ(Rows(filterOf(pattern)), scanned.value(pattern)) << pattern.toStdString();
        const bool exact = !pattern.contains(u'?') && !pattern.contains(u'[') && !pattern.startsWith(u'*')
                           && !pattern.isEmpty();
        EXPECT_EQ(Plan(filterOf(pattern)).contains(QStringLiteral("USING INDEX")), exact)
            << pattern.toStdString() << ' ' << Plan(filterOf(pattern)).toStdString();
    }
    // One value no text index orders among the texts: every pattern scans, and finds it.
    ExecSql(driver->Handle(), QStringLiteral("INSERT INTO T (Jméno) VALUES (CAST('abc' AS BLOB))"));
    EXPECT_FALSE(Plan(filterOf(QStringLiteral("abc"))).contains(QStringLiteral("USING INDEX")));
    EXPECT_EQ(Rows(filterOf(QStringLiteral("abc"))).size(), scanned.value(QStringLiteral("abc")).size() + 1);

    // Numbers and dates: equality and ranges go by their index as SQLite compares them.
    const QStringList conditions{QStringLiteral("[Věk]=31"), QStringLiteral("[Věk]>=30 AND [Věk]<41"),
                                 QStringLiteral("[Datum]=#1/2/2020#"),
                                 QStringLiteral("[Datum]>=#1/2/2020# AND [Datum]<#1/3/2020#")};
    QHash<QString, QStringList> before;
    for (const QString& condition : conditions)
        before.insert(condition, Rows(FilteredQuery(whole, condition)));
    FieldOf(QStringLiteral("T"), QStringLiteral("Věk"))->setIndexing(FieldIndexing::Duplicates);
    FieldOf(QStringLiteral("T"), QStringLiteral("Datum"))->setIndexing(FieldIndexing::Duplicates);
    for (const QString& condition : conditions) {
        EXPECT_EQ(Rows(FilteredQuery(whole, condition)), before.value(condition)) << condition.toStdString();
        EXPECT_TRUE(Plan(FilteredQuery(whole, condition)).contains(QStringLiteral("USING INDEX")))
            << condition.toStdString();
    }
    EXPECT_EQ(before.value(QStringLiteral("[Věk]>=30 AND [Věk]<41")).size(), 5);
    EXPECT_EQ(before.value(QStringLiteral("[Datum]>=#1/2/2020# AND [Datum]<#1/3/2020#")).size(), 2);
}

TEST_F(FieldIndex, AnAccessFileTellsItsIndexesAndChangesNone)
{
    db = DBEngine::Instance().OpenDatabase(QStringLiteral(QUARNEL_TESTDATA "/nwind.mdb"));
    EXPECT_EQ(StateOf(QStringLiteral("Customers"), QStringLiteral("CustomerID")), FieldIndexing::PrimaryKey);
    EXPECT_EQ(StateOf(QStringLiteral("Customers"), QStringLiteral("City")), FieldIndexing::Duplicates);
    EXPECT_EQ(StateOf(QStringLiteral("Customers"), QStringLiteral("Address")), FieldIndexing::None);
    EXPECT_EQ(ErrorOf([&] { FieldOf(QStringLiteral("Customers"), QStringLiteral("Address"))
                                ->setIndexing(FieldIndexing::Duplicates); }),
              JetError::ReadOnly);
}
