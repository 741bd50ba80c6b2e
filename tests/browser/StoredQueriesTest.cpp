#include "ApplicationHarness.h"

#include "DBEngine.h"
#include "QueryDef.h"
#include "Recordset.h"
#include "cRecordList.h"
#include "cSetting.h"
#include "fApplication.h"
#include "frmProperties.h"

#include <QCoreApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>

namespace {

// Tab (forwards, round the form) until control has the focus, as a keyboard user does.
void TabTo(QDialog* form, QWidget* control)
{
    for (int i = 0; i < 20 && form->focusWidget() != control; ++i)
        PressInDialog(form, Qt::Key_Tab);
    ASSERT_EQ(form->focusWidget(), control);
}

void PressButton(QDialog* form, QWidget* button)
{
    TabTo(form, button);
    PressInDialog(form, Qt::Key_Space);
}

// Types text into the SQL box (what was there is selected, so it is replaced).
void TypeQuery(frmProperties* form, const QString& text)
{
    TabTo(form, form->txtQuery);
    TypeInDialog(form, text);
}

// The stored queries dialog of the main window (Ctrl+Q), its queries applied as the
// record source, all with keys.
class StoredQueriesTest : public ApplicationTest {
protected:
    void SetUp() override
    {
        ApplicationTest::SetUp();
        m_path = MakeDatabase(QStringLiteral("lide.mdb"), QString::fromUtf8(kPeopleScript));
        ASSERT_TRUE(Open(m_path));
        m_window->list->setFocus();
    }

    // Runs answer on the dialog that Ctrl+Q opens.
    void Dialog(const std::function<void(frmProperties*)>& answer)
    {
        WhenModal([&](QDialog* form) { answer(qobject_cast<frmProperties*>(form)); });
        Press(Qt::Key_Q, Qt::ControlModifier);
    }

    // Answers the next message box with Enter and keeps its text.
    static void Answer(QStringList& messages)
    {
        WhenModal([&messages](QDialog* box) {
            messages << MessageOf(box);
            PressInDialog(box, Qt::Key_Return);
        });
    }

    QStringList Grid() const
    {
        QStringList rows;
        for (qint64 row = 0; row < m_window->list->RowCount(); ++row)
            rows << m_window->list->RowText(row);
        return rows;
    }

    QStringList StoredQueries() const
    {
        QStringList queries;
        auto db = DBEngine::Instance().OpenDatabase(m_path);
        for (const auto& query : *db->QueryDefs())
            queries << query->Name() + u'=' + query->SQL();
        return queries;
    }

    QString m_path;
};

} // namespace

TEST_F(StoredQueriesTest, QueriesAreMadeChangedDeletedAndAppliedWithKeys)
{
    const QString fromBrno = QStringLiteral("SELECT Jméno FROM Lidé WHERE Obec = 'Brno'");
    QString empty;
    Dialog([&](frmProperties* form) {
        // No stored query yet: nothing shown, and Save makes the first one.
        empty = QString::number(form->lstQuery->count()) + form->txtName->text() + form->txtQuery->text();
        TabTo(form, form->txtName);
        TypeInDialog(form, QStringLiteral("Z Brna"));
        TypeQuery(form, fromBrno);
        PressButton(form, form->cmdSave);
        // Enter in the list applies the entry shown, as OK does.
        TabTo(form, form->lstQuery);
        PressInDialog(form, Qt::Key_Return);
    });
    EXPECT_EQ(empty, QStringLiteral("0"));
    EXPECT_EQ(Spoken().filter(QStringLiteral("uložen")), QStringList{QStringLiteral("2 0 Dotaz Z Brna je uložen.")});
    EXPECT_EQ(Grid(), QStringList{QStringLiteral(", Adam")});
    EXPECT_EQ(cSetting().Query(), fromBrno);
    EXPECT_FALSE(m_window->list->IsSorted());

    QStringList questions;
    Dialog([&](frmProperties* form) {
        // Renamed and changed in place, then a second query made and deleted after "No".
        TabTo(form, form->txtName);
        TypeInDialog(form, QStringLiteral("Brno"));
        TypeQuery(form, QStringLiteral("SELECT Jméno, Obec FROM Lidé WHERE Obec = 'Brno'"));
        PressButton(form, form->cmdSave);
        PressButton(form, form->cmdAdd);
        TypeInDialog(form, QStringLiteral("Pryč"));
        PressButton(form, form->cmdSave);
        for (const Qt::Key answer : {Qt::Key_Escape, Qt::Key_Return}) {
            WhenModal([&questions, answer](QDialog* box) {
                questions << MessageOf(box);
                PressInDialog(box, answer);
            });
            PressButton(form, form->cmdRemove);
        }
        PressInDialog(form, Qt::Key_Escape);
    });
    EXPECT_EQ(questions, QStringList({QStringLiteral("Smazat Pryč?"), QStringLiteral("Smazat Pryč?")}));
    EXPECT_EQ(StoredQueries(), QStringList{QStringLiteral("Brno=SELECT Jméno, Obec FROM Lidé WHERE Obec = 'Brno'")});
    EXPECT_EQ(Grid(), QStringList{QStringLiteral(", Adam")}) << "Escape applies nothing";
    EXPECT_EQ(cSetting().Query(), fromBrno);
}

TEST_F(StoredQueriesTest, OnlyTheClosingSemicolonGoesAndASecondStatementOrAnActionNeverRuns)
{
    const QStringList before = Grid();
    QStringList messages;
    bool stayedOpen = false;
    Dialog([&](frmProperties* form) {
        Answer(messages);
        TypeQuery(form, QStringLiteral("SELECT * FROM Lidé; DELETE FROM Lidé"));
        PressInDialog(form, Qt::Key_Return);
        Answer(messages);
        TypeQuery(form, QStringLiteral("DELETE FROM Lidé;"));
        PressInDialog(form, Qt::Key_Return);
        stayedOpen = form->isVisible();
        TypeQuery(form, QStringLiteral("SELECT * FROM Lidé WHERE Obec = 'Brno;Hradec' OR Obec = 'Hradec' ; "));
        PressInDialog(form, Qt::Key_Return);
    });
    EXPECT_TRUE(stayedOpen);
    EXPECT_EQ(messages, QStringList({QStringLiteral("Za koncem příkazu SQL jsou další znaky."),
                                     QStringLiteral("Neplatná operace.")}));
    EXPECT_EQ(cSetting().Query(), QStringLiteral("SELECT * FROM Lidé WHERE Obec = 'Brno;Hradec' OR Obec = 'Hradec'"));
    EXPECT_EQ(Grid(), QStringList{QStringLiteral(", Petr, Hradec, 40")});
    auto db = DBEngine::Instance().OpenDatabase(m_path);
    EXPECT_EQ(db->OpenRecordset(QStringLiteral("SELECT * FROM Lidé"))->RecordCount(), before.size());
}

TEST_F(StoredQueriesTest, AStoppedQueryLeavesThePreviousRowsAndQuery)
{
    const QStringList before = Grid();
    const QString query = cSetting().Query();
    bool stayedOpen = false;
    Dialog([&](frmProperties* form) {
        // 3^14 rows to count: far longer than the moment quick work is given.
        TypeQuery(form, QStringLiteral("SELECT a.Jméno FROM Lidé a, Lidé b, Lidé c, Lidé d, Lidé e, Lidé f, Lidé g, "
                                       "Lidé h, Lidé i, Lidé j, Lidé k, Lidé l, Lidé m, Lidé n"));
        Clear();
        QCoreApplication::postEvent(form->txtQuery, new QKeyEvent(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier));
        PressInDialog(form, Qt::Key_Return);
        stayedOpen = form->isVisible();
        PressInDialog(form, Qt::Key_Escape);
    });
    EXPECT_TRUE(stayedOpen);
    EXPECT_TRUE(Spoken().contains(QStringLiteral("2 0 Přerušeno.")));
    EXPECT_EQ(Grid(), before);
    EXPECT_EQ(cSetting().Query(), query);
}

TEST_F(StoredQueriesTest, AnAccessFilesActionQueriesAreRefusedItsQueriesKeptAndItsSelectQueryShown)
{
    WhenModal([](QDialog* chooser) { ChooseTable(chooser, QStringLiteral("Table1")); });
    ASSERT_TRUE(Open(QStringLiteral(QUARNEL_TESTDATA "/queryTestV2007.accdb")));
    QStringList messages;
    Dialog([&](frmProperties* form) {
        // The data definition query's own text, then Save, then the delete query drawn on
        // by a SELECT.
        PressInDialog(form, Qt::Key_Down);
        PressInDialog(form, Qt::Key_Down);
        messages << form->txtName->text();
        Answer(messages);
        PressInDialog(form, Qt::Key_Return);
        Answer(messages);
        PressButton(form, form->cmdSave);
        Answer(messages);
        TypeQuery(form, QStringLiteral("Select * From [DeleteQuery]"));
        PressInDialog(form, Qt::Key_Return);
        TabTo(form, form->lstQuery);
        for (int i = 0; i < 4; ++i)
            PressInDialog(form, Qt::Key_Down);
        PressInDialog(form, Qt::Key_Return);
    });
    const QString refused = QStringLiteral("Neplatná operace.");
    EXPECT_EQ(messages, QStringList({QStringLiteral("DataDefinitionQuery"), refused,
                                     QStringLiteral("Databázi nebo objekt nelze aktualizovat. Je jen pro čtení."),
                                     refused}));
    EXPECT_TRUE(cSetting().Query().startsWith(QStringLiteral("SELECT DISTINCT Table1.*, Table2.col1")));
    EXPECT_EQ(m_window->list->ColumnCount(), 6);
}
