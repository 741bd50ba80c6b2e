#include "DataTestSupport.h"
#include "EngineBackends.h"

#include "mJetErrors.h"


namespace {
QStringList FieldNames(Database& db, const QString& table)
{
    QStringList names;
    for (const auto& field : *db.TableDefs()->Item(table)->Fields())
        names << field->Name();
    return names;
}

QStringList Rows(Database& db, const QString& sql)
{
    QStringList rows;
    auto rs = db.OpenRecordset(sql);
    for (; !rs->Eof(); rs->MoveNext()) {
        QStringList values;
        for (const auto& field : *rs->Fields())
            values << field->Value().toString();
        rows << values.join(u'|');
    }
    return rows;
}

QStringList Schema(const QString& path, const char* sql)
{
    sqlite3* raw = nullptr;
    sqlite3_open(path.toUtf8().constData(), &raw);
    QStringList rows;
    sqlite3_stmt* statement = nullptr;
    sqlite3_prepare_v2(raw, sql, -1, &statement, nullptr);
    while (sqlite3_step(statement) == SQLITE_ROW)
        rows << QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(statement, 0)));
    sqlite3_finalize(statement);
    sqlite3_close(raw);
    return rows;
}


} // namespace

// The structure as every backend lists it, on the Northwind tables.
using Catalogue = EngineTest;
INSTANTIATE_ENGINE_SUITE(Catalogue);

TEST_P(Catalogue, TablesAreListedWithTheirFieldsInDefinitionOrder)
{
    auto db = Backend().Northwind();
    auto tables = db->TableDefs();
    QStringList user;
    for (const auto& table : *tables) {
        if (!(table->Attributes() & qint32(0x80000002u)))
            user << table->Name().toLower();
    }
    for (const char* name : {"shippers", "employees", "products", "orders"})
        EXPECT_TRUE(user.contains(QLatin1String(name))) << name << " in " << user.join(u',').toStdString();
    const QStringList fields = FieldNames(*db, QStringLiteral("Shippers"));
    EXPECT_EQ(fields.join(u',').toLower(), QStringLiteral("shipperid,companyname,phone"));
    auto name = tables->Item(QStringLiteral("SHIPPERS"))->Fields()->Item(QStringLiteral("companyName"));
    EXPECT_EQ(name->Type(), JetType::Text);
    EXPECT_EQ(name->Size(), 40);
    EXPECT_TRUE(name->Required());
    EXPECT_FALSE(tables->Item(QStringLiteral("Shippers"))->Fields()->Item(QStringLiteral("Phone"))->Required());
    EXPECT_EQ(tables->Item(QStringLiteral("Employees"))->Fields()->Item(QStringLiteral("Notes"))->Type(), JetType::Memo);
    EXPECT_EQ(tables->Item(QStringLiteral("Employees"))->Fields()->Item(QStringLiteral("BirthDate"))->Type(), JetType::Date);
    EXPECT_EQ(tables->Item(QStringLiteral("Products"))->Fields()->Item(QStringLiteral("Discontinued"))->Type(),
              JetType::Boolean);
    EXPECT_EQ(ErrorOf([&] { tables->Item(QStringLiteral("Nic")); }), JetError::ItemNotFound);
    EXPECT_EQ(ErrorOf([&] { tables->Item(tables->Count()); }), JetError::ItemNotFound);
}

TEST_P(Catalogue, StructureChangesAreRefusedWhereTheBackendCannotMakeThem)
{
    if (Backend().ChangesStructure())
        GTEST_SKIP() << "the structure can be changed here; Structure covers it";
    auto db = Backend().Northwind();
    const QString file = Backend().NorthwindFile();
    const QByteArray before = file.isEmpty() ? QByteArray() : FileDigest(file);
    const int refused = Backend().StructureRefusal();
    // A source's server makes some changes itself: AnOdbcServerMakesWhatItCanInPlace.
    if (Backend().ReadOnly()) {
    auto table = db->CreateTableDef(QStringLiteral("Nová"));
    table->Fields()->Append(table->CreateField(QStringLiteral("A"), JetType::Long));
    EXPECT_EQ(ErrorOf([&] { db->TableDefs()->Append(table); }), refused);
    EXPECT_EQ(ErrorOf([&] { db->TableDefs()->Delete(QStringLiteral("Shippers")); }), refused);
    auto shippers = db->TableDefs()->Item(QStringLiteral("Shippers"));
    auto phone = shippers->Fields()->Item(QStringLiteral("Phone"));
    EXPECT_EQ(ErrorOf([&] { phone->setName(QStringLiteral("Telefon")); }), refused);
    EXPECT_EQ(ErrorOf([&] { phone->setSize(100); }), refused);
    EXPECT_EQ(ErrorOf([&] { phone->setRequired(true); }), refused);
    EXPECT_EQ(ErrorOf([&] { phone->setAllowZeroLength(false); }), refused);
    EXPECT_EQ(ErrorOf([&] { phone->setOrdinalPosition(0); }), refused);
    EXPECT_EQ(ErrorOf([&] { shippers->Fields()->Append(shippers->CreateField(QStringLiteral("Fax"), JetType::Text, 24)); }),
              refused);
    EXPECT_EQ(ErrorOf([&] { shippers->Fields()->Delete(QStringLiteral("Phone")); }), refused);
    EXPECT_EQ(phone->Name().toLower(), QStringLiteral("phone")) << "a refused change leaves the object as it was";
    }
    EXPECT_EQ(ErrorOf([&] { db->CreateQueryDef(QStringLiteral("Nový"), QStringLiteral("SELECT * FROM Shippers")); }), refused);
    auto queries = db->QueryDefs();
    if (queries->Count() > 0) {
        auto query = queries->Item(0);
        const QString sql = query->SQL();
        EXPECT_EQ(ErrorOf([&] { query->setSQL(QStringLiteral("SELECT * FROM Shippers")); }), refused);
        EXPECT_EQ(ErrorOf([&] { query->setName(QStringLiteral("Jiný")); }), refused);
        EXPECT_EQ(ErrorOf([&] { queries->Delete(query->Name()); }), refused);
        EXPECT_EQ(query->SQL(), sql);
    }

    db->TableDefs()->Refresh();
    EXPECT_EQ(FieldNames(*db, QStringLiteral("Shippers")).join(u',').toLower(), QStringLiteral("shipperid,companyname,phone"));
    EXPECT_EQ(db->TableDefs()->IndexOf(QStringLiteral("Nová")), -1);
    if (!file.isEmpty()) {
        EXPECT_EQ(FileDigest(file), before) << "the file is byte for byte as it was";
    }
}

// An ODBC source: what its server makes in place is asked of it, and what it refuses is
// told in its own words; what would rebuild the table is refused before anything is sent.
TEST_P(Catalogue, AnOdbcServerMakesWhatItCanInPlace)
{
    if (Backend().JetDialect() || Backend().ReadOnly())
        GTEST_SKIP() << "not a server's source";
    QTemporaryDir dir;
    auto db = Backend().People(dir.path());
    DatabaseTest::AddPerson(*db, {1, QStringLiteral("Jana")});
    auto osoby = db->TableDefs()->Item(QStringLiteral("Osoby"));
    const QStringList fields = FieldNames(*db, osoby->Name());

    osoby->Fields()->Append(osoby->CreateField(QStringLiteral("Telefon"), JetType::Text, 30));
    DatabaseTest::AddPerson(*db, {2, QStringLiteral("Petr"), {}, {}, {}, {}, {}, QStringLiteral("777 123")});
    auto first = osoby->CreateField(QStringLiteral("Kód"), JetType::Long);
    first->setOrdinalPosition(0);
    EXPECT_EQ(ErrorOf([&] { osoby->Fields()->Append(first); }), JetError::InvalidOperation);
    auto phone = osoby->Fields()->Item(QStringLiteral("Telefon"));
    EXPECT_EQ(ErrorOf([&] { phone->setSize(40); }), JetError::InvalidOperation);
    EXPECT_EQ(ErrorOf([&] { phone->setRequired(true); }), JetError::InvalidOperation);
    phone->setName(QStringLiteral("Mobil"));
    EXPECT_EQ(Rows(*db, QStringLiteral("SELECT [Mobil] FROM Osoby ORDER BY Id")),
              (QStringList{QString(), QStringLiteral("777 123")}));

    // A required field with nothing in it for Jana: the server's refusal, in its words.
    auto required = osoby->CreateField(QStringLiteral("Povinné"), JetType::Long);
    required->setRequired(true);
    try {
        osoby->Fields()->Append(required);
        ADD_FAILURE() << "a required field was added to a table with rows";
    } catch (const cRuntimeError& e) {
        EXPECT_EQ(e.Number(), JetError::OdbcFailed);
        EXPECT_FALSE(e.Description().isEmpty());
    }
    osoby->Fields()->Delete(QStringLiteral("Mobil"));
    db->TableDefs()->Refresh();
    EXPECT_EQ(FieldNames(*db, QStringLiteral("Osoby")), fields);

    auto made = db->CreateTableDef(QStringLiteral("Nová tabulka"));
    made->Fields()->Append(made->CreateField(QStringLiteral("Číslo"), JetType::Long));
    made->Fields()->Append(made->CreateField(QStringLiteral("Text"), JetType::Text, 10));
    db->TableDefs()->Append(made);
    EXPECT_EQ(FieldNames(*db, QStringLiteral("Nová tabulka")), (QStringList{QStringLiteral("Číslo"), QStringLiteral("Text")}));
    EXPECT_TRUE(Rows(*db, QStringLiteral("SELECT * FROM [Nová tabulka]")).isEmpty());
    db->TableDefs()->Delete(QStringLiteral("Nová tabulka"));
    db->TableDefs()->Refresh();
    EXPECT_EQ(db->TableDefs()->IndexOf(QStringLiteral("Nová tabulka")), -1);
}

// Structure changes, on the backends that make them.
class Structure : public EngineTest {
protected:
    void SetUp() override
    {
        EngineTest::SetUp();
        if (HasFatalFailure())
            return;
        if (!Backend().ChangesStructure())
            GTEST_SKIP() << "the backend refuses structure changes; Catalogue.StructureChangesAreRefused… covers it";
        ASSERT_TRUE(m_dir.isValid());
    }
    std::shared_ptr<Database> CreateOsoby() { return Backend().People(m_dir.path()); }
    QString PathOf(const QString& file) const { return m_dir.filePath(file); }

    QTemporaryDir m_dir;
};
INSTANTIATE_ENGINE_SUITE(Structure);

TEST_P(Structure, NewTablesAreCheckedBeforeAnythingIsWritten)
{
    auto db = CreateOsoby();
    auto empty = db->CreateTableDef(QStringLiteral("tabulka1"));
    EXPECT_EQ(ErrorOf([&] { db->TableDefs()->Append(empty); }), JetError::NoFields);
    auto zero = db->CreateTableDef(QStringLiteral("tabulka2"));
    zero->Fields()->Append(zero->CreateField(QStringLiteral("nové"), JetType::Text, 0));
    EXPECT_EQ(ErrorOf([&] { db->TableDefs()->Append(zero); }), JetError::InvalidSize);
    auto again = db->CreateTableDef(QStringLiteral("OSOBY"));
    again->Fields()->Append(again->CreateField(QStringLiteral("A"), JetType::Long));
    EXPECT_EQ(ErrorOf([&] { db->TableDefs()->Append(again); }), JetError::TableExists);
    auto twice = db->CreateTableDef(QStringLiteral("Dvakrát"));
    twice->Fields()->Append(twice->CreateField(QStringLiteral("A"), JetType::Long));
    EXPECT_EQ(ErrorOf([&] { twice->Fields()->Append(twice->CreateField(QStringLiteral("a"), JetType::Long)); }),
              JetError::DuplicateField);
    auto badName = db->CreateTableDef(QStringLiteral("a.b"));
    badName->Fields()->Append(badName->CreateField(QStringLiteral("A"), JetType::Long));
    EXPECT_EQ(ErrorOf([&] { db->TableDefs()->Append(badName); }), JetError::InvalidName);
    auto untyped = db->CreateTableDef(QStringLiteral("Bez typu"));
    untyped->Fields()->Append(std::make_shared<Field>());
    EXPECT_NE(ErrorOf([&] { db->TableDefs()->Append(untyped); }), 0);
    db->TableDefs()->Refresh();
    EXPECT_EQ(db->TableDefs()->IndexOf(QStringLiteral("tabulka1")), -1);
    EXPECT_EQ(db->TableDefs()->IndexOf(QStringLiteral("tabulka2")), -1);

    auto good = db->CreateTableDef(QStringLiteral("tabulka1"));
    auto field = good->CreateField(QStringLiteral("nové"), JetType::Text, 250);
    field->setAllowZeroLength(true);
    good->Fields()->Append(field);
    db->TableDefs()->Append(good);
    EXPECT_GE(db->TableDefs()->IndexOf(QStringLiteral("tabulka1")), 0);
    db->TableDefs()->Delete(QStringLiteral("tabulka1"));
    EXPECT_EQ(db->TableDefs()->IndexOf(QStringLiteral("tabulka1")), -1);
    EXPECT_EQ(ErrorOf([&] { db->TableDefs()->Delete(QStringLiteral("tabulka1")); }), JetError::ItemNotFound);
}

// Tables made by another program, with keys, relations, indexes and a view.
class StructureWithData : public Structure {
protected:
    void SetUp() override
    {
        Structure::SetUp();
        if (IsSkipped() || HasFatalFailure())
            return;
        path = PathOf(QStringLiteral("sklad.db"));
        DBEngine::Instance().CreateDatabase(path, QStringLiteral(";LANGID=0x0405;CP=1250;COUNTRY=0"))->Close();
        RawExec(path, "CREATE TABLE Druhy (Kod INTEGER PRIMARY KEY, Nazev TEXT);"
                      "CREATE TABLE Zbozi (Id INTEGER PRIMARY KEY AUTOINCREMENT, Nazev VARCHAR(40) NOT NULL, "
                      "Druh INTEGER REFERENCES Druhy(Kod), Cena DOUBLE, UNIQUE (Nazev));"
                      "CREATE INDEX ZboziCena ON Zbozi(Cena);"
                      "CREATE VIEW Levne AS SELECT Nazev FROM Zbozi WHERE Cena < 10;"
                      "INSERT INTO Druhy VALUES (1, 'Ovoce'), (2, 'Zelenina');"
                      "INSERT INTO Zbozi (Nazev, Druh, Cena) VALUES ('Jablko', 1, 5.5), ('Mrkev', 2, 3), "
                      "('Meloun', 1, 40), ('Celer', 2, NULL);");
        db = DBEngine::Instance().OpenDatabase(path);
    }
    void AddRow(const QString& name, int kind)
    {
        auto rs = db->OpenRecordset(QStringLiteral("SELECT * FROM Zbozi"));
        rs->AddNew();
        rs->Fields()->Item(QStringLiteral("Nazev"))->setValue(name);
        rs->Fields()->Item(QStringLiteral("Druh"))->setValue(kind);
        rs->Update();
    }
    QStringList Goods() { return Rows(*db, QStringLiteral("SELECT Id, Nazev, Druh, Cena FROM Zbozi ORDER BY Id")); }

    QString path;
    std::shared_ptr<Database> db;
};
INSTANTIATE_ENGINE_SUITE(StructureWithData);

TEST_P(StructureWithData, ReorderingKeepsRowsIndexesKeysAndQueries)
{
    const QStringList before = Goods();
    auto price = db->TableDefs()->Item(QStringLiteral("Zbozi"))->Fields()->Item(QStringLiteral("Cena"));
    price->setOrdinalPosition(0);
    db->TableDefs()->Refresh();
    EXPECT_EQ(FieldNames(*db, QStringLiteral("Zbozi")),
              (QStringList{QStringLiteral("Cena"), QStringLiteral("Id"), QStringLiteral("Nazev"), QStringLiteral("Druh")}));
    EXPECT_EQ(Goods(), before);
    EXPECT_EQ(Schema(path, "SELECT name FROM sqlite_master WHERE tbl_name = 'Zbozi' AND type = 'index' ORDER BY name"),
              (QStringList{QStringLiteral("ZboziCena"), QStringLiteral("sqlite_autoindex_Zbozi_1")}));
    QStringList cheap = Rows(*db, QStringLiteral("SELECT * FROM Levne"));
    cheap.sort();
    EXPECT_EQ(cheap, (QStringList{QStringLiteral("Jablko"), QStringLiteral("Mrkev")}));
    // The key still numbers new rows after the old ones, and the relation still holds.
    AddRow(QStringLiteral("Hruška"), 1);
    EXPECT_EQ(Rows(*db, QStringLiteral("SELECT Id FROM Zbozi WHERE Nazev = 'Hruška'")), QStringList{QStringLiteral("5")});
    EXPECT_EQ(ErrorOf([&] { AddRow(QStringLiteral("Jablko"), 1); }), JetError::DuplicateKey);
    EXPECT_EQ(ErrorOf([&] { AddRow(QStringLiteral("Kámen"), 9); }), JetError::RelatedRecords);
    EXPECT_EQ(Schema(path, "PRAGMA integrity_check"), QStringList{QStringLiteral("ok")});
}

TEST_P(StructureWithData, RenamingAndRetypingKeepTheData)
{
    auto name = db->TableDefs()->Item(QStringLiteral("Zbozi"))->Fields()->Item(QStringLiteral("Nazev"));
    name->setName(QStringLiteral("Název"));
    EXPECT_EQ(name->Name(), QStringLiteral("Název"));
    EXPECT_EQ(Rows(*db, QStringLiteral("SELECT Název FROM Zbozi ORDER BY Id")).first(), QStringLiteral("Jablko"));
    EXPECT_EQ(Rows(*db, QStringLiteral("SELECT * FROM Levne")).size(), 2) << "the stored query follows the rename";
    name->setSize(100);
    name->setAllowZeroLength(true);
    auto reread = DBEngine::Instance().OpenDatabase(path)->TableDefs()->Item(QStringLiteral("Zbozi"))->Fields()->Item(
        QStringLiteral("Název"));
    EXPECT_EQ(reread->Size(), 100);
    EXPECT_TRUE(reread->AllowZeroLength());
    EXPECT_TRUE(reread->Required());
    EXPECT_EQ(Rows(*db, QStringLiteral("SELECT Název FROM Zbozi ORDER BY Id")).size(), 4);
    EXPECT_EQ(ErrorOf([&] { name->setName(QStringLiteral("Cena")); }), JetError::DuplicateField);
    EXPECT_EQ(ErrorOf([&] { name->setSize(0); }), JetError::InvalidSize);
}

TEST_P(StructureWithData, RequiringAFieldWithNullsFailsAndChangesNothing)
{
    auto price = db->TableDefs()->Item(QStringLiteral("Zbozi"))->Fields()->Item(QStringLiteral("Cena"));
    const QStringList before = Goods();
    EXPECT_EQ(ErrorOf([&] { price->setRequired(true); }), JetError::Required);
    EXPECT_FALSE(DBEngine::Instance().OpenDatabase(path)->TableDefs()->Item(QStringLiteral("Zbozi"))->Fields()->Item(
        QStringLiteral("Cena"))->Required());
    EXPECT_EQ(Goods(), before);
}

TEST_P(StructureWithData, FieldsAreAddedWhereAskedAndDeletedUnlessIndexed)
{
    auto table = db->TableDefs()->Item(QStringLiteral("Zbozi"));
    auto note = table->CreateField(QStringLiteral("Poznámka"), JetType::Text, 50);
    note->setOrdinalPosition(1);
    table->Fields()->Append(note);
    EXPECT_EQ(FieldNames(*db, QStringLiteral("Zbozi"))[1], QStringLiteral("Poznámka"));
    auto stock = table->CreateField(QStringLiteral("Sklad"), JetType::Long);
    table->Fields()->Append(stock);
    EXPECT_EQ(FieldNames(*db, QStringLiteral("Zbozi")).last(), QStringLiteral("Sklad"));
    EXPECT_EQ(Goods().size(), 4);
    table->Fields()->Delete(QStringLiteral("Poznámka"));
    EXPECT_EQ(table->Fields()->IndexOf(QStringLiteral("Poznámka")), -1);
    EXPECT_EQ(ErrorOf([&] { table->Fields()->Delete(QStringLiteral("Cena")); }), JetError::FieldInIndex);
    EXPECT_EQ(ErrorOf([&] { table->Fields()->Delete(QStringLiteral("Id")); }), JetError::FieldInIndex);
    EXPECT_EQ(Goods().size(), 4);
}
