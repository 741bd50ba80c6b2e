#include "frmMsg12.h"

#include "mKeys.h"
#include "mStringTable.h"
#include "modCommon.h"
#include "modDialogs.h"

#include <QKeyEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTimer>

frmMsg12::frmMsg12(QWidget* parent)
    : cMessageBoxForm(parent)
{
    setObjectName(QStringLiteral("frmMsg12"));
    SetWindowCode(this, WindowCode::MessageBox12);
    cmdYes = AddButton(QStringLiteral("cmdYes"));
    cmdNo = AddButton(QStringLiteral("cmdNo"));
    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setInterval(kPollIntervalMs);
    connect(Timer1, &QTimer::timeout, this, &frmMsg12::Timer1_Timer);
    connect(cmdYes, &QPushButton::clicked, this, [this] { Answer(1); });
    connect(cmdNo, &QPushButton::clicked, this, [this] { Answer(0); });
    PrepereForm();
    gDialogResult = 0;
}

frmMsg12::~frmMsg12()
{
    if (m_waiting)
        VoiceOutput(4, 0, QString());
}

void frmMsg12::PrepereForm()
{
    cmdYes->setText(LoadString(6));
    cmdNo->setText(LoadString(7));
    m_okCaption = LoadString(1);
}

void frmMsg12::VoiceWait()
{
    m_waiting = true;
}

void frmMsg12::StopWaiting()
{
    m_waiting = false;
    Timer1->stop();
}

void frmMsg12::Answer(qint32 result)
{
    gDialogResult = result;
    hide();
}

void frmMsg12::MessageFocused()
{
    if (!m_waiting)
        return;
    Timer1->start();
    VoiceOutput(12, 1, QString());
}

void frmMsg12::Timer1_Timer()
{
    if (VoiceOutput(3, 0, QString()) == 0) {
        Timer1->stop();
        close(); // speech has ended: the box goes, answering what it was loaded with
    }
}

bool frmMsg12::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == txtMessage && event->type() == QEvent::KeyPress) {
        auto* key = static_cast<QKeyEvent*>(event);
        const int keyCode = KeyCodeOf(key);
        if (m_waiting && keyCode >= Key::Left && keyCode <= Key::Down)
            StopWaiting(); // the user reads on: the box stays
        if (HandleFontKey(keyCode))
            return true;
        switch (keyCode) {
        case Key::Return:
            cmdYes->click();
            return true;
        case Key::Escape:
            Answer(0); // also when No is hidden
            return true;
        case Key::Space:
            if (key->modifiers() & (Qt::ControlModifier | Qt::AltModifier))
                break;
            VoiceOutput(2, 0, Message());
            return true;
        default:
            break;
        }
        if (IsSwallowedCharacter(key))
            return true;
    }
    return cMessageBoxForm::eventFilter(watched, event);
}
