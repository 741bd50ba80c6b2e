#pragma once

#include "VoiceServer.h"
#include "mScreenReader.h"

#include <QDialog>
#include <QStringList>
#include <QTemporaryDir>
#include <QTimer>

#include <functional>
#include <gtest/gtest.h>
#include <ostream>

// Readable failures.
inline void PrintTo(const QString& text, std::ostream* out)
{
    *out << '"' << text.toStdString() << '"';
}
inline void PrintTo(const QStringList& list, std::ostream* out)
{
    *out << '[' << list.join(QStringLiteral("|")).toStdString() << ']';
}

// Each test hears what Quarnel says through the log backend in a fresh file, with a
// Braille line present.
class VoiceLogTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Every logged call, one entry a line, the fields split at the tabs.
    QList<QStringList> Calls() const;
    // Only the calls of one member.
    QList<QStringList> Calls(const QString& member) const;
    // The "Voice" calls as "mode param text".
    QStringList Spoken() const;
    void Clear() const;

    QTemporaryDir m_dir;
    QString m_path;
};

// While it lives, a screen reader reads the focus (the own speech left to choose itself):
// the program leaves names and what the reader says to it.
class ScopedScreenReader {
public:
    ScopedScreenReader();
    ~ScopedScreenReader();
    ScopedScreenReader(const ScopedScreenReader&) = delete;
    ScopedScreenReader& operator=(const ScopedScreenReader&) = delete;

private:
    OwnSpeech m_choice;
    bool m_running;
};

// Runs answer on the modal dialog as soon as one is up (polling from the event loop),
// so a test can open a modal box and answer it with keys. Fails the test when none comes
// within timeoutMs, unless it is optional.
// The returned watcher may be deleted to stop waiting. A box that nobody answers, or that
// the keys failed to close, fails the test through the watchdog every widget test runs
// under (ModalWatchdog.h).
QTimer* WhenModal(std::function<void(QDialog*)> answer, int timeoutMs = 5000, bool optional = false);
// Presses key on the widget that has the keyboard focus in the dialog.
void PressInDialog(QDialog* dialog, Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier);
void TypeInDialog(QDialog* dialog, const QString& text);

// A voice server that answers as told and records nothing: support, version and whether
// it is still speaking.
class ScriptedVoiceServer final : public VoiceServer {
public:
    ScriptedVoiceServer(qint32 support, qint32 major, qint32 minor, bool speaking = false)
        : m_support(support), m_major(major), m_minor(minor), m_speaking(speaking)
    {
    }
    qint32 Voice(qint32 mode, qint32, const QString&) override { return mode == 3 && m_speaking ? 1 : 0; }
    void BrailleWithOffset(const QString&, qint32) override {}
    void FocusVoice(const QString&, const QString&, qint32, qint32, qint32, bool, bool, qint32) override {}
    void BrailleText(qint16, const QString&) override {}
    void AddBrailleRole(qint32) override {}
    qint32 SupportOK() override { return m_support; }
    void GetVer(qint32& major, qint32& minor) override { major = m_major, minor = m_minor; }
    void AddRef(qint32) override {}
    void Release(qint32) override {}
    bool IsBraille() override { return false; }

private:
    qint32 m_support, m_major, m_minor;
    bool m_speaking;
};
