#include "ApplicationHarness.h"

#include "cRecordList.h"
#include "fApplication.h"
#include "mCellReading.h"
#include "sMain.h"

#include <QAction>
#include <QApplication>
#include <QScopeGuard>
#include <QLineEdit>
#include <QTest>

namespace {

class CellReadingTest : public ApplicationTest {
protected:
    void SetUp() override
    {
        ApplicationTest::SetUp();
        ASSERT_TRUE(Open(MakeDatabase(QStringLiteral("lide.mdb"), QString::fromUtf8(kPeopleScript))));
        m_window->list->setFocus();
    }

    // What one key says; the edge's signal included.
    QString Key(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) const
    {
        Clear();
        Press(key, modifiers);
        QApplication::processEvents();
        return Spoken().join(u'|');
    }

    QString LastBraille() const
    {
        const auto calls = Calls(QStringLiteral("BrailleWithOffset"));
        return calls.isEmpty() ? QString() : calls.last().value(1);
    }

    const QScopeGuard<std::function<void()>> m_reset{[] { gCellReading = gCellRowNumber = gCellHeaderFirst = 0; }};
};

} // namespace

// Ctrl+L turns reading by cells on: Left/Right/Home/End move along the record and say
// "value, header", Up/Down say the column's value, Ctrl+Home/End go to the first and
// last record; the Braille line shows "header: value". Off again, Left and Right scroll.
TEST_F(CellReadingTest, CtrlLReadsTheGridCellByCell)
{
    EXPECT_EQ(Key(Qt::Key_L, Qt::ControlModifier), QStringLiteral("2 0 Čtení po buňkách zapnuto."));
    EXPECT_TRUE(m_registry->ReadFile().contains(QStringLiteral("\"CellReading\"=\"1\"")));
    EXPECT_TRUE(m_window->mnuViewCellReading->isChecked());
    EXPECT_EQ(Key(Qt::Key_Right), QStringLiteral("2 0 Hradec, Obec"));
    EXPECT_EQ(LastBraille(), QStringLiteral("Obec: Hradec"));
    EXPECT_EQ(Key(Qt::Key_End), QStringLiteral("2 0 40, Věk"));
    EXPECT_EQ(Key(Qt::Key_Right), QStringLiteral("5 8 |2 0 40, Věk")) << "the last column";
    EXPECT_EQ(Key(Qt::Key_Down), QStringLiteral("2 0 30"));
    EXPECT_EQ(Key(Qt::Key_End, Qt::ControlModifier), QStringLiteral("2 0 prázdné"));
    EXPECT_EQ(m_window->list->SelectedRow(), 2);
    EXPECT_EQ(Key(Qt::Key_End, Qt::ControlModifier), QStringLiteral("2 0 prázdné, Věk")) << "already there";
    EXPECT_EQ(Key(Qt::Key_Home), QStringLiteral("2 0 Adam, Jméno"));
    EXPECT_EQ(Key(Qt::Key_Left), QStringLiteral("5 8 |2 0 Adam, Jméno"));
    EXPECT_EQ(Key(Qt::Key_Home, Qt::ControlModifier), QStringLiteral("2 0 Petr"));
    EXPECT_EQ(m_window->list->SelectedRow(), 0);

    // The preferences: the header first, and the row number on Up and Down.
    gCellHeaderFirst = 1;
    gCellRowNumber = 1;
    EXPECT_EQ(Key(Qt::Key_Right), QStringLiteral("2 0 Obec, Hradec"));
    EXPECT_EQ(Key(Qt::Key_Down), QStringLiteral("2 0 Chrudim, řádek 2"));
    Clear();
    Press(Qt::Key_I, Qt::ControlModifier);
    EXPECT_TRUE(Spoken().value(0).endsWith(QStringLiteral("Pole Obec: text, nejvýše 30 znaků, nepovinné, "
                                                          "prázdný text povolen, bez akcí.")))
        << Spoken().value(0).toStdString();

    EXPECT_EQ(Key(Qt::Key_L, Qt::ControlModifier), QStringLiteral("2 0 Čtení po buňkách vypnuto."));
    const int column = m_window->list->CurrentColumn();
    EXPECT_EQ(Key(Qt::Key_Right), QStringLiteral("2 0 , Marie, Chrudim, 30"));
    EXPECT_EQ(m_window->list->CurrentColumn(), column) << "Right scrolls, out of reading by cells";
    EXPECT_TRUE(m_registry->ReadFile().contains(QStringLiteral("\"CellReading\"=\"0\"")));
}

TEST_F(CellReadingTest, TheChoiceIsKeptAcrossARestart)
{
    Press(Qt::Key_L, Qt::ControlModifier);
    Unload();
    gCellReading = 0;
    Load();
    EXPECT_TRUE(m_window->list->CellReading());
    EXPECT_TRUE(m_window->mnuViewCellReading->isChecked());
}

// A short Braille line keeps the value whole and cuts the header, never below three letters.
TEST(CellBrailleTest, TheHeaderIsCutWhereTheLineIsShort)
{
    EXPECT_EQ(CellBraille(QStringLiteral("Příjmení"), QStringLiteral("Nováková"), 0), QStringLiteral("Příjmení: Nováková"));
    EXPECT_EQ(CellBraille(QStringLiteral("Příjmení"), QStringLiteral("Nováková"), 40), QStringLiteral("Příjmení: Nováková"));
    EXPECT_EQ(CellBraille(QStringLiteral("Příjmení"), QStringLiteral("Nováková"), 15), QStringLiteral("Příjm: Nováková"));
    EXPECT_EQ(CellBraille(QStringLiteral("Příjmení"), QStringLiteral("Nováková"), 12), QStringLiteral("Pří: Nováková"));
    EXPECT_EQ(CellBraille(QStringLiteral("Věk"), QString(), 12), QStringLiteral("Věk: prázdné"));
}

// Ctrl let go before End, as fast typists and xdotool do: the move is said all the same.
TEST_F(CellReadingTest, CtrlLetGoBeforeEndStillSaysTheMove)
{
    QWidget* grid = m_window->list;
    Clear();
    QTest::keyPress(grid, Qt::Key_Control, Qt::ControlModifier);
    QTest::keyPress(grid, Qt::Key_End, Qt::ControlModifier);
    QTest::keyRelease(grid, Qt::Key_Control);
    QTest::keyRelease(grid, Qt::Key_End);
    EXPECT_EQ(Spoken(), QStringList(QStringLiteral("2 0 , Adam, Brno, ")));
    EXPECT_EQ(m_window->list->SelectedRow(), 2);
}

namespace {

const char* const kRegionsScript = R"(
PRAGMA foreign_keys = ON;
CREATE TABLE "Kraje" ("Id" INTEGER PRIMARY KEY, "Název" VARCHAR(40));
INSERT INTO "Kraje" VALUES (1, 'Jihomoravský'), (2, 'Pardubický');
CREATE TABLE "Obce" ("Obec" VARCHAR(30), "Kraj" INTEGER REFERENCES "Kraje"("Id") ON DELETE CASCADE);
INSERT INTO "Obce" VALUES ('Brno', 1), ('Chrudim', 2), ('Nikde', NULL);
)";

} // namespace

// A value that refers to another table's row is told with that row's first text: in the
// whole record, in reading by cells, in the form view and in where am I.
TEST_F(ApplicationTest, AReferredRowIsToldByItsTextWhereverTheValueIsRead)
{
    const auto reset = qScopeGuard([] { gCellReading = 0; });
    const QString file = MakeDatabase(QStringLiteral("obce.db"), QString::fromUtf8(kRegionsScript));
    WhenModal([](QDialog* chooser) { ChooseTable(chooser, QStringLiteral("Obce")); });
    ASSERT_TRUE(Open(file));
    m_window->list->setFocus();
    const auto said = [this](Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        Clear();
        Press(key, modifiers);
        QApplication::processEvents();
        return Spoken().join(u'|');
    };
    EXPECT_EQ(said(Qt::Key_R, Qt::ControlModifier), QStringLiteral("2 0 Obec: Brno, Kraj: 1, Jihomoravský"));
    said(Qt::Key_L, Qt::ControlModifier);
    EXPECT_EQ(said(Qt::Key_Right), QStringLiteral("2 0 1, Jihomoravský, Kraj"));
    EXPECT_EQ(said(Qt::Key_Down), QStringLiteral("2 0 2, Pardubický"));
    EXPECT_EQ(said(Qt::Key_Down), QStringLiteral("2 0 prázdné")) << "no row referred";
    EXPECT_TRUE(said(Qt::Key_I, Qt::ControlModifier).contains(QStringLiteral("Pole Kraj: dlouhé celé číslo, nepovinné, "
                                                                               "odkazuje na tabulku Kraje, bez akcí.")));
    Press(Qt::Key_Up);
    Press(Qt::Key_F12);
    Press(Qt::Key_Tab);
    EXPECT_EQ(m_window->Text[2]->accessibleDescription(), QStringLiteral("Pardubický"));
    EXPECT_TRUE(said(Qt::Key_PageUp).endsWith(QStringLiteral("1, Jihomoravský")));
}
