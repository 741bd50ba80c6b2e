#include "cStandardComboBox.h"

#include "cStandardEditBox.h"
#include "mKeys.h"
#include "modCommon.h"

#include <QComboBox>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QLineEdit>

cStandardComboBox::cStandardComboBox(QObject* parent)
    : QObject(parent)
{
}

cStandardComboBox::~cStandardComboBox()
{
    Terminate();
}

void cStandardComboBox::Terminate()
{
    if (m_control) {
        m_control->removeEventFilter(this);
        if (m_control->lineEdit())
            m_control->lineEdit()->removeEventFilter(this);
    }
    m_control = nullptr;
    m_editBox.reset();
}

void cStandardComboBox::Initialize(QComboBox* control, qint32 flags)
{
    Terminate();
    m_editBox = std::make_unique<cStandardEditBox>();
    m_editBox->Intialize(control);
    connect(m_editBox.get(), &cStandardEditBox::ProduceOutput, this, &cStandardComboBox::my_EditBox_ProduceOutput);
    m_control = control;
    if (control) {
        control->installEventFilter(this);
        // Keys reach the edit part directly when it holds the focus itself.
        if (control->lineEdit())
            control->lineEdit()->installEventFilter(this);
    }
    m_flags = flags;
}

bool cStandardComboBox::IsDropDownList() const
{
    return !m_control || !m_control->isEditable();
}

void cStandardComboBox::my_EditBox_ProduceOutput(int mode, int param, const QString& text)
{
    VoiceOutput(mode, param, text, false, 0, true);
}

bool cStandardComboBox::eventFilter(QObject* watched, QEvent* event)
{
    if (!m_control || !m_editBox || (watched != m_control && watched != m_control->lineEdit()))
        return false;
    switch (event->type()) {
    case QEvent::FocusIn:
        if (watched == m_control && m_flags == 0 && !IsDropDownList()) {
            watched->event(event);
            m_editBox->SelectAll();
            return true;
        }
        return false;
    case QEvent::KeyPress:
    case QEvent::KeyRelease: {
        auto* key = static_cast<QKeyEvent*>(event);
        int keyCode = KeyCodeOf(key);
        // At an end of the list the item does not change and the form says nothing: the
        // end is signalled, as in every list.
        if (event->type() == QEvent::KeyPress && ShiftOf(key) == 0 && m_control->count() > 0) {
            // In a drop-down list the page keys, Home and End move too; in a box they edit.
            const bool list = IsDropDownList();
            const bool towardsFirst =
                keyCode == Key::Up || (list && (keyCode == Key::Home || keyCode == Key::PageUp));
            const bool towardsLast =
                keyCode == Key::Down || (list && (keyCode == Key::End || keyCode == Key::PageDown));
            if (towardsFirst && m_control->currentIndex() <= 0)
                VoiceOutput(5, 7, QString());
            else if (towardsLast && m_control->currentIndex() >= m_control->count() - 1)
                VoiceOutput(5, 8, QString());
        }
        // Up, Down and the page keys move through the list; the form speaks the item.
        if (IsDropDownList() || (keyCode >= Key::PageUp && keyCode <= Key::PageDown) || keyCode == Key::Up
            || keyCode == Key::Down)
            return false;
        if (event->type() == QEvent::KeyPress)
            m_editBox->KeyDown(keyCode, ShiftOf(key));
        else
            m_editBox->KeyUp(keyCode, ShiftOf(key));
        return keyCode == 0 && KeyCodeOf(key) != 0;
    }
    case QEvent::InputMethod:
        if (!IsDropDownList() && !static_cast<QInputMethodEvent*>(event)->commitString().isEmpty())
            m_editBox->TextArriving();
        return false;
    default:
        return false;
    }
}
