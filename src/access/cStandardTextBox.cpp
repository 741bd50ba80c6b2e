#include "cStandardTextBox.h"

#include "cStandardEditBox.h"
#include "mKeys.h"
#include "mStringTable.h"
#include "modCommon.h"

#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QWidget>

namespace {

constexpr double kZoomStep = 10;
constexpr double kSmallestZoomed = 10;

} // namespace

cStandardTextBox::cStandardTextBox(QObject* parent)
    : QObject(parent)
{
}

cStandardTextBox::~cStandardTextBox()
{
    Terminate();
}

void cStandardTextBox::Terminate()
{
    if (m_control)
        m_control->removeEventFilter(this);
    m_control = nullptr;
    m_editBox.reset();
}

void cStandardTextBox::Initialize(QWidget* control, qint32 flags)
{
    Terminate();
    m_editBox = std::make_unique<cStandardEditBox>();
    m_editBox->Intialize(control);
    connect(m_editBox.get(), &cStandardEditBox::ProduceOutput, this, &cStandardTextBox::my_EditBox_ProduceOutput);
    m_control = control;
    if (control)
        control->installEventFilter(this);
    m_flags = flags;
}

void cStandardTextBox::AddRoleBraille(qint32 role)
{
    if (m_editBox)
        m_editBox->AddRoleBraille(role);
}

void cStandardTextBox::my_EditBox_ProduceOutput(int mode, int param, const QString& text)
{
    // Speech only: the Braille line follows the caret through the refresh on key-up.
    VoiceOutput(mode, param, text, false, 0, true);
}

void cStandardTextBox::Zoom(int keyCode)
{
    QFont font = m_control->font();
    const double size = font.pointSizeF() > 0 ? font.pointSizeF() : QFontInfo(font).pointSizeF();
    if (keyCode == Key::Add) {
        my_EditBox_ProduceOutput(2, 0, LoadString(501));
        font.setPointSizeF(size + kZoomStep);
    } else {
        if (size <= kSmallestZoomed)
            return;
        my_EditBox_ProduceOutput(2, 0, LoadString(502));
        font.setPointSizeF(size - kZoomStep);
    }
    m_control->setFont(font);
}

bool cStandardTextBox::eventFilter(QObject* watched, QEvent* event)
{
    if (watched != m_control || !m_editBox)
        return false;
    switch (event->type()) {
    case QEvent::FocusIn: {
        // Let the control take the focus first: a line edit selects on Tab by itself.
        static_cast<QObject*>(m_control.data())->event(event);
        if (m_flags == 0)
            m_editBox->SelectAll();
        else if (auto* edit = qobject_cast<QLineEdit*>(m_control.data()))
            edit->deselect();
        return true;
    }
    case QEvent::KeyPress: {
        auto* key = static_cast<QKeyEvent*>(event);
        int keyCode = KeyCodeOf(key);
        const int shift = ShiftOf(key);
        if ((m_flags & kFlagZoomKeys) && shift == ShiftMask::Ctrl && (keyCode == Key::Add || keyCode == Key::Subtract))
            Zoom(keyCode);
        m_editBox->KeyDown(keyCode, shift);
        return keyCode == 0 && KeyCodeOf(key) != 0;
    }
    case QEvent::KeyRelease: {
        auto* key = static_cast<QKeyEvent*>(event);
        int keyCode = KeyCodeOf(key);
        m_editBox->KeyUp(keyCode, ShiftOf(key));
        return keyCode == 0 && KeyCodeOf(key) != 0;
    }
    case QEvent::InputMethod:
        if (!static_cast<QInputMethodEvent*>(event)->commitString().isEmpty())
            m_editBox->TextArriving();
        return false;
    default:
        return false;
    }
}
