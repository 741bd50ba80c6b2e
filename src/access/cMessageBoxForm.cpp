#include "cMessageBoxForm.h"

#include "mKeys.h"
#include "mPrepareForm.h"
#include "mStandardTextBox.h"
#include "modCommon.h"
#include "sMain.h"

#include <QHBoxLayout>
#include <QKeyEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

constexpr double kFontStep = 10;
constexpr double kSmallestShrinkable = 20;
// The message text's wrapper: no select-all on focus, no Ctrl zoom keys.
constexpr qint32 kMessageWrapperFlags = 2;

} // namespace

cMessageBoxForm::cMessageBoxForm(QWidget* parent)
    : QDialog(parent)
{
    txtMessage = new QPlainTextEdit(this);
    txtMessage->setObjectName(QStringLiteral("txtMessage"));
    txtMessage->setReadOnly(true);
    // Read-only yet with a caret: the user moves through the message as in any text.
    txtMessage->setTextInteractionFlags(Qt::TextSelectableByKeyboard | Qt::TextSelectableByMouse);
    txtMessage->setTabChangesFocus(true);
    txtMessage->setFocusPolicy(Qt::StrongFocus);
    // Otherwise its viewport claims the focus too, and AT-SPI shows two focused objects.
    txtMessage->viewport()->setFocusProxy(nullptr);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(txtMessage, 1);
    m_buttons = new QHBoxLayout;
    m_buttons->addStretch(1);
    m_buttons->addStretch(1);
    layout->addLayout(m_buttons);

    m_messageWrapper = CreateStandardTextBox(txtMessage, kMessageWrapperFlags);
    // Installed after the wrapper, so this form sees the message's events first.
    txtMessage->installEventFilter(this);

    ApplyFontToForm(this, gFont);
    PaintMessage();
    txtMessage->setFocus(); // the box opens on its message, which it then speaks
    resize(720, 360);
}

cMessageBoxForm::~cMessageBoxForm() = default;

QPushButton* cMessageBoxForm::AddButton(const QString& name)
{
    auto* button = new QPushButton(this);
    button->setObjectName(name);
    button->setAutoDefault(true); // Enter on a focused button presses it
    button->setFont(font());
    m_buttons->insertWidget(m_buttons->count() - 1, button);
    return button;
}

void cMessageBoxForm::PaintMessage()
{
    const QColor fore = ColourFromNumber(gForeColor);
    const QColor back = ColourFromNumber(gBackColor);
    if (fore == back)
        return; // preferences not read yet (both 0): the message must stay readable
    QPalette form = palette();
    form.setColor(QPalette::Window, back);
    setPalette(form);
    QPalette message = txtMessage->palette();
    for (const QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
        message.setColor(group, QPalette::Base, back);
        message.setColor(group, QPalette::Text, fore);
    }
    txtMessage->setPalette(message);
}

void cMessageBoxForm::SetMessage(const QString& message, const QString& caption)
{
    txtMessage->setPlainText(message);
    setWindowTitle(caption);
    // A screen reader names the text by the box's caption, or by the message itself.
    txtMessage->setAccessibleName(caption.isEmpty() ? message : caption);
}

QString cMessageBoxForm::Message() const
{
    return txtMessage->toPlainText();
}

bool cMessageBoxForm::HandleFontKey(int keyCode)
{
    if (keyCode != Key::Add && keyCode != Key::Subtract)
        return false;
    QFont font = txtMessage->font();
    const double size = font.pointSizeF() > 0 ? font.pointSizeF() : QFontInfo(font).pointSizeF();
    if (keyCode == Key::Add)
        font.setPointSizeF(size + kFontStep);
    else if (size > kSmallestShrinkable)
        font.setPointSizeF(size - kFontStep);
    txtMessage->setFont(font);
    return true;
}

bool cMessageBoxForm::IsSwallowedCharacter(const QKeyEvent* key)
{
    if (key->text().isEmpty() || key->key() == Qt::Key_Tab || key->key() == Qt::Key_Backtab)
        return false;
    // Ctrl and Alt combinations are commands (copy, select all), not characters.
    if (key->modifiers() & (Qt::ControlModifier | Qt::AltModifier))
        return false;
    return key->text().at(0).isPrint() || key->key() == Qt::Key_Backspace;
}

bool cMessageBoxForm::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == txtMessage && event->type() == QEvent::FocusOut)
        m_announced = false;
    // Showing a dialog moves the focus before and again after the window is activated:
    // the message is announced once, when the user can really be on it.
    if (watched == txtMessage && event->type() == QEvent::FocusIn && isActiveWindow() && !m_announced) {
        m_announced = true;
        VoiceFocus(windowTitle(), Message(), WindowHandle(txtMessage), WindowHandle(this), 0, false, true, 0);
        MessageFocused();
    }
    return QDialog::eventFilter(watched, event);
}
