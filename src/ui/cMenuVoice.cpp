#include "cMenuVoice.h"

#include "cMenuStyle.h"
#include "mStringTable.h"
#include "mMenuText.h"
#include "modCommon.h"

#include <QAction>
#include <QApplication>
#include <QKeyEvent>
#include <QMenu>
#include <QMenuBar>
#include <QStyle>
#include <QTimer>

#include <algorithm>

cMenuVoice::cMenuVoice(QMenuBar* bar) : QObject(bar), m_bar(bar)
{
    for (QAction* item : bar->actions())
        if (QMenu* menu = item->menu())
            Watch(menu);
    connect(bar, &QMenuBar::hovered, this, &cMenuVoice::SayLater);
}

QString cMenuVoice::ItemText(const QAction* item)
{
    QString keys;
    QStringList parts{WithoutAccessKey(cMenuStyle::DrawnCaption(item->text(), false, &keys))};
    if (item->isCheckable() && item->isChecked())
        parts << LoadString(10666);
    if (!item->isEnabled())
        parts << LoadString(10708);
    if (item->menu())
        parts << LoadString(10709);
    if (keys.isEmpty())
        keys = item->shortcut().toString(QKeySequence::NativeText);
    if (!keys.isEmpty())
        parts << keys;
    return parts.join(QStringLiteral(", "));
}

void cMenuVoice::Watch(QMenu* menu)
{
    menu->installEventFilter(this);
    connect(menu, &QMenu::aboutToShow, this, [this, menu] { m_opened = menu; });
    connect(menu, &QMenu::hovered, this, [this, menu](QAction* item) { Hovered(menu, item); });
    connect(menu, &QMenu::aboutToHide, this, &cMenuVoice::SayLater);
    for (QAction* item : menu->actions())
        if (QMenu* submenu = item->menu())
            Watch(submenu);
}

void cMenuVoice::Hovered(QMenu* menu, QAction* item)
{
    if (!item || item->isSeparator() || !menu->isVisible())
        return;
    if (m_opened == menu) {
        m_opened = nullptr;
        Say(item, WithoutAccessKey(menu->menuAction()->text()) + QStringLiteral(", ") + ItemText(item));
    } else if (item != m_said) { // a menu opening under the mouse pointer hovers its item again
        Say(item, ItemText(item));
    }
}

void cMenuVoice::Say(QAction* item, const QString& text)
{
    m_said = item;
    m_saidSincePending = true;
    VoiceEcho(2, 0, text);
}

void cMenuVoice::SayLater()
{
    m_saidSincePending = false;
    if (m_pending)
        return; // a menu closing and the bar moving are one step for the user
    m_pending = true;
    QTimer::singleShot(0, this, &cMenuVoice::SayWhereTheKeysAre);
}

void cMenuVoice::SayWhereTheKeysAre()
{
    m_pending = false;
    // A menu that opened meanwhile has said itself; a command chosen from a menu, or the
    // dialog it opened, speaks for itself.
    if (m_saidSincePending || QApplication::activeModalWidget())
        return;
    if (auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget())) {
        if (QAction* item = menu->activeAction(); item && item != m_said)
            Say(item, ItemText(item)); // back from a submenu on its item
        return;
    }
    // The bar's item only while the keys are on the bar: after a command it lets go.
    if (QAction* item = m_bar->activeAction(); item && m_bar->hasFocus())
        Say(item, WithoutAccessKey(item->text()));
}

bool cMenuVoice::eventFilter(QObject* watched, QEvent* event)
{
    auto* menu = qobject_cast<QMenu*>(watched);
    if (!menu || event->type() != QEvent::KeyPress)
        return false;
    const auto* key = static_cast<QKeyEvent*>(event);
    if ((key->modifiers() & ~Qt::KeypadModifier) != Qt::NoModifier)
        return false;
    const bool first = key->key() == Qt::Key_Home || key->key() == Qt::Key_PageUp;
    if (!first && key->key() != Qt::Key_End && key->key() != Qt::Key_PageDown)
        return false;
    // The items the arrows reach: unavailable ones too where the style lets them be current.
    const bool disabledToo = menu->style()->styleHint(QStyle::SH_Menu_AllowActiveAndDisabled, nullptr, menu) != 0;
    QList<QAction*> items = menu->actions();
    if (!first)
        std::reverse(items.begin(), items.end());
    for (QAction* item : std::as_const(items)) {
        if (item->isSeparator() || !item->isVisible() || (!item->isEnabled() && !disabledToo))
            continue;
        if (item == menu->activeAction())
            VoiceOutput(5, first ? 7 : 8, QString());
        else
            menu->setActiveAction(item); // said as it is hovered
        return true;
    }
    return false;
}
