#include "ApplicationHarness.h"

#include "DBEngine.h"
#include "OdbcTestSupport.h"
#include "Recordset.h"
#include "cRecordList.h"
#include "fApplication.h"
#include "modRegistry.h"
#include "sMain.h"

#include <QApplication>

#include <sqlite3.h>

namespace {

// The record editor on every kind of source a user may edit: a file of our own, an ODBC
// source (the SQLite driver) and a PostgreSQL server through its ODBC driver. Each refuses
// a duplicate key with 3022 and a missing required value with 3314, as the engine numbers
// them everywhere.
class RecordBackendTest : public ApplicationTest, public ::testing::WithParamInterface<const char*> {
protected:
    void SetUp() override
    {
        ApplicationTest::SetUp();
        PrepareOdbc();
        const QString backend = QString::fromLatin1(GetParam());
        const QString file = m_dir.filePath(QStringLiteral("osoby.db"));
        const QStringList rows = {QStringLiteral("INSERT INTO osoby VALUES (1, 'Jana', 'Praha')"),
                                  QStringLiteral("INSERT INTO osoby VALUES (2, 'Petr', 'Brno')")};
        const QString table = QStringLiteral("CREATE TABLE osoby (id INTEGER NOT NULL PRIMARY KEY, "
                                             "jmeno VARCHAR(20) NOT NULL, mesto VARCHAR(30))");
        if (backend == QLatin1String("OdbcPostgres")) {
            cPostgresServer* server = SharedPostgres();
            ASSERT_NE(server, nullptr) << "the PostgreSQL server did not start";
            m_connect = server->Connect();
            RunOdbcSql(m_connect, QStringList{QStringLiteral("DROP TABLE IF EXISTS osoby"), table} + rows);
        } else {
            sqlite3* db = nullptr;
            ASSERT_EQ(sqlite3_open(file.toUtf8().constData(), &db), SQLITE_OK);
            for (const QString& sql : QStringList{table} + rows)
                EXPECT_EQ(sqlite3_exec(db, sql.toUtf8().constData(), nullptr, nullptr, nullptr), SQLITE_OK);
            sqlite3_close(db);
            m_connect = backend == QLatin1String("SqliteFile")
                            ? QStringLiteral(";")
                            : QStringLiteral("ODBC;DRIVER=%1;Database=%2")
                                  .arg(OdbcDriverPath(QStringLiteral("libsqlite3odbc.so")), file);
        }
        SaveRegSetting(kProgramKey, QStringLiteral("Application"), QStringLiteral("Type"), m_connect);
        ASSERT_TRUE(Open(file));
        m_window->list->setFocus();
    }

    QStringList Stored() const
    {
        auto db = DBEngine::Instance().OpenDatabase(m_dir.filePath(QStringLiteral("osoby.db")), false, false, m_connect);
        auto rs = db->OpenRecordset(QStringLiteral("SELECT id, jmeno, mesto FROM osoby ORDER BY id"));
        QStringList records;
        for (; !rs->Eof(); rs->MoveNext())
            records << QStringList({rs->FieldValue(0).toString(), rs->FieldValue(1).toString(), rs->FieldValue(2).toString()})
                           .join(u'|');
        return records;
    }

    QString m_connect;
};

TEST_P(RecordBackendTest, AddEditAndDeleteWithTheEnginesErrors)
{
    QStringList messages;
    const auto answer = [&messages] {
        WhenModal([&messages](QDialog* box) {
            messages << MessageOf(box).section(u'\n', 0, 0);
            PressInDialog(box, Qt::Key_Return);
        });
    };
    WhenModal([&](QDialog* form) {
        TypeInDialog(form, QStringLiteral("2")); // Petr's key
        PressInDialog(form, Qt::Key_Tab);
        TypeInDialog(form, QStringLiteral("Eva"));
        answer();
        PressInDialog(form, Qt::Key_Return);
        PressInDialog(form, Qt::Key_Tab, Qt::ShiftModifier); // back to the key, whole text selected
        TypeInDialog(form, QStringLiteral("3"));
        PressInDialog(form, Qt::Key_Return);
    });
    Press(Qt::Key_N, Qt::ControlModifier);
    WhenModal([&](QDialog* form) {
        TypeInDialog(form, QStringLiteral("4")); // no name
        answer();
        PressInDialog(form, Qt::Key_Return);
        answer(); // the question after a change: Yes
        PressInDialog(form, Qt::Key_Escape);
    });
    Press(Qt::Key_N, Qt::ControlModifier);
    ASSERT_EQ(messages.size(), 3);
    EXPECT_EQ(messages[0], QStringLiteral("3022 (0xBCE)"));
    EXPECT_EQ(messages[1], QStringLiteral("3314 (0xCF2)"));

    // Jana's town, then Petr gone.
    Press(Qt::Key_Home);
    WhenModal([](QDialog* form) {
        PressInDialog(form, Qt::Key_Tab);
        PressInDialog(form, Qt::Key_Tab);
        TypeInDialog(form, QStringLiteral("Plzen"));
        PressInDialog(form, Qt::Key_Return);
    });
    Press(Qt::Key_Return, Qt::AltModifier);
    Press(Qt::Key_Down);
    answer();
    Press(Qt::Key_Delete);
    EXPECT_EQ(Stored(), QStringList({QStringLiteral("1|Jana|Plzen"), QStringLiteral("3|Eva|")}));
    EXPECT_EQ(m_window->list->RowCount(), 2);
}

INSTANTIATE_TEST_SUITE_P(Sources, RecordBackendTest, ::testing::Values("SqliteFile", "OdbcSqlite", "OdbcPostgres"),
                         [](const ::testing::TestParamInfo<const char*>& source) { return std::string(source.param); });

} // namespace
