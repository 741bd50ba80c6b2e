#include "DataTestSupport.h"
#include "OdbcTestSupport.h"

#include "cCurrency.h"
#include "cRuntimeError.h"
#include "mConvert.h"
#include "mJetErrors.h"

#include <QDateTime>
#include <QUuid>

#if defined(__SANITIZE_ADDRESS__)
#include <sanitizer/lsan_interface.h>
#endif

namespace {

const QDateTime kBorn(QDate(1985, 3, 14), QTime(10, 30), Qt::UTC);

// The same people on every source; names are lower case, as PostgreSQL keeps unquoted ones.
QStringList PeopleSql(bool postgres)
{
    const QString key = postgres ? QStringLiteral("serial PRIMARY KEY") : QStringLiteral("INTEGER PRIMARY KEY");
    const QString yes = postgres ? QStringLiteral("true") : QStringLiteral("1");
    const QString no = postgres ? QStringLiteral("false") : QStringLiteral("0");
    const QString real = postgres ? QStringLiteral("double precision") : QStringLiteral("DOUBLE");
    return {
        QStringLiteral("DROP VIEW IF EXISTS aktivní_osoby"),
        QStringLiteral("DROP TABLE IF EXISTS osoby"),
        QStringLiteral("DROP TABLE IF EXISTS deník"),
        QStringLiteral("CREATE TABLE osoby (id %1, jméno VARCHAR(20) NOT NULL, příjmení VARCHAR(50), narozen TIMESTAMP, "
                       "plat NUMERIC(12,2), aktivní BOOLEAN, poznámka TEXT, počet BIGINT, váha %2)")
            .arg(key, real),
        QStringLiteral("INSERT INTO osoby (id, jméno, příjmení, narozen, plat, aktivní, poznámka, počet, váha) VALUES "
                       "(1, 'Jana', 'Nováková', '1985-03-14 10:30:00', 1234.56, %1, 'Žluťoučký kůň', 9000000000, 72.5)")
            .arg(yes),
        QStringLiteral("INSERT INTO osoby (id, jméno, příjmení, aktivní, poznámka) VALUES (2, 'Petr', NULL, %1, '')").arg(no),
        QStringLiteral("INSERT INTO osoby (id, jméno, příjmení, narozen, plat, aktivní, počet, váha) VALUES "
                       "(3, 'Řehoř', 'Čapek', '2001-12-31 00:00:00', 0.5, %1, -1, 0)")
            .arg(yes),
        postgres ? QStringLiteral("SELECT setval('osoby_id_seq', 3)") : QStringLiteral("SELECT 1"),
        QStringLiteral("CREATE TABLE deník (záznam VARCHAR(50))"),
        QStringLiteral("INSERT INTO deník VALUES ('první')"),
        QStringLiteral("DROP TABLE IF EXISTS známky"),
        QStringLiteral("CREATE TABLE známky (žák INTEGER, předmět VARCHAR(20), známka SMALLINT, PRIMARY KEY (žák, předmět))"),
        QStringLiteral("INSERT INTO známky VALUES (1, 'dějepis', 1), (1, 'fyzika', 3), (2, 'dějepis', 2)"),
        QStringLiteral("CREATE VIEW aktivní_osoby AS SELECT id, jméno FROM osoby WHERE aktivní = %1").arg(yes),
    };
}

QString SqliteConnect(const QString& file)
{
    return QStringLiteral("ODBC;DRIVER=%1;Database=%2").arg(OdbcDriverPath(QStringLiteral("libsqlite3odbc.so")), file);
}

// Only for its helper that reads one field of every record.
struct ColumnOf : DatabaseTest {
    using DatabaseTest::Column;
};

} // namespace

// Both real drivers pass the same tests: the SQLite ODBC driver on a file, and
// PostgreSQL through psqlODBC on a private server.
class OdbcSource : public ::testing::TestWithParam<const char*> {
protected:
    void SetUp() override
    {
        PrepareOdbc();
        ASSERT_TRUE(m_dir.isValid());
        if (Postgres()) {
            ASSERT_FALSE(OdbcDriverPath(QStringLiteral("psqlodbcw.so")).isEmpty()) << "odbc-postgresql is missing";
            cPostgresServer* server = SharedPostgres();
            ASSERT_NE(server, nullptr);
            m_connect = server->Connect();
        } else {
            ASSERT_FALSE(OdbcDriverPath(QStringLiteral("libsqlite3odbc.so")).isEmpty()) << "libsqliteodbc is missing";
            m_connect = SqliteConnect(m_dir.filePath(QStringLiteral("lidé.db")));
        }
        RunOdbcSql(m_connect, PeopleSql(Postgres()));
        db = DBEngine::Instance().OpenDatabase(QString(), false, false, m_connect);
    }
    bool Postgres() const { return QLatin1String(GetParam()) == QLatin1String("PostgreSQL"); }
    QVariant Value(Recordset& rs, const QString& field) { return rs.Fields()->Item(field)->Value(); }
    QStringList Names(const QString& sql)
    {
        auto rs = db->OpenRecordset(sql);
        return ColumnOf::Column(*rs, 0);
    }

    QTemporaryDir m_dir;
    QString m_connect;
    std::shared_ptr<Database> db;
};

INSTANTIATE_TEST_SUITE_P(Odbc, OdbcSource, ::testing::Values("SQLite", "PostgreSQL"));

TEST_P(OdbcSource, ListsTablesFieldsAndViews)
{
    EXPECT_TRUE(db->Name().startsWith(QLatin1String("ODBC;DRIVER=")));
    auto tables = db->TableDefs();
    QStringList user;
    for (int i = 0; i < tables->Count(); ++i) {
        if (!(tables->Item(i)->Attributes() & cOdbcDriver::kSystemObject))
            user << tables->Item(i)->Name();
    }
    EXPECT_TRUE(user.contains(QStringLiteral("osoby"))) << user.join(u',').toStdString();
    EXPECT_TRUE(user.contains(QStringLiteral("deník")));
    EXPECT_FALSE(user.contains(QStringLiteral("aktivní_osoby"))) << "a view is a query, not a table";

    auto fields = tables->Item(QStringLiteral("osoby"))->Fields();
    ASSERT_EQ(fields->Count(), 9);
    struct Expected {
        const char* name;
        int type;
        qint32 size;
        bool required;
    };
    const Expected expected[] = {
        {"id", JetType::Long, 4, false}, {"jméno", JetType::Text, 20, true},
        {"příjmení", JetType::Text, 50, false}, {"narozen", JetType::Date, 8, false},
        {"plat", JetType::Decimal, 16, false}, {"aktivní", JetType::Boolean, 1, false},
        {"poznámka", JetType::Memo, 0, false}, {"počet", JetType::BigInt, 8, false},
        {"váha", JetType::Double, 8, false},
    };
    for (int i = 0; i < 9; ++i) {
        SCOPED_TRACE(expected[i].name);
        EXPECT_EQ(fields->Item(i)->Name(), QString::fromUtf8(expected[i].name));
        // The SQLite driver reports NUMERIC as a double.
        EXPECT_EQ(fields->Item(i)->Type(), i == 4 && !Postgres() ? JetType::Double : expected[i].type);
        if (expected[i].type == JetType::Text) {
            EXPECT_EQ(fields->Item(i)->Size(), expected[i].size);
        }
        if (i > 0) { // a serial key is NOT NULL on one source, nullable on the other
            EXPECT_EQ(fields->Item(i)->Required(), expected[i].required);
        }
    }

    auto queries = db->QueryDefs();
    ASSERT_EQ(queries->Count(), 1);
    EXPECT_EQ(queries->Item(0)->Name(), QStringLiteral("aktivní_osoby"));
    EXPECT_TRUE(queries->Item(0)->SQL().contains(QLatin1String("osoby"))) << queries->Item(0)->SQL().toStdString();
}

TEST_P(OdbcSource, ReadsEveryValueAsStored)
{
    auto rs = db->OpenRecordset(QStringLiteral("SELECT * FROM osoby ORDER BY id"));
    EXPECT_EQ(Value(*rs, QStringLiteral("id")), QVariant(1));
    EXPECT_EQ(Value(*rs, QStringLiteral("příjmení")).toString(), QStringLiteral("Nováková"));
    EXPECT_EQ(Value(*rs, QStringLiteral("narozen")).toDateTime(), kBorn);
    EXPECT_DOUBLE_EQ(Value(*rs, QStringLiteral("plat")).toDouble(), 1234.56);
    EXPECT_EQ(Value(*rs, QStringLiteral("aktivní")), QVariant(true));
    EXPECT_EQ(Value(*rs, QStringLiteral("poznámka")).toString(), QStringLiteral("Žluťoučký kůň"));
    EXPECT_EQ(Value(*rs, QStringLiteral("počet")).toLongLong(), 9000000000LL);
    EXPECT_DOUBLE_EQ(Value(*rs, QStringLiteral("váha")).toDouble(), 72.5);
    rs->MoveNext();
    EXPECT_FALSE(Value(*rs, QStringLiteral("příjmení")).isValid()) << "Null";
    EXPECT_FALSE(Value(*rs, QStringLiteral("narozen")).isValid());
    EXPECT_EQ(Value(*rs, QStringLiteral("aktivní")), QVariant(false));
    const QVariant empty = Value(*rs, QStringLiteral("poznámka"));
    EXPECT_TRUE(empty.isValid() && empty.toString().isEmpty()) << "the empty text is not Null";
    rs->MoveNext();
    EXPECT_EQ(Value(*rs, QStringLiteral("jméno")).toString(), QStringLiteral("Řehoř"));
    EXPECT_EQ(Value(*rs, QStringLiteral("počet")).toLongLong(), -1);
    rs->MoveNext();
    EXPECT_TRUE(rs->Eof());
}

TEST_P(OdbcSource, ReadsAndWritesTheOtherTypes)
{
    const bool pg = Postgres();
    RunOdbcSql(m_connect, {
        QStringLiteral("DROP TABLE IF EXISTS druhy"),
        QStringLiteral("CREATE TABLE druhy (id INTEGER PRIMARY KEY, malé SMALLINT, reálné REAL, den DATE, čas TIME, "
                       "data %1, znaky CHAR(3)%2)")
            .arg(pg ? QStringLiteral("BYTEA") : QStringLiteral("BLOB"), pg ? QStringLiteral(", kód UUID") : QString()),
        QStringLiteral("INSERT INTO druhy (id, malé, reálné, den, čas, znaky) VALUES (1, -7, 1.5, '2024-02-29', "
                       "'13:45:10', 'ab')"),
    });
    auto rs = db->OpenRecordset(QStringLiteral("SELECT * FROM druhy"));
    auto field = [&](const char* name) { return rs->Fields()->Item(QString::fromUtf8(name)); };
    EXPECT_EQ(field("malé")->Type(), JetType::Integer);
    EXPECT_EQ(field("malé")->Value().toInt(), -7);
    EXPECT_EQ(field("reálné")->Type(), pg ? JetType::Single : JetType::Double);
    EXPECT_DOUBLE_EQ(field("reálné")->Value().toDouble(), 1.5);
    EXPECT_EQ(field("den")->Value().toDateTime(), QDateTime(QDate(2024, 2, 29), QTime(0, 0), Qt::UTC));
    EXPECT_EQ(field("čas")->Value().toDateTime(), QDateTime(ZeroDate(), QTime(13, 45, 10), Qt::UTC))
        << "a time alone lies on day zero";
    EXPECT_EQ(field("znaky")->Value().toString().trimmed(), QStringLiteral("ab"));
    EXPECT_FALSE(field("data")->Value().isValid());

    const QByteArray bytes = QByteArray::fromHex("0001ff00") + QStringLiteral("binární").toUtf8();
    const QUuid id = QUuid::fromString(QStringLiteral("{6f1c2b1e-8c3a-4d5e-9f00-1234567890ab}"));
    rs->Edit();
    field("data")->setValue(bytes);
    field("čas")->setValue(QDateTime(ZeroDate(), QTime(8, 5), Qt::UTC));
    if (pg)
        field("kód")->setValue(id);
    rs->Update();
    auto again = db->OpenRecordset(QStringLiteral("SELECT * FROM druhy"));
    EXPECT_EQ(again->Fields()->Item(QStringLiteral("data"))->Value().toByteArray(), bytes);
    EXPECT_EQ(again->Fields()->Item(QStringLiteral("čas"))->Value().toDateTime().time(), QTime(8, 5));
    if (pg) {
        EXPECT_EQ(again->Fields()->Item(QStringLiteral("kód"))->Type(), JetType::Guid);
        EXPECT_EQ(again->Fields()->Item(QStringLiteral("kód"))->Value().toUuid(), id);
    }
}

TEST_P(OdbcSource, MovesByPositionAndBookmark)
{
    auto rs = db->OpenRecordset(QStringLiteral("SELECT jméno FROM osoby ORDER BY id DESC"));
    EXPECT_EQ(rs->RecordCount(), 3);
    rs->setAbsolutePosition(1);
    EXPECT_EQ(rs->Fields()->Item(0)->Value().toString(), QStringLiteral("Petr"));
    const QVariant petr = rs->Bookmark();
    rs->MoveLast();
    EXPECT_EQ(rs->Fields()->Item(0)->Value().toString(), QStringLiteral("Jana"));
    rs->setBookmark(petr);
    EXPECT_EQ(rs->AbsolutePosition(), 1);
    rs->MoveFirst();
    EXPECT_EQ(rs->Fields()->Item(0)->Value().toString(), QStringLiteral("Řehoř"));
    rs->Requery();
    rs->setBookmark(petr);
    EXPECT_EQ(rs->Fields()->Item(0)->Value().toString(), QStringLiteral("Petr")) << "a bookmark survives a requery";
}

TEST_P(OdbcSource, EditsAddsAndDeletesThroughTheKey)
{
    ScopedLocale czech(QStringLiteral("cs_CZ"));
    auto rs = db->OpenRecordset(QStringLiteral("SELECT * FROM osoby ORDER BY id"));
    ASSERT_TRUE(rs->Updatable());
    rs->MoveNext();
    rs->Edit();
    rs->Fields()->Item(QStringLiteral("příjmení"))->setValue(QStringLiteral("Šťastný"));
    rs->Fields()->Item(QStringLiteral("narozen"))->setValue(QStringLiteral("2.1.1999"));
    rs->Fields()->Item(QStringLiteral("aktivní"))->setValue(true);
    rs->Fields()->Item(QStringLiteral("plat"))->setValue(QVariant::fromValue(cCurrency::FromUnits(100005000)));
    rs->Update();
    EXPECT_EQ(Value(*rs, QStringLiteral("příjmení")).toString(), QStringLiteral("Šťastný"));

    rs->AddNew();
    rs->Fields()->Item(QStringLiteral("jméno"))->setValue(QStringLiteral("Zdeňka"));
    rs->Fields()->Item(QStringLiteral("poznámka"))->setValue(QString(5000, u'ž'));
    rs->Update();
    EXPECT_EQ(rs->RecordCount(), 4);

    rs->MoveFirst();
    rs->Delete();
    EXPECT_EQ(ErrorOf([&] { rs->Fields()->Item(0)->Value(); }), JetError::RecordDeleted);

    auto again = db->OpenRecordset(QStringLiteral("SELECT * FROM osoby ORDER BY id"));
    EXPECT_EQ(ColumnOf::Column(*again, 1), (QStringList{QStringLiteral("Petr"), QStringLiteral("Řehoř"), QStringLiteral("Zdeňka")}));
    again->MoveFirst();
    EXPECT_EQ(Value(*again, QStringLiteral("narozen")).toDateTime(), QDateTime(QDate(1999, 1, 2), QTime(0, 0), Qt::UTC));
    EXPECT_EQ(Value(*again, QStringLiteral("aktivní")), QVariant(true));
    EXPECT_DOUBLE_EQ(Value(*again, QStringLiteral("plat")).toDouble(), 10000.5);
    again->MoveLast();
    EXPECT_GT(Value(*again, QStringLiteral("id")).toInt(), 3) << "the source gave the key";
    EXPECT_EQ(Value(*again, QStringLiteral("poznámka")).toString(), QString(5000, u'ž')) << "a long text in full";
}

TEST_P(OdbcSource, AKeyOfSeveralFieldsIdentifiesRecordsEvenWhenItChanges)
{
    auto rs = db->OpenRecordset(QStringLiteral("SELECT z.předmět, z.známka FROM známky AS z ORDER BY žák, předmět"));
    ASSERT_TRUE(rs->Updatable());
    rs->MoveNext();
    const QVariant fyzika = rs->Bookmark();
    rs->Edit();
    rs->Fields()->Item(0)->setValue(QStringLiteral("chemie"));
    rs->Fields()->Item(1)->setValue(2);
    rs->Update();
    EXPECT_EQ(rs->Fields()->Item(0)->Value().toString(), QStringLiteral("chemie")) << "read again by its new key";
    EXPECT_EQ(rs->Fields()->Item(1)->Value().toInt(), 2);
    rs->MoveFirst();
    EXPECT_EQ(ErrorOf([&] { rs->setBookmark(fyzika); }), 3159) << "the old key is gone";
    rs->MoveLast();
    rs->Delete();
    auto again = db->OpenRecordset(QStringLiteral("SELECT předmět FROM známky ORDER BY žák, předmět"));
    EXPECT_EQ(ColumnOf::Column(*again, 0), (QStringList{QStringLiteral("chemie"), QStringLiteral("dějepis")}));
}

TEST_P(OdbcSource, RefusesWhatTheSourceOrTheRulesRefuse)
{
    auto rs = db->OpenRecordset(QStringLiteral("SELECT * FROM osoby"));
    rs->AddNew();
    rs->Fields()->Item(QStringLiteral("id"))->setValue(1);
    rs->Fields()->Item(QStringLiteral("jméno"))->setValue(QStringLiteral("Dvojník"));
    EXPECT_EQ(ErrorOf([&] { rs->Update(); }), JetError::DuplicateKey);
    rs->CancelUpdate();
    rs->AddNew();
    EXPECT_EQ(ErrorOf([&] { rs->Update(); }), JetError::Required) << "jméno is NOT NULL";
    rs->CancelUpdate();
    rs->AddNew();
    EXPECT_EQ(ErrorOf([&] { rs->Fields()->Item(QStringLiteral("jméno"))->setValue(QString(21, u'x')); rs->Update(); }),
              JetError::FieldTooSmall);
    EXPECT_EQ(rs->RecordCount(), 3);
}

TEST_P(OdbcSource, IsReadOnlyWithoutAPrimaryKey)
{
    auto rs = db->OpenRecordset(QStringLiteral("SELECT * FROM deník"));
    EXPECT_FALSE(rs->Updatable());
    EXPECT_EQ(rs->Fields()->Item(0)->Value().toString(), QStringLiteral("první"));
    EXPECT_EQ(ErrorOf([&] { rs->Edit(); }), JetError::ReadOnly);
    EXPECT_EQ(ErrorOf([&] { rs->AddNew(); }), JetError::ReadOnly);
    EXPECT_EQ(ErrorOf([&] { rs->Delete(); }), JetError::ReadOnly);
    auto joined = db->OpenRecordset(QStringLiteral("SELECT count(*) AS n FROM osoby"));
    EXPECT_FALSE(joined->Updatable());
    EXPECT_EQ(joined->Fields()->Item(0)->Value().toInt(), 3);
}

TEST_P(OdbcSource, TranslatesTheJetDialect)
{
    EXPECT_EQ(Names(QStringLiteral("SELECT [jméno] FROM [osoby] WHERE příjmení LIKE '*ov*' ORDER BY id")),
              QStringList{QStringLiteral("Jana")});
    EXPECT_EQ(Names(QStringLiteral("SELECT jméno FROM osoby WHERE příjmení Like \"?apek\"")), QStringList{QStringLiteral("Řehoř")});
    EXPECT_EQ(Names(QStringLiteral("SELECT jméno FROM osoby WHERE narozen > #1/1/1990# OR narozen < #1985-01-01#")),
              QStringList{QStringLiteral("Řehoř")});
    EXPECT_EQ(Names(QStringLiteral("SELECT jméno FROM osoby WHERE aktivní = True ORDER BY id")),
              (QStringList{QStringLiteral("Jana"), QStringLiteral("Řehoř")}));
    EXPECT_EQ(Names(QStringLiteral("SELECT TOP 1 jméno & ' ' & příjmení AS celé FROM osoby ORDER BY id;")),
              QStringList{QStringLiteral("Jana Nováková")});
}

// TOP limits its own arm of a union; a table of another schema opens by the name listed.
TEST_P(OdbcSource, TopOfAUnionArmAndTablesOfAnotherSchema)
{
    EXPECT_EQ(Names(QStringLiteral("SELECT TOP 1 jméno FROM osoby UNION ALL SELECT jméno FROM deník, osoby")).size(),
              Names(QStringLiteral("SELECT jméno FROM osoby")).size() + 1);
    if (!Postgres())
        return; // the SQLite driver lists no schemas
    RunOdbcSql(m_connect, {QStringLiteral("DROP SCHEMA IF EXISTS sklad CASCADE"), QStringLiteral("CREATE SCHEMA sklad"),
                           QStringLiteral("CREATE TABLE sklad.zboží (id INTEGER PRIMARY KEY, název VARCHAR(20))"),
                           QStringLiteral("INSERT INTO sklad.zboží VALUES (1, 'hřebík'), (2, 'šroub')")});
    db = DBEngine::Instance().OpenDatabase(QString(), false, false, m_connect);
    auto tables = db->TableDefs();
    QStringList names;
    for (int i = 0; i < tables->Count(); ++i)
        names << tables->Item(i)->Name();
    ASSERT_TRUE(names.contains(QStringLiteral("sklad.zboží"))) << names.join(u',').toStdString();
    auto rs = db->OpenRecordset(QStringLiteral("SELECT * FROM [sklad.zboží] ORDER BY [id]"));
    EXPECT_EQ(ColumnOf::Column(*rs, 1), (QStringList{QStringLiteral("hřebík"), QStringLiteral("šroub")}));
    RunOdbcSql(m_connect, {QStringLiteral("DROP SCHEMA sklad CASCADE")});
}

TEST_P(OdbcSource, BracketedNamesIgnoreCaseAsInJet)
{
    // Names quoted in mixed case keep their case on the source; Jet's [names] ignore it.
    RunOdbcSql(m_connect, {QStringLiteral("DROP TABLE IF EXISTS \"Zákazníci\""),
                           QStringLiteral("CREATE TABLE \"Zákazníci\" (\"Číslo\" INTEGER PRIMARY KEY, \"Jméno\" VARCHAR(20))"),
                           QStringLiteral("INSERT INTO \"Zákazníci\" VALUES (1, 'Eva')")});
    EXPECT_EQ(Names(QStringLiteral("SELECT [JMÉNO] FROM [ZÁKAZNÍCI] WHERE [číslo] = 1")), QStringList{QStringLiteral("Eva")});
    auto rs = db->OpenRecordset(QStringLiteral("SELECT [jméno] FROM [zákazníci]"));
    EXPECT_TRUE(rs->Updatable());
    rs->Edit();
    rs->Fields()->Item(0)->setValue(QStringLiteral("Ema"));
    rs->Update();
    EXPECT_EQ(Names(QStringLiteral("SELECT [Jméno] FROM [Zákazníci]")), QStringList{QStringLiteral("Ema")});
    // SQLite itself takes an unknown quoted name for a text constant.
    if (Postgres()) {
        EXPECT_EQ(ErrorOf([&] { db->OpenRecordset(QStringLiteral("SELECT [Příjmení] FROM [Zákazníci]")); }),
                  JetError::OdbcFailed)
            << "an unknown name stays unknown";
    }
}

TEST_P(OdbcSource, BadSqlAndSecondStatementsAreErrors)
{
    cRuntimeError failure(0, QString());
    try {
        db->OpenRecordset(QStringLiteral("SELECT nic FROM osoby"));
    } catch (const cRuntimeError& e) {
        failure = e;
    }
    EXPECT_EQ(failure.Number(), JetError::OdbcFailed);
    EXPECT_TRUE(failure.Description().startsWith(QStringLiteral("Volání ODBC se nezdařilo."))) << failure.Description().toStdString();
    EXPECT_TRUE(failure.Description().contains(QLatin1String("nic"))) << "the source's own words";

    EXPECT_EQ(ErrorOf([&] { db->OpenRecordset(QStringLiteral("SELECT * FROM osoby; DROP TABLE osoby")); }),
              JetError::TextAfterStatement);
    EXPECT_EQ(ErrorOf([&] { db->OpenRecordset(QStringLiteral("DELETE FROM osoby")); }), JetError::InvalidOperation);
    EXPECT_EQ(Names(QStringLiteral("SELECT jméno FROM osoby WHERE jméno = 'a;b'")), QStringList{});
    EXPECT_EQ(db->OpenRecordset(QStringLiteral("SELECT * FROM osoby"))->RecordCount(), 3) << "nothing ran";
}

// Texts the source reads as two statements where Jet reads one: refused before anything
// is sent, by the source's own rules or by the engine's, and nothing is deleted.
TEST_P(OdbcSource, SmuggledStatementsNeverReachTheSource)
{
    const char* const attempts[] = {
        "SELECT $$'$$; DELETE FROM osoby; --'",
        "SELECT E'\\'' ; DELETE FROM osoby; --'",
        "SELECT jméno FROM osoby WHERE jméno = E'\\'' ; DELETE FROM osoby; --'",
        "SELECT jméno FROM osoby WHERE jméno = 'x' --'; DELETE FROM osoby; --'",
        "SELECT jméno FROM osoby WHERE jméno = '\\'' ; DELETE FROM osoby; --'",
    };
    for (const char* sql : attempts) {
        std::shared_ptr<Recordset> rs;
        ErrorOf([&] { rs = db->OpenRecordset(QString::fromUtf8(sql)); });
        EXPECT_TRUE(!rs || rs->RecordCount() == 0) << sql;
    }
    EXPECT_EQ(db->OpenRecordset(QStringLiteral("SELECT * FROM osoby"))->RecordCount(), 3) << "nothing was deleted";
    EXPECT_EQ(Names(QStringLiteral("SELECT jméno FROM osoby WHERE jméno LIKE 'J*' OR jméno LIKE '*\\*'")),
              QStringList{QStringLiteral("Jana")})
        << "a backslash in a text is a plain character to a source that reads it so";

    // A source without quotes for names would take this one raw.
    OdbcDialect unquoted;
    unquoted.Quote = u' ';
    QString sent;
    EXPECT_EQ(ErrorOf([&] { sent = TranslateJetSqlForOdbc(QStringLiteral("SELECT * FROM [osoby; DELETE FROM osoby]"), unquoted); }),
              JetError::InvalidName);
    if (!sent.isEmpty())
        ErrorOf([&] { RunOdbcSql(m_connect, {sent}); });
    EXPECT_EQ(db->OpenRecordset(QStringLiteral("SELECT * FROM osoby"))->RecordCount(), 3) << "nothing was deleted by the name";
}

// A query may change how the session reads a backslash; texts must mean the same after it.
TEST_P(OdbcSource, ABackslashMeansItselfWhateverTheSessionSays)
{
    if (!Postgres())
        GTEST_SKIP() << "only PostgreSQL lets a query change how it reads texts";
    const QString smuggle = QStringLiteral("SELECT jméno FROM osoby WHERE jméno = '\\'' ; DELETE FROM osoby; --'");
    const QString path = QStringLiteral("SELECT 'C:\\dir\\' & jméno AS p FROM osoby WHERE jméno LIKE '*\\*' OR id = 1");
    for (const char* setting : {"on", "off", "on"}) {
        Names(QStringLiteral("SELECT set_config('standard_conforming_strings', '%1', false)").arg(QLatin1String(setting)));
        std::shared_ptr<Recordset> rs;
        ErrorOf([&] { rs = db->OpenRecordset(smuggle); });
        EXPECT_TRUE(!rs || rs->RecordCount() == 0) << setting;
        EXPECT_EQ(Names(path), QStringList{QStringLiteral("C:\\dir\\Jana")}) << setting;
        EXPECT_EQ(db->OpenRecordset(QStringLiteral("SELECT * FROM osoby"))->RecordCount(), 3) << setting;
    }
}

TEST_P(OdbcSource, ReadOnlyOpeningRefusesChanges)
{
    auto readOnly = DBEngine::Instance().OpenDatabase(QString(), false, true, m_connect);
    auto rs = readOnly->OpenRecordset(QStringLiteral("SELECT * FROM osoby"));
    EXPECT_FALSE(rs->Updatable());
    EXPECT_EQ(ErrorOf([&] { rs->Edit(); }), JetError::ReadOnly);
}

TEST(OdbcConnect, AnUnknownDriverOrSourceFailsToConnect)
{
    PrepareOdbc();
    cRuntimeError failure(0, QString());
    try {
        DBEngine::Instance().OpenDatabase(QString(), false, false, QStringLiteral("ODBC;DSN=Nikde;UID=ja;PWD=tajne"));
    } catch (const cRuntimeError& e) {
        failure = e;
    }
    EXPECT_EQ(failure.Number(), 3151);
    EXPECT_TRUE(failure.Description().contains(QLatin1String("Nikde"))) << failure.Description().toStdString();
    EXPECT_FALSE(failure.Description().contains(QLatin1String("tajne"))) << "never the password";
    EXPECT_EQ(ErrorOf([] { DBEngine::Instance().OpenDatabase(QString(), false, false, QStringLiteral("ODBC;DRIVER=/nikde/x.so")); }),
              3151);
}

TEST(OdbcConnect, ADataSourceNameWorksAsADriverDoes)
{
#if defined(__SANITIZE_ADDRESS__)
    // The SQLite ODBC driver keeps the DSN settings it read and is unloaded with them.
    __lsan::ScopedDisabler driverKeepsItsSettings;
#endif
    PrepareOdbc();
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("dsn.db"));
    RunOdbcSql(SqliteConnect(file), {QStringLiteral("CREATE TABLE t (id INTEGER PRIMARY KEY, slovo TEXT)"),
                                     QStringLiteral("INSERT INTO t VALUES (1, 'ahoj')")});
    AddOdbcDsn(QStringLiteral("QuarnelZkouska"), OdbcDriverPath(QStringLiteral("libsqlite3odbc.so")), file);
    auto db = DBEngine::Instance().OpenDatabase(QString(), false, false, QStringLiteral("ODBC;DSN=QuarnelZkouska"));
    EXPECT_EQ(db->OpenRecordset(QStringLiteral("SELECT slovo FROM t"))->Fields()->Item(0)->Value().toString(),
              QStringLiteral("ahoj"));
}

// The key the SQLite driver gave a new record is read back by the row's identity, not by
// a column named rowid that happens to hold the same number.
TEST(OdbcSqlite, ANewRecordIsFoundByItsIdentityNotByAColumnNamedRowid)
{
    PrepareOdbc();
    ASSERT_FALSE(OdbcDriverPath(QStringLiteral("libsqlite3odbc.so")).isEmpty()) << "libsqliteodbc is missing";
    QTemporaryDir dir;
    const QString connect = SqliteConnect(dir.filePath(QStringLiteral("rowid.db")));
    RunOdbcSql(connect, {QStringLiteral("CREATE TABLE t (id INTEGER PRIMARY KEY, rowid INTEGER, jméno TEXT)"),
                         QStringLiteral("INSERT INTO t VALUES (1, 3, 'Adam'), (2, 1, 'Eva')")});
    auto db = DBEngine::Instance().OpenDatabase(QString(), false, false, connect);
    auto rs = db->OpenRecordset(QStringLiteral("SELECT id, jméno FROM t"));
    ASSERT_TRUE(rs->Updatable());
    rs->AddNew();
    rs->Fields()->Item(1)->setValue(QStringLiteral("Nový"));
    rs->Update();
    rs->MoveLast();
    EXPECT_EQ(rs->Fields()->Item(1)->Value().toString(), QStringLiteral("Nový"));
    EXPECT_EQ(rs->Fields()->Item(0)->Value().toInt(), 3);
    EXPECT_EQ(rs->RecordCount(), 3);
}
