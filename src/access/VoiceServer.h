#pragma once
// The voice server's face and the factory of its backends; callers see only this, never a backend.
#include <QString>

#include <memory>

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
};

// Creates the server registered under the ProgID ("VelorinVoice.Voice"); the environment
// variable QUARNEL_VOICE picks the backend: unset or "speechd" (speech-dispatcher and
// BrlAPI), "log:PATH" (one line per call), "none" (creation fails). Null when it fails.
std::unique_ptr<VoiceServer> CreateVoiceServer(const QString& progId);
