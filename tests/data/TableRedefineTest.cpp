#include "DataTestSupport.h"

#include "cSqliteDriver.h"
#include "cSqliteStatement.h"
#include "cWorkControl.h"
#include "mJetErrors.h"
#include "mSqliteRebuild.h"

#include <QFile>
#include <QProcess>
#include <QStandardPaths>

#include <cstring>
#include <functional>
#include <map>

namespace {

using Edit = std::function<void(FieldSchema&)>;

// Everything a program reading the file meets: each object's definition, and each
// table's rows with their identity and storage classes, in any order. SQLite's own
// counters are rows whose identity is its own business.
std::map<std::string, std::string> Contents(const QString& path)
{
    sqlite3* raw = nullptr;
    sqlite3_open(path.toUtf8().constData(), &raw);
    std::map<std::string, std::string> contents;
    QList<QPair<QString, QString>> tables; // the name, and how its rows are selected
    sqlite3_stmt* read = nullptr;
    auto text = [&](int i) { return QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(read, i))); };
    sqlite3_prepare_v2(raw, "SELECT type, name, sql, sql NOT LIKE '%WITHOUT ROWID%' AND name NOT LIKE 'sqlite%' "
                            "FROM sqlite_schema WHERE tbl_name NOT LIKE 'QSys%'", -1, &read, nullptr);
    while (sqlite3_step(read) == SQLITE_ROW) {
        contents[(text(0) + u' ' + text(1)).toStdString()] = text(2).toStdString();
        if (text(0) == QLatin1String("table"))
            tables.append({text(1), QStringLiteral("SELECT %1* FROM %2")
                                        .arg(sqlite3_column_int(read, 3) ? QStringLiteral("_rowid_, ") : QString(),
                                             QuoteName(text(1)))});
    }
    sqlite3_finalize(read);
    for (const auto& [table, select] : tables) {
        sqlite3_prepare_v2(raw, select.toUtf8().constData(), -1, &read, nullptr);
        QStringList rows;
        while (sqlite3_step(read) == SQLITE_ROW) {
            rows << QString();
            for (int i = 0; i < sqlite3_column_count(read); ++i)
                rows.last() += QString::number(sqlite3_column_type(read, i)) + u':' + text(i) + u'|';
        }
        sqlite3_finalize(read);
        rows.sort();
        contents["rows " + table.toStdString()] = rows.join(u'\n').toStdString();
    }
    sqlite3_close(raw);
    return contents;
}

// What the sqlite3 tool says of the file's integrity and relations; SQLite's own answer
// where the tool is not installed.
QString ToolCheck(const QString& path)
{
    const QStringList checks{QStringLiteral("PRAGMA integrity_check"), QStringLiteral("PRAGMA foreign_key_check")};
    const QString tool = QStandardPaths::findExecutable(QStringLiteral("sqlite3"));
    if (tool.isEmpty()) {
        sqlite3* raw = nullptr;
        sqlite3_open(path.toUtf8().constData(), &raw);
        const QString answer = PlainRows(raw, checks[0]) + u'\n' + PlainRows(raw, checks[1]);
        sqlite3_close(raw);
        return answer;
    }
    QProcess process;
    process.start(tool, QStringList{QStringLiteral("-readonly"), path} + checks);
    process.waitForFinished(30000);
    return QString::fromUtf8(process.readAllStandardOutput() + process.readAllStandardError());
}

qint64 RootPage(sqlite3* db, const QString& table)
{
    cSqliteStatement read(db, QStringLiteral("SELECT rootpage FROM sqlite_schema WHERE name = ?"));
    read.Bind(1, table);
    return read.Step() ? read.Int(0) : -1;
}

class TableRedefine : public ::testing::Test {
protected:
    void Make(const char* script)
    {
        ASSERT_TRUE(dir.isValid());
        path = dir.filePath(QStringLiteral("a.sqlite"));
        copied = dir.filePath(QStringLiteral("b.sqlite"));
        QFile::remove(path);
        QFile::remove(copied);
        RawExec(path, script);
        ASSERT_TRUE(QFile::copy(path, copied));
    }

    // The field changed through the engine in the first file, and the definition it
    // made given to the copy of the table in the second: both must read the same.
    // Whether the table stayed where it was.
    bool ChangeBothWays(const QString& table, const QString& field, const Edit& edit)
    {
        auto driver = cSqliteDriver::Open(path, false);
        sqlite3* db = driver->Handle();
        FieldSchema changed;
        const auto schema = driver->FindTable(table);
        for (const FieldSchema& f : schema->Fields) {
            if (f.Name == field)
                changed = f;
        }
        edit(changed);
        const qint64 root = RootPage(db, table);
        EXPECT_EQ(ErrorOf([&] { driver->AlterField(table, field, changed, -1); }), 0);
        cSqliteStatement read(db, QStringLiteral("SELECT sql FROM sqlite_schema WHERE name = ?"));
        read.Bind(1, table);
        read.Step();
        const auto text = SplitCreateTable(read.Text(0));
        const bool inPlace = RootPage(db, table) == root;
        int defensive = 0;
        sqlite3_db_config(db, SQLITE_DBCONFIG_DEFENSIVE, -1, &defensive);
        EXPECT_EQ(defensive, 1);

        auto other = cSqliteDriver::Open(copied, false);
        sqlite3* copy = other->Handle();
        ExecSql(copy, QStringLiteral("PRAGMA foreign_keys = OFF"));
        ExecSql(copy, QStringLiteral("BEGIN"));
        {
            cStructureProgress progress(copy, nullptr);
            RebuildSqliteTable(copy, table, *text, QString(), QString(), progress);
        }
        ExecSql(copy, QStringLiteral("COMMIT"));
        driver->Close();
        other->Close();
        EXPECT_EQ(Contents(path), Contents(copied));
        EXPECT_EQ(ToolCheck(path), QStringLiteral("ok\n"));
        return inPlace;
    }

    QTemporaryDir dir;
    QString path, copied;
};

} // namespace

// Each kind of table another program makes reads the same after a change of rules,
// length or default as after the copy, and stays where it is where its rows allow.
TEST_F(TableRedefine, EveryKindOfTableReadsAsTheCopyWouldLeaveIt)
{
    const Edit required = [](FieldSchema& f) { f.Required = true; };
    const Edit longer = [](FieldSchema& f) { f.Size = 100; };
    const Edit defaulted = [](FieldSchema& f) { f.DefaultValue = QStringLiteral("7"); };
    struct Case {
        const char* Script;
        QString Table, Field;
        Edit Change;
        bool InPlace;
    } const cases[] = {
        {R"(CREATE TABLE log (msg TEXT);
            CREATE TABLE t (id INTEGER PRIMARY KEY AUTOINCREMENT, name VARCHAR(20) UNIQUE, qty INTEGER CHECK (qty >= 0),
              total INTEGER GENERATED ALWAYS AS (qty * 2) STORED);
            CREATE INDEX t_big ON t (qty) WHERE qty > 1;
            CREATE INDEX t_lower ON t (lower(name));
            CREATE TRIGGER t_log AFTER UPDATE OF name ON t BEGIN INSERT INTO log VALUES (NEW.name); END;
            CREATE VIEW v AS SELECT name, qty FROM t;
            INSERT INTO t (name, qty) VALUES ('a', 1), ('b', 2), ('c', 3); DELETE FROM t WHERE id = 3;)",
         QStringLiteral("t"), QStringLiteral("name"), longer, true},
        {R"(PRAGMA foreign_keys = ON;
            CREATE TABLE p (id INTEGER PRIMARY KEY, code VARCHAR(5) NOT NULL UNIQUE);
            CREATE TABLE c (id INTEGER PRIMARY KEY, code VARCHAR(5) REFERENCES p (code) ON DELETE CASCADE ON UPDATE CASCADE,
              n INTEGER DEFAULT 1);
            INSERT INTO p VALUES (1, 'x'), (2, 'y'); INSERT INTO c (code) VALUES ('x'), ('y'), (NULL);)",
         QStringLiteral("p"), QStringLiteral("code"), longer, true},
        {R"(CREATE TABLE p (id INTEGER PRIMARY KEY);
            CREATE TABLE c (id INTEGER PRIMARY KEY, p INTEGER REFERENCES p ON DELETE SET DEFAULT DEFAULT 1);
            INSERT INTO p VALUES (1), (2); INSERT INTO c (p) VALUES (2), (1);)",
         QStringLiteral("c"), QStringLiteral("p"), defaulted, true},
        {R"(CREATE TABLE w (k VARCHAR(10) PRIMARY KEY, v INTEGER, n TEXT) WITHOUT ROWID;
            INSERT INTO w VALUES ('x', 1, 'jedna'), ('y', 2, 'dva');)",
         QStringLiteral("w"), QStringLiteral("n"), required, true},
        {R"(CREATE TABLE w (k VARCHAR(10) PRIMARY KEY, v INTEGER) WITHOUT ROWID; INSERT INTO w VALUES ('x', 1);)",
         QStringLiteral("w"), QStringLiteral("k"), longer, false},
        {R"(CREATE TABLE r (rowid VARCHAR(10), v INTEGER); INSERT INTO r VALUES ('jedna', 1), (NULL, 2);)",
         QStringLiteral("r"), QStringLiteral("v"), defaulted, true},
        {"CREATE TABLE \"t a]%1 \"\"q\"\" \x01\" (\"c %2 \"\"x\"\"\" VARCHAR(10), \"d]\x02\" INTEGER);"
         "CREATE INDEX \"i %1]\" ON \"t a]%1 \"\"q\"\" \x01\" (\"c %2 \"\"x\"\"\", \"d]\x02\");"
         "INSERT INTO \"t a]%1 \"\"q\"\" \x01\" VALUES ('a', 1), ('b', 2);",
         QStringLiteral("t a]%1 \"q\" \x01"), QStringLiteral("c %2 \"x\""), required, true},
        {R"(PRAGMA journal_mode = WAL; CREATE TABLE t (a INTEGER, b VARCHAR(10)); INSERT INTO t VALUES (1, 'x');)",
         QStringLiteral("t"), QStringLiteral("b"), longer, true},
        // Rows stored before their column was added read its default: a new one would change them.
        {R"(CREATE TABLE t (a INTEGER); INSERT INTO t VALUES (1), (2);
            ALTER TABLE t ADD COLUMN b INTEGER DEFAULT 5; INSERT INTO t VALUES (3, NULL);
            CREATE INDEX t_b ON t (b);)",
         QStringLiteral("t"), QStringLiteral("b"), defaulted, false},
        {R"(CREATE TABLE t (a INTEGER, b INTEGER DEFAULT 5); INSERT INTO t (a) VALUES (1); INSERT INTO t VALUES (2, NULL);)",
         QStringLiteral("t"), QStringLiteral("b"), defaulted, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Script);
        Make(c.Script);
        EXPECT_EQ(ChangeBothWays(c.Table, c.Field, c.Change), c.InPlace);
    }
}

// Rows that break the table's own rule, written while another program ignored it, fail
// SQLite's check after the rewrite: the change is refused saying so, and nothing changes.
TEST_F(TableRedefine, ATableFailingTheCheckIsLeftAsItWas)
{
    Make(R"(CREATE TABLE t (a INTEGER CHECK (a > 0), b VARCHAR(10));
            PRAGMA ignore_check_constraints = ON; INSERT INTO t VALUES (-1, 'x');)");
    const auto before = Contents(path);
    auto driver = cSqliteDriver::Open(path, false);
    FieldSchema b = driver->FindTable(QStringLiteral("t"))->Fields.at(1);
    b.Required = true;
    try {
        driver->AlterField(QStringLiteral("t"), QStringLiteral("b"), b, -1);
        ADD_FAILURE() << "accepted";
    } catch (const cRuntimeError& e) {
        EXPECT_EQ(e.Number(), JetError::InvalidOperation);
        EXPECT_TRUE(e.Description().contains(QLatin1String("'t'")) && e.Description().contains(QLatin1String("CHECK")))
            << e.Description().toStdString();
    }
    EXPECT_FALSE(driver->FindTable(QStringLiteral("t"))->Fields.at(1).Required) << "the connection reads the old text";
    EXPECT_EQ(sqlite3_exec(driver->Handle(), "PRAGMA writable_schema = ON; UPDATE sqlite_schema SET sql = sql",
                           nullptr, nullptr, nullptr), SQLITE_ERROR) << "defensive again";
    driver->Close();
    EXPECT_EQ(Contents(path), before);
}

// A connection that read the old definition reads the new one, and a stop while the
// rows are checked leaves the file as it was.
TEST_F(TableRedefine, OtherConnectionsReadTheNewTextAndAStopUndoesIt)
{
    Make(R"(PRAGMA journal_mode = WAL; CREATE TABLE t (a INTEGER, b VARCHAR(10));
            WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 20000)
            INSERT INTO t SELECT i, 'b' || i FROM n;)");
    sqlite3* other = nullptr;
    sqlite3_open(path.toUtf8().constData(), &other);
    ASSERT_EQ(PlainRows(other, QStringLiteral("SELECT count(*) FROM t")), QStringLiteral("20000"));
    auto driver = cSqliteDriver::Open(path, false);
    FieldSchema b = driver->FindTable(QStringLiteral("t"))->Fields.at(1);
    b.Required = true;
    cWorkControl control;
    int calls = 0;
    struct Stop {
        cWorkControl* Control;
        int* Calls;
    } stop{&control, &calls};
    // The stop comes once the check has read a good part of the rows.
    sqlite3_trace_v2(
        driver->Handle(), SQLITE_TRACE_STMT,
        [](unsigned, void* context, void*, void* text) {
            auto* self = static_cast<Stop*>(context);
            if (std::strstr(static_cast<const char*>(text), "quick_check") && ++*self->Calls == 1)
                self->Control->RequestStop();
            return 0;
        },
        &stop);
    EXPECT_EQ(ErrorOf([&] { driver->AlterField(QStringLiteral("t"), QStringLiteral("b"), b, -1, &control); }),
              JetError::Cancelled);
    EXPECT_EQ(calls, 1);
    const QString required = QStringLiteral("SELECT \"notnull\" FROM pragma_table_info('t') WHERE name = 'b'");
    EXPECT_EQ(PlainRows(other, required), QStringLiteral("0"));
    cWorkControl again;
    EXPECT_EQ(ErrorOf([&] { driver->AlterField(QStringLiteral("t"), QStringLiteral("b"), b, -1, &again); }), 0);
    EXPECT_EQ(again.Percent(), 100);
    EXPECT_EQ(PlainRows(other, required), QStringLiteral("1"));
    sqlite3_close(other);
}
