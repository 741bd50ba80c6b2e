#include "ApplicationHarness.h"

#include "Database.h"
#include "Recordset.h"
#include "cRecordList.h"
#include "fApplication.h"
#include "mCommandChoices.h"
#include "mStartupSource.h"

#include <QFile>

class StartupSourceTest : public ApplicationTest {};

TEST_F(StartupSourceTest, TheOnlyTableIsOpenedAndCountedForTheSameFileAndConnectTextAlone)
{
    const QString path = MakeDatabase(QStringLiteral("lide.mdb"), QString::fromUtf8(kPeopleScript));
    StartupSource got;
    EXPECT_TRUE(TakeStartupSource(path, QStringLiteral(";"), got)) << "nothing begun: nothing to wait for";
    EXPECT_EQ(got.Db, nullptr);

    BeginStartupSource(path, QStringLiteral(";"));
    ASSERT_TRUE(TakeStartupSource(path, QStringLiteral(";"), got));
    ASSERT_NE(got.Db, nullptr);
    ASSERT_NE(got.Rs, nullptr);
    EXPECT_EQ(got.Sql, TableQuery(QStringLiteral("Lidé")));
    EXPECT_EQ(got.Rs->RecordCount(), 3);
    EXPECT_TRUE(TakeStartupSource(path, QStringLiteral(";"), got)) << "handed over once";
    EXPECT_EQ(got.Db, nullptr);

    // Another file, or the same through another connect text, is opened anew by the caller.
    const QString other = MakeDatabase(QStringLiteral("jina.mdb"), QString::fromUtf8(kPeopleScript));
    for (const auto& [file, type] : {std::pair{other, QStringLiteral(";")}, std::pair{path, QStringLiteral("ODBC;")}}) {
        BeginStartupSource(path, QStringLiteral(";"));
        ASSERT_TRUE(TakeStartupSource(file, type, got));
        EXPECT_EQ(got.Db, nullptr) << file.toStdString() << ' ' << type.toStdString();
        EXPECT_EQ(got.Rs, nullptr);
    }
}

TEST_F(StartupSourceTest, ManyTablesAMissingFileAndAFileThatIsNoDatabaseLeaveTheWorkToTheWindow)
{
    const QString two = MakeDatabase(QStringLiteral("dve.mdb"), QStringLiteral(
        "CREATE TABLE A (x INTEGER); CREATE TABLE B (y INTEGER);"));
    StartupSource got;
    BeginStartupSource(two, QStringLiteral(";"));
    ASSERT_TRUE(TakeStartupSource(two, QStringLiteral(";"), got));
    EXPECT_NE(got.Db, nullptr) << "the database is open; the user chooses the table";
    EXPECT_EQ(got.Rs, nullptr);

    const QString missing = m_dir.filePath(QStringLiteral("neni.mdb"));
    BeginStartupSource(missing, QStringLiteral(";"));
    ASSERT_TRUE(TakeStartupSource(missing, QStringLiteral(";"), got));
    EXPECT_EQ(got.Db, nullptr);

    const QString junk = m_dir.filePath(QStringLiteral("smeti.mdb"));
    QFile file(junk);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(QByteArray(8192, 'x'));
    file.close();
    BeginStartupSource(junk, QStringLiteral(";"));
    ASSERT_TRUE(TakeStartupSource(junk, QStringLiteral(";"), got));
    EXPECT_EQ(got.Db, nullptr) << "the failure is the window's to tell";
}

TEST_F(StartupSourceTest, TheWindowShowsWhatTheEarlyOpenCountedAndTellsItsOwnFailure)
{
    const QString path = MakeDatabase(QStringLiteral("lide.mdb"), QString::fromUtf8(kPeopleScript));
    BeginStartupSource(path, QStringLiteral(";"));
    ASSERT_TRUE(Open(path));
    EXPECT_EQ(m_window->list->RowCount(), 3);
    EXPECT_EQ(m_window->list->CellText(0, 0), QStringLiteral("Petr"));
    EXPECT_EQ(Panel("keyPosition"), QStringLiteral("Pozice 1 z 3"));
    EXPECT_EQ(Caption(), QStringLiteral("lide.mdb - Databáze"));

    // A file the early open could not read is opened again and its error said as always.
    const QString junk = m_dir.filePath(QStringLiteral("smeti.mdb"));
    QFile file(junk);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(QByteArray(8192, 'x'));
    file.close();
    QString message;
    WhenModal([&](QDialog* box) {
        message = MessageOf(box);
        PressInDialog(box, Qt::Key_Return);
    });
    BeginStartupSource(junk, QStringLiteral(";"));
    EXPECT_FALSE(Open(junk));
    EXPECT_FALSE(message.isEmpty());
    EXPECT_EQ(m_window->list->RowCount(), 3) << "the last source stays";
}
