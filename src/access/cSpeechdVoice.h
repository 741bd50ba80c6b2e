#pragma once
// The real voice backend over the speech and Braille channels; it maps calls, the waiting is theirs.
#include "VoiceServer.h"
#include "cBrailleChannel.h"
#include "cSpeechChannel.h"

#include <memory>

// The real voice server: speech through speech-dispatcher, Braille through BrlAPI. The
// two are independent; either may be missing while the other works.
class cSpeechdVoice final : public VoiceServer {
public:
    cSpeechdVoice();

    qint32 Voice(qint32 mode, qint32 parameter, const QString& text) override;
    void BrailleWithOffset(const QString& text, qint32 offset) override;
    void FocusVoice(const QString& caption, const QString& value, qint32 controlWindow, qint32 formWindow,
                    qint32 role, bool flagA, bool flagB, qint32 extra) override;
    void BrailleText(qint16 cursorColumn, const QString& lineText) override;
    void AddBrailleRole(qint32 role) override;
    qint32 SupportOK() override;
    void GetVer(qint32& major, qint32& minor) override;
    void AddRef(qint32 mainWindow) override;
    void Release(qint32 mainWindow) override;
    bool IsBraille() override;
    qint32 BrailleCells() override;
    void SetRate(qint32 rate) override { m_speech.SetRate(rate); }
    void SetPitch(qint32 pitch) override { m_speech.SetPitch(pitch); }
    void SetVolume(qint32 volume) override { m_speech.SetVolume(volume); }
    void SetVoice(const QString& name) override { m_speech.SetVoice(name); }
    void SetPunctuation(qint32 level) override { m_speech.SetPunctuation(level); }
    QList<cSynthVoice> ListVoices(int timeoutMs) override { return m_speech.ListVoices(timeoutMs); }

    // Sound icons of the boundary signals (speech-dispatcher's sound-icons names).
    static QString SignalIcon(qint32 parameter);

private:
    void Speak(cSpeechChannel::Kind kind, const QString& text, bool interrupt);

    cSpeechChannel m_speech;
    cBrailleChannel m_braille;
    // What one key or event says is heard in full: only its first interrupting output
    // cuts off what was said before.
    std::shared_ptr<bool> m_turnOpen = std::make_shared<bool>(false);
};
