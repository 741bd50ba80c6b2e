#include "mMenuText.h"

#include <QAction>
#include <QApplication>
#include <QKeyEvent>
#include <QKeySequence>
#include <QMenu>
#include <QMenuBar>
#include <QPointer>
#include <QSet>

namespace {

// Keys that only show: in a menu or on the bar (where a menu item's shortcut would take
// them) they go on as key presses, as they did while the keys were part of the text.
class cShownKeys : public QObject {
public:
    static cShownKeys& Instance()
    {
        static QPointer<cShownKeys> keys;
        if (!keys) {
            keys = new cShownKeys(qApp);
            qApp->installEventFilter(keys);
        }
        return *keys;
    }
    void Add(const QKeySequence& keys) { m_keys.insert(keys); }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() != QEvent::ShortcutOverride
            || !(qobject_cast<QMenu*>(watched) || qobject_cast<QMenuBar*>(watched)))
            return false;
        const auto* key = static_cast<QKeyEvent*>(event);
        // Shortcuts match the keypad's keys too.
        const QKeyCombination pressed(key->modifiers() & ~Qt::KeypadModifier, Qt::Key(key->key()));
        if (m_keys.contains(QKeySequence(pressed)))
            event->accept();
        return false;
    }

private:
    using QObject::QObject;
    QSet<QKeySequence> m_keys;
};

} // namespace

QString WithoutAccessKey(QString caption)
{
    caption.replace(QStringLiteral("&&"), QStringLiteral("\x01"));
    caption.remove(u'&');
    return caption.replace(u'\x01', u'&');
}

void SetMenuItemText(QAction* item, const QString& text)
{
    // A caption (a column's name) may hold a tab itself; keys never do.
    const qsizetype tab = text.lastIndexOf(u'\t');
    const QString written = tab < 0 ? QString() : text.mid(tab + 1).trimmed();
    const QKeySequence keys = QKeySequence::fromString(written, QKeySequence::PortableText);
    // Only keys that read back as written: the menu draws and says them as before.
    if (keys.count() != 1 || keys[0].key() == Qt::Key_unknown
        || keys.toString(QKeySequence::PortableText) != written) {
        item->setText(text);
        return;
    }
    cShownKeys::Instance().Add(keys);
    // Never reached from the window's controls; in the menus the filter above lets it go.
    item->setShortcutContext(Qt::WidgetShortcut);
    item->setShortcut(keys);
    item->setText(text.left(tab));
}

void NameMenuByTitle(QMenu* menu)
{
    const auto name = [menu] { menu->setAccessibleName(WithoutAccessKey(menu->title())); };
    name();
    QObject::connect(menu->menuAction(), &QAction::changed, menu, name);
}

void KeepInMenuWhileVisible(QMenu* menu, QAction* item, QAction* before)
{
    const auto place = [menu, item, before] {
        if (!item->isVisible())
            menu->removeAction(item);
        else if (!menu->actions().contains(item))
            menu->insertAction(before, item);
    };
    place();
    QObject::connect(item, &QAction::visibleChanged, menu, place);
}
