#include "cSpeechdVoice.h"

#include <QCoreApplication>
#include <QTimer>

#include <csignal>

namespace {

// How long connecting may hold up the program's start; the daemons answer in
// milliseconds when they run at all.
constexpr int kSpeechConnectWaitMs = 2000;
constexpr int kBrailleConnectWaitMs = 1000;

} // namespace

cSpeechdVoice::cSpeechdVoice()
{
    // A daemon that dies mid-write must cost a failed call, not the process.
    std::signal(SIGPIPE, SIG_IGN);
}

QString cSpeechdVoice::SignalIcon(qint32 parameter)
{
    switch (parameter) {
    case 7: return QStringLiteral("beginning-of-line");
    case 8: return QStringLiteral("end-of-line");
    default: return QStringLiteral("message");
    }
}

void cSpeechdVoice::Speak(cSpeechChannel::Kind kind, const QString& text, bool interrupt)
{
    if (*m_turnOpen)
        interrupt = false;
    else if (QCoreApplication::instance()) {
        *m_turnOpen = true;
        QTimer::singleShot(0, QCoreApplication::instance(), [turn = m_turnOpen] { *turn = false; });
    }
    m_speech.Speak(kind, text, interrupt);
}

qint32 cSpeechdVoice::Voice(qint32 mode, qint32 parameter, const QString& text)
{
    using Kind = cSpeechChannel::Kind;
    const Kind kind = parameter == 255 ? Kind::Spelled : Kind::Text;
    switch (mode) {
    case 1: m_speech.Speak(kind, text, false); break;
    case 2: Speak(kind, text, true); break;
    case 3: return m_speech.IsSpeaking() ? 1 : 0;
    case 4: m_speech.Stop(); break;
    case 5: Speak(Kind::SoundIcon, SignalIcon(parameter), true); break;
    case 7: Speak(Kind::Text, text, true); break;
    case 12: // a waiting message; without a text the message being waited for is already on its way
        if (!text.isEmpty())
            Speak(Kind::Text, text, true);
        break;
    default: break;
    }
    return 0;
}

void cSpeechdVoice::BrailleWithOffset(const QString& text, qint32 offset)
{
    m_braille.Write(offset > 0 && offset < text.size() ? text.mid(offset) : text, -1);
}

void cSpeechdVoice::FocusVoice(const QString& caption, const QString& value, qint32, qint32, qint32, bool, bool,
                               qint32)
{
    QString spoken = caption;
    if (!value.isEmpty())
        spoken += (spoken.isEmpty() ? QString() : QStringLiteral(", ")) + value;
    Speak(cSpeechChannel::Kind::Text, spoken, true);
    m_braille.Write(caption.isEmpty() ? value : caption + u' ' + value, -1);
}

void cSpeechdVoice::BrailleText(qint16 cursorColumn, const QString& lineText)
{
    m_braille.Write(lineText, cursorColumn);
}

void cSpeechdVoice::AddBrailleRole(qint32)
{
    // The line itself tells the kind of control; the role adds nothing on BRLTTY.
}

qint32 cSpeechdVoice::SupportOK()
{
    return m_speech.Connect(kSpeechConnectWaitMs) ? 1 : 0;
}

void cSpeechdVoice::GetVer(qint32& major, qint32& minor)
{
    major = 2;
    minor = 0;
}

void cSpeechdVoice::AddRef(qint32)
{
    // Each connection retries here: a daemon started after Quarnel is picked up.
    m_speech.Connect(0);
    m_braille.Connect(0);
}

void cSpeechdVoice::Release(qint32)
{
    m_speech.Stop();
}

bool cSpeechdVoice::IsBraille()
{
    return m_braille.Connect(kBrailleConnectWaitMs);
}

qint32 cSpeechdVoice::BrailleCells()
{
    return m_braille.Width();
}
