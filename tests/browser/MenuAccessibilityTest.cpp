#include "ApplicationHarness.h"

#include "cRecordList.h"
#include "fApplication.h"
#include "mScreenReader.h"

#include <QAccessible>
#include <QAction>
#include <QApplication>
#include <QMenu>
#include <QMenuBar>
#include <QScopeGuard>
#include <QTest>

namespace {

QMenu* OpenMenu()
{
    QApplication::processEvents();
    return qobject_cast<QMenu*>(QApplication::activePopupWidget());
}

void PressInMenu(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
{
    QWidget* menu = QApplication::activePopupWidget();
    ASSERT_NE(menu, nullptr) << "no menu is open";
    QTest::keyClick(menu, key, modifiers);
}

QString Name(QObject* object)
{
    QAccessibleInterface* iface = QAccessible::queryAccessibleInterface(object);
    return iface ? iface->text(QAccessible::Name) : QStringLiteral("<none>");
}

// The menu's children as a screen reader lists them: name and keys.
QStringList Children(QMenu* menu)
{
    QStringList children;
    QAccessibleInterface* iface = QAccessible::queryAccessibleInterface(menu);
    for (int i = 0; iface && i < iface->childCount(); ++i) {
        if (QAccessibleInterface* child = iface->child(i); child->role() != QAccessible::Separator)
            children << child->text(QAccessible::Name) + u'|' + child->text(QAccessible::Accelerator);
    }
    return children;
}

} // namespace

TEST_F(ApplicationTest, AScreenReaderReadsEveryMenuByItsTitleAndItsItemsApartFromTheirKeys)
{
    ASSERT_TRUE(Open(MakeDatabase(QStringLiteral("lide.mdb"), QString::fromUtf8(kPeopleScript))));
    // Every popup, submenus too, carries its title (set from the string table after the
    // menus were made) as its name.
    QList<QMenu*> menus;
    for (QAction* item : m_window->menuBar()->actions())
        menus << item->menu();
    for (qsizetype i = 0; i < menus.size(); ++i) {
        for (QAction* item : menus[i]->actions())
            if (item->menu())
                menus << item->menu();
    }
    ASSERT_EQ(menus.size(), 6);
    for (QMenu* menu : menus) {
        EXPECT_FALSE(Name(menu).isEmpty()) << menu->objectName().toStdString();
        EXPECT_EQ(Name(menu), QString(menu->title()).remove(u'&')) << menu->objectName().toStdString();
    }
    EXPECT_EQ(Name(m_window->mnuView), QStringLiteral("Zobrazení"));
    EXPECT_EQ(Name(m_window->mnuViewOrderBy), QStringLiteral("Řadit podle"));
    EXPECT_EQ(Name(m_window->mnuViewOwnSpeech), QStringLiteral("Vlastní řeč"));

    // The keys are the item's shortcut, not a tail of its name; the hidden template of the
    // column items is no child at all.
    EXPECT_TRUE(Children(m_window->mnuRecOrd).contains(QStringLiteral("Editovat…|Alt+Enter")))
        << Children(m_window->mnuRecOrd).join(u'\n').toStdString();
    EXPECT_EQ(Children(m_window->mnuViewOrderBy),
              QStringList({QStringLiteral("Jméno|Ctrl+1"), QStringLiteral("Obec|Ctrl+2"), QStringLiteral("Věk|Ctrl+3"),
                           QStringLiteral("Vzestupně|Alt+V"), QStringLiteral("Sestupně|Alt+S")}));
    // Opened from the keyboard, the order-by menu still says each column with its keys.
    m_window->list->setFocus();
    Press(Qt::Key_Z, Qt::AltModifier);
    ASSERT_NE(OpenMenu(), nullptr);
    PressInMenu(Qt::Key_O);
    ASSERT_EQ(OpenMenu(), m_window->mnuViewOrderBy);
    Clear();
    PressInMenu(Qt::Key_Down);
    EXPECT_EQ(Spoken(), QStringList(QStringLiteral("2 0 Obec, Ctrl+2")));
    PressInMenu(Qt::Key_Escape);
    PressInMenu(Qt::Key_Escape);
}

// The keys the menus only show stay with the window: the grid sorts and speaks as it did,
// Alt+Enter edits, and inside an open menu they take no command.
TEST_F(ApplicationTest, KeysShownInTheMenusStayWithTheWindow)
{
    ScopedLocale czech(QStringLiteral("cs_CZ"));
    ASSERT_TRUE(Open(MakeDatabase(QStringLiteral("lide.mdb"), QString::fromUtf8(kPeopleScript))));
    cRecordList* list = m_window->list;
    list->setFocus();
    Press(Qt::Key_Down); // Marie
    Clear();
    Press(Qt::Key_2, Qt::ControlModifier);
    EXPECT_EQ(Spoken(), QStringList({QStringLiteral("2 0 Seřazeno podle Obec, vzestupně."),
                                     QStringLiteral("1 0 , Marie, Chrudim, 30")}));
    Clear();
    Press(Qt::Key_2, Qt::ControlModifier);
    EXPECT_EQ(Spoken().value(0), QStringLiteral("2 0 Seřazeno podle Obec, sestupně.")) << "the grid's own toggle";
    Press(Qt::Key_0, Qt::ControlModifier);

    // In an open menu Ctrl+1 sorts nothing, on the bar neither.
    Press(Qt::Key_Z, Qt::AltModifier);
    ASSERT_NE(OpenMenu(), nullptr);
    PressInMenu(Qt::Key_1, Qt::ControlModifier);
    EXPECT_FALSE(list->IsSorted());
    PressInMenu(Qt::Key_Escape);
    ASSERT_EQ(OpenMenu(), nullptr);
    ASSERT_EQ(QApplication::focusWidget(), m_window->menuBar());
    QTest::keyClick(m_window->menuBar(), Qt::Key_1, Qt::ControlModifier);
    EXPECT_FALSE(list->IsSorted());
    QTest::keyClick(m_window->menuBar(), Qt::Key_Escape);

    // Alt+Enter opens the record's editor from the grid.
    list->setFocus();
    QString title;
    WhenModal([&title](QDialog* editor) {
        title = editor->windowTitle();
        PressInDialog(editor, Qt::Key_Escape);
    });
    Press(Qt::Key_Return, Qt::AltModifier);
    EXPECT_TRUE(title.endsWith(QStringLiteral("Editace záznamu"))) << title.toStdString();
}

TEST_F(ApplicationTest, TheOwnSpeechChoiceIsMadeWithKeysSaidStoredAtOnceAndKeptAcrossARestart)
{
    const auto reset = qScopeGuard([] { SetOwnSpeechChoice(OwnSpeech::Automatic); });
    ASSERT_TRUE(Open(MakeDatabase(QStringLiteral("lide.mdb"), QString::fromUtf8(kPeopleScript))));
    EXPECT_EQ(OwnSpeechChoice(), OwnSpeech::Automatic);
    EXPECT_TRUE(m_window->findChild<QAction*>(QStringLiteral("mnuOwnSpeechAutomatic"))->isChecked());
    const auto choose = [this](Qt::Key key) {
        m_window->list->setFocus();
        Press(Qt::Key_Z, Qt::AltModifier);
        ASSERT_NE(OpenMenu(), nullptr);
        PressInMenu(Qt::Key_V);
        ASSERT_EQ(OpenMenu(), m_window->mnuViewOwnSpeech);
        Clear();
        PressInMenu(key);
        QApplication::processEvents();
    };
    choose(Qt::Key_V);
    EXPECT_EQ(Spoken().value(Spoken().size() - 1), QStringLiteral("2 0 Vlastní řeč: vždy."));
    EXPECT_EQ(OwnSpeechChoice(), OwnSpeech::Always);
    EXPECT_TRUE(m_registry->ReadFile().contains(QStringLiteral("\"OwnSpeech\"=\"1\""))) << "before any exit";
    choose(Qt::Key_J);
    EXPECT_EQ(Spoken().value(Spoken().size() - 1), QStringLiteral("2 0 Vlastní řeč: jen co odečítač obrazovky nezná."));
    EXPECT_EQ(OwnSpeechChoice(), OwnSpeech::OnlyUnknown);
    QStringList checked;
    for (QAction* item : m_window->mnuViewOwnSpeech->actions())
        if (item->isChecked())
            checked << item->objectName();
    EXPECT_EQ(checked, QStringList(QStringLiteral("mnuOwnSpeechOnlyUnknown")));
    EXPECT_TRUE(m_registry->ReadFile().contains(QStringLiteral("\"OwnSpeech\"=\"2\"")));

    // The next start reads it back.
    Unload();
    SetOwnSpeechChoice(OwnSpeech::Automatic);
    Load();
    EXPECT_EQ(OwnSpeechChoice(), OwnSpeech::OnlyUnknown);
    EXPECT_TRUE(m_window->findChild<QAction*>(QStringLiteral("mnuOwnSpeechOnlyUnknown"))->isChecked());
    EXPECT_FALSE(m_window->findChild<QAction*>(QStringLiteral("mnuOwnSpeechAutomatic"))->isChecked());
}
