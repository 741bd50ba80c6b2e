#pragma once
// Menu texts as a screen reader needs them: a caption apart from its keys, a menu named by its title, no hidden templates.
#include <QString>

class QAction;
class QMenu;

// Sets an item's text written as in the string table, "caption\tkeys": the caption becomes
// the text and the keys the item's shortcut, which a screen reader reads as the item's key
// binding and the menu draws at the right as before. Such a shortcut only shows the keys:
// the window's own key routing (the grid's Ctrl+digit, Alt+Enter) keeps them and speaks.
// Keys that are no key combination ("Ctrl+10") stay in the text.
void SetMenuItemText(QAction* item, const QString& text);
// A caption as read: no access-key mark ("&&" is an ampersand).
QString WithoutAccessKey(QString caption);

// Names the menu's popup after its title without the access-key mark, now and whenever
// the title changes; a popup without a name is read as nothing.
void NameMenuByTitle(QMenu* menu);

// Keeps item in menu (ahead of the item before) only while it is visible: a hidden template is
// then no entry a screen reader lists.
void KeepInMenuWhileVisible(QMenu* menu, QAction* item, QAction* before);
