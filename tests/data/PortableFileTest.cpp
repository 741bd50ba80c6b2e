#include "DataTestSupport.h"

#include "QueryDef.h"
#include "TableDef.h"
#include "cWorkControl.h"
#include "mDatabaseCopy.h"
#include "mSqliteMapping.h"

#include <QCollator>
#include <QStorageInfo>

namespace {

QString Quoted(const QString& name)
{
    return u'"' + QString(name).replace(u'"', QLatin1String("\"\"")) + u'"';
}

// What another program does with a file: count every table, find and sort by every text
// column, read every view, check the whole file. Returns the failures, one a line.
QString FailuresElsewhere(const QString& path)
{
    sqlite3* raw = nullptr;
    if (sqlite3_open(path.toUtf8().constData(), &raw) != SQLITE_OK) {
        sqlite3_close(raw);
        return QStringLiteral("cannot open");
    }
    QStringList failures;
    auto check = [&](const QString& sql) {
        const QString rows = PlainRows(raw, sql);
        if (rows.startsWith(QLatin1String("error:")) || rows.contains(QLatin1String("\nerror:")))
            failures << rows;
        return rows;
    };
    const QStringList tables = check(QStringLiteral("SELECT name FROM sqlite_master WHERE type = 'table' "
                                                    "AND name NOT LIKE 'sqlite!_%' ESCAPE '!'")).split(u'\n', Qt::SkipEmptyParts);
    for (const QString& table : tables) {
        check(QStringLiteral("SELECT count(*) FROM ") + Quoted(table));
        const QStringList texts = check(QStringLiteral("SELECT name FROM pragma_table_info('%1') WHERE type LIKE '%CHAR%' "
                                                       "OR type LIKE '%TEXT%'").arg(QString(table).replace(u'\'', QLatin1String("''"))))
                                      .split(u'\n', Qt::SkipEmptyParts);
        for (const QString& column : texts) {
            check(QStringLiteral("SELECT count(*) FROM %1 WHERE %2 = 'x'").arg(Quoted(table), Quoted(column)));
            check(QStringLiteral("SELECT %2 FROM %1 ORDER BY %2").arg(Quoted(table), Quoted(column)));
        }
    }
    const QStringList views = check(QStringLiteral("SELECT name FROM sqlite_master WHERE type = 'view'")).split(u'\n', Qt::SkipEmptyParts);
    for (const QString& view : views)
        check(QStringLiteral("SELECT * FROM ") + Quoted(view));
    const QString integrity = check(QStringLiteral("PRAGMA integrity_check"));
    if (integrity != QLatin1String("ok") && !failures.contains(integrity))
        failures << integrity;
    sqlite3_close(raw);
    return failures.join(u'\n');
}

class PortableFile : public DatabaseTest {
protected:
    QStringList Rows(Database& db, const QString& sql)
    {
        auto rs = db.OpenRecordset(sql);
        return Column(*rs, 0);
    }
    void AddNames(Database& db)
    {
        for (int i = 0; i < m_names.size(); ++i)
            AddPerson(db, {i, m_names[i]});
    }

    const QStringList m_names{QStringLiteral("hora"), QStringLiteral("chata"), QStringLiteral("Cyril"), QStringLiteral("Čáp"),
                              QStringLiteral("cena"), QStringLiteral("Ivan"), QStringLiteral("Žák")};
    // Czech: "ch" after "h", "Č" after every "C", case aside.
    const QStringList m_czech{QStringLiteral("cena"), QStringLiteral("Cyril"), QStringLiteral("Čáp"), QStringLiteral("hora"),
                              QStringLiteral("chata"), QStringLiteral("Ivan"), QStringLiteral("Žák")};
};

} // namespace

TEST_F(PortableFile, WhatTheEngineWritesEveryOtherSqliteReads)
{
    auto db = CreateOsoby();
    AddNames(*db);
    db->CreateQueryDef(QStringLiteral("Seznam"), QStringLiteral("SELECT Jméno FROM Osoby WHERE Jméno <> 'ČÁP' ORDER BY Jméno"));
    db->Close();
    EXPECT_EQ(FailuresElsewhere(PathOf(QStringLiteral("osoby.db"))).toStdString(), "") << "a new database";

    ASSERT_TRUE(QFile::exists(QStringLiteral(QUARNEL_SAMPLE)));
    EXPECT_EQ(FailuresElsewhere(QStringLiteral(QUARNEL_SAMPLE)).toStdString(), "") << "the sample";

    auto source = DBEngine::Instance().OpenDatabase(QStringLiteral(QUARNEL_TESTDATA "/nwind.mdb"));
    const QString copy = PathOf(QStringLiteral("nwind.db"));
    cWorkControl control;
    ASSERT_TRUE(CopyToQuarnelDatabase(*source, copy, control));
    // Its queries that call Jet's own functions need them wherever they run; nothing else may fail.
    QStringList failures = FailuresElsewhere(copy).split(u'\n', Qt::SkipEmptyParts);
    failures.removeIf([](const QString& line) { return line.startsWith(QLatin1String("error: no such function:")); });
    EXPECT_EQ(failures.join(u'\n').toStdString(), "") << "a copy of an Access file";
}

// The engine itself still compares and sorts text the Czech way, in its own files and in
// their stored queries; in a file another program made with plain text columns by the
// file's language (none: code points), case aside, as well.
TEST_F(PortableFile, TheEngineComparesAndSortsByTheDatabasesLanguage)
{
    auto db = CreateOsoby();
    AddNames(*db);
    db->CreateQueryDef(QStringLiteral("Seznam"), QStringLiteral("SELECT Jméno FROM Osoby WHERE Jméno <> 'ČÁP' ORDER BY Jméno"));
    QStringList withoutCap = m_czech;
    withoutCap.removeAll(QStringLiteral("Čáp"));
    EXPECT_EQ(Rows(*db, QStringLiteral("Seznam")), withoutCap);
    EXPECT_EQ(Rows(*db, QStringLiteral("SELECT S.Jméno FROM Seznam AS S WHERE S.Jméno IN ('HORA', 'žák')")),
              (QStringList{QStringLiteral("hora"), QStringLiteral("Žák")}));
    db->Close();

    const QString path = PathOf(QStringLiteral("cizi.db"));
    RawExec(path, "PRAGMA journal_mode = WAL; PRAGMA foreign_keys = ON;"
                  "CREATE TABLE Lide (Id INTEGER PRIMARY KEY, Jmeno TEXT NOT NULL);"
                  "CREATE TABLE Adresy (Osoba INTEGER REFERENCES Lide(Id), Mesto TEXT);"
                  "CREATE INDEX LideJmeno ON Lide (Jmeno);"
                  "INSERT INTO Lide (Jmeno) VALUES ('hora'), ('chata'), ('Cyril'), ('Čáp'), ('cena'), ('Ivan'), ('Žák');"
                  "INSERT INTO Adresy VALUES (4, 'Brno');");
    auto other = DBEngine::Instance().OpenDatabase(path);
    EXPECT_EQ(Rows(*other, QStringLiteral("SELECT Jmeno FROM Lide ORDER BY Jmeno")).join(u' '),
              QStringLiteral("cena chata Cyril hora Ivan Čáp Žák"));
    EXPECT_EQ(Rows(*other, QStringLiteral("SELECT Jmeno FROM Lide WHERE Jmeno > 'H' ORDER BY Jmeno DESC")).join(u' '),
              QStringLiteral("Žák Čáp Ivan hora"));
    EXPECT_EQ(Rows(*other, QStringLiteral("SELECT Mesto FROM Lide INNER JOIN Adresy ON Adresy.Osoba = Lide.Id "
                                          "WHERE Jmeno = 'čÁP' AND Jmeno LIKE 'č*'")),
              QStringList{QStringLiteral("Brno")});
    other->Close();
    EXPECT_EQ(FailuresElsewhere(path).toStdString(), "");
}

namespace {

int CompareInCzech(void* collator, int length1, const void* text1, int length2, const void* text2)
{
    return static_cast<QCollator*>(collator)->compare(QString::fromUtf8(static_cast<const char*>(text1), length1),
                                                      QString::fromUtf8(static_cast<const char*>(text2), length2));
}

// Tables as older versions of the engine wrote them, their text fields naming its own
// collation; made by SQLite itself, with that collation as the engine had it.
void WriteOldTables(const QString& path)
{
    QCollator czech(QLocale(QLocale::Czech, QLocale::Czechia));
    czech.setCaseSensitivity(Qt::CaseInsensitive);
    sqlite3* raw = nullptr;
    ASSERT_EQ(sqlite3_open(path.toUtf8().constData(), &raw), SQLITE_OK);
    sqlite3_create_collation(raw, "QUARNEL", SQLITE_UTF8, &czech, CompareInCzech);
    char* message = nullptr;
    EXPECT_EQ(sqlite3_exec(raw,
                           "CREATE TABLE Stare (Id INTEGER PRIMARY KEY, Jméno VARCHAR(20) NOT NULL COLLATE \"QUARNEL\","
                           " Město VARCHAR(30) COLLATE QUARNEL);"
                           "CREATE UNIQUE INDEX \"Stare.Jméno\" ON Stare (Jméno);"
                           "CREATE TABLE Kody (Kod VARCHAR(10) COLLATE \"QUARNEL\" PRIMARY KEY, Popis VARCHAR(20)) WITHOUT ROWID;"
                           "INSERT INTO Stare (Jméno, Město) VALUES ('hora', 'Brno'), ('chata', 'Praha'), ('Cyril', NULL),"
                           " ('Čáp', 'Zlín'), ('cena', 'Brno'), ('Ivan', NULL), ('Žák', 'Praha');"
                           "INSERT INTO Kody VALUES ('hb', 'x'), ('chb', 'y'), ('ib', 'z');",
                           nullptr, nullptr, &message),
              SQLITE_OK)
        << (message ? message : "");
    sqlite3_free(message);
    sqlite3_close(raw);
}

} // namespace

TEST_F(PortableFile, AnOldFileOpensAndIsMendedWhenItsStructureChanges)
{
    CreateOsoby()->Close();
    const QString path = PathOf(QStringLiteral("osoby.db"));
    WriteOldTables(path);
    // Save As mends the copy and leaves the file as it was.
    const QString copy = PathOf(QStringLiteral("kopie.db"));
    cWorkControl control;
    ASSERT_TRUE(CopyDatabaseFile(path, copy, control));
    EXPECT_EQ(FailuresElsewhere(copy).toStdString(), "");
    EXPECT_NE(FailuresElsewhere(path).toStdString(), "");
    EXPECT_EQ(Rows(*DBEngine::Instance().OpenDatabase(copy), QStringLiteral("SELECT Jméno FROM Stare ORDER BY Jméno")), m_czech);

    auto db = DBEngine::Instance().OpenDatabase(path);
    EXPECT_EQ(Rows(*db, QStringLiteral("SELECT Jméno FROM Stare ORDER BY Jméno")), m_czech);
    EXPECT_EQ(Rows(*db, QStringLiteral("SELECT Kod FROM Kody WHERE Kod >= 'HC'")),
              (QStringList{QStringLiteral("chb"), QStringLiteral("ib")}));

    // A field added at the end, and a rule of a table without row identities.
    auto stare = db->TableDefs()->Item(QStringLiteral("Stare"));
    stare->Fields()->Append(stare->CreateField(QStringLiteral("Poznámka"), JetType::Text, 40));
    db->TableDefs()->Refresh();
    db->TableDefs()->Item(QStringLiteral("Kody"))->Fields()->Item(QStringLiteral("Popis"))->setRequired(true);
    EXPECT_EQ(Rows(*db, QStringLiteral("SELECT Jméno FROM Stare ORDER BY Jméno")), m_czech);
    db->Close();

    sqlite3* raw = nullptr;
    ASSERT_EQ(sqlite3_open(path.toUtf8().constData(), &raw), SQLITE_OK);
    EXPECT_EQ(PlainRows(raw, QStringLiteral("SELECT count(*) FROM sqlite_master WHERE sql LIKE '%QUARNEL%'")), QStringLiteral("0"));
    // The unique index holds by the new order: no case-twin gets in.
    EXPECT_TRUE(PlainRows(raw, QStringLiteral("INSERT INTO Stare (Jméno) VALUES ('HORA')"))
                    .startsWith(QLatin1String("error: UNIQUE constraint failed")));
    sqlite3_close(raw);
    EXPECT_EQ(FailuresElsewhere(path).toStdString(), "");
}

// A mapped file that goes away under the program kills it: only fixed local disks and
// memory are mapped; anything the kernel does not tell as such is read as before.
TEST(SqliteMapping, OnlyFilesThatCannotVanishAreMapped)
{
    EXPECT_FALSE(MayMapDatabaseFile(QStringLiteral("/proc/self/status")));
    EXPECT_FALSE(MayMapDatabaseFile(QStringLiteral("/sys/kernel/nothing.sqlite")));
    EXPECT_FALSE(MayMapDatabaseFile(QStringLiteral("/no/such/folder/x.sqlite")));
    if (QStorageInfo(QStringLiteral("/dev/shm")).fileSystemType() == "tmpfs") {
        EXPECT_TRUE(MayMapDatabaseFile(QStringLiteral("/dev/shm/x.sqlite")));
    }
}
