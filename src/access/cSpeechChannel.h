#pragma once
// Speech through speech-dispatcher on a worker thread; nothing here may block the window's thread.
#include "VoiceServer.h"

#include <QList>
#include <QString>

#include <memory>

// Speech through speech-dispatcher. Every call returns at once: the connection and all
// traffic live on a worker thread, so a missing, dead or hung daemon never holds up the
// user interface. Whether speech is still going is counted from the server's own
// begin, end and cancel events.
class cSpeechChannel {
public:
    cSpeechChannel();
    ~cSpeechChannel();
    cSpeechChannel(const cSpeechChannel&) = delete;
    cSpeechChannel& operator=(const cSpeechChannel&) = delete;

    enum class Kind { Text, Spelled, SoundIcon };
    // Queues one message; interrupting drops what is queued or being spoken first.
    void Speak(Kind kind, const QString& text, bool interrupt);
    void Stop();
    bool IsSpeaking() const;

    // Forgets an earlier failure and connects now; waits at most timeoutMs for the
    // outcome. True when the daemon is reachable.
    bool Connect(int timeoutMs);
    bool IsConnected() const;

    // How the voice sounds (speech-dispatcher's -100 to 100; an empty voice name is the
    // daemon's default; punctuation 0 none, 1 some, 2 all). Sent before any message
    // queued after them, and again on every new connection.
    void SetRate(int rate);
    void SetPitch(int pitch);
    void SetVolume(int volume);
    void SetVoice(const QString& name);
    void SetPunctuation(int level);
    // The daemon's synthesis voices, waiting at most timeoutMs; empty without a daemon or
    // while they are still coming (ask again later: the list keeps coming meanwhile).
    QList<cSynthVoice> ListVoices(int timeoutMs);

    struct State;

private:
    std::shared_ptr<State> m_state;
};
