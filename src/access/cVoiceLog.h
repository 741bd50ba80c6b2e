#pragma once
// The voice backend that writes each call to a file; it answers at once, as a server would.
#include "VoiceServer.h"

#include <QFile>

// Writes every call as one line, the member name and its arguments separated by tabs,
// flushed at once: what a blind user would hear, readable by tests and by people
// diagnosing a problem. Answers like a server with Braille and version 2.0.
class cVoiceLog final : public VoiceServer {
public:
    explicit cVoiceLog(const QString& path);

    bool IsOpen() const { return m_file.isOpen(); }

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
    // Logged as "Settings", the setting's name and its value; the voice list is empty.
    void SetRate(qint32 rate) override;
    void SetPitch(qint32 pitch) override;
    void SetVolume(qint32 volume) override;
    void SetVoice(const QString& name) override;
    void SetPunctuation(qint32 level) override;
    QList<cSynthVoice> ListVoices(int timeoutMs) override;

    // The argument as it appears in a line: backslash, tab, CR and LF escaped.
    static QString Escape(const QString& text);

private:
    void Write(const QString& member, const QStringList& arguments);

    QFile m_file;
};
