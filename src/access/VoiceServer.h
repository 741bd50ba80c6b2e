#pragma once
// The voice server's face and the factory of its backends; callers see only this, never a backend.
#include <QList>
#include <QString>

#include <memory>

// A synthesis voice the speech server offers: its name, its language code ("cs", "en-gb")
// and its variant.
struct cSynthVoice {
    QString Name;
    QString Language;
    QString Variant;
    bool operator==(const cSynthVoice&) const = default;
};

// The voice server: speaks, drives the Braille line and announces focus. The member
// names, argument orders and numbers are those every caller of the program relies on.
// Implementations never throw and never block the caller for more than a short time.
class VoiceServer {
public:
    virtual ~VoiceServer() = default;

    // Modes: 1 queued text, 2 interrupting text (param 255 spells it), 3 "still speaking?"
    // (0 when idle), 4 stop, 5 signal (param 8 end, 7 start), 7 error, 12 start of a
    // waiting message. The result is meaningful for mode 3 only.
    virtual qint32 Voice(qint32 mode, qint32 parameter, const QString& text) = 0;
    virtual void BrailleWithOffset(const QString& text, qint32 offset) = 0;
    virtual void FocusVoice(const QString& caption, const QString& value, qint32 controlWindow,
                            qint32 formWindow, qint32 role, bool flagA, bool flagB, qint32 extra) = 0;
    virtual void BrailleText(qint16 cursorColumn, const QString& lineText) = 0;
    virtual void AddBrailleRole(qint32 role) = 0;
    virtual qint32 SupportOK() = 0;
    virtual void GetVer(qint32& major, qint32& minor) = 0;
    virtual void AddRef(qint32 mainWindow) = 0;
    virtual void Release(qint32 mainWindow) = 0;
    virtual bool IsBraille() = 0;
    // Cells of the Braille line; 0 where it is not known.
    virtual qint32 BrailleCells() { return 0; }

    // How the voice sounds, on speech-dispatcher's scales (-100 to 100); a backend that
    // cannot change it ignores it. An empty voice name is the server's default voice;
    // punctuation 0 none, 1 some, 2 all. They return at once and hold for the run.
    virtual void SetRate(qint32) {}
    virtual void SetPitch(qint32) {}
    virtual void SetVolume(qint32) {}
    virtual void SetVoice(const QString&) {}
    virtual void SetPunctuation(qint32) {}
    // The voices on offer, waiting at most timeoutMs; empty when none can be had in time
    // (a long list may still be coming: asking again later finds it).
    virtual QList<cSynthVoice> ListVoices(int) { return {}; }
};

// Creates the server registered under the ProgID ("VelorinVoice.Voice"); the environment
// variable QUARNEL_VOICE picks the backend: unset or "speechd" (speech-dispatcher and
// BrlAPI), "log:PATH" (one line per call), "none" (creation fails). Null when it fails.
std::unique_ptr<VoiceServer> CreateVoiceServer(const QString& progId);
