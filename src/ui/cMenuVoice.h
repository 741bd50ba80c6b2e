#pragma once
// What the menus say as the keys move through them, and the keys that reach a menu's ends.
#include <QObject>
#include <QPointer>
#include <QString>

class QAction;
class QMenu;
class QMenuBar;

// Says where the keyboard is in the window's menus, as it says where it is everywhere
// else: a menu as it opens with its highlighted item, each item the keys reach, and where
// the keys are after a menu closed (the parent's item, the bar's item). What a command
// then does speaks for itself.
class cMenuVoice : public QObject {
public:
    explicit cMenuVoice(QMenuBar* bar);

    // An item as it is said: caption, checked, unavailable, submenu, then its keys.
    static QString ItemText(const QAction* item);

protected:
    // Home and End (and the page keys) go to a menu's first and last item; at that item they
    // signal the end. The toolkit moves by them only in a menu that scrolls.
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void Watch(QMenu* menu);
    void Hovered(QMenu* menu, QAction* item);
    void Say(QAction* item, const QString& text);
    // A menu closed or the bar moved: said once Qt has settled, unless a menu said itself.
    void SayLater();
    void SayWhereTheKeysAre();

    QMenuBar* m_bar;
    QPointer<QMenu> m_opened; // its first item is said with its title
    QPointer<QAction> m_said;
    bool m_pending = false;
    bool m_saidSincePending = false;
};
