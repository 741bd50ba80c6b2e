#include "frmMsg3.h"

#include "mKeys.h"
#include "mStringTable.h"
#include "modCommon.h"
#include "modDialogs.h"

#include <QKeyEvent>
#include <QPlainTextEdit>
#include <QPushButton>

frmMsg3::frmMsg3(QWidget* parent)
    : cMessageBoxForm(parent)
{
    setObjectName(QStringLiteral("frmMsg3"));
    SetWindowCode(this, WindowCode::MessageBox3);
    cmdYes = AddButton(QStringLiteral("cmdYes"));
    cmdNo = AddButton(QStringLiteral("cmdNo"));
    cmdCancel = AddButton(QStringLiteral("cmdCancel"));
    connect(cmdYes, &QPushButton::clicked, this, [this] { Answer(1); });
    connect(cmdNo, &QPushButton::clicked, this, [this] { Answer(0); });
    connect(cmdCancel, &QPushButton::clicked, this, [this] { Answer(-1); });
    // The form previews the keys of all its controls.
    for (QPushButton* button : {cmdYes, cmdNo, cmdCancel})
        button->installEventFilter(this);
    PrepereForm();
    gDialogResult = -1;
}

void frmMsg3::PrepereForm()
{
    cmdYes->setText(LoadString(6));
    cmdNo->setText(LoadString(7));
    cmdCancel->setText(LoadString(2));
}

void frmMsg3::Answer(qint32 result)
{
    gDialogResult = result;
    hide();
}

bool frmMsg3::FormKeyPress(QObject* watched, QKeyEvent* key)
{
    const int keyCode = KeyCodeOf(key);
    const bool onButton = watched != txtMessage;
    if (!onButton && HandleFontKey(keyCode))
        return true;
    if (keyCode == Key::Return) {
        if (onButton)
            return false; // Enter on a focused button presses that button, never Yes
        Answer(1);
        return true;
    }
    if (keyCode == Key::Escape) {
        Answer(-1);
        return true;
    }
    if (key->modifiers() & (Qt::ControlModifier | Qt::AltModifier))
        return false;
    if (key->text() == QLatin1String("a")) {
        Answer(1);
        return true;
    }
    if (key->text() == QLatin1String("n")) {
        Answer(0);
        return true;
    }
    if (keyCode == Key::Space) {
        if (onButton)
            return false;
        VoiceOutput(2, 0,
                    Message() + QStringLiteral("...") + cmdYes->text() + u',' + cmdNo->text() + u','
                        + cmdCancel->text());
        return true;
    }
    return IsSwallowedCharacter(key);
}

bool frmMsg3::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::KeyPress && (watched == txtMessage || watched == cmdYes || watched == cmdNo
                                              || watched == cmdCancel)) {
        if (FormKeyPress(watched, static_cast<QKeyEvent*>(event)))
            return true;
    }
    return cMessageBoxForm::eventFilter(watched, event);
}
