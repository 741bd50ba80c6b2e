#include "DataTestSupport.h"

#include "cWorkControl.h"
#include "mJetErrors.h"
#include "mStringTable.h"

#include <cstring>

namespace {

// What the file holds, through SQLite itself: each row's values joined by "|", the rows
// by new lines.
std::string Raw(const QString& path, const char* sql)
{
    sqlite3* raw = nullptr;
    sqlite3_open(path.toUtf8().constData(), &raw);
    QStringList rows;
    sqlite3_stmt* statement = nullptr;
    if (sqlite3_prepare_v2(raw, sql, -1, &statement, nullptr) != SQLITE_OK)
        rows << QStringLiteral("error: ") + QString::fromUtf8(sqlite3_errmsg(raw));
    while (statement && sqlite3_step(statement) == SQLITE_ROW) {
        QStringList values;
        for (int i = 0; i < sqlite3_column_count(statement); ++i)
            values << QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(statement, i)));
        rows << values.join(u'|');
    }
    sqlite3_finalize(statement);
    sqlite3_close(raw);
    return rows.join(u'\n').toStdString();
}

// The description a refused change raises, empty when none is raised.
template <typename Call>
std::string Refusal(Call call)
{
    try {
        call();
    } catch (const cRuntimeError& e) {
        return QStringLiteral("%1 %2").arg(QString::number(e.Number()), e.Description()).toStdString();
    }
    return {};
}

// Every value of one field read at once, in position order.
QStringList ColumnAtOnce(Recordset& rs, int field)
{
    ColumnValues values;
    cWorkControl control;
    EXPECT_TRUE(rs.ReadColumn(field, values, control));
    QStringList column;
    for (const qint32 entry : values.OfPosition)
        column << (entry < 0 ? QStringLiteral("?") : values.Distinct[entry].toString());
    return column;
}

class RowIdentity : public DatabaseTest {
protected:
    void Make(const char* sql)
    {
        path = PathOf(QStringLiteral("cizí.db"));
        RawExec(path, sql);
        db = DBEngine::Instance().OpenDatabase(path);
    }
    std::shared_ptr<Recordset> Open(const char* sql) { return db->OpenRecordset(QString::fromUtf8(sql)); }
    // Moves to the record whose field Name holds name.
    static void Find(Recordset& rs, const char* name)
    {
        for (rs.MoveFirst(); !rs.Eof(); rs.MoveNext())
            if (rs.Fields()->Item(QStringLiteral("Name"))->Value().toString() == QLatin1String(name))
                return;
        FAIL() << name << " not found";
    }

    QString path;
    std::shared_ptr<Database> db;
};

} // namespace

// A column may be named rowid, _rowid_ or oid in any case; the records are still told
// apart by their own identity, also where the INTEGER PRIMARY KEY is the only name left.
TEST_F(RowIdentity, AColumnNamedAsTheIdentityChangesOnlyTheRecordMeant)
{
    Make(R"(
        CREATE TABLE T (rowid INTEGER, Name TEXT(20));
        INSERT INTO T VALUES (1, 'Adam'), (1, 'Eva'), (2, 'Jan');
        CREATE TABLE U (ROWID INTEGER, "_RowId_" INTEGER, Name TEXT(20));
        INSERT INTO U VALUES (1, 1, 'Adam'), (1, 1, 'Eva'), (2, 2, 'Jan');
        CREATE TABLE K (Id INTEGER PRIMARY KEY, rowid INTEGER, oid INTEGER, _rowid_ INTEGER, Name TEXT(20));
        INSERT INTO K VALUES (7, 1, 1, 1, 'Adam'), (8, 1, 1, 1, 'Eva'), (9, 2, 2, 2, 'Jan');)");
    for (const char* table : {"T", "U", "K"}) {
        SCOPED_TRACE(table);
        const QByteArray select = QByteArray("SELECT * FROM ") + table;
        auto rs = Open(select.constData());
        ASSERT_TRUE(rs->Updatable());
        Find(*rs, "Adam");
        rs->Edit();
        rs->Fields()->Item(QStringLiteral("Name"))->setValue(QStringLiteral("Adámek"));
        rs->Update();
        EXPECT_EQ(rs->Fields()->Item(QStringLiteral("Name"))->Value().toString(), QStringLiteral("Adámek"));
        Find(*rs, "Eva");
        rs->Delete();
        rs->AddNew();
        rs->Fields()->Item(QStringLiteral("Name"))->setValue(QStringLiteral("Nový"));
        rs->Update();
        const QByteArray names = QByteArray("SELECT Name FROM ") + table + " ORDER BY Name";
        EXPECT_EQ(Raw(path, names.constData()), "Adámek\nJan\nNový");
        rs->Requery();
        EXPECT_EQ(Column(*rs, int(rs->Fields()->Count()) - 1), (QStringList{"Adámek", "Jan", "Nový"}));
    }
    EXPECT_EQ(Raw(path, "SELECT rowid, _rowid_, Name FROM U ORDER BY oid"), "1|1|Adámek\n2|2|Jan\n||Nový")
        << "the columns keep their values";
    EXPECT_EQ(Raw(path, "SELECT Id, rowid FROM K ORDER BY Id"), "7|1\n9|2\n10|");
}

// Where no name reaches the identity the records are only read, and a change is refused
// saying why.
TEST_F(RowIdentity, ATableWithoutAFreeIdentityIsReadOnlyAndSaysWhy)
{
    Make(R"(
        CREATE TABLE V (rowid INTEGER, oid INTEGER, _rowid_ INTEGER, Name TEXT(20));
        INSERT INTO V VALUES (1, 1, 1, 'Adam'), (1, 1, 1, 'Eva');
        CREATE TABLE D (Id INTEGER PRIMARY KEY DESC, rowid, oid, _rowid_, Name TEXT(20));
        INSERT INTO D (Id, Name) VALUES (1, 'Adam'), (2, 'Eva');
        CREATE TABLE W (Id INTEGER PRIMARY KEY, Name TEXT(20)) WITHOUT ROWID;
        INSERT INTO W VALUES (1, 'Adam'), (2, 'Eva');)");
    const std::string readOnly = std::to_string(JetError::ReadOnly) + ' '
                                 + JetErrorDescription(JetError::ReadOnly).toStdString() + ' ';
    for (const char* table : {"V", "D", "W"}) {
        SCOPED_TRACE(table);
        const QByteArray select = QByteArray("SELECT * FROM ") + table;
        auto rs = Open(select.constData());
        EXPECT_FALSE(rs->Updatable());
        EXPECT_EQ(Column(*rs, int(rs->Fields()->Count()) - 1), (QStringList{"Adam", "Eva"}));
        const std::string reason =
            FillPlaceholders(LoadString(*table == 'W' ? 10796 : 10795), {QString::fromLatin1(table)}).toStdString();
        EXPECT_EQ(rs->ReadOnlyReason().toStdString(), reason);
        rs->MoveFirst();
        EXPECT_EQ(Refusal([&] { rs->Edit(); }), readOnly + reason);
        EXPECT_EQ(Refusal([&] { rs->AddNew(); }), readOnly + reason);
        EXPECT_EQ(Refusal([&] { rs->Delete(); }), readOnly + reason);
    }
    EXPECT_EQ(Raw(path, "SELECT count(*) FROM V"), "2");
}

// A source read without a table's identity is copied aside with an identity of its own:
// a column of it named rowid must not stand for the copy's. A whole column read at once
// agrees, also where the query's own text holds "%2".
TEST_F(RowIdentity, AViewWithARowidColumnReadsItsOwnRows)
{
    Make(R"(
        CREATE TABLE T (rowid INTEGER, Name TEXT(20));
        INSERT INTO T VALUES (5, 'Adam'), (5, 'Eva'), (1, 'Jan'), (9, '%1');
        CREATE VIEW S AS SELECT Name, rowid FROM T ORDER BY Name DESC;)");
    const QStringList names{"Jan", "Eva", "Adam", "%1"};
    const QStringList rowids{"1", "5", "5", "9"};
    for (const char* sql : {"SELECT * FROM S", "SELECT Name, rowid FROM S WHERE Name <> '%2'",
                            "SELECT Name, rowid FROM T WHERE Name <> '%2' ORDER BY Name DESC"}) {
        SCOPED_TRACE(sql);
        auto rs = Open(sql);
        EXPECT_EQ(rs->Updatable(), std::strstr(sql, "FROM T") != nullptr);
        EXPECT_EQ(rs->RecordCount(), 4);
        EXPECT_EQ(Column(*rs, 0), names);
        EXPECT_EQ(Column(*rs, 1), rowids);
        rs->MoveLast();
        rs->MovePrevious();
        EXPECT_EQ(rs->Fields()->Item(0)->Value().toString(), QStringLiteral("Adam"));
        EXPECT_EQ(ColumnAtOnce(*rs, 0), names);
        EXPECT_EQ(ColumnAtOnce(*rs, 1), rowids);
    }
}

// A new or moved field named as the identity neither takes the rows' identities as its
// values nor renumbers the rows; where no name would be left the change is refused.
TEST_F(RowIdentity, ATableRebuiltKeepsEveryRowsIdentityAndValues)
{
    Make(R"(
        CREATE TABLE P (Name TEXT(20), Age INTEGER);
        INSERT INTO P (rowid, Name, Age) VALUES (5, 'Adam', 30), (9, 'Eva', 25), (12, 'Jan', NULL);
        CREATE TABLE R (rowid INTEGER, Name TEXT(20), Age INTEGER);
        INSERT INTO R (_rowid_, rowid, Name, Age) VALUES (5, 1, 'Adam', 30), (9, 1, 'Eva', 25);
        CREATE TABLE Q (oid INTEGER, _rowid_ INTEGER, Name TEXT(20));
        INSERT INTO Q (rowid, oid, _rowid_, Name) VALUES (5, 1, 2, 'Adam'), (9, 3, 4, 'Eva');
        CREATE TABLE K (Id INTEGER PRIMARY KEY, oid INTEGER, _rowid_ INTEGER, Name TEXT(20));
        INSERT INTO K VALUES (5, 1, 2, 'Adam'), (9, 3, 4, 'Eva');)");
    auto addRowid = [&](const char* table) {
        auto def = db->TableDefs()->Item(QString::fromLatin1(table));
        auto field = def->CreateField(QStringLiteral("rowid"), JetType::Long, 4);
        field->setOrdinalPosition(0);
        def->Fields()->Append(field);
    };
    addRowid("P");
    EXPECT_EQ(Raw(path, "SELECT _rowid_, rowid, Name, Age FROM P ORDER BY Name"), "5||Adam|30\n9||Eva|25\n12||Jan|");

    db->TableDefs()->Item(QStringLiteral("R"))->Fields()->Item(QStringLiteral("Age"))->setOrdinalPosition(0);
    EXPECT_EQ(Raw(path, "SELECT _rowid_, Age, rowid, Name FROM R ORDER BY Name"), "5|30|1|Adam\n9|25|1|Eva");

    const std::string before = Raw(path, "SELECT sql FROM sqlite_master WHERE name = 'Q'");
    EXPECT_EQ(Refusal([&] { addRowid("Q"); }),
              std::to_string(JetError::InvalidOperation) + ' '
                  + FillPlaceholders(LoadString(10797), {QStringLiteral("Q")}).toStdString());
    EXPECT_EQ(Raw(path, "SELECT sql FROM sqlite_master WHERE name = 'Q'"), before);
    EXPECT_EQ(Raw(path, "SELECT rowid, oid, _rowid_, Name FROM Q"), "5|1|2|Adam\n9|3|4|Eva");

    addRowid("K");
    EXPECT_EQ(Raw(path, "SELECT Id, rowid, oid, _rowid_, Name FROM K ORDER BY Id"), "5||1|2|Adam\n9||3|4|Eva");
    auto rs = Open("SELECT * FROM K");
    EXPECT_TRUE(rs->Updatable()) << "the key is the identity";
    EXPECT_EQ(Raw(path, "PRAGMA integrity_check"), "ok");
}

// A field's name goes into the checks of a change as it is: "%2" in it is no place for
// the size or the range of the new type.
TEST_F(RowIdentity, ChecksOfAChangedFieldTestThatField)
{
    Make(R"(
        CREATE TABLE N ("p%2" VARCHAR(50), p20 VARCHAR(50), "p-32768" VARCHAR(50));
        INSERT INTO N VALUES ('delší text než dvacet znaků', 'krátký', '1');)");
    auto field = [&] { return db->TableDefs()->Item(QStringLiteral("N"))->Fields()->Item(QStringLiteral("p%2")); };
    db->TableDefs()->Refresh();
    EXPECT_EQ(ErrorOf([&] { field()->setSize(20); }), JetError::FieldTooSmall);
    db->TableDefs()->Refresh();
    EXPECT_EQ(ErrorOf([&] { field()->setType(JetType::Integer); }), JetError::Conversion);
    EXPECT_EQ(Raw(path, "SELECT \"p%2\", typeof(\"p%2\") FROM N"), "delší text než dvacet znaků|text");
}

// A whole table shows its records in the order of their identities, whatever indexes other
// programs or the user gave it, across identities far apart (read in two halves at once)
// and at the ends of their range.
TEST_F(RowIdentity, ATableReadsInItsIdentityOrderWhateverIndexItHas)
{
    Make(R"(
        CREATE TABLE T (Id INTEGER PRIMARY KEY, Name TEXT(20));
        CREATE INDEX "T by name" ON T (Name COLLATE NOCASE);
        INSERT INTO T VALUES (400001, 'Adam'), (5, 'Zdena'), (250000, 'Eva'), (-3, 'Oto'), (100000, 'Bára');
        CREATE TABLE E (Name TEXT(20));
        CREATE INDEX "E by name" ON E (Name);
        INSERT INTO E (rowid, Name) VALUES (9223372036854775807, 'a'), (-9223372036854775808, 'z'), (0, 'm');)");
    auto rs = Open("SELECT * FROM T");
    EXPECT_EQ(Column(*rs, 1), (QStringList{"Oto", "Zdena", "Bára", "Eva", "Adam"}));
    Find(*rs, "Eva");
    rs->Edit();
    rs->Fields()->Item(QStringLiteral("Name"))->setValue(QStringLiteral("Eva Nová"));
    rs->Update();
    EXPECT_EQ(Raw(path, "SELECT Name FROM T WHERE Id = 250000"), "Eva Nová");
    EXPECT_EQ(Column(*Open("SELECT Name FROM E"), 0), (QStringList{"z", "m", "a"}));
    // The user's own order and conditions keep theirs.
    EXPECT_EQ(Column(*Open("SELECT Name FROM T ORDER BY Name"), 0),
              (QStringList{"Adam", "Bára", "Eva Nová", "Oto", "Zdena"}));
    EXPECT_EQ(Column(*Open("SELECT Name FROM T WHERE Id > 0;"), 0), (QStringList{"Zdena", "Bára", "Eva Nová", "Adam"}));
}
