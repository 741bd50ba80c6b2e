#include "ApplicationHarness.h"

#include "cRecordList.h"
#include "cRecordListAccessible.h"
#include "fApplication.h"
#include "mScreenReader.h"

#include <QAccessible>
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMetaEnum>
#include <QTest>

// The offscreen platform has no bridge to switch accessibility on, so its platform object
// is switched as a bridge would switch it (the toolkit's own, not part of the public API).
class QPlatformAccessibility {
public:
    void setActive(bool active);
};
class QPlatformIntegration {
public:
    QPlatformAccessibility* accessibility() const;
};
class QGuiApplicationPrivate {
public:
    static QPlatformIntegration* platform_integration;
};

namespace {

struct Seen {
    QAccessible::Event type;
    QObject* object;
    int child;
    QAccessible::Id cell; // the grid's focused cell, 0 for anything else
};

QList<Seen>* gSeen = nullptr;

void Record(QAccessibleEvent* event)
{
    Seen seen{event->type(), event->object(), event->child(), 0};
    if (seen.type == QAccessible::Focus && seen.child >= 0 && qobject_cast<cRecordList*>(seen.object))
        if (QAccessibleInterface* cell = event->accessibleInterface())
            seen.cell = QAccessible::uniqueId(cell);
    gSeen->append(seen);
}

class ScreenReaderTest : public ApplicationTest {
protected:
    void SetUp() override
    {
        ApplicationTest::SetUp();
        ASSERT_TRUE(Open(MakeDatabase(QStringLiteral("lide.mdb"), QString::fromUtf8(kPeopleScript))));
        Reader(OwnSpeech::Automatic, true);
        m_window->list->setFocus();
        QApplication::processEvents();
    }
    void TearDown() override
    {
        if (m_listening) {
            QAccessible::installUpdateHandler(m_previous);
            QGuiApplicationPrivate::platform_integration->accessibility()->setActive(false);
            gSeen = nullptr;
        }
        ApplicationTest::TearDown();
        SetOwnSpeechChoice(m_choice);
        SetScreenReaderRunning(m_running);
    }

    static void Reader(OwnSpeech choice, bool running)
    {
        SetOwnSpeechChoice(choice);
        SetScreenReaderRunning(running);
    }

    // From here on the accessibility events are kept, as a screen reader gets them.
    void Listen()
    {
        QGuiApplicationPrivate::platform_integration->accessibility()->setActive(true);
        ASSERT_TRUE(QAccessible::isActive());
        gSeen = &m_seen;
        m_previous = QAccessible::installUpdateHandler(&Record);
        m_listening = true;
    }

    QStringList Heard(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
    {
        Clear();
        Press(key, modifiers);
        QApplication::processEvents();
        return Spoken();
    }
    QStringList InMenu(Qt::Key key)
    {
        Clear();
        QTest::keyClick(QApplication::activePopupWidget(), key);
        QApplication::processEvents();
        return Spoken();
    }

    // The grid's focus events since the last look, with the cell they offer.
    QList<Seen> GridFocus()
    {
        QList<Seen> focus;
        for (const Seen& seen : std::exchange(m_seen, {}))
            if (seen.type == QAccessible::Focus && seen.object == m_window->list)
                focus << seen;
        return focus;
    }
    int CurrentChild() const
    {
        const QModelIndex current = m_window->list->currentIndex();
        return (current.row() + 1) * (m_window->list->ColumnCount() + 1) + current.column() + 1;
    }
    cRecordListAccessible* Table() const
    {
        return dynamic_cast<cRecordListAccessible*>(QAccessible::queryAccessibleInterface(m_window->list));
    }

    ScopedLocale m_czech{QStringLiteral("cs_CZ")}; // Chrudim after Hradec
    const OwnSpeech m_choice = OwnSpeechChoice();
    const bool m_running = ScreenReaderRunning();
    QList<Seen> m_seen;
    QAccessible::UpdateHandler m_previous = nullptr;
    bool m_listening = false;
};

const QString kMarie = QStringLiteral(", Marie, Chrudim, 30");
const QString kUnusedKey = QStringLiteral("2 0 Tato klávesa v tabulce nic nedělá. Šipky vybírají záznam, Alt+Enter ho "
                                          "upraví, F12 zobrazí formulář.");

} // namespace

// Records, boxes and menus are the reader's; orders and hints only the program knows.
TEST_F(ScreenReaderTest, BesideAReaderOnlyWhatItCannotKnowIsSaid)
{
    for (const auto& [choice, running] : {std::pair{OwnSpeech::Automatic, true}, {OwnSpeech::OnlyUnknown, false}}) {
        SCOPED_TRACE(int(choice));
        Reader(choice, running);
        m_window->list->setFocus();
        Press(Qt::Key_Home);
        EXPECT_EQ(Heard(Qt::Key_Down), QStringList());
        EXPECT_TRUE(Calls(QStringLiteral("BrailleWithOffset")).isEmpty());
        EXPECT_EQ(Heard(Qt::Key_2, Qt::ControlModifier), QStringList(QStringLiteral("2 0 Seřazeno podle Obec, vzestupně.")));
        Press(Qt::Key_0, Qt::ControlModifier);
        EXPECT_EQ(Heard(Qt::Key_Escape), QStringList(kUnusedKey));
        EXPECT_EQ(Heard(Qt::Key_F12), QStringList());
        ASSERT_TRUE(m_window->IsFormView());
        EXPECT_TRUE(Calls(QStringLiteral("FocusVoice")).isEmpty());
        EXPECT_EQ(Heard(Qt::Key_F12), QStringList());
        ASSERT_EQ(Focus(), m_window->list);
        EXPECT_EQ(Heard(Qt::Key_Z, Qt::AltModifier), QStringList());
        ASSERT_NE(QApplication::activePopupWidget(), nullptr);
        EXPECT_EQ(InMenu(Qt::Key_Down), QStringList());
        InMenu(Qt::Key_Down);
        InMenu(Qt::Key_Down);
        EXPECT_EQ(InMenu(Qt::Key_Right), QStringList()) << "the order-by submenu";
        InMenu(Qt::Key_Escape);
        InMenu(Qt::Key_Escape);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
    }
}

TEST_F(ScreenReaderTest, AlwaysSaysEverythingEvenBesideAReader)
{
    Reader(OwnSpeech::Always, true);
    EXPECT_EQ(Heard(Qt::Key_Down), QStringList(QStringLiteral("2 0 ") + kMarie));
    EXPECT_FALSE(Calls(QStringLiteral("BrailleWithOffset")).isEmpty());
    Clear();
    Press(Qt::Key_F12);
    const QList<QStringList> focus = Calls(QStringLiteral("FocusVoice"));
    ASSERT_FALSE(focus.isEmpty());
    EXPECT_EQ(focus.last().mid(1, 2), QStringList({QStringLiteral("Jméno"), QStringLiteral("Marie")}));
    Press(Qt::Key_F12);
    EXPECT_EQ(Heard(Qt::Key_Z, Qt::AltModifier), QStringList(QStringLiteral("2 0 Zobrazení, Písmo")));
    InMenu(Qt::Key_Escape);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
}

// Back in the grid, and after the rows changed, the reader is handed the current cell, a
// new object whenever the rows are new, so that it reads the record again.
TEST_F(ScreenReaderTest, TheGridOffersItsCurrentCellOnEveryReturnAndChangeOfRows)
{
    Listen();
    Press(Qt::Key_Down); // Marie
    ASSERT_NE(Table(), nullptr);
    EXPECT_EQ(Table()->child(0)->text(QAccessible::Name), QStringLiteral("Řádek"));
    GridFocus();
    Press(Qt::Key_F12);
    QApplication::processEvents();
    EXPECT_TRUE(GridFocus().isEmpty()) << "the grid is hidden behind the form";
    Press(Qt::Key_F12);
    QApplication::processEvents();
    ASSERT_EQ(Focus(), m_window->list);
    QList<Seen> focus = GridFocus();
    ASSERT_FALSE(focus.isEmpty());
    EXPECT_EQ(focus.last().child, 9);
    EXPECT_EQ(focus.last().cell, QAccessible::uniqueId(Table()->child(9)));

    // By town Marie goes last, where Adam's cell was read before: a new cell, not that one.
    const QAccessible::Id adams = QAccessible::uniqueId(Table()->child(13));
    Press(Qt::Key_2, Qt::ControlModifier);
    QApplication::processEvents();
    ASSERT_EQ(m_window->list->CellText(m_window->list->SelectedRow(), 0), QStringLiteral("Marie"));
    focus = GridFocus();
    ASSERT_FALSE(focus.isEmpty());
    EXPECT_EQ(focus.last().child, 13);
    EXPECT_NE(focus.last().cell, adams);
    EXPECT_EQ(focus.last().cell, QAccessible::uniqueId(Table()->child(13)));

    // A box closed: the grid gets the focus back and offers the cell with it.
    WhenModal([](QDialog* dialog) { PressInDialog(dialog, Qt::Key_Escape); });
    Press(Qt::Key_G, Qt::ControlModifier);
    QApplication::processEvents();
    ASSERT_EQ(Focus(), m_window->list);
    focus = GridFocus();
    ASSERT_FALSE(focus.isEmpty());
    EXPECT_EQ(focus.last().child, CurrentChild());

    // A deletion offers the row that took the deleted one's place, unless the form hides the grid.
    const auto deleteRecord = [this] {
        WhenModal([](QDialog* question) { PressInDialog(question, Qt::Key_Return); });
        Press(Qt::Key_Delete);
        QApplication::processEvents();
    };
    deleteRecord();
    ASSERT_EQ(m_window->list->RowCount(), 2);
    focus = GridFocus();
    ASSERT_FALSE(focus.isEmpty());
    EXPECT_EQ(focus.last().child, CurrentChild());
    EXPECT_EQ(focus.last().cell, QAccessible::uniqueId(Table()->child(CurrentChild())));
    Press(Qt::Key_F12);
    GridFocus();
    deleteRecord();
    ASSERT_EQ(m_window->list->RowCount(), 1);
    EXPECT_TRUE(GridFocus().isEmpty()) << "deleted from the form";
}

// A reader lists the form by its surface: each caption and its box, no hidden template
// and no frame that only draws.
TEST_F(ScreenReaderTest, TheFormsSurfaceHoldsOnlyCaptionsAndBoxes)
{
    Press(Qt::Key_F12);
    ASSERT_TRUE(m_window->IsFormView());
    QAccessibleInterface* surface = QAccessible::queryAccessibleInterface(m_window->picFormView);
    ASSERT_NE(surface, nullptr);
    QObjectList children;
    for (int i = 0; i < surface->childCount(); ++i) {
        QAccessibleInterface* child = surface->child(i);
        ASSERT_NE(child, nullptr) << i;
        EXPECT_EQ(surface->indexOfChild(child), i);
        children << child->object();
    }
    QObjectList expected;
    for (int i = 1; i <= 3; ++i)
        expected << m_window->Label[i] << m_window->Text[i];
    std::sort(children.begin(), children.end());
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(children, expected);
    EXPECT_EQ(surface->child(surface->childCount()), nullptr);
    EXPECT_EQ(surface->indexOfChild(QAccessible::queryAccessibleInterface(m_window->Text[0])), -1);
}

// A caret moved before the focus arrives makes a reader take the box as known and keep
// quiet; the caret goes home as a box is left instead.
TEST_F(ScreenReaderTest, EnteringAFormBoxChangesNothingBeforeItsFocusIsAnnounced)
{
    Listen();
    const auto changesBeforeFocus = [this](QLineEdit* box) {
        QStringList changes;
        for (const Seen& seen : std::exchange(m_seen, {})) {
            if (seen.object != box)
                continue;
            if (seen.type == QAccessible::Focus)
                return changes;
            if (seen.type == QAccessible::TextCaretMoved || seen.type == QAccessible::TextSelectionChanged
                || seen.type == QAccessible::TextUpdated || seen.type == QAccessible::TextInserted
                || seen.type == QAccessible::TextRemoved)
                changes << QString::fromLatin1(QMetaEnum::fromType<QAccessible::Event>().valueToKey(seen.type));
        }
        return QStringList(QStringLiteral("no focus"));
    };
    Press(Qt::Key_F12);
    ASSERT_EQ(Focus(), m_window->Text[1]);
    EXPECT_EQ(changesBeforeFocus(m_window->Text[1]), QStringList()) << "F12";
    Press(Qt::Key_End);
    ASSERT_EQ(m_window->Text[1]->cursorPosition(), 4);
    for (const auto& [key, modifiers, target] : {std::tuple{Qt::Key_Tab, Qt::NoModifier, 2},
                                                 {Qt::Key_Tab, Qt::NoModifier, 3},
                                                 {Qt::Key_Tab, Qt::ShiftModifier, 2}}) {
        Press(key, modifiers);
        QApplication::processEvents();
        QLineEdit* box = m_window->Text[target];
        ASSERT_EQ(Focus(), box);
        EXPECT_EQ(changesBeforeFocus(box), QStringList()) << target;
        EXPECT_EQ(box->cursorPosition(), 0);
        EXPECT_FALSE(box->hasSelectedText());
    }
    EXPECT_EQ(m_window->Text[1]->cursorPosition(), 0) << "put home as it was left";
}

// A reader reads a whole row only on entering another row: where the rows changed under
// the same row, or a key left the row where it was, the program says the row itself; and
// the cell the reader stood on outlives the change, or the reader falls silent.
TEST_F(ScreenReaderTest, TheSameRowAfterAChangeIsSaidByTheProgram)
{
    Listen();
    Press(Qt::Key_Home);
    Press(Qt::Key_Down); // Marie, read by the reader as the user moved there
    const QList<Seen> moved = GridFocus();
    ASSERT_FALSE(moved.isEmpty());
    const QAccessible::Id stoodOn = moved.last().cell;
    ASSERT_NE(stoodOn, 0u);
    EXPECT_EQ(Heard(Qt::Key_X), QStringList(QStringLiteral("2 0 ") + kMarie)) << "no row starts with x";
    EXPECT_TRUE(GridFocus().isEmpty());

    // By age the rows are new, but Marie stays in her row: the reader would read one cell.
    EXPECT_EQ(Heard(Qt::Key_3, Qt::ControlModifier),
              QStringList({QStringLiteral("2 0 Seřazeno podle Věk, vzestupně."), QStringLiteral("1 0 ") + kMarie}));
    EXPECT_TRUE(GridFocus().isEmpty());
    EXPECT_NE(QAccessible::accessibleInterface(stoodOn), nullptr) << "the reader's cell was deleted under it";
}

// Orca passes over a box's new text of one character after Page Down: that one is said.
TEST_F(ScreenReaderTest, AOneCharacterValueAfterPageDownIsSaidByTheProgram)
{
    ASSERT_TRUE(Open(MakeDatabase(QStringLiteral("cisla.mdb"),
                                  QStringLiteral("CREATE TABLE T (Jméno VARCHAR(9), Číslo INTEGER);"
                                                 "INSERT INTO T VALUES ('Ema', 1), ('Ota', 22), ('Iva', 3);"))));
    m_window->list->setFocus();
    Press(Qt::Key_F12);
    Press(Qt::Key_Tab);
    EXPECT_EQ(Heard(Qt::Key_PageDown), QStringList()) << "22 is the reader's";
    EXPECT_EQ(Heard(Qt::Key_PageDown), QStringList(QStringLiteral("2 0 3")));
}
