#include "mMenuText.h"

#include "cMenuStyle.h"
#include "cMenuVoice.h"

#include <QAccessible>
#include <QImage>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QTest>

#include <gtest/gtest.h>

namespace {

// What a screen reader lists under the menu: each child's name and keys.
QStringList Children(QMenu* menu)
{
    QStringList children;
    QAccessibleInterface* iface = QAccessible::queryAccessibleInterface(menu);
    for (int i = 0; iface && i < iface->childCount(); ++i) {
        QAccessibleInterface* child = iface->child(i);
        children << child->text(QAccessible::Name) + u'|' + child->text(QAccessible::Accelerator);
    }
    return children;
}

// The item as the open menu paints it.
QImage Drawn(QMenu* menu, QAction* item)
{
    menu->popup(QPoint(0, 0));
    EXPECT_TRUE(QTest::qWaitForWindowExposed(menu));
    const QImage image = menu->grab(menu->actionGeometry(item)).toImage();
    menu->hide();
    return image;
}

} // namespace

TEST(MenuText, KeysAfterATabBecomeTheItemsShortcutAndLeaveItsName)
{
    QMenu menu;
    QAction* edit = menu.addAction(QString());
    SetMenuItemText(edit, QStringLiteral("&Editovat…\tAlt+Enter"));
    EXPECT_EQ(edit->text(), QStringLiteral("&Editovat…"));
    EXPECT_EQ(edit->shortcut(), QKeySequence(Qt::ALT | Qt::Key_Enter));
    EXPECT_EQ(edit->shortcutContext(), Qt::WidgetShortcut) << "never the window's keys";
    QAction* column = menu.addAction(QString());
    SetMenuItemText(column, QStringLiteral("Název\tCtrl+2"));
    // A column's name may hold a tab; the keys are after the last one.
    QAction* tabbed = menu.addAction(QString());
    SetMenuItemText(tabbed, QStringLiteral("Kód\tzboží\tCtrl+3"));
    // No such keys: the text stays whole, as drawn and said before.
    QAction* tenth = menu.addAction(QString());
    SetMenuItemText(tenth, QStringLiteral("Poznámka\tCtrl+10"));
    QAction* plain = menu.addAction(QString());
    SetMenuItemText(plain, QStringLiteral("&Konec"));
    EXPECT_EQ(Children(&menu), QStringList({QStringLiteral("Editovat…|Alt+Enter"), QStringLiteral("Název|Ctrl+2"),
                                            QStringLiteral("Kód\tzboží|Ctrl+3"),
                                            QStringLiteral("Poznámka\tCtrl+10|"), QStringLiteral("Konec|Alt+K")}));
    EXPECT_TRUE(tenth->shortcut().isEmpty());
    EXPECT_TRUE(plain->shortcut().isEmpty());
    // Said as it was while the keys were in the text.
    EXPECT_EQ(cMenuVoice::ItemText(edit), QStringLiteral("Editovat…, Alt+Enter"));
    EXPECT_EQ(cMenuVoice::ItemText(column), QStringLiteral("Název, Ctrl+2"));
    EXPECT_EQ(cMenuVoice::ItemText(tenth), QStringLiteral("Poznámka, Ctrl+10"));
}

TEST(MenuText, TheMenuDrawsTheKeysAtTheRightAsBefore)
{
    QMainWindow window;
    QMenu* before = window.menuBar()->addMenu(QStringLiteral("&Záznam"));
    QMenu* after = window.menuBar()->addMenu(QStringLiteral("&Zobrazení"));
    QAction* written = before->addAction(QStringLiteral("&Editovat…\tAlt+Enter"));
    QAction* split = after->addAction(QString());
    SetMenuItemText(split, QStringLiteral("&Editovat…\tAlt+Enter"));
    for (QMenu* menu : {before, after})
        menu->addAction(QStringLiteral("Přizpůsobit šířku sloupců délce textu"));
    InstallMenuStyle(&window, 0x000000, 0x00FFFF);
    window.show();
    const QImage old = Drawn(before, written);
    ASSERT_FALSE(old.isNull());
    EXPECT_EQ(Drawn(after, split), old);
}

TEST(MenuText, APopupIsNamedByItsTitleWhateverTheTitleBecomes)
{
    QMainWindow window;
    QMenu* view = window.menuBar()->addMenu(QString());
    QMenu* order = view->addMenu(QString());
    for (QMenu* menu : {view, order})
        NameMenuByTitle(menu);
    view->setTitle(QStringLiteral("&Zobrazení"));
    order->setTitle(QStringLiteral("Řadit p&odle"));
    const auto name = [](QMenu* menu) { return QAccessible::queryAccessibleInterface(menu)->text(QAccessible::Name); };
    EXPECT_EQ(name(view), QStringLiteral("Zobrazení"));
    EXPECT_EQ(name(order), QStringLiteral("Řadit podle"));
    view->setTitle(QStringLiteral("Tisk && &export"));
    EXPECT_EQ(name(view), QStringLiteral("Tisk & export"));
}

TEST(MenuText, AHiddenTemplateIsNoChildOfItsMenu)
{
    QMenu menu;
    auto* templateItem = new QAction(QStringLiteral("Column"), &menu);
    templateItem->setVisible(false);
    QAction* separator = menu.addSeparator();
    menu.addAction(QStringLiteral("&Vzestupně"));
    KeepInMenuWhileVisible(&menu, templateItem, separator);
    EXPECT_FALSE(menu.actions().contains(templateItem));
    EXPECT_EQ(Children(&menu), QStringList({QStringLiteral("|"), QStringLiteral("Vzestupně|Alt+V")}));
    // Shown (a source without columns), it stands where it stood.
    templateItem->setVisible(true);
    EXPECT_EQ(menu.actions().indexOf(templateItem), 0);
    templateItem->setVisible(false);
    EXPECT_FALSE(menu.actions().contains(templateItem));
    templateItem->setVisible(false);
    EXPECT_EQ(menu.actions().size(), 2);
}
