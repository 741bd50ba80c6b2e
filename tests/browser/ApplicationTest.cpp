#include "ApplicationHarness.h"

#include "DBEngine.h"
#include "cRecordList.h"
#include "cSetting.h"
#include "fApplication.h"
#include "fFileOpen.h"
#include "frmTable.h"
#include "modCommon.h"
#include "modDialogs.h"
#include "mPrepareForm.h"
#include "modRegistry.h"
#include "sMain.h"

#include <QAccessible>
#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QTest>

#include <sqlite3.h>

namespace {

QString Nwind()
{
    return QStringLiteral(QUARNEL_TESTDATA "/nwind.mdb");
}

QAction* Item(fApplication* window, const char* name)
{
    auto* item = window->findChild<QAction*>(QLatin1String(name));
    EXPECT_NE(item, nullptr) << name;
    return item;
}

QStringList Headers(const cRecordList* list)
{
    QStringList headers;
    for (int i = 0; i < list->ColumnCount(); ++i)
        headers << list->HeaderText(i);
    return headers;
}

const char* const kTwoTablesScript = R"(
CREATE TABLE "Zvířata" ("Druh" VARCHAR(30));
INSERT INTO "Zvířata" VALUES ('kočka'), ('pes');
CREATE TABLE "Lidé" ("Jméno" VARCHAR(30), "Obec" VARCHAR(30), "Věk" INTEGER);
INSERT INTO "Lidé" VALUES ('Petr', 'Hradec', 40), ('Marie', 'Chrudim', 30), ('Adam', 'Brno', NULL);
)";

// A table whose generated column calls a function only the program that made it had, as
// a file from elsewhere may: it is listed, but no record of it can be read.
void AddUnreadableTable(const QString& path, const char* table)
{
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(path.toUtf8().constData(), &db), SQLITE_OK);
    sqlite3_create_function(db, "jen_tady", 1, SQLITE_UTF8 | SQLITE_DETERMINISTIC, nullptr,
                            [](sqlite3_context* context, int, sqlite3_value** values) {
                                sqlite3_result_value(context, values[0]);
                            },
                            nullptr, nullptr);
    const QByteArray sql = QStringLiteral("CREATE TABLE \"%1\" (\"A\" TEXT, \"B\" AS (jen_tady(\"A\")));"
                                          "INSERT INTO \"%1\" (\"A\") VALUES ('x');")
                               .arg(QString::fromUtf8(table))
                               .toUtf8();
    EXPECT_EQ(sqlite3_exec(db, sql.constData(), nullptr, nullptr, nullptr), SQLITE_OK);
    sqlite3_close(db);
}

// Takes the next message box's text and closes it with Enter.
void ReadMessage(QString& message)
{
    WhenModal([&message](QDialog* box) {
        message = MessageOf(box);
        PressInDialog(box, Qt::Key_Return);
    });
}

// File > Open chooses the file without asking.
void ChooseFile(const QString& path)
{
    SetFileDialogHandler([path](qint32, const QString&, qint32) {
        SaveRegSetting(kCommonKey, QString(), QStringLiteral("SelectedFile"), path);
        return qint32(1);
    });
}

} // namespace

TEST_F(ApplicationTest, BeforeADatabaseOnlyNewOpenExitAndHelpAreAvailable)
{
    fApplication* window = Load();
    EXPECT_EQ(window->property("windowCode").toInt(), 2610);
    EXPECT_EQ(window->list->property("controlId").toInt(), 40);
    EXPECT_EQ(Caption(), QStringLiteral("Databáze"));
    for (const char* enabled : {"mnuNewDB", "mnuFileOpen", "mnuFileExit", "mnuHelp", "mnuHelpAboutApplication",
                                "mnuHelpAbout"})
        EXPECT_TRUE(Item(window, enabled)->isEnabled()) << enabled;
    for (const char* disabled : {"mnuView", "mnuRecOrd", "mnuSaveAs", "mnuExport", "mnuFileProperties",
                                 "mnuRecordModify", "mnuRecordEdit", "mnuRecordDelete"})
        EXPECT_FALSE(Item(window, disabled)->isEnabled()) << disabled;
    EXPECT_EQ(Item(window, "mnuFileExit")->text(), QStringLiteral("&Konec"));
    EXPECT_EQ(Item(window, "mnuRecordEdit")->text(), QStringLiteral("&Editovat…"));
    EXPECT_EQ(Item(window, "mnuRecordEdit")->shortcut(), QKeySequence(QStringLiteral("Alt+Enter")));
    EXPECT_EQ(Item(window, "mnuViewAsForm")->shortcut(), QKeySequence(QStringLiteral("Ctrl+M")));
    EXPECT_EQ(Panel("keyFilter"), QStringLiteral("Filter"));
    EXPECT_FALSE(window->ApplySetting(QString(), false)) << "nothing to open again";
    // F12 has no view to switch to yet, and neither has a key of the View menu; each says why.
    Clear();
    QTest::keyClick(window, Qt::Key_F12);
    EXPECT_FALSE(window->IsFormView());
    QTest::keyClick(window, Qt::Key_M, Qt::ControlModifier);
    EXPECT_FALSE(window->IsFormView()) << "the View menu's keys wait for a database too";
    QTest::keyClick(window, Qt::Key_Return, Qt::AltModifier);
    EXPECT_EQ(Spoken(), QStringList(3, QStringLiteral("2 0 Není otevřena žádná databáze.")));

    // Help is announced only when the page cannot be shown; an existing page goes to the
    // desktop's handler instead, and that is no failure.
    gHelpViewer = m_dir.filePath(QStringLiteral("no-viewer"));
    gHelpFile = m_dir.filePath(QStringLiteral("no-help.htm"));
    Clear();
    Item(window, "mnuHelpAboutApplication")->trigger();
    EXPECT_EQ(Spoken(), QStringList({QStringLiteral("7 1 Nápovědu nelze spustit.")}));
    UrlCatcher desktop(QStringLiteral("file"));
    gHelpFile = MakeDatabase(QStringLiteral("help.htm"), QStringLiteral("CREATE TABLE x (y INTEGER);"));
    Clear();
    Item(window, "mnuHelpAboutApplication")->trigger();
    EXPECT_EQ(desktop.Opened, QList<QUrl>({QUrl::fromLocalFile(gHelpFile)}));
    EXPECT_TRUE(Spoken().isEmpty()) << Spoken().join(u'\n').toStdString();
}

TEST_F(ApplicationTest, AnEmptySourceShowsItsEmptyFieldsInTheForm)
{
    const QString path = MakeDatabase(QStringLiteral("prazdna.mdb"),
                                      QStringLiteral(R"(CREATE TABLE "Lidé" ("Jméno" VARCHAR(30), "Obec" VARCHAR(30));)"));
    ASSERT_TRUE(Open(path));
    EXPECT_EQ(Panel("keyPosition"), QStringLiteral("Pozice 0 z 0"));
    Clear();
    Press(Qt::Key_F12);
    ASSERT_TRUE(m_window->IsFormView());
    ASSERT_EQ(Focus(), m_window->Text[1]);
    for (int i = 1; i <= 2; ++i) {
        EXPECT_TRUE(m_window->Text[i]->isVisible()) << i;
        EXPECT_TRUE(m_window->Label[i]->isVisible()) << i;
        EXPECT_TRUE(m_window->Text[i]->text().isEmpty()) << i;
    }
    const QList<QStringList> focus = Calls(QStringLiteral("FocusVoice"));
    ASSERT_FALSE(focus.isEmpty());
    EXPECT_EQ(focus.last().mid(1, 2), QStringList({QStringLiteral("Jméno"), QString()}));
}

TEST_F(ApplicationTest, AFailedOpenLeavesThePreviousGridReadingAsBefore)
{
    const QString people = MakeDatabase(QStringLiteral("lide.mdb"), QString::fromUtf8(kPeopleScript));
    const QString two = MakeDatabase(QStringLiteral("dve.mdb"), QString::fromUtf8(kTwoTablesScript));
    AddUnreadableTable(two, "Otisky");
    const QString notADatabase = m_dir.filePath(QStringLiteral("text.mdb"));
    {
        QFile file(notADatabase);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("Jméno;Obec\n");
    }
    ASSERT_TRUE(Open(people));
    m_window->list->setFocus();
    Press(Qt::Key_Down); // Marie

    // The grid reads its recordset again (sorting reads every row) and speaks as before.
    const auto unchanged = [&](const char* step) {
        cRecordList* list = m_window->list;
        QApplication::setActiveWindow(m_window);
        list->setFocus();
        EXPECT_EQ(list->RowText(list->SelectedRow()), QStringLiteral(", Marie, Chrudim, 30")) << step;
        Press(Qt::Key_1, Qt::ControlModifier);
        EXPECT_EQ(QStringList({list->CellText(0, 0), list->CellText(1, 0), list->CellText(2, 0)}),
                  QStringList({QStringLiteral("Adam"), QStringLiteral("Marie"), QStringLiteral("Petr")}))
            << step;
        Press(Qt::Key_0, Qt::ControlModifier);
        Clear();
        Press(Qt::Key_Down);
        EXPECT_EQ(Spoken(), QStringList({QStringLiteral("2 0 , Adam, Brno, ")})) << step;
        Press(Qt::Key_Up);
        EXPECT_EQ(Caption(), QStringLiteral("lide.mdb - Databáze")) << step;
        EXPECT_EQ(m_window->Setting()->DatabaseFile(), people) << step;
        EXPECT_EQ(cSetting().Query(), QStringLiteral("Select * From [Lidé]")) << step;
    };

    // File > Open of a database with two tables, and Escape in the chooser.
    ChooseFile(two);
    WhenModal([](QDialog* chooser) { PressInDialog(chooser, Qt::Key_Escape); });
    Item(m_window, "mnuFileOpen")->trigger();
    unchanged("chooser cancelled");

    // A table whose records cannot be read: 10503.
    QString message;
    WhenModal([&](QDialog* chooser) {
        ChooseTable(chooser, QStringLiteral("Otisky"));
        ReadMessage(message);
    });
    Item(m_window, "mnuFileOpen")->trigger();
    EXPECT_TRUE(message.contains(QStringLiteral("Nelze získat data z databáze."))) << message.toStdString();
    unchanged("a table that cannot be read");

    // A file that is no database: 10501.
    ChooseFile(notADatabase);
    message.clear();
    ReadMessage(message);
    Item(m_window, "mnuFileOpen")->trigger();
    SetFileDialogHandler(nullptr);
    EXPECT_TRUE(message.contains(QStringLiteral("Nepodařilo se otevřít databázi"))) << message.toStdString();
    unchanged("not a database");

    // The definition still names the grid that is shown.
    ASSERT_TRUE(m_window->ApplySetting(QString(), true));
    EXPECT_EQ(m_window->list->RowText(0), QStringLiteral(", Petr, Hradec, 40"));
}

TEST_F(ApplicationTest, OneTableOpensWithoutAskingAndShowsItsRows)
{
    ASSERT_TRUE(Open(MakeDatabase(QStringLiteral("lide.mdb"), QString::fromUtf8(kPeopleScript))));
    cRecordList* list = m_window->list;
    EXPECT_EQ(Headers(list), QStringList({QStringLiteral("Jméno"), QStringLiteral("Obec"), QStringLiteral("Věk")}));
    ASSERT_EQ(list->RowCount(), 3);
    EXPECT_EQ(list->RowText(2), QStringLiteral(", Adam, Brno, ")) << "Null shows as empty text";
    EXPECT_EQ(list->SelectedRow(), 0);
    EXPECT_EQ(Caption(), QStringLiteral("lide.mdb - Databáze"));
    EXPECT_EQ(Panel("keyFullPath"), m_window->CurrentDatabase()->Name());
    EXPECT_TRUE(Panel("keyFullPath").endsWith(QStringLiteral("lide.mdb")));
    EXPECT_EQ(Panel("keyPosition"), QStringLiteral("Pozice 1 z 3"));
    EXPECT_FALSE(m_window->findChild<QLabel*>(QStringLiteral("keyFilter"))->isEnabled());
    for (const char* enabled : {"mnuView", "mnuRecOrd", "mnuSaveAs", "mnuExport", "mnuFileProperties",
                                "mnuRecordModify", "mnuRecordEdit", "mnuRecordDelete"})
        EXPECT_TRUE(Item(m_window, enabled)->isEnabled()) << enabled;
    EXPECT_TRUE(Item(m_window, "mnuViewAsGrid")->isChecked());
    EXPECT_FALSE(Item(m_window, "mnuViewAsForm")->isChecked());
    // The stored query names the table whole, in brackets.
    EXPECT_EQ(cSetting().Query(), QStringLiteral("Select * From [Lidé]"));
    EXPECT_EQ(Item(m_window, "mnuViewOrderByColumn3")->text(), QStringLiteral("Věk"));
    EXPECT_EQ(Item(m_window, "mnuViewOrderByColumn3")->shortcut(), QKeySequence(QStringLiteral("Ctrl+3")));
    EXPECT_FALSE(Item(m_window, "mnuViewOrderByColumn0")->isVisible());
    // The selected row is in the user's colours inverted.
    const QPalette palette = list->palette();
    for (const QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive}) {
        EXPECT_EQ(palette.color(group, QPalette::Highlight), palette.color(group, QPalette::Text));
        EXPECT_EQ(palette.color(group, QPalette::HighlightedText), palette.color(group, QPalette::Base));
    }
    EXPECT_EQ(palette.color(QPalette::Active, QPalette::Highlight), ColourFromNumber(gForeColor));

    // A cancelled dialog and a missing column change no check: Ctrl with a digit beyond
    // the columns says there is no such column, and nothing more.
    list->setFocus();
    WhenModal([](QDialog* dialog) { PressInDialog(dialog, Qt::Key_Escape); });
    Item(m_window, "mnuFonts")->trigger();
    Clear();
    Press(Qt::Key_7, Qt::ControlModifier);
    EXPECT_EQ(Spoken(), QStringList({QStringLiteral("2 0 Sloupec 7 neexistuje.")}));
    EXPECT_FALSE(list->IsSorted());
    EXPECT_FALSE(Item(m_window, "mnuViewFilter")->isChecked());
    EXPECT_TRUE(Item(m_window, "mnuViewAllRecords")->isChecked());
}

TEST_F(ApplicationTest, SeveralTablesAskWithTheFirstSelectedAndCancelOpensNothing)
{
    const QString path = MakeDatabase(QStringLiteral("dve.mdb"), QString::fromUtf8(kTwoTablesScript));
    QStringList offered;
    QString current;
    qint32 code = 0;
    WhenModal([&](QDialog* chooser) {
        auto* list = chooser->findChild<QListWidget*>(QStringLiteral("List1"));
        code = chooser->property("windowCode").toInt();
        for (int i = 0; i < list->count(); ++i)
            offered << list->item(i)->text();
        current = list->currentItem() ? list->currentItem()->text() : QString();
        PressInDialog(chooser, Qt::Key_Escape);
    });
    EXPECT_FALSE(Open(path));
    EXPECT_EQ(code, 2620);
    EXPECT_EQ(offered, QStringList({QStringLiteral("Zvířata"), QStringLiteral("Lidé")}))
        << "user tables only, in the definitions' order";
    EXPECT_EQ(current, QStringLiteral("Zvířata"));
    EXPECT_TRUE(Spoken().contains(QStringLiteral("2 0 Zvířata"))) << Spoken().join(u'\n').toStdString();
    EXPECT_EQ(Caption(), QStringLiteral("Databáze"));
    EXPECT_EQ(m_window->list->ColumnCount(), 0);

    Clear();
    WhenModal([](QDialog* chooser) {
        PressInDialog(chooser, Qt::Key_Down);
        PressInDialog(chooser, Qt::Key_Return);
    });
    ASSERT_TRUE(Open(path));
    EXPECT_TRUE(Spoken().contains(QStringLiteral("2 0 Lidé"))) << "the key press announces the entry";
    EXPECT_EQ(m_window->list->RowCount(), 3);
    EXPECT_EQ(m_window->Setting()->SelectedTable(), QStringLiteral("Lidé"));

    // Re-applying with the query kept asks nothing.
    ASSERT_TRUE(m_window->ApplySetting(QString(), true));
    EXPECT_EQ(m_window->list->RowCount(), 3);
}

TEST_F(ApplicationTest, AStoredQueryShowsItsFieldsInItsOrder)
{
    const QString path = MakeDatabase(QStringLiteral("lide.mdb"), QString::fromUtf8(kPeopleScript));
    cSetting().setQuery(QStringLiteral("select Věk, Jméno from Lidé where Věk > 35"));
    ASSERT_TRUE(Open(path, true));
    EXPECT_EQ(Headers(m_window->list), QStringList({QStringLiteral("Věk"), QStringLiteral("Jméno")}));
    ASSERT_EQ(m_window->list->RowCount(), 1);
    EXPECT_EQ(m_window->list->RowText(0), QStringLiteral(", 40, Petr"));

    // A new file forgets it and asks the source anew.
    ASSERT_TRUE(m_window->ApplySetting(path, false));
    EXPECT_EQ(m_window->list->ColumnCount(), 3);
}

TEST_F(ApplicationTest, AHiddenFieldKeepsEveryLaterColumnOnItsOwnField)
{
    const QString path = MakeDatabase(QStringLiteral("lide.mdb"), QString::fromUtf8(kPeopleScript));
    cSetting setting;
    cColumnDefinition hidden;
    hidden.setFieldName(QStringLiteral("Obec"));
    hidden.setCaption(QStringLiteral("Obec"));
    setting.SetColumnDef(1, hidden); // Visible empty
    ASSERT_TRUE(Open(path));
    cRecordList* list = m_window->list;
    EXPECT_EQ(Headers(list), QStringList({QStringLiteral("Jméno"), QStringLiteral("Věk")}));
    EXPECT_EQ(m_window->ColumnField(1), 2);
    EXPECT_EQ(list->RowText(0), QStringLiteral(", Petr, 40"));
    // The form view shows the same field under its own caption.
    EXPECT_EQ(m_window->Label.size(), 3);
    EXPECT_EQ(m_window->Label[2]->text(), QStringLiteral("Věk"));
    EXPECT_EQ(m_window->Text[2]->accessibleName(), QStringLiteral("Věk"));
    EXPECT_EQ(m_window->Text[2]->text(), QStringLiteral("40"));
}

TEST_F(ApplicationTest, SortingFollowsCzechOrderAndThePositionCountsInIt)
{
    ScopedLocale czech(QStringLiteral("cs_CZ"));
    ASSERT_TRUE(Open(MakeDatabase(QStringLiteral("lide.mdb"), QString::fromUtf8(kPeopleScript))));
    cRecordList* list = m_window->list;
    const auto checked = [&](const char* item) { return Item(m_window, item)->isChecked(); };
    // By town through the menu: Brno, Hradec, Chrudim ("ch" after "h").
    Item(m_window, "mnuViewOrderByColumn2")->trigger();
    EXPECT_EQ(QStringList({list->CellText(0, 1), list->CellText(1, 1), list->CellText(2, 1)}),
              QStringList({QStringLiteral("Brno"), QStringLiteral("Hradec"), QStringLiteral("Chrudim")}));
    EXPECT_TRUE(checked("mnuViewOrderByColumn2") && !checked("mnuViewOrderByColumn1") && checked("mnuViewOrderBySortAZ"));
    // Petr, selected before, is now the second row.
    EXPECT_EQ(list->CellText(list->SelectedRow(), 0), QStringLiteral("Petr"));
    EXPECT_EQ(Panel("keyPosition"), QStringLiteral("Pozice 2 z 3"));

    Item(m_window, "mnuViewOrderBySortZA")->trigger();
    EXPECT_EQ(list->CellText(0, 1), QStringLiteral("Chrudim"));
    EXPECT_TRUE(checked("mnuViewOrderBySortZA") && !checked("mnuViewOrderBySortAZ") && checked("mnuViewOrderByColumn2"));

    // The keys of the grid: Ctrl+1 sorts by name, Ctrl+7 (no such column) does nothing.
    list->setFocus();
    Press(Qt::Key_1, Qt::ControlModifier);
    EXPECT_EQ(list->CellText(0, 0), QStringLiteral("Adam"));
    EXPECT_TRUE(checked("mnuViewOrderByColumn1"));
    Press(Qt::Key_7, Qt::ControlModifier);
    EXPECT_EQ(list->CellText(0, 0), QStringLiteral("Adam"));
    EXPECT_TRUE(checked("mnuViewOrderByColumn1"));
}

// A sort is heard as it ends: the order it made (or the source's own again), then the
// current record, queued so that it does not cut the order off.
TEST_F(ApplicationTest, SortingSaysTheNewOrderAndThenTheCurrentRecord)
{
    ScopedLocale czech(QStringLiteral("cs_CZ"));
    ASSERT_TRUE(Open(MakeDatabase(QStringLiteral("lide.mdb"), QString::fromUtf8(kPeopleScript))));
    m_window->list->setFocus();
    Press(Qt::Key_Down); // Marie
    const QString marie = QStringLiteral("1 0 , Marie, Chrudim, 30");
    const auto heard = [&](Qt::Key key) {
        Clear();
        Press(key, Qt::ControlModifier);
        return Spoken();
    };
    EXPECT_EQ(heard(Qt::Key_2), QStringList({QStringLiteral("2 0 Seřazeno podle Obec, vzestupně."), marie}));
    EXPECT_EQ(m_window->list->CellText(2, 1), QStringLiteral("Chrudim"));
    EXPECT_EQ(heard(Qt::Key_2), QStringList({QStringLiteral("2 0 Seřazeno podle Obec, sestupně."), marie}));
    const QString unsorted = QStringLiteral("2 0 Neseřazeno, záznamy jsou v pořadí svého zdroje.");
    EXPECT_EQ(heard(Qt::Key_0), QStringList({unsorted, marie}));
    EXPECT_EQ(heard(Qt::Key_0), QStringList({unsorted, marie})) << "asked again, said again";
    EXPECT_EQ(heard(Qt::Key_7), QStringList({QStringLiteral("2 0 Sloupec 7 neexistuje.")}));

    // The menu's commands, and the keys in the form view, where the field is said.
    Clear();
    Item(m_window, "mnuViewOrderBySortZA")->trigger(); // by the column sorted last
    EXPECT_EQ(Spoken(), QStringList({QStringLiteral("2 0 Seřazeno podle Obec, sestupně."), marie}));
    Press(Qt::Key_F12);
    ASSERT_TRUE(m_window->IsFormView());
    EXPECT_EQ(heard(Qt::Key_1), QStringList({QStringLiteral("2 0 Seřazeno podle Jméno, vzestupně."),
                                             QStringLiteral("1 0 Marie")}));
    EXPECT_EQ(heard(Qt::Key_0).value(0), unsorted);
    EXPECT_EQ(Panel("keyPosition"), QStringLiteral("Pozice 2 z 3"));
}

// A screen reader finds one object with the keyboard in either view: the current cell,
// not the grid beside it, and in the form the field, not a cell of the hidden grid.
TEST_F(ApplicationTest, MovingInTheGridSpeaksEachRowAndSignalsTheEndWithOneObjectFocused)
{
    ASSERT_TRUE(Open(MakeDatabase(QStringLiteral("lide.mdb"), QString::fromUtf8(kPeopleScript))));
    const auto focused = [&] {
        QStringList names;
        const std::function<void(QAccessibleInterface*)> walk = [&](QAccessibleInterface* object) {
            if (!object)
                return;
            if (object->state().focused)
                names << object->text(QAccessible::Name);
            for (int i = 0; i < object->childCount(); ++i)
                walk(object->child(i));
        };
        walk(QAccessible::queryAccessibleInterface(m_window));
        return names;
    };
    m_window->list->setFocus();
    Clear();
    Press(Qt::Key_Down);
    EXPECT_EQ(Panel("keyPosition"), QStringLiteral("Pozice 2 z 3"));
    EXPECT_EQ(focused(), QStringList({QStringLiteral("Marie")}));
    Press(Qt::Key_Down);
    Press(Qt::Key_Down);
    const QStringList spoken = Spoken();
    EXPECT_TRUE(spoken.contains(QStringLiteral("2 0 , Marie, Chrudim, 30"))) << spoken.join(u'\n').toStdString();
    EXPECT_TRUE(spoken.contains(QStringLiteral("2 0 , Adam, Brno, "))) << spoken.join(u'\n').toStdString();
    EXPECT_TRUE(spoken.contains(QStringLiteral("5 8 "))) << "Down on the last row";
    EXPECT_EQ(Panel("keyPosition"), QStringLiteral("Pozice 3 z 3"));
    // The form view follows the grid's key releases.
    EXPECT_EQ(m_window->Text[1]->text(), QStringLiteral("Adam"));
    Press(Qt::Key_F12);
    EXPECT_EQ(focused(), QStringList({QStringLiteral("Jméno")}));
}

TEST_F(ApplicationTest, TheFormViewSpeaksItsFieldsMovesKeepingTheFieldAndIsKeptAcrossARestart)
{
    ScopedLocale czech(QStringLiteral("cs_CZ"));
    const QString path = MakeDatabase(QStringLiteral("lide.mdb"), QString::fromUtf8(kPeopleScript));
    ASSERT_TRUE(Open(path));
    Clear();
    Press(Qt::Key_F12);
    ASSERT_TRUE(m_window->IsFormView());
    // Arriving in the form says which field holds what.
    const QList<QStringList> focus = Calls(QStringLiteral("FocusVoice"));
    ASSERT_FALSE(focus.isEmpty());
    EXPECT_EQ(focus.last().mid(1, 2), QStringList({QStringLiteral("Jméno"), QStringLiteral("Petr")}));
    EXPECT_TRUE(Item(m_window, "mnuViewAsForm")->isChecked());
    EXPECT_FALSE(Item(m_window, "mnuViewAsGrid")->isChecked());
    EXPECT_FALSE(m_window->list->isVisible());
    ASSERT_EQ(Focus(), m_window->Text[1]);
    EXPECT_EQ(m_window->Text[1]->text(), QStringLiteral("Petr"));
    // The boxes speak through the edit box wrapper; the Braille line keeps the field's
    // line with the caret, not the spoken letter.
    Clear();
    Press(Qt::Key_Right);
    EXPECT_TRUE(Spoken().contains(QStringLiteral("2 255 e"))) << Spoken().join(u'\n').toStdString();
    EXPECT_TRUE(Calls(QStringLiteral("BrailleWithOffset")).isEmpty());
    const QList<QStringList> lines = Calls(QStringLiteral("BrailleText"));
    ASSERT_FALSE(lines.isEmpty());
    EXPECT_EQ(lines.last().mid(1), QStringList({QStringLiteral("1"), QStringLiteral("Petr")}));
    // Enter has no action to run on this field, and says so; Alt+Enter belongs to the
    // window: the record editor, after which the field has the focus again.
    Clear();
    Press(Qt::Key_Return);
    EXPECT_EQ(Spoken(), QStringList({QStringLiteral("2 0 K poli Jméno není přiřazena žádná akce.")}));
    // Keys that would change the box, or Escape, say why nothing happens; the window's
    // commands come before the box's own keys.
    const QStringList readOnly{QStringLiteral("2 0 Pole formuláře slouží jen k prohlížení. Záznam upraví Alt+Enter.")};
    for (const auto& [key, modifiers] : {std::pair{Qt::Key_X, Qt::NoModifier}, {Qt::Key_Backspace, Qt::NoModifier},
                                         {Qt::Key_V, Qt::ControlModifier}}) {
        Clear();
        Press(key, modifiers);
        EXPECT_EQ(Spoken(), readOnly) << key;
    }
    EXPECT_EQ(m_window->Text[1]->text(), QStringLiteral("Petr"));
    Clear();
    Press(Qt::Key_Escape);
    EXPECT_TRUE(Spoken().value(0).startsWith(QStringLiteral("2 0 Tato klávesa ve formuláři nic nedělá.")));
    Clear();
    Press(Qt::Key_A, Qt::ControlModifier);
    EXPECT_EQ(Spoken(), QStringList({QStringLiteral("2 0 Všechny záznamy už jsou zobrazeny.")}));
    int editors = 0;
    WhenModal([&](QDialog* form) {
        editors += WindowCodeOf(form) == 2624;
        PressInDialog(form, Qt::Key_Escape);
    });
    Press(Qt::Key_Return, Qt::AltModifier);
    EXPECT_EQ(editors, 1);
    EXPECT_EQ(Focus(), m_window->Text[1]);
    Press(Qt::Key_Tab);
    ASSERT_EQ(Focus(), m_window->Text[2]);
    EXPECT_EQ(m_window->CurrentColumn(), 2);
    Clear();
    Press(Qt::Key_PageDown);
    EXPECT_EQ(Focus(), m_window->Text[2]) << "the focus stays in the field";
    EXPECT_EQ(m_window->CurrentColumn(), 2);
    EXPECT_EQ(m_window->Text[2]->text(), QStringLiteral("Chrudim"));
    EXPECT_EQ(m_window->Text[1]->text(), QStringLiteral("Marie"));
    EXPECT_EQ(Panel("keyPosition"), QStringLiteral("Pozice 2 z 3"));
    EXPECT_TRUE(Spoken().contains(QStringLiteral("2 0 Chrudim"))) << Spoken().join(u'\n').toStdString();
    Press(Qt::Key_PageDown, Qt::ControlModifier);
    EXPECT_EQ(Panel("keyPosition"), QStringLiteral("Pozice 3 z 3"));
    Press(Qt::Key_PageDown);
    EXPECT_EQ(Panel("keyPosition"), QStringLiteral("Pozice 3 z 3")) << "nothing after the last";
    Press(Qt::Key_PageUp, Qt::ControlModifier);
    EXPECT_EQ(m_window->Text[1]->text(), QStringLiteral("Petr"));
    Press(Qt::Key_PageUp);
    EXPECT_EQ(Panel("keyPosition"), QStringLiteral("Pozice 1 z 3"));
    // Sorting from the form: Ctrl+2 by town, and Page Down follows the sorted order.
    Press(Qt::Key_2, Qt::ControlModifier);
    EXPECT_EQ(Panel("keyPosition"), QStringLiteral("Pozice 2 z 3"));
    Press(Qt::Key_PageDown);
    EXPECT_EQ(m_window->Text[2]->text(), QStringLiteral("Chrudim"));
    // The boxes only browse.
    QTest::keyClicks(Focus(), QStringLiteral("xyz"));
    EXPECT_EQ(m_window->Text[2]->text(), QStringLiteral("Chrudim"));
    // Back to the grid with F12, which gets the focus.
    Press(Qt::Key_F12);
    EXPECT_FALSE(m_window->IsFormView());
    EXPECT_EQ(Focus(), m_window->list);
    EXPECT_TRUE(Item(m_window, "mnuViewAsGrid")->isChecked());

    // The view is kept across a restart; Ctrl+T and Ctrl+M switch it.
    Item(m_window, "mnuViewAsForm")->trigger();
    Item(m_window, "mnuFileExit")->trigger();
    EXPECT_TRUE(m_registry->ReadFile().contains(QStringLiteral("\"ViewStyle\"=\"1\""))) << m_registry->ReadFile().toStdString();
    Unload();
    ASSERT_TRUE(Open(path));
    EXPECT_TRUE(m_window->IsFormView());
    EXPECT_TRUE(Item(m_window, "mnuViewAsForm")->isChecked());
    QTest::keyClick(m_window, Qt::Key_T, Qt::ControlModifier);
    EXPECT_FALSE(m_window->IsFormView());
    QTest::keyClick(m_window, Qt::Key_M, Qt::ControlModifier);
    EXPECT_TRUE(m_window->IsFormView());
    Clear();
    QTest::keyClick(m_window, Qt::Key_M, Qt::ControlModifier);
    EXPECT_EQ(Spoken(), QStringList(QStringLiteral("2 0 Záznamy už jsou zobrazeny jako formulář.")));
    QTest::keyClick(m_window, Qt::Key_T, Qt::ControlModifier);
    Clear();
    QTest::keyClick(m_window, Qt::Key_T, Qt::ControlModifier);
    EXPECT_EQ(Spoken(), QStringList(QStringLiteral("2 0 Záznamy už jsou zobrazeny jako tabulka.")));
    Unload();
    EXPECT_TRUE(m_registry->ReadFile().contains(QStringLiteral("\"ViewStyle\"=\"0\"")));
}

TEST_F(ApplicationTest, FailuresToOpenAreReportedWithTheFileName)
{
    const QString missing = m_dir.filePath(QStringLiteral("chybi.mdb"));
    QString message;
    ReadMessage(message);
    EXPECT_FALSE(Open(missing));
    EXPECT_TRUE(message.startsWith(QStringLiteral("3024 (0xBD0)"))) << message.toStdString();
    EXPECT_TRUE(message.contains(QStringLiteral("Chyba v souboru '%1'.").arg(missing)));
    EXPECT_TRUE(message.contains(QStringLiteral("Nepodařilo se otevřít databázi '%1'.").arg(missing)));

    // A stored query the engine cannot read: 10503.
    const QString path = MakeDatabase(QStringLiteral("lide.mdb"), QString::fromUtf8(kPeopleScript));
    cSetting().setQuery(QStringLiteral("select * from Nikde"));
    ReadMessage(message);
    EXPECT_FALSE(m_window->ApplySetting(path, true));
    EXPECT_TRUE(message.contains(QStringLiteral("Nelze získat data z databáze."))) << message.toStdString();
    EXPECT_TRUE(message.contains(QStringLiteral("Chyba v souboru '%1'.").arg(path)));

    // A database without user tables opens the structure editor; left without a table
    // there, it says so instead of vanishing.
    DBEngine::Instance().CreateDatabase(m_dir.filePath(QStringLiteral("prazdna.mdb")),
                                        QStringLiteral(";LANGID=0x0405;CP=1250;COUNTRY=0"))->Close();
    WhenModal([&](QDialog* editor) {
        WhenModal([](QDialog* question) { PressInDialog(question, Qt::Key_Return); });
        PressInDialog(editor, Qt::Key_Delete); // the default table it made
        ReadMessage(message);
        PressInDialog(editor, Qt::Key_Escape);
    });
    EXPECT_FALSE(m_window->ApplySetting(m_dir.filePath(QStringLiteral("prazdna.mdb")), false));
    EXPECT_TRUE(message.contains(QStringLiteral("neobsahuje žádnou tabulku"))) << message.toStdString();
}

// Through the handler, then through the accessible dialog driven by keys alone.
TEST_F(ApplicationTest, FileOpenAppliesTheChosenDatabaseAndRemembersItsFolder)
{
    const QString path = MakeDatabase(QStringLiteral("lide.mdb"), QString::fromUtf8(kPeopleScript));
    QString request;
    SetFileDialogHandler([&](qint32 kind, const QString& text, qint32) {
        request = QString::number(kind) + u' ' + text;
        SaveRegSetting(kCommonKey, QString(), QStringLiteral("SelectedFile"), path);
        return qint32(1);
    });
    Load();
    const QString startFolder = gWorkDir;
    Item(m_window, "mnuFileOpen")->trigger();
    SetFileDialogHandler(nullptr);
    EXPECT_EQ(request, QStringLiteral("9 *.mdb|%1|Otevřít").arg(startFolder));
    EXPECT_EQ(Caption(), QStringLiteral("lide.mdb - Databáze"));
    EXPECT_EQ(m_window->list->RowCount(), 3);
    EXPECT_EQ(gWorkDir, m_dir.path() + u'/');
    EXPECT_TRUE(m_registry->ReadFile().contains(QStringLiteral("\"WorkDir\"=\"%1/\"").arg(m_dir.path())));

    const QString other = MakeDatabase(QStringLiteral("jina.mdb"), QString::fromUtf8(kPeopleScript));
    InstallFileDialogs();
    bool reachedNameBox = false;
    WhenModal([&](QDialog* dialog) {
        auto* name = dialog->findChild<QLineEdit*>(QStringLiteral("Text1"));
        for (int i = 0; i < 10 && name && dialog->focusWidget() != name; ++i)
            PressInDialog(dialog, Qt::Key_Tab);
        reachedNameBox = name && dialog->focusWidget() == name;
        TypeInDialog(dialog, other);
        PressInDialog(dialog, Qt::Key_Return);
    }, 10000);
    Item(m_window, "mnuFileOpen")->trigger();
    SetFileDialogHandler(nullptr);
    EXPECT_TRUE(reachedNameBox);
    EXPECT_EQ(Caption(), QStringLiteral("jina.mdb - Databáze"));
    EXPECT_EQ(m_window->list->RowCount(), 3);
}

TEST_F(ApplicationTest, EveryTableNameOpensItsOwnTableInEitherKindOfFile)
{
    // Without brackets "Zboží archiv" would open Zboží under the alias archiv.
    const QList<QPair<QString, QString>> tables = {
        {QStringLiteral("Zboží"), QStringLiteral("aktuální")},   {QStringLiteral("Zboží archiv"), QStringLiteral("archivní")},
        {QStringLiteral("2024-výdaje"), QStringLiteral("výdaj")}, {QStringLiteral("Select"), QStringLiteral("klíčové slovo")},
        {QStringLiteral("Kč]Eur"), QStringLiteral("závorka")},
    };
    QString script;
    for (const auto& [table, value] : tables)
        script += QStringLiteral("CREATE TABLE \"%1\" (\"Název\" VARCHAR(30)); INSERT INTO \"%1\" VALUES ('%2');\n").arg(table, value);
    const QString path = MakeDatabase(QStringLiteral("sklad.mdb"), script);
    for (const auto& [table, value] : tables) {
        WhenModal([&](QDialog* chooser) { ChooseTable(chooser, table); });
        ASSERT_TRUE(Open(path)) << table.toStdString();
        EXPECT_EQ(m_window->list->RowText(0), QStringLiteral(", ") + value) << table.toStdString();
        EXPECT_EQ(m_window->list->RowCount(), 1) << table.toStdString();
    }
    // Reopened from the stored definition, the same table again.
    ASSERT_TRUE(m_window->ApplySetting(QString(), true));
    EXPECT_EQ(m_window->list->RowText(0), QStringLiteral(", závorka"));

    // An Access file offers its user tables only, whatever their names.
    QStringList offered;
    WhenModal([&](QDialog* chooser) {
        auto* list = chooser->findChild<QListWidget*>(QStringLiteral("List1"));
        for (int i = 0; i < list->count(); ++i)
            offered << list->item(i)->text();
        ChooseTable(chooser, QStringLiteral("Customers"));
    }, 30000);
    ASSERT_TRUE(Open(Nwind()));
    EXPECT_TRUE(offered.contains(QStringLiteral("Order Details")));
    for (const QString& table : offered)
        EXPECT_FALSE(table.startsWith(QStringLiteral("MSys"))) << table.toStdString();
    EXPECT_EQ(m_window->list->RowCount(), 91);
    EXPECT_EQ(Panel("keyPosition"), QStringLiteral("Pozice 1 z 91"));
    EXPECT_EQ(Caption(), QStringLiteral("nwind.mdb - Databáze"));

    // A name with a blank is the whole name, not a table and an alias.
    WhenModal([&](QDialog* chooser) { ChooseTable(chooser, QStringLiteral("Order Details")); }, 30000);
    ASSERT_TRUE(m_window->ApplySetting(Nwind(), false));
    EXPECT_EQ(m_window->list->RowCount(), 2155);
    EXPECT_EQ(m_window->list->HeaderText(0), QStringLiteral("OrderID"));
}

