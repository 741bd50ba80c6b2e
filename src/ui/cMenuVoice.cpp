#include "cMenuVoice.h"

#include "cMenuStyle.h"
#include "mStringTable.h"
#include "mMenuText.h"
#include "modCommon.h"

#include <QAction>
#include <QApplication>
#include <QMenu>
#include <QMenuBar>
#include <QTimer>

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
