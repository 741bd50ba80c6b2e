#include "ApplicationHarness.h"

#include "DBEngine.h"
#include "Database.h"
#include "cAction.h"
#include "cActions.h"
#include "cRecordList.h"
#include "cSetting.h"
#include "fApplication.h"
#include "frmRecordModify.h"
#include "OdbcTestSupport.h"
#include "mDatabaseCopy.h"
#include "modRegistry.h"
#include "sMain.h"

#include <QAction>
#include <QComboBox>
#include <QListWidget>

#include <sqlite3.h>

#include <functional>

namespace {

void TabTo(QDialog* form, const char* name)
{
    for (int i = 0; i < 20 && form->focusWidget()->objectName() != QLatin1String(name); ++i)
        PressInDialog(form, Qt::Key_Tab);
    ASSERT_EQ(form->focusWidget()->objectName(), QLatin1String(name));
}

// Home, then Down until the list's current entry is text.
void MoveTo(QDialog* form, QListWidget* list, const QString& text)
{
    list->setFocus();
    PressInDialog(form, Qt::Key_Home);
    for (int i = 0; i < list->count() && list->currentItem()->text() != text; ++i)
        PressInDialog(form, Qt::Key_Down);
    ASSERT_EQ(list->currentItem()->text(), text);
}

// Answers the next box with key and keeps its text.
void Answer(QStringList& messages, Qt::Key key = Qt::Key_Return)
{
    WhenModal([&messages, key](QDialog* box) {
        messages << MessageOf(box);
        PressInDialog(box, key);
    });
}

// The structure editor worked by keys through the real main window.
class StructureTest : public ApplicationTest {
protected:
    // Runs Databáze > Návrh databáze with answer in the editor.
    void Design(const std::function<void(frmRecordModify*)>& answer)
    {
        WhenModal([&](QDialog* form) {
            auto* editor = qobject_cast<frmRecordModify*>(form);
            ASSERT_NE(editor, nullptr) << "not the structure editor";
            answer(editor);
        });
        m_window->mnuRecordModify->trigger();
    }

    // The field dialog of Insert in the field list: name, type by its list row, place by
    // its 0-based row in the order list.
    static void AddField(frmRecordModify* editor, const QString& name, int typeRow, int place)
    {
        WhenModal([=](QDialog* dialog) {
            TypeInDialog(dialog, name); // the proposed name is selected: typing replaces it
            TabTo(dialog, "lstDataType");
            PressInDialog(dialog, Qt::Key_Home);
            for (int i = 0; i < typeRow; ++i)
                PressInDialog(dialog, Qt::Key_Down);
            TabTo(dialog, "cmbOrder");
            PressInDialog(dialog, Qt::Key_Home);
            for (int i = 0; i < place; ++i)
                PressInDialog(dialog, Qt::Key_Down);
            PressInDialog(dialog, Qt::Key_Return);
        });
        MoveTo(editor, editor->lstField, editor->lstField->item(0)->text());
        PressInDialog(editor, Qt::Key_Insert);
    }

    // Alt+Enter on the field, then change in its dialog, then Enter.
    static void Properties(frmRecordModify* editor, const QString& field, const std::function<void(QDialog*)>& change)
    {
        WhenModal([=](QDialog* dialog) {
            change(dialog);
            PressInDialog(dialog, Qt::Key_Return);
        });
        MoveTo(editor, editor->lstField, field);
        PressInDialog(editor, Qt::Key_Return, Qt::AltModifier);
    }

    QStringList Headers() const
    {
        QStringList headers;
        for (int i = 0; i < m_window->list->ColumnCount(); ++i)
            headers << m_window->list->HeaderText(i);
        return headers;
    }

    static QStringList Fields(const QString& path, const QString& table)
    {
        QStringList fields;
        const auto db = DBEngine::Instance().OpenDatabase(path);
        const auto all = db->TableDefs()->Item(table)->Fields();
        for (const auto& field : *all)
            fields << QStringLiteral("%1:%2:%3").arg(field->Name()).arg(field->Type()).arg(field->Required() ? 1 : 0);
        return fields;
    }

    // Rows as the file holds them, read with SQLite itself.
    static QStringList SqliteRows(const QString& path, const char* sql)
    {
        QStringList rows;
        sqlite3* db = nullptr;
        EXPECT_EQ(sqlite3_open_v2(path.toUtf8().constData(), &db, SQLITE_OPEN_READONLY, nullptr), SQLITE_OK);
        sqlite3_stmt* statement = nullptr;
        EXPECT_EQ(sqlite3_prepare_v2(db, sql, -1, &statement, nullptr), SQLITE_OK) << sqlite3_errmsg(db);
        while (statement && sqlite3_step(statement) == SQLITE_ROW) {
            QStringList values;
            for (int i = 0; i < sqlite3_column_count(statement); ++i) {
                const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(statement, i));
                values << (text ? QString::fromUtf8(text) : QStringLiteral("NULL"));
            }
            rows << values.join(u',');
        }
        sqlite3_finalize(statement);
        sqlite3_close(db);
        return rows;
    }
};

} // namespace

TEST_F(StructureTest, ADatabaseWithoutTablesOpensTheEditorAndThenTheTableMadeThere)
{
    const QString path = m_dir.filePath(QStringLiteral("prazdna.mdb"));
    DBEngine::Instance().CreateDatabase(path, kCzechLocale)->Close();
    QStringList tables, messages, spoken;
    WhenModal([&](QDialog* form) {
        auto* editor = qobject_cast<frmRecordModify*>(form);
        ASSERT_NE(editor, nullptr);
        tables << editor->lstTable->currentItem()->text() + u'/' + editor->lstField->item(0)->text();
        // A new table with its first field.
        Clear();
        WhenModal([](QDialog* name) {
            TypeInDialog(name, QStringLiteral("Zvířata"));
            WhenModal([](QDialog* field) {
                TypeInDialog(field, QStringLiteral("Druh"));
                PressInDialog(field, Qt::Key_Return);
            });
            PressInDialog(name, Qt::Key_Return);
        });
        PressInDialog(editor, Qt::Key_Insert);
        // A new table whose field dialog is cancelled: the engine's refusal is told.
        WhenModal([&](QDialog* name) {
            TypeInDialog(name, QStringLiteral("Prázdná"));
            WhenModal([&](QDialog* field) {
                Answer(messages);
                PressInDialog(field, Qt::Key_Escape);
            });
            PressInDialog(name, Qt::Key_Return);
        });
        PressInDialog(editor, Qt::Key_Insert);
        spoken = Spoken();
        tables << editor->TableNames().join(u',');
        WhenModal([](QDialog* chooser) { ChooseTable(chooser, QStringLiteral("Zvířata")); });
        PressInDialog(editor, Qt::Key_Return);
    });
    EXPECT_TRUE(Open(path));
    EXPECT_EQ(tables, (QStringList{QStringLiteral("tabulka1/nové"), QStringLiteral("tabulka1,Zvířata")}));
    ASSERT_EQ(messages.size(), 1);
    EXPECT_EQ(messages[0], QStringLiteral("Nejsou definována žádná pole - tabulku 'Prázdná' nelze připojit."));
    EXPECT_TRUE(spoken.contains(QStringLiteral("1 0 Tabulka Zvířata je vytvořena."))) << spoken.join(u'|').toStdString();
    EXPECT_FALSE(spoken.join(u'|').contains(QStringLiteral("Tabulka Prázdná je vytvořena")));
    EXPECT_EQ(Headers(), QStringList{QStringLiteral("Druh")});
    EXPECT_EQ(Caption(), QStringLiteral("prazdna.mdb - Databáze"));
    const auto made = DBEngine::Instance().OpenDatabase(path)->TableDefs()->Item(QStringLiteral("tabulka1"));
    const auto field = made->Fields()->Item(0);
    EXPECT_EQ(QStringLiteral("%1:%2:%3:%4").arg(field->Name()).arg(field->Type()).arg(field->Size()).arg(field->AllowZeroLength()),
              QStringLiteral("nové:10:250:1"));
}

TEST_F(StructureTest, FieldsAreAddedChangedAndDeletedWithTheirDataAndTheGridFollows)
{
    const QString path = MakeDatabase(QStringLiteral("lide.mdb"), QString::fromUtf8(kPeopleScript)
                                                                       + QStringLiteral("CREATE INDEX LideObec ON \"Lidé\" (\"Obec\");"));
    cAction map;
    map.setCaption(QStringLiteral("Mapa"));
    map.setAction(QStringLiteral("mapa|%1"));
    cActions::Save(1, map);
    ASSERT_TRUE(Open(path));
    m_window->list->setFocus();
    Press(Qt::Key_Down);
    QString moved;
    const bool zeroLengthBefore = DBEngine::Instance().OpenDatabase(path)->TableDefs()->Item(QStringLiteral("Lidé"))
                                      ->Fields()->Item(QStringLiteral("Jméno"))->AllowZeroLength();
    QStringList messages;
    Design([&](frmRecordModify* editor) {
        PressInDialog(editor, Qt::Key_Tab);
        ASSERT_EQ(editor->focusWidget(), editor->lstField);
        // Every offered type, each at a place of its own.
        const QStringList names = {QStringLiteral("T"), QStringLiteral("L"), QStringLiteral("I"), QStringLiteral("D"),
                                   QStringLiteral("S"), QStringLiteral("Dt"), QStringLiteral("C"), QStringLiteral("B")};
        const QList<int> places = {0, 4, 2, 6, 1, 8, 3, 10};
        for (int row = 0; row < names.size(); ++row)
            AddField(editor, names[row], row, places[row]);
        // Renamed, then moved to the end.
        Properties(editor, QStringLiteral("Jméno"), [](QDialog* dialog) { TypeInDialog(dialog, QStringLiteral("Křestní")); });
        Properties(editor, QStringLiteral("Křestní"), [](QDialog* dialog) {
            TabTo(dialog, "cmbOrder");
            PressInDialog(dialog, Qt::Key_End);
        });
        moved = editor->lstField->item(editor->lstField->count() - 1)->text() + u'/'
                + editor->lstField->currentItem()->text();
        // Required: refused over a Null, done where every row has a value.
        Properties(editor, QStringLiteral("Věk"), [&messages](QDialog* dialog) {
            TabTo(dialog, "Check1_1");
            PressInDialog(dialog, Qt::Key_Space);
            Answer(messages);
        });
        Properties(editor, QStringLiteral("Křestní"), [](QDialog* dialog) {
            TabTo(dialog, "Check1_0");
            PressInDialog(dialog, Qt::Key_Space);
            TabTo(dialog, "Check1_1");
            PressInDialog(dialog, Qt::Key_Space);
        });
        // An indexed field cannot go; a plain one can.
        WhenModal([&](QDialog* question) {
            messages << MessageOf(question);
            Answer(messages);
            PressInDialog(question, Qt::Key_Return);
        });
        MoveTo(editor, editor->lstField, QStringLiteral("Obec"));
        PressInDialog(editor, Qt::Key_Delete);
        WhenModal([](QDialog* question) { PressInDialog(question, Qt::Key_Return); });
        MoveTo(editor, editor->lstField, QStringLiteral("S"));
        PressInDialog(editor, Qt::Key_Delete);
        // The column of Věk: an action and a width; Obec is hidden.
        Properties(editor, QStringLiteral("Věk"), [](QDialog* dialog) {
            TabTo(dialog, "cmbAction");
            PressInDialog(dialog, Qt::Key_Down);
            TabTo(dialog, "chkWidthAuto");
            PressInDialog(dialog, Qt::Key_Space);
            PressInDialog(dialog, Qt::Key_Tab);
            TypeInDialog(dialog, QStringLiteral("20%"));
        });
        MoveTo(editor, editor->lstField, QStringLiteral("Obec"));
        TabTo(editor, "chkVisible");
        PressInDialog(editor, Qt::Key_Space);
        PressInDialog(editor, Qt::Key_Return);
    });
    ASSERT_EQ(messages.size(), 3);
    EXPECT_EQ(messages[0],
              QStringLiteral("Pole 'Věk' nemůže obsahovat hodnotu Null, protože je povinné. Zadejte do pole hodnotu."));
    EXPECT_EQ(messages[1], QStringLiteral("Smazat Obec?"));
    EXPECT_EQ(messages[2], QStringLiteral("Pole 'Obec' nelze odstranit, je součástí indexu, klíče nebo relace."));
    EXPECT_EQ(moved, QStringLiteral("Křestní/Křestní")) << "a moved field is listed at its place, and chosen";
    EXPECT_EQ(Fields(path, QStringLiteral("Lidé")),
              (QStringList{QStringLiteral("T:10:0"), QStringLiteral("C:5:0"), QStringLiteral("I:3:0"),
                           QStringLiteral("Obec:10:0"), QStringLiteral("Věk:4:0"), QStringLiteral("L:4:0"),
                           QStringLiteral("D:7:0"), QStringLiteral("Dt:8:0"), QStringLiteral("B:1:0"),
                           QStringLiteral("Křestní:10:1")}));
    EXPECT_NE(DBEngine::Instance().OpenDatabase(path)->TableDefs()->Item(QStringLiteral("Lidé"))->Fields()->Item(
                  QStringLiteral("Křestní"))->AllowZeroLength(),
              zeroLengthBefore);
    EXPECT_EQ(SqliteRows(path, "SELECT \"Křestní\", \"Obec\", \"Věk\" FROM \"Lidé\" ORDER BY \"Křestní\""),
              (QStringList{QStringLiteral("Adam,Brno,NULL"), QStringLiteral("Marie,Chrudim,30"),
                           QStringLiteral("Petr,Hradec,40")}));
    // The window opened the changed table again, its columns by the new definitions.
    EXPECT_EQ(Headers(), (QStringList{QStringLiteral("T"), QStringLiteral("C"), QStringLiteral("I"), QStringLiteral("Věk"),
                                      QStringLiteral("L"), QStringLiteral("D"), QStringLiteral("Dt"), QStringLiteral("B"),
                                      QStringLiteral("Křestní")}));
    EXPECT_EQ(m_window->list->ColumnTag(3), QStringLiteral("Mapa|20%|"));
    EXPECT_EQ(m_window->list->RowCount(), 3);
    EXPECT_EQ(m_window->list->SelectedRow(), 1) << "the row the user was on";
}

TEST_F(StructureTest, CancelStillShowsWhatChangedAndADeletedTableIsChosenAnew)
{
    const QString path = MakeDatabase(QStringLiteral("dve.mdb"), QString::fromUtf8(kPeopleScript)
                                                                      + QStringLiteral("CREATE TABLE Obce (Název TEXT);"
                                                                                       "INSERT INTO Obce VALUES ('Brno');"));
    WhenModal([](QDialog* chooser) { ChooseTable(chooser, QStringLiteral("Lidé")); });
    ASSERT_TRUE(Open(path));
    m_window->list->setFocus();
    QStringList questions;
    Design([&](frmRecordModify* editor) {
        MoveTo(editor, editor->lstTable, QStringLiteral("Lidé"));
        Answer(questions);
        PressInDialog(editor, Qt::Key_Delete);
        PressInDialog(editor, Qt::Key_Escape);
    });
    EXPECT_EQ(questions, QStringList{QStringLiteral("Smazat Lidé?")});
    // One table is left: it opens without asking, as at start-up, and its row is said.
    EXPECT_EQ(Headers(), QStringList{QStringLiteral("Název")});
    EXPECT_EQ(m_window->list->RowCount(), 1);
    EXPECT_EQ(Spoken().last(), QStringLiteral("2 0 , Brno"));
    EXPECT_EQ(SqliteRows(path, "SELECT name FROM sqlite_master WHERE name = 'Lidé'"), QStringList{});

    // A query of a table deleted there fails, says so, and the window opens as at start-up.
    m_window->Setting()->setQuery(QStringLiteral("SELECT Název FROM Obce WHERE Název <> 'x'"));
    ASSERT_TRUE(m_window->ApplySetting(QString(), true));
    QStringList messages;
    Design([&](frmRecordModify* editor) {
        WhenModal([](QDialog* name) {
            TypeInDialog(name, QStringLiteral("Kraje"));
            WhenModal([](QDialog* field) { PressInDialog(field, Qt::Key_Return); });
            PressInDialog(name, Qt::Key_Return);
        });
        PressInDialog(editor, Qt::Key_Insert);
        MoveTo(editor, editor->lstTable, QStringLiteral("Obce"));
        WhenModal([](QDialog* question) { PressInDialog(question, Qt::Key_Return); });
        PressInDialog(editor, Qt::Key_Delete);
        Answer(messages);
        PressInDialog(editor, Qt::Key_Return);
    });
    ASSERT_EQ(messages.size(), 1);
    EXPECT_TRUE(messages[0].startsWith(QStringLiteral("3078"))) << messages[0].toStdString(); // no such table
    EXPECT_EQ(Headers(), QStringList{QStringLiteral("nové")});
    EXPECT_TRUE(m_window->mnuRecordModify->isEnabled());
}

// A server's source: its server adds the field at the end, and refuses in its own words to
// drop one its index needs; the file keeps every row.
TEST_F(StructureTest, AnOdbcSourceChangesWhatItsServerCanAndTellsWhatItRefuses)
{
    PrepareOdbc();
    const QString file = m_dir.filePath(QStringLiteral("osoby.db"));
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(file.toUtf8().constData(), &db), SQLITE_OK);
    EXPECT_EQ(sqlite3_exec(db, "CREATE TABLE osoby (id INTEGER PRIMARY KEY, jmeno VARCHAR(20));"
                               "CREATE INDEX podle_jmena ON osoby (jmeno);"
                               "INSERT INTO osoby VALUES (1, 'Jana');",
                           nullptr, nullptr, nullptr),
              SQLITE_OK);
    sqlite3_close(db);
    SaveRegSetting(kProgramKey, QStringLiteral("Application"), QStringLiteral("Type"),
                   QStringLiteral("ODBC;DRIVER=%1;Database=%2").arg(OdbcDriverPath(QStringLiteral("libsqlite3odbc.so")), file));
    ASSERT_TRUE(Open(file));
    QStringList tables, fields, messages;
    Design([&](frmRecordModify* editor) {
        for (int i = 0; i < editor->lstTable->count(); ++i)
            tables << editor->lstTable->item(i)->text();
        PressInDialog(editor, Qt::Key_Tab);
        MoveTo(editor, editor->lstField, QStringLiteral("jmeno"));
        WhenModal([](QDialog* dialog) {
            TypeInDialog(dialog, QStringLiteral("vek"));
            PressInDialog(dialog, Qt::Key_Return);
        });
        PressInDialog(editor, Qt::Key_Insert);
        MoveTo(editor, editor->lstField, QStringLiteral("jmeno"));
        WhenModal([&messages](QDialog* question) {
            messages << MessageOf(question);
            Answer(messages);
            PressInDialog(question, Qt::Key_Return);
        });
        PressInDialog(editor, Qt::Key_Delete);
        for (int i = 0; i < editor->lstField->count(); ++i)
            fields << editor->lstField->item(i)->text();
        PressInDialog(editor, Qt::Key_Escape);
    });
    EXPECT_EQ(tables, QStringList{QStringLiteral("osoby")});
    EXPECT_EQ(fields, (QStringList{QStringLiteral("id"), QStringLiteral("jmeno"), QStringLiteral("vek")}));
    ASSERT_EQ(messages.size(), 2);
    EXPECT_EQ(messages[0], QStringLiteral("Smazat jmeno?"));
    EXPECT_TRUE(messages[1].contains(QStringLiteral("index"), Qt::CaseInsensitive)) << messages[1].toStdString();
    EXPECT_EQ(SqliteRows(file, "SELECT * FROM osoby"), QStringList{QStringLiteral("1,Jana,NULL")});
    EXPECT_EQ(Headers(), (QStringList{QStringLiteral("id"), QStringLiteral("jmeno"), QStringLiteral("vek")}));
}
