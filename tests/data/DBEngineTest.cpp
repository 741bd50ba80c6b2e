#include "DataTestSupport.h"
#include "OdbcTestSupport.h"
#include "cWorkControl.h"

#include "mJetErrors.h"

#include <QFile>

#include <atomic>
#include <chrono>
#include <thread>

#include <sqlite3.h>

namespace {
QByteArray ReadAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void WriteAll(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(bytes);
}

// The description of the error a call raises.
template <typename Call>
QString DescriptionOf(Call call)
{
    try {
        call();
    } catch (const cRuntimeError& e) {
        return e.Description();
    }
    return QString();
}
} // namespace

using Engine = DatabaseTest;

TEST_F(Engine, OpeningFailuresCarryTheirNumbersAndNameTheFile)
{
    auto& engine = DBEngine::Instance();
    const QString missing = PathOf(QStringLiteral("chybí.db"));
    EXPECT_EQ(ErrorOf([&] { engine.OpenDatabase(missing); }), JetError::FileNotFound);
    EXPECT_TRUE(DescriptionOf([&] { engine.OpenDatabase(missing); }).contains(missing));
    EXPECT_EQ(ErrorOf([&] { engine.OpenDatabase(m_dir.path()); }), JetError::InvalidPath);
    EXPECT_EQ(ErrorOf([&] { engine.OpenDatabase(PathOf(QStringLiteral("no/such/folder/a.db"))); }), JetError::InvalidPath);
    EXPECT_EQ(ErrorOf([&] { engine.OpenDatabase(QString()); }), JetError::InvalidPath);

    const QString text = PathOf(QStringLiteral("text.mdb"));
    WriteAll(text, "Jméno;Příjmení\r\nJana;Nováková\r\n");
    EXPECT_EQ(ErrorOf([&] { engine.OpenDatabase(text); }), JetError::NotADatabase);
    EXPECT_TRUE(DescriptionOf([&] { engine.OpenDatabase(text); }).contains(text));
    const QString empty = PathOf(QStringLiteral("empty.db"));
    WriteAll(empty, QByteArray());
    EXPECT_EQ(ErrorOf([&] { engine.OpenDatabase(empty); }), JetError::NotADatabase);
    EXPECT_EQ(ReadAll(empty), QByteArray()) << "a refused file is left as it was";

    // A connect text goes to the ODBC route, whatever the name: a source that does not exist fails there.
    EXPECT_EQ(ErrorOf([&] { engine.OpenDatabase(missing, false, false, QStringLiteral("ODBC;DSN=Quarnel-Nikde")); }),
              3151);
    // A file's connect text asks for nothing the engine lacks; a password or another ISAM
    // is refused rather than ignored.
    CreateOsoby()->Close();
    const QString file = PathOf(QStringLiteral("osoby.db"));
    for (const char* connect : {";PWD=tajne", "dBASE IV;", "Excel 8.0;HDR=YES"})
        EXPECT_EQ(ErrorOf([&] { engine.OpenDatabase(file, false, false, QString::fromLatin1(connect)); }),
                  JetError::NoInstallableIsam)
            << connect;
    for (const char* connect : {";", "", " ; "})
        EXPECT_EQ(ErrorOf([&] { engine.OpenDatabase(file, false, false, QString::fromLatin1(connect)); }), 0) << connect;
}

// As with the classic engine, a recordset or definition keeps working after its database
// object is dropped; Close ends them all at once.
TEST_F(Engine, WhatIsTakenFromADatabaseOutlivesItUntilClosed)
{
    CreateOsoby()->Close();
    RawExec(PathOf(QStringLiteral("osoby.db")), "INSERT INTO Osoby (Id, \"Jméno\") VALUES (1, 'Jana'), (2, 'Petr')");
    struct Source {
        QString path;
        QString table;
        qint64 rows;
    };
    for (const Source& source : {Source{PathOf(QStringLiteral("osoby.db")), QStringLiteral("Osoby"), 2},
                                 Source{QStringLiteral(QUARNEL_TESTDATA "/nwind.mdb"), QStringLiteral("Order Details"), 2155}}) {
        auto db = DBEngine::Instance().OpenDatabase(source.path);
        auto rs = db->OpenRecordset(QStringLiteral("SELECT * FROM [%1]").arg(source.table));
        auto table = db->TableDefs()->Item(source.table);
        db.reset();
        EXPECT_EQ(rs->RecordCount(), source.rows) << source.path.toStdString();
        rs->MoveLast();
        EXPECT_TRUE(rs->Fields()->Item(0)->Value().isValid()) << source.path.toStdString();
        EXPECT_GT(table->Fields()->Count(), 1);

        auto closed = DBEngine::Instance().OpenDatabase(source.path);
        auto orphan = closed->OpenRecordset(QStringLiteral("SELECT * FROM [%1]").arg(source.table));
        closed->Close();
        EXPECT_EQ(ErrorOf([&] { orphan->MoveLast(); }), JetError::ObjectClosed) << source.path.toStdString();
    }
}

TEST_F(Engine, DamagedFilesAreRefusedAndLeftIntact)
{
    CreateOsoby()->Close();
    RawExec(PathOf(QStringLiteral("osoby.db")),
            "WITH RECURSIVE n(i) AS (SELECT 0 UNION ALL SELECT i + 1 FROM n WHERE i < 199) "
            "INSERT INTO Osoby (Id, \"Jméno\") SELECT i, 'Jméno ' || i FROM n");
    const QByteArray good = ReadAll(PathOf(QStringLiteral("osoby.db")));
    ASSERT_GT(good.size(), 8192);

    const QString truncated = PathOf(QStringLiteral("truncated.db"));
    WriteAll(truncated, good.left(1500));
    const int truncatedError = ErrorOf([&] {
        auto opened = DBEngine::Instance().OpenDatabase(truncated);
        opened->OpenRecordset(QStringLiteral("SELECT * FROM Osoby"))->MoveLast();
    });
    EXPECT_TRUE(truncatedError == JetError::NotADatabase || truncatedError == JetError::NoSuchTable) << truncatedError;
    EXPECT_EQ(ReadAll(truncated), good.left(1500));

    QByteArray scrambled = good;
    for (qsizetype i = 100; i < scrambled.size(); i += 7)
        scrambled[i] = char(scrambled[i] ^ 0x5A);
    const QString damaged = PathOf(QStringLiteral("damaged.db"));
    WriteAll(damaged, scrambled);
    EXPECT_NE(ErrorOf([&] {
                  auto opened = DBEngine::Instance().OpenDatabase(damaged);
                  auto rs = opened->OpenRecordset(QStringLiteral("SELECT * FROM Osoby"));
                  while (!rs->Eof())
                      rs->MoveNext();
              }),
              0);
    EXPECT_EQ(ReadAll(damaged), scrambled);
}

TEST_F(Engine, AccessFilesAreRecognisedAndOpenReadOnly)
{
    const QString nwind = QStringLiteral(QUARNEL_TESTDATA "/nwind.mdb");
    ASSERT_TRUE(QFile::exists(nwind));
    auto db = DBEngine::Instance().OpenDatabase(nwind);
    EXPECT_TRUE(db->ReadOnly());
    EXPECT_EQ(db->OpenRecordset(QStringLiteral("SELECT * FROM Customers"))->RecordCount(), 91);
}

TEST_F(Engine, CreateRefusesAnExistingFileAndLeavesItUntouched)
{
    const QString path = PathOf(QStringLiteral("novy.mdb"));
    WriteAll(path, "not yours");
    EXPECT_EQ(ErrorOf([&] { DBEngine::Instance().CreateDatabase(path, QString()); }), JetError::DatabaseExists);
    EXPECT_EQ(ReadAll(path), QByteArray("not yours"));
    EXPECT_EQ(ErrorOf([&] { DBEngine::Instance().CreateDatabase(PathOf(QStringLiteral("x/y.db")), QString()); }),
              JetError::InvalidPath);
}

TEST_F(Engine, NewDatabaseIsEmptyAndOpensAgain)
{
    const QString path = PathOf(QStringLiteral("novy.mdb"));
    auto db = DBEngine::Instance().CreateDatabase(path, QStringLiteral(";LANGID=0x0405;CP=1250;COUNTRY=0"));
    EXPECT_EQ(db->Name(), path);
    for (const auto& table : *db->TableDefs())
        EXPECT_TRUE(table->Attributes() & qint32(0x80000002u)) << table->Name().toStdString();
    EXPECT_EQ(db->QueryDefs()->Count(), 0);
    db->Close();
    EXPECT_EQ(ErrorOf([&] { db->TableDefs(); }), JetError::ObjectClosed);
    auto again = DBEngine::Instance().OpenDatabase(path);
    EXPECT_FALSE(again->ReadOnly());
}

TEST_F(Engine, CzechCollationHoldsOnEveryOpen)
{
    auto db = CreateOsoby();
    const QStringList names{QStringLiteral("hora"), QStringLiteral("chata"), QStringLiteral("cena"),
                            QStringLiteral("Čáp"), QStringLiteral("Ivan"), QStringLiteral("Žák")};
    for (int i = 0; i < names.size(); ++i)
        AddPerson(*db, {i, names[i]});
    db->Close();
    auto again = DBEngine::Instance().OpenDatabase(PathOf(QStringLiteral("osoby.db")));
    auto rs = again->OpenRecordset(QStringLiteral("SELECT Jméno FROM Osoby ORDER BY Jméno"));
    EXPECT_EQ(Column(*rs, 0), (QStringList{QStringLiteral("cena"), QStringLiteral("Čáp"), QStringLiteral("hora"),
                                           QStringLiteral("chata"), QStringLiteral("Ivan"), QStringLiteral("Žák")}));
    // Text compares without regard to case, as the engine's always has.
    auto found = again->OpenRecordset(QStringLiteral("SELECT Id FROM Osoby WHERE Jméno = 'ČÁP'"));
    EXPECT_EQ(found->RecordCount(), 1);
}

TEST_F(Engine, ReadOnlyFileOpensAndRefusesEveryChange)
{
    auto db = CreateOsoby();
    AddPerson(*db, {1, QStringLiteral("Jana")});
    db->Close();
    const QString path = PathOf(QStringLiteral("osoby.db"));
    const QByteArray before = ReadAll(path);
    auto readOnly = DBEngine::Instance().OpenDatabase(path, false, true);
    EXPECT_TRUE(readOnly->ReadOnly());
    auto rs = readOnly->OpenRecordset(QStringLiteral("SELECT * FROM Osoby"));
    EXPECT_EQ(rs->Fields()->Item(1)->Value().toString(), QStringLiteral("Jana"));
    EXPECT_EQ(ErrorOf([&] { rs->AddNew(); rs->Fields()->Item(0)->setValue(2); rs->Fields()->Item(1)->setValue(QStringLiteral("Eva")); rs->Update(); }),
              JetError::ReadOnly);
    rs->CancelUpdate();
    EXPECT_EQ(ErrorOf([&] { rs->Delete(); }), JetError::ReadOnly);
    auto table = readOnly->CreateTableDef(QStringLiteral("Nová"));
    table->Fields()->Append(table->CreateField(QStringLiteral("A"), JetType::Long));
    EXPECT_EQ(ErrorOf([&] { readOnly->TableDefs()->Append(table); }), JetError::ReadOnly);
    EXPECT_EQ(ErrorOf([&] { readOnly->CreateQueryDef(QStringLiteral("Q"), QStringLiteral("SELECT * FROM Osoby")); }),
              JetError::ReadOnly);
    EXPECT_EQ(ErrorOf([&] { readOnly->TableDefs()->Item(QStringLiteral("Osoby"))->Fields()->Item(1)->setName(QStringLiteral("X")); }),
              JetError::ReadOnly);
    readOnly->Close();
    EXPECT_EQ(ReadAll(path), before);
}

// Escape's way into a call running on another thread: the call gives up with 3059, in a
// file as on a server. The stop is asked again and again until the call has ended, so
// the test waits on the call, not on the clock.
TEST_F(Engine, AnInterruptBreaksIntoALongCallInAFileAndOnPostgres)
{
    const QString file = PathOf(QStringLiteral("cisla.db"));
    CreateOsoby(QStringLiteral("cisla.db"))->Close();
    RawExec(file, "CREATE TABLE D (N INTEGER); INSERT INTO D VALUES (0),(1),(2),(3),(4),(5),(6),(7),(8),(9)");
    struct Source {
        QString Name;
        std::function<std::shared_ptr<Database>()> Open;
        QString Sql;
    };
    PrepareOdbc();
    QList<Source> sources = {{QStringLiteral("file"), [&] { return DBEngine::Instance().OpenDatabase(file); },
                              QStringLiteral("SELECT a.N FROM D AS a, D AS b, D AS c, D AS d, D AS e, D AS f, "
                                             "D AS g, D AS h, D AS i, D AS j")}};
    if (cPostgresServer* server = SharedPostgres())
        sources.append({QStringLiteral("PostgreSQL"),
                        [server] { return DBEngine::Instance().OpenDatabase(QString(), false, false, server->Connect()); },
                        QStringLiteral("SELECT pg_sleep(600) AS Spánek")});
    ASSERT_EQ(sources.size(), 2) << "the PostgreSQL server did not start";
    for (const Source& source : sources) {
        auto db = source.Open();
        std::atomic<bool> ended{false};
        int number = 0;
        QString description;
        std::thread call([&] {
            try {
                db->OpenRecordset(source.Sql)->RecordCount();
            } catch (const cRuntimeError& e) {
                number = e.Number();
                description = e.Description();
            }
            ended = true;
        });
        for (int i = 0; i < 1000 && !ended; ++i) {
            db->Interrupt();
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        EXPECT_TRUE(ended) << source.Name.toStdString();
        call.join();
        EXPECT_EQ(number, JetError::Cancelled) << source.Name.toStdString() << ": " << description.toStdString();
        // The connection serves on.
        EXPECT_EQ(db->OpenRecordset(QStringLiteral("SELECT 1 AS Jedna"))->Fields()->Item(0)->Value().toInt(), 1)
            << source.Name.toStdString();
    }
}

// A whole column read at once gives each record the value a record-by-record read gives:
// for a large table read in two halves at once, a query whose records come in another
// order than their row identities, and a join that has none.
TEST_F(Engine, AColumnReadAtOnceAgreesWithTheRecords)
{
    CreateOsoby()->Close();
    const QString file = PathOf(QStringLiteral("osoby.db"));
    RawExec(file, "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 250000) "
                  "INSERT INTO Osoby (Id, \"Jméno\", \"Příjmení\") "
                  "SELECT i, 'J' || (i % 977), CASE WHEN i % 7 = 0 THEN NULL ELSE 'P' || i END FROM n");
    auto db = DBEngine::Instance().OpenDatabase(file);
    for (const char* sql : {"SELECT * FROM Osoby", "SELECT * FROM Osoby WHERE Id Mod 3 = 0 ORDER BY [Jméno] DESC",
                            "SELECT a.[Jméno], b.Id FROM Osoby AS a, Osoby AS b WHERE a.Id = b.Id AND a.Id < 5000"}) {
        auto rs = db->OpenRecordset(QString::fromUtf8(sql));
        const qint64 count = rs->RecordCount();
        for (int field = 0; field < 2; ++field) {
            ColumnValues values;
            cWorkControl control;
            ASSERT_TRUE(rs->ReadColumn(field, values, control)) << sql;
            ASSERT_EQ(qint64(values.OfPosition.size()), count) << sql;
            QSet<QString> seen;
            for (const QVariant& value : std::as_const(values.Distinct)) {
                EXPECT_FALSE(seen.contains(value.toString())) << "one entry a distinct value: " << sql;
                seen.insert(value.toString());
            }
            for (qint64 position = 0; position < count; position += 997) {
                rs->setAbsolutePosition(qint32(position));
                const qint32 entry = values.OfPosition[size_t(position)];
                ASSERT_GE(entry, 0) << sql;
                EXPECT_EQ(values.Distinct[entry], rs->Fields()->Item(field)->Value()) << sql << " at " << position;
            }
        }
    }
}
