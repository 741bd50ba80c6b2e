#include "DataTestSupport.h"
#include "OdbcTestSupport.h"

#include "cMdbDriver.h"
#include "cRelationTexts.h"
#include "cSqliteDriver.h"

#include <QTemporaryDir>

namespace {

// Regions and towns that refer to them, in names SQL must quote: blanks, ], %, quotes.
constexpr const char* kTownsSql =
    "CREATE TABLE \"Kraj ]%'\"\"\" (Kód INTEGER PRIMARY KEY, Název VARCHAR(40), Zkratka VARCHAR(3));"
    "INSERT INTO \"Kraj ]%'\"\"\" VALUES (1, 'Jihomoravský', 'JM'), (2, 'Zlínský', 'ZL'), (3, NULL, 'XX');"
    "CREATE TABLE Obec (Id INTEGER PRIMARY KEY, Jméno VARCHAR(40), \"Kraj obce\" INTEGER "
    "REFERENCES \"KRAJ ]%'\"\"\" (Kód), Okres INTEGER REFERENCES \"Kraj ]%'\"\"\");"
    "INSERT INTO Obec VALUES (10, 'Brno', 1, 2), (11, 'Zlín', 2, 1), (12, 'Nikde', 9, NULL), (13, 'Bez', NULL, 3);";
const QString kRegion = QStringLiteral("Kraj ]%'\"");

QString Describe(const QList<RelationSchema>& relations)
{
    QStringList lines;
    for (const RelationSchema& r : relations)
        lines << r.Table + u'(' + r.Fields.join(u',') + QStringLiteral(")->") + r.ReferredTable + u'('
                     + r.ReferredFields.join(u',') + u')';
    lines.sort();
    return lines.join(u'\n');
}

class RelationsSqlite : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_dir.isValid());
        m_path = m_dir.filePath(QStringLiteral("obce.db"));
        RawExec(m_path, kTownsSql);
    }
    std::shared_ptr<cSqliteDriver> Open() { return cSqliteDriver::Open(m_path, false); }

    QTemporaryDir m_dir;
    QString m_path;
};

} // namespace

TEST_F(RelationsSqlite, ForeignKeysAreReadWithTheirParentsAsStoredAndImplicitKeysResolved)
{
    RawExec(m_path, "CREATE TABLE Párová (a INTEGER, b INTEGER, PRIMARY KEY (a, b)) WITHOUT ROWID;"
                    "CREATE TABLE Dítě (x INTEGER, y INTEGER, z INTEGER REFERENCES Chybí (id), "
                    "FOREIGN KEY (x, y) REFERENCES Párová);"
                    "CREATE TABLE Řádky (rowid INTEGER UNIQUE, t TEXT);"
                    "CREATE TABLE Odkaz (r INTEGER REFERENCES Řádky (rowid), n INTEGER REFERENCES Bezklíčová);"
                    "CREATE TABLE Bezklíčová (t TEXT);");
    EXPECT_EQ(Describe(Open()->Relations()),
              QStringLiteral("Dítě(x,y)->Párová(a,b)\n"
                             "Obec(Kraj obce)->%1(Kód)\n"
                             "Obec(Okres)->%1(Kód)\n"
                             "Odkaz(r)->Řádky(rowid)")
                  .arg(kRegion));
}

TEST_F(RelationsSqlite, TheReferredRowsFirstTextIsSaidAndNothingElse)
{
    cRelationTexts texts(Open());
    EXPECT_TRUE(texts.Refers(QStringLiteral("Obec"), QStringLiteral("Kraj obce")));
    EXPECT_TRUE(texts.Refers(QStringLiteral("OBEC"), QStringLiteral("okres")));
    EXPECT_FALSE(texts.Refers(QStringLiteral("Obec"), QStringLiteral("Jméno")));
    EXPECT_FALSE(texts.Refers(kRegion, QStringLiteral("Kód")));
    EXPECT_EQ(texts.ReferredTable(QStringLiteral("Obec"), QStringLiteral("Okres")), kRegion);

    EXPECT_EQ(texts.TextOf(QStringLiteral("Obec"), QStringLiteral("Kraj obce"), 1), QStringLiteral("Jihomoravský"));
    EXPECT_EQ(texts.TextOf(QStringLiteral("Obec"), QStringLiteral("Okres"), qint64(2)), QStringLiteral("Zlínský"));
    // No such row, a Null value, a Null text, a field that refers nowhere.
    EXPECT_EQ(texts.TextOf(QStringLiteral("Obec"), QStringLiteral("Kraj obce"), 9), QString());
    EXPECT_EQ(texts.TextOf(QStringLiteral("Obec"), QStringLiteral("Kraj obce"), QVariant()), QString());
    EXPECT_EQ(texts.TextOf(QStringLiteral("Obec"), QStringLiteral("Kraj obce"), 3), QString());
    EXPECT_EQ(texts.TextOf(QStringLiteral("Obec"), QStringLiteral("Jméno"), QStringLiteral("Brno")), QString());
    // A value that only looks like SQL is a value.
    EXPECT_EQ(texts.TextOf(QStringLiteral("Obec"), QStringLiteral("Okres"), QStringLiteral("1 OR 1=1")), QString());
}

TEST_F(RelationsSqlite, ATextKeyOrATableWithoutAnotherTextIsNoReference)
{
    RawExec(m_path, "CREATE TABLE Stát (Kód VARCHAR(2) PRIMARY KEY, Počet INTEGER);"
                    "CREATE TABLE Země (Kód VARCHAR(2) PRIMARY KEY, Jméno VARCHAR(20));"
                    "INSERT INTO Země VALUES ('CZ', 'Česko');"
                    "CREATE TABLE Firma (Id INTEGER PRIMARY KEY, Název VARCHAR(20), Stát VARCHAR(2) REFERENCES Stát, "
                    "Země VARCHAR(2) REFERENCES Země, Šéf INTEGER REFERENCES Firma (rowid), "
                    "Nadřízená INTEGER REFERENCES Firma);"
                    "INSERT INTO Firma (Id, Název) VALUES (5, 'Matka');");
    cRelationTexts texts(Open());
    EXPECT_FALSE(texts.Refers(QStringLiteral("Firma"), QStringLiteral("Stát")));
    EXPECT_TRUE(texts.Refers(QStringLiteral("Firma"), QStringLiteral("Země")));
    // The row identity is no field: there is nothing to look up by.
    EXPECT_FALSE(texts.Refers(QStringLiteral("Firma"), QStringLiteral("Šéf")));
    EXPECT_EQ(texts.TextOf(QStringLiteral("Firma"), QStringLiteral("Země"), QStringLiteral("CZ")), QStringLiteral("Česko"));
    // A table that refers to itself by its key.
    EXPECT_EQ(texts.TextOf(QStringLiteral("Firma"), QStringLiteral("Nadřízená"), 5), QStringLiteral("Matka"));
}

TEST_F(RelationsSqlite, RowsInOrderCostOneLookupPerValueAndTheCacheStaysWithinItsBound)
{
    auto driver = Open();
    cRelationTexts texts(driver, 2);
    const QString town = QStringLiteral("Obec"), field = QStringLiteral("Kraj obce");
    for (int round = 0; round < 5; ++round) {
        EXPECT_EQ(texts.TextOf(town, field, 1), QStringLiteral("Jihomoravský"));
        EXPECT_EQ(texts.TextOf(town, field, 2), QStringLiteral("Zlínský"));
    }
    EXPECT_EQ(texts.Lookups(), 2);
    // A third value pushes out the least recently asked (1), not the one just asked.
    texts.TextOf(town, field, 2);
    texts.TextOf(town, field, 9);
    EXPECT_EQ(texts.Cached(), 2);
    texts.TextOf(town, field, 2);
    EXPECT_EQ(texts.Lookups(), 3);
    texts.TextOf(town, field, 1);
    EXPECT_EQ(texts.Lookups(), 4);
    // Both fields refer to the same rows: the texts are shared.
    texts.TextOf(town, QStringLiteral("Okres"), 1);
    EXPECT_EQ(texts.Lookups(), 4);
}

TEST_F(RelationsSqlite, ALookupThatFailsGivesNoTextAndNeverThrows)
{
    auto driver = Open();
    cRelationTexts texts(driver);
    ASSERT_TRUE(texts.Refers(QStringLiteral("Obec"), QStringLiteral("Okres")));
    RawExec(m_path, "PRAGMA foreign_keys = OFF; DROP TABLE \"Kraj ]%'\"\"\";");
    EXPECT_EQ(texts.TextOf(QStringLiteral("Obec"), QStringLiteral("Okres"), 1), QString());
    EXPECT_EQ(texts.TextOf(QStringLiteral("Obec"), QStringLiteral("Okres"), 2), QString());
    driver->Close();
    EXPECT_EQ(texts.TextOf(QStringLiteral("Obec"), QStringLiteral("Kraj obce"), 1), QString());
    // A closed database has no relations to say.
    cRelationTexts later(driver);
    EXPECT_FALSE(later.Refers(QStringLiteral("Obec"), QStringLiteral("Okres")));
}

TEST_F(RelationsSqlite, AQueryOverTheTableIsFollowedByItsFieldsSource)
{
    auto driver = Open();
    auto rs = Recordset::Open(driver, QStringLiteral("SELECT Jméno, [Kraj obce] AS Kraj FROM Obec ORDER BY Id"));
    const FieldSchema region = rs->Fields()->Item(1)->Schema();
    cRelationTexts texts(driver);
    ASSERT_TRUE(texts.Refers(region.SourceTable, region.SourceField));
    EXPECT_EQ(texts.TextOf(region.SourceTable, region.SourceField, rs->FieldValue(1)), QStringLiteral("Jihomoravský"));
}

TEST(RelationsAccess, NorthwindsRelationshipsAreReadAndFollowed)
{
    auto driver = cMdbDriver::Open(QStringLiteral(QUARNEL_TESTDATA "/nwind.mdb"));
    const QList<RelationSchema> relations = driver->Relations();
    ASSERT_EQ(relations.size(), 7);
    const auto shippers = std::find_if(relations.begin(), relations.end(),
                                       [](const RelationSchema& r) { return r.Name == QLatin1String("ShippersOrders"); });
    ASSERT_NE(shippers, relations.end());
    EXPECT_EQ(Describe({*shippers}), QStringLiteral("Orders(ShipVia)->Shippers(ShipperID)"));

    cRelationTexts texts(driver);
    EXPECT_EQ(texts.TextOf(QStringLiteral("Orders"), QStringLiteral("ShipVia"), 1), QStringLiteral("Speedy Express"));
    EXPECT_EQ(texts.TextOf(QStringLiteral("Products"), QStringLiteral("CategoryID"), 1), QStringLiteral("Beverages"));
    EXPECT_EQ(texts.TextOf(QStringLiteral("Orders"), QStringLiteral("CustomerID"), QStringLiteral("alfki")),
              QStringLiteral("Alfreds Futterkiste"));
    EXPECT_EQ(texts.TextOf(QStringLiteral("Orders"), QStringLiteral("ShipVia"), 99), QString());
}

TEST(RelationsAccess, AFileWithoutRelationshipsHasNone)
{
    for (const char* file : {"testV2000.mdb", "testV2007.accdb"}) {
        auto driver = cMdbDriver::Open(QStringLiteral(QUARNEL_TESTDATA "/") + QLatin1String(file));
        EXPECT_TRUE(driver->Relations().isEmpty()) << file;
        cRelationTexts texts(driver);
        EXPECT_FALSE(texts.Refers(QStringLiteral("Table1"), QStringLiteral("A"))) << file;
    }
}

TEST(RelationsOdbcSqlite, ForeignKeysComeFromTheSourceAndLookupsBindTheValue)
{
    PrepareOdbc();
    ASSERT_FALSE(OdbcDriverPath(QStringLiteral("libsqlite3odbc.so")).isEmpty()) << "libsqliteodbc is missing";
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("obce.db"));
    RawExec(file, kTownsSql);
    auto driver = cOdbcDriver::Open(
        QStringLiteral("ODBC;DRIVER=%1;Database=%2").arg(OdbcDriverPath(QStringLiteral("libsqlite3odbc.so")), file), false);
    const QString described = Describe(driver->Relations());
    EXPECT_TRUE(described.contains(QStringLiteral("Obec(Kraj obce)->%1(Kód)").arg(kRegion), Qt::CaseInsensitive))
        << described.toStdString();
    cRelationTexts texts(driver);
    EXPECT_EQ(texts.TextOf(QStringLiteral("Obec"), QStringLiteral("Kraj obce"), 2), QStringLiteral("Zlínský"));
    EXPECT_EQ(texts.TextOf(QStringLiteral("Obec"), QStringLiteral("Kraj obce"), 9), QString());
    // The driver names no referred field for a key to the parent's primary key.
    EXPECT_EQ(texts.TextOf(QStringLiteral("Obec"), QStringLiteral("Okres"), 1), QStringLiteral("Jihomoravský"));
}

TEST(RelationsOdbcPostgres, ForeignKeysOfSeveralFieldsStayTogether)
{
    PrepareOdbc();
    ASSERT_FALSE(OdbcDriverPath(QStringLiteral("psqlodbcw.so")).isEmpty()) << "odbc-postgresql is missing";
    cPostgresServer* server = SharedPostgres();
    ASSERT_NE(server, nullptr);
    RunOdbcSql(server->Connect(),
               {QStringLiteral("DROP TABLE IF EXISTS obec_r, kraj_r, pár_r"),
                QStringLiteral("CREATE TABLE kraj_r (kód integer PRIMARY KEY, \"název kraje\" varchar(40))"),
                QStringLiteral("INSERT INTO kraj_r VALUES (1, 'Jihomoravský'), (2, 'Zlínský')"),
                QStringLiteral("CREATE TABLE pár_r (a integer, b integer, t varchar(5), PRIMARY KEY (a, b))"),
                QStringLiteral("CREATE TABLE obec_r (id integer PRIMARY KEY, kraj integer REFERENCES kraj_r, "
                               "a integer, b integer, c integer, d integer, FOREIGN KEY (a, b) REFERENCES pár_r, "
                               "FOREIGN KEY (d, c) REFERENCES pár_r)")});
    auto driver = cOdbcDriver::Open(server->Connect(), false);
    const QString described = Describe(driver->Relations());
    EXPECT_TRUE(described.contains(QStringLiteral("obec_r(kraj)->kraj_r(kód)"))) << described.toStdString();
    // The two relations to pár_r come place by place, alternating.
    EXPECT_TRUE(described.contains(QStringLiteral("obec_r(a,b)->pár_r(a,b)"))) << described.toStdString();
    EXPECT_TRUE(described.contains(QStringLiteral("obec_r(d,c)->pár_r(a,b)"))) << described.toStdString();
    cRelationTexts texts(driver);
    EXPECT_FALSE(texts.Refers(QStringLiteral("obec_r"), QStringLiteral("a")));
    EXPECT_EQ(texts.TextOf(QStringLiteral("obec_r"), QStringLiteral("kraj"), 1), QStringLiteral("Jihomoravský"));
    RunOdbcSql(server->Connect(), {QStringLiteral("DROP TABLE obec_r, kraj_r, pár_r")});
}

TEST_F(RelationsSqlite, TheDefaultLookupWritesTheValueAsALiteralOfTheKeysType)
{
    auto driver = Open();
    RawExec(m_path, "INSERT INTO \"Kraj ]%'\"\"\" VALUES (4, 'O''Brien', NULL);"
                    "CREATE TABLE Kód (Značka VARCHAR(10) PRIMARY KEY, Text VARCHAR(10));"
                    "INSERT INTO Kód VALUES ('a''b]', 'uvozovka'), ('x', 'iks');");
    // Every backend here prepares its own: the one for other backends is called by name.
    auto regions = driver->cDatabaseDriver::PrepareLookup(kRegion, QStringLiteral("Kód"), QStringLiteral("Název"),
                                                          JetType::Long);
    QVariant value;
    ASSERT_TRUE(regions->Find(4, value));
    EXPECT_EQ(value.toString(), QStringLiteral("O'Brien"));
    EXPECT_FALSE(regions->Find(9, value));
    auto codes = driver->cDatabaseDriver::PrepareLookup(QStringLiteral("Kód"), QStringLiteral("Značka"),
                                                        QStringLiteral("Text"), JetType::Text);
    ASSERT_TRUE(codes->Find(QStringLiteral("a'b]"), value));
    EXPECT_EQ(value.toString(), QStringLiteral("uvozovka"));
    EXPECT_FALSE(codes->Find(QStringLiteral("x' OR 'a'='a"), value));
}
