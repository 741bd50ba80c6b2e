#include "cListAccessible.h"

#include <QAccessible>
#include <QApplication>
#include <QDialog>
#include <QLineEdit>
#include <QListWidget>
#include <QTest>
#include <QVBoxLayout>

#include <gtest/gtest.h>

namespace {

// The names of the objects under iface that say they have the focus.
void CollectFocused(QAccessibleInterface* iface, QStringList& focused)
{
    if (!iface)
        return;
    if (iface->state().focused)
        focused << iface->text(QAccessible::Name);
    for (int i = 0; i < iface->childCount(); ++i)
        CollectFocused(iface->child(i), focused);
}

} // namespace

TEST(ListAccessibleTest, OnlyTheControlWithTheKeyboardIsFocused)
{
    cListAccessible::Install();
    QDialog dialog;
    auto* layout = new QVBoxLayout(&dialog);
    auto* name = new QLineEdit(&dialog);
    name->setAccessibleName(QStringLiteral("Název"));
    auto* list = new QListWidget(&dialog);
    list->setAccessibleName(QStringLiteral("Pole"));
    list->addItems({QStringLiteral("Id"), QStringLiteral("Jméno")});
    list->setCurrentRow(0);
    layout->addWidget(name);
    layout->addWidget(list);
    dialog.show();
    dialog.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&dialog));
    name->setFocus();
    QApplication::processEvents();

    QAccessibleInterface* root = QAccessible::queryAccessibleInterface(&dialog);
    QAccessibleInterface* lists = QAccessible::queryAccessibleInterface(list);
    ASSERT_NE(dynamic_cast<cListAccessible*>(lists), nullptr);
    QStringList focused;
    CollectFocused(root, focused);
    EXPECT_EQ(focused, QStringList({QStringLiteral("Název")}));

    list->setFocus();
    QTest::keyClick(list, Qt::Key_Down);
    focused.clear();
    CollectFocused(root, focused);
    EXPECT_EQ(focused, QStringList({QStringLiteral("Jméno")}));
    EXPECT_EQ(lists->focusChild()->text(QAccessible::Name), QStringLiteral("Jméno"));
    EXPECT_EQ(lists->role(), QAccessible::List);
    EXPECT_EQ(lists->child(1)->role(), QAccessible::ListItem);
    EXPECT_TRUE(lists->child(1)->state().selected);

    // A removed row leaves no entry behind; a new one is read as it is now.
    delete list->takeItem(1);
    EXPECT_EQ(lists->childCount(), 1);
    list->addItem(QStringLiteral("Obec"));
    EXPECT_EQ(lists->child(1)->text(QAccessible::Name), QStringLiteral("Obec"));
}
