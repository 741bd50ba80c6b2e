#include "ApplicationHarness.h"
#include "Recordset.h"
#include "cRecordList.h"
#include "cSetting.h"
#include "fApplication.h"
#include "fFileOpen.h"
#include "modDialogs.h"
#include "modRegistry.h"
#include "sMain.h"

#include <QAction>
#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QListView>
#include <QTest>

#include <sqlite3.h>

namespace {

const char* const kAwkwardScript = R"(
CREATE TABLE "Lidé" ("Jméno" VARCHAR(30), "Obec" VARCHAR(30), "Věk" INTEGER);
INSERT INTO "Lidé" VALUES ('Petr', 'Hradec; dolní', 40), ('Marie', 'Chrudim
střed', 30), ('Adam', 'Brno', NULL);
)";

QByteArray Bytes(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("(missing)");
}

// Runs SQL on the file through SQLite alone, as another program does; the rows of the
// last statement, values joined by "|", rows by new lines; an error as "error: …".
std::string Rows(const QString& path, const char* sql)
{
    sqlite3* raw = nullptr;
    QStringList rows;
    char* message = nullptr;
    const int rc = sqlite3_open(path.toUtf8().constData(), &raw) == SQLITE_OK
                       ? sqlite3_exec(
                             raw, sql,
                             [](void* context, int count, char** values, char**) {
                                 QStringList row;
                                 for (int i = 0; i < count; ++i)
                                     row << QString::fromUtf8(values[i] ? values[i] : "");
                                 *static_cast<QStringList*>(context) << row.join(u'|');
                                 return 0;
                             },
                             &rows, &message)
                       : SQLITE_CANTOPEN;
    if (rc != SQLITE_OK)
        rows << QStringLiteral("error: ") + QString::fromUtf8(message ? message : sqlite3_errmsg(raw));
    sqlite3_free(message);
    sqlite3_close(raw);
    return rows.join(u'\n').toStdString();
}

class FilesTest : public ApplicationTest {
protected:
    void SetUp() override
    {
        ApplicationTest::SetUp();
        InstallFileDialogs();
        Load(); // reads the preferences, the work folder among them
        gWorkDir = m_dir.path() + u'/';
    }
    void TearDown() override
    {
        SetFileDialogHandler(nullptr);
        ApplicationTest::TearDown();
    }

    void Run(const char* item)
    {
        QAction* action = m_window->findChild<QAction*>(QLatin1String(item));
        ASSERT_NE(action, nullptr);
        action->trigger();
    }
    // Answers the file dialog as a user does: the name typed where the focus is put (the
    // name box for saving, Tab from the list to it for opening), Enter; with an empty
    // name, Escape. What the dialog showed is kept; a message box that follows is
    // answered with Enter.
    void AnswerFileDialog(const QString& name, bool thenMessage = false)
    {
        WhenModal([this, name, thenMessage](QDialog* dialog) {
            auto* form = qobject_cast<fFileOpen*>(dialog);
            ASSERT_NE(form, nullptr);
            EXPECT_TRUE(QTest::qWaitFor([&] { return !form->Model()->IsLoading(); }, 5000));
            m_dialogTitle = dialog->windowTitle();
            m_dialogFocus = dialog->focusWidget() ? dialog->focusWidget()->objectName() : QString();
            if (name.isEmpty()) {
                PressInDialog(dialog, Qt::Key_Escape);
                return;
            }
            if (m_dialogFocus == QLatin1String("ListView1"))
                PressInDialog(dialog, Qt::Key_Tab);
            TypeInDialog(dialog, name);
            if (thenMessage)
                AnswerMessage();
            PressInDialog(dialog, Qt::Key_Return);
        });
    }
    // Answers the next accessible message box with Enter and keeps its text.
    void AnswerMessage()
    {
        WhenModal([this](QDialog* box) {
            m_message = MessageOf(box);
            PressInDialog(box, Qt::Key_Return);
        });
    }
    // What the commands left in the folder, temporaries included (the voice log aside).
    QStringList Files() const
    {
        QStringList files = QDir(m_dir.path()).entryList(QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden);
        files.removeAll(QStringLiteral("voice.log"));
        return files;
    }

    QString m_dialogTitle, m_dialogFocus, m_message;
};

} // namespace

TEST_F(FilesTest, ExportWritesTheGridsRowsInItsOrderAndSaysWhereTo)
{
    const QString database = MakeDatabase(QStringLiteral("lide.mdb"), QString::fromUtf8(kAwkwardScript));
    ASSERT_TRUE(Open(database));
    m_window->list->SortBy(0, Qt::AscendingOrder);
    Clear();

    AnswerFileDialog(QStringLiteral("výpis"));
    Run("mnuExport");
    EXPECT_EQ(m_dialogTitle, QStringLiteral("Export databáze"));
    EXPECT_EQ(m_dialogFocus, QStringLiteral("Text1"));
    const QString path = m_dir.filePath(QStringLiteral("výpis.txt"));
    EXPECT_EQ(Bytes(path), QStringLiteral("Jméno;Obec;Věk;\r\n\r\n"
                                          "Adam;Brno;;\r\n"
                                          "Marie;\"Chrudim\nstřed\";30;\r\n"
                                          "Petr;\"Hradec; dolní\";40;\r\n")
                               .toUtf8());
    EXPECT_TRUE(Spoken().contains(QStringLiteral("1 0 Exportováno 3 záznamů do %1.").arg(path)))
        << Spoken().join(u'|').toStdString();

    // An upper-case extension is not ours: ".txt" follows it. A cancelled dialog writes
    // nothing and says nothing.
    AnswerFileDialog(QStringLiteral("velké.TXT"));
    Run("mnuExport");
    EXPECT_TRUE(QFile::exists(m_dir.filePath(QStringLiteral("velké.TXT.txt"))));
    Clear();
    AnswerFileDialog(QString());
    Run("mnuExport");
    EXPECT_FALSE(Spoken().join(u'|').contains(QStringLiteral("Exportováno")));
    EXPECT_EQ(Files().size(), 3);
}

TEST_F(FilesTest, AnExportWithAHiddenFieldNamesTheColumnsItWrites)
{
    const QString database = MakeDatabase(QStringLiteral("lide.mdb"), QString::fromUtf8(kAwkwardScript));
    cColumnDefinition hidden;
    hidden.setFieldName(QStringLiteral("Obec"));
    hidden.setCaption(QStringLiteral("Obec"));
    cSetting().SetColumnDef(1, hidden); // Visible empty
    ASSERT_TRUE(Open(database));
    m_window->list->SortBy(0, Qt::AscendingOrder);

    AnswerFileDialog(QStringLiteral("výpis"));
    Run("mnuExport");
    EXPECT_EQ(Bytes(m_dir.filePath(QStringLiteral("výpis.txt"))),
              QStringLiteral("Jméno;Věk;\r\n\r\nAdam;;\r\nMarie;30;\r\nPetr;40;\r\n").toUtf8());
}

TEST_F(FilesTest, AnExportThatCannotBeWrittenIsToldAndLeavesNothing)
{
    ASSERT_TRUE(Open(MakeDatabase(QStringLiteral("lide.mdb"), QString::fromUtf8(kPeopleScript))));
    // "blok" becomes "blok.txt", which is a folder: nothing can be written there.
    ASSERT_TRUE(QDir(m_dir.path()).mkdir(QStringLiteral("blok.txt")));
    AnswerFileDialog(QStringLiteral("blok"), true);
    Run("mnuExport");
    EXPECT_TRUE(m_message.contains(QStringLiteral("blok.txt"))) << m_message.toStdString();
    EXPECT_EQ(Files(), QStringList({QStringLiteral("blok.txt"), QStringLiteral("lide.mdb")}));
    EXPECT_TRUE(QDir(m_dir.filePath(QStringLiteral("blok.txt"))).isEmpty());
}

TEST_F(FilesTest, SaveAsCopiesTheFileAndGoesOnWithTheOpenOneWhateverHappens)
{
    const QString database = MakeDatabase(QStringLiteral("lide.mdb"), QString::fromUtf8(kPeopleScript));
    ASSERT_TRUE(Open(database));
    const QByteArray original = Bytes(database);

    AnswerFileDialog(QStringLiteral("kopie"));
    Clear();
    Run("mnuSaveAs");
    EXPECT_TRUE(Spoken().contains(QStringLiteral("1 0 Uloženo."))) << "a quick copy is confirmed too";
    EXPECT_EQ(m_dialogTitle, QStringLiteral("Uložit jako"));
    EXPECT_EQ(m_dialogFocus, QStringLiteral("Text1"));
    EXPECT_EQ(Rows(m_dir.filePath(QStringLiteral("kopie.mdb")), "SELECT * FROM Lidé"),
              "Petr|Hradec|40\nMarie|Chrudim|30\nAdam|Brno|");
    EXPECT_EQ(Caption(), QStringLiteral("lide.mdb - Databáze"));
    EXPECT_EQ(m_window->list->RowCount(), 3);

    // Onto the open file itself: refused, told, and the database is still there to use.
    AnswerFileDialog(QStringLiteral("lide"), true);
    Clear();
    Run("mnuSaveAs");
    EXPECT_TRUE(m_message.startsWith(QStringLiteral("Chyba ukádání: "))) << m_message.toStdString();
    EXPECT_FALSE(Spoken().contains(QStringLiteral("1 0 Uloženo.")));
    EXPECT_EQ(Bytes(database), original);
    EXPECT_EQ(m_window->list->RowCount(), 3);
    EXPECT_EQ(m_window->list->CellText(0, 0), QStringLiteral("Petr"));

    AnswerFileDialog(QString());
    Run("mnuSaveAs");
    EXPECT_EQ(Files(), QStringList({QStringLiteral("kopie.mdb"), QStringLiteral("lide.mdb")}));
}

// A file in WAL mode, which another program keeps open: the record added here is in the
// file's log, not yet in the file itself. Where the copy goes, an old file left its log.
TEST_F(FilesTest, SaveAsOfAFileInWalModeCopiesWhatWasCommittedAndNothingOfTheOldTarget)
{
    const QString database = m_dir.filePath(QStringLiteral("obce.sqlite"));
    ASSERT_EQ(Rows(database, "PRAGMA journal_mode = WAL; CREATE TABLE Obce (Název TEXT, Kraj TEXT);"
                             "INSERT INTO Obce VALUES ('Brno', 'JM');"),
              "wal");
    sqlite3* other = nullptr;
    ASSERT_EQ(sqlite3_open(database.toUtf8().constData(), &other), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(other, "SELECT * FROM Obce", nullptr, nullptr, nullptr), SQLITE_OK);

    const QString target = m_dir.filePath(QStringLiteral("kopie.mdb"));
    {
        sqlite3* old = nullptr;
        ASSERT_EQ(sqlite3_open(target.toUtf8().constData(), &old), SQLITE_OK);
        ASSERT_EQ(sqlite3_exec(old, "PRAGMA journal_mode = WAL; PRAGMA wal_autocheckpoint = 0;"
                                    "CREATE TABLE Obce (Název TEXT, Kraj TEXT); INSERT INTO Obce VALUES ('Staré', 'x');",
                               nullptr, nullptr, nullptr),
                  SQLITE_OK);
        sqlite3_db_config(old, SQLITE_DBCONFIG_NO_CKPT_ON_CLOSE, 1, nullptr);
        sqlite3_close(old);
    }
    ASSERT_TRUE(QFile::exists(target + QStringLiteral("-wal")));

    ASSERT_TRUE(Open(database));
    WhenModal([](QDialog* form) {
        TypeInDialog(form, QStringLiteral("Kolín"));
        PressInDialog(form, Qt::Key_Tab);
        TypeInDialog(form, QStringLiteral("SČ"));
        PressInDialog(form, Qt::Key_Return);
    });
    Press(Qt::Key_N, Qt::ControlModifier);
    ASSERT_GT(QFileInfo(database + QStringLiteral("-wal")).size(), 0) << "the record is in the log";

    AnswerFileDialog(QStringLiteral("kopie"));
    Clear();
    Run("mnuSaveAs");
    EXPECT_TRUE(Spoken().contains(QStringLiteral("1 0 Uloženo.")));
    EXPECT_FALSE(QFile::exists(target + QStringLiteral("-wal"))) << "the old file's log went with it";
    EXPECT_EQ(Rows(target, "SELECT * FROM Obce ORDER BY Název"), "Brno|JM\nKolín|SČ");
    EXPECT_EQ(Rows(target, "PRAGMA integrity_check"), "ok");
    sqlite3_close(other);
}

TEST_F(FilesTest, SaveAsOfAnAccessFileMakesACopyTheUserCanEdit)
{
    const QString nwind = QStringLiteral(QUARNEL_TESTDATA "/nwind.mdb");
    WhenModal([](QDialog* chooser) { ChooseTable(chooser, QStringLiteral("Customers")); }, 30000);
    ASSERT_TRUE(Open(nwind));
    // The refusal tells the way out.
    AnswerMessage();
    Press(Qt::Key_N, Qt::ControlModifier);
    EXPECT_TRUE(m_message.contains(QStringLiteral("Upravitelnou kopii vytvoří příkaz Uložit jako."))) << m_message.toStdString();

    AnswerFileDialog(QStringLiteral("moje"));
    Run("mnuSaveAs");
    EXPECT_EQ(m_window->Setting()->DatabaseFile(), nwind);
    const QString copy = m_dir.filePath(QStringLiteral("moje.mdb"));
    WhenModal([](QDialog* chooser) { ChooseTable(chooser, QStringLiteral("Customers")); }, 30000);
    ASSERT_TRUE(Open(copy));
    EXPECT_EQ(m_window->list->RowCount(), 91);
    ASSERT_TRUE(m_window->CurrentRecordset()->Updatable());
    m_window->CurrentRecordset()->MoveFirst();
    m_window->CurrentRecordset()->Edit();
    m_window->CurrentRecordset()->SetFieldValue(1, QStringLiteral("Nová firma"));
    m_window->CurrentRecordset()->Update();
}

TEST_F(FilesTest, NewDatabaseIsCreatedAndOpenedOrTheReasonIsTold)
{
    AnswerFileDialog(QStringLiteral("nová"), true); // the structure editor, closed with Enter
    Run("mnuNewDB");
    EXPECT_EQ(m_dialogTitle, QStringLiteral("Nová databáze"));
    EXPECT_EQ(m_dialogFocus, QStringLiteral("ListView1"));
    const QString path = m_dir.filePath(QStringLiteral("nová.mdb"));
    ASSERT_TRUE(QFile::exists(path));
    EXPECT_EQ(m_window->list->HeaderText(0), QStringLiteral("nové")) << "the table made for an empty database";
    EXPECT_TRUE(m_registry->ReadFile().contains(QStringLiteral("\"WorkDir\"=\"%1/\"").arg(m_dir.path())));
    const QByteArray made = Bytes(path);

    // The same name again: nothing is overwritten, and the user hears why.
    AnswerFileDialog(QStringLiteral("nová.mdb"), true);
    Run("mnuNewDB");
    EXPECT_TRUE(m_message.contains(QStringLiteral("již existuje"))) << m_message.toStdString();
    EXPECT_EQ(Bytes(path), made);

    AnswerFileDialog(QString());
    Run("mnuNewDB");
    EXPECT_EQ(Files(), QStringList({QStringLiteral("nová.mdb")}));
}
