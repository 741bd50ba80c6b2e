#include "cPushButtons.h"

#include "modCommon.h"

#include <QFocusEvent>
#include <QKeyEvent>
#include <QPushButton>

namespace {

QString CaptionOf(const QPushButton* button)
{
    return button->accessibleName().isEmpty() ? QString(button->text()).remove(u'&') : button->accessibleName();
}

} // namespace

bool cPushButtons::eventFilter(QObject* watched, QEvent* event)
{
    const QEvent::Type type = event->type();
    if (type != QEvent::KeyPress && type != QEvent::FocusIn && type != QEvent::FocusOut)
        return false;
    auto* button = qobject_cast<QPushButton*>(watched);
    // A toggle button holds a state, which the dialog's own announcer says.
    if (!button || button->isCheckable())
        return false;
    if (type == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        const bool enter = key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter;
        if (!enter || (key->modifiers() & ~Qt::KeypadModifier))
            return false;
        // Otherwise a dialog routes Enter to its default button, and Storno would save.
        if (button->isEnabled() && button->isVisible())
            button->click();
        return true;
    }
    if (type == QEvent::FocusIn) {
        if (button->isActiveWindow() && button != m_announced) {
            m_announced = button;
            VoiceFocus(CaptionOf(button), QString(), WindowHandle(button), WindowHandle(button->window()), 0, true,
                       true, 0);
        }
    } else if (static_cast<QFocusEvent*>(event)->reason() != Qt::PopupFocusReason && button == m_announced) {
        m_announced = nullptr;
    }
    return false;
}
