#include "cFocusAnnouncer.h"

#include "mStringTable.h"
#include "modCommon.h"

#include <QAbstractButton>
#include <QFocusEvent>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>

QString CheckStateText(bool checked)
{
    return LoadString(checked ? 10666 : 10667);
}

void cFocusAnnouncer::Watch(QWidget* control, QEvent* event)
{
    if (event->type() == QEvent::FocusIn) {
        if (m_window->isActiveWindow() && control != m_announced) {
            m_announced = control;
            Announce(control);
        }
    } else if (event->type() == QEvent::FocusOut) {
        // A popup (a menu) takes the focus only for a moment: the control is not left.
        if (static_cast<QFocusEvent*>(event)->reason() != Qt::PopupFocusReason && control == m_announced)
            m_announced = nullptr;
    }
}

void cFocusAnnouncer::Announce(QWidget* control) const
{
    const qint32 window = WindowHandle(m_window);
    if (auto* list = qobject_cast<QListWidget*>(control)) {
        const QListWidgetItem* item = list->currentItem();
        const QString entry = ListEntry ? ListEntry(list) : item ? item->text() : QString();
        VoiceFocus(ListCaption ? list->accessibleName() : QString(), entry, WindowHandle(list), window, 0, true, true, 0);
        BrailleRole(kRoleListItem);
    } else if (auto* box = qobject_cast<QLineEdit*>(control)) {
        VoiceFocus(box->accessibleName(), box->text(), WindowHandle(box), window, 0, true, true, 0);
        BrailleRole(kRoleText);
    } else if (auto* text = qobject_cast<QPlainTextEdit*>(control)) {
        VoiceFocus(text->accessibleName(), text->toPlainText(), WindowHandle(text), window, 0, true, true, 0);
        BrailleRole(kRoleText);
    } else if (auto* button = qobject_cast<QAbstractButton*>(control); button && button->isCheckable()) {
        VoiceFocus(button->accessibleName().isEmpty() ? QString(button->text()).remove(u'&') : button->accessibleName(),
                   CheckStateText(button->isChecked()), WindowHandle(button), window, 0, true, true, 0);
    } else if (!qobject_cast<QPushButton*>(control)) { // a push button says itself (cPushButtons)
        VoiceFocus(control->accessibleName(), QString(), WindowHandle(control), window, 0, true, true, 0);
    }
}
