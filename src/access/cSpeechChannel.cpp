#include "cSpeechChannel.h"

#include "cChannelLink.h"

#include <libspeechd.h>

#include <QList>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <deque>
#include <mutex>
#include <optional>
#include <thread>
#include <utility>
#include <unistd.h>

using Clock = cChannelLink::Clock;

namespace {

struct Command {
    enum Type { Say, Cancel } type = Say;
    cSpeechChannel::Kind kind = cSpeechChannel::Kind::Text;
    QByteArray text;
};

// A burst of key repeats must not pile up minutes of speech behind a slow daemon.
constexpr size_t kMaxQueued = 64;
// A server that stops sending events must not leave "still speaking" set for ever.
constexpr auto kSilentServerLimit = std::chrono::seconds(120);

// How the voice sounds; a field left empty was not chosen.
struct VoiceSettings {
    std::optional<int> rate, pitch, volume, punctuation;
    std::optional<QByteArray> voice;
    bool Any() const { return rate || pitch || volume || punctuation || voice; }
};

} // namespace

struct cSpeechChannel::State : cChannelLink {
    std::deque<Command> queue;
    // Messages accepted or on their way, less those the server reported ended.
    std::atomic<int> outstanding{0};
    std::atomic<Clock::rep> lastActivity{0};
    SPDConnection* connection = nullptr;
    // Everything chosen this run, sent again to every new connection; and what is still
    // to be sent to this one.
    VoiceSettings wanted;
    VoiceSettings pending;
    // The connection speaks with a voice chosen by name rather than the daemon's default.
    bool namedVoice = false;
    // The voice list comes over a connection of its own: the daemon may take seconds to
    // list thousands of voices, and speech must not wait behind that.
    bool listing = false;
    bool voicesKnown = false;
    Clock::time_point listStarted{};
    QList<cSynthVoice> voices;
    std::condition_variable listed;

    void Touch() { lastActivity = Clock::now().time_since_epoch().count(); }
    void Finished()
    {
        int value = outstanding.load();
        while (value > 0 && !outstanding.compare_exchange_weak(value, value - 1)) {
        }
        Touch();
    }
};

namespace {

// libspeechd's callbacks carry no user data; one channel exists per process. Never
// destroyed: a channel may end during static destruction.
std::mutex& EventMutex()
{
    static auto* mutex = new std::mutex;
    return *mutex;
}

std::shared_ptr<cSpeechChannel::State>& EventState()
{
    static auto* state = new std::shared_ptr<cSpeechChannel::State>;
    return *state;
}

void OnEvent(size_t, size_t, SPDNotificationType type)
{
    std::lock_guard lock(EventMutex());
    if (!EventState())
        return;
    if (type == SPD_EVENT_END || type == SPD_EVENT_CANCEL)
        EventState()->Finished();
    else
        EventState()->Touch();
}

// Drops what is queued; each dropped message counts as ended.
void DropQueued(cSpeechChannel::State& state)
{
    for (const Command& command : state.queue)
        if (command.type == Command::Say)
            state.Finished();
    state.queue.clear();
}

// Called with the lock held; closes the connection with the lock released.
void Disconnect(cSpeechChannel::State& state, std::unique_lock<std::mutex>& lock)
{
    SPDConnection* connection = state.connection;
    state.connection = nullptr;
    state.connected = false;
    state.outstanding = 0; // nothing can be speaking without a connection
    if (connection) {
        lock.unlock();
        spd_close(connection);
        lock.lock();
    }
}

SPDConnection* OpenConnection(bool speaking = true)
{
    // Start the user's daemon on demand, but never one other than the address chosen.
    const bool autospawn = qEnvironmentVariableIsEmpty("SPEECHD_ADDRESS");
    char* error = nullptr;
    // Resolved here, not by spd_open2: the library loses the address when it fails.
    SPDConnectionAddress* address = spd_get_default_address(&error);
    std::free(error);
    error = nullptr;
    if (!address)
        return nullptr;
    // A socket that is not there cannot answer; spd_open2 would also leak when it fails.
    if (!autospawn && address->method == SPD_METHOD_UNIX_SOCKET && address->unix_socket_name
        && ::access(address->unix_socket_name, F_OK) != 0) {
        SPDConnectionAddress__free(address);
        return nullptr;
    }
    SPDConnection* connection =
        spd_open2("quarnel", "main", nullptr, SPD_MODE_THREADED, address, autospawn ? 1 : 0, &error);
    SPDConnectionAddress__free(address);
    std::free(error);
    if (!connection || !speaking)
        return connection;
    connection->callback_begin = OnEvent;
    connection->callback_end = OnEvent;
    connection->callback_cancel = OnEvent;
    spd_set_notification_on(connection, SPD_BEGIN);
    spd_set_notification_on(connection, SPD_END);
    spd_set_notification_on(connection, SPD_CANCEL);
    spd_set_language(connection, "cs");
    return connection;
}

// Sends one message; false when the connection has failed.
bool Send(SPDConnection* connection, const Command& command)
{
    if (command.type == Command::Cancel)
        return spd_cancel(connection) == 0;
    switch (command.kind) {
    case cSpeechChannel::Kind::SoundIcon:
        return spd_sound_icon(connection, SPD_MESSAGE, command.text.constData()) == 0;
    case cSpeechChannel::Kind::Spelled:
        if (QString::fromUtf8(command.text).toUcs4().size() == 1)
            return spd_char(connection, SPD_MESSAGE, command.text.constData()) == 0;
        spd_set_spelling(connection, SPD_SPELL_ON);
        {
            const bool sent = spd_say(connection, SPD_MESSAGE, command.text.constData()) > 0;
            spd_set_spelling(connection, SPD_SPELL_OFF);
            return sent;
        }
    case cSpeechChannel::Kind::Text:
        break;
    }
    return spd_say(connection, SPD_MESSAGE, command.text.constData()) > 0;
}

SPDPunctuation PunctuationOf(int level)
{
    switch (level) {
    case 1: return SPD_PUNCT_SOME;
    case 2: return SPD_PUNCT_ALL;
    default: return SPD_PUNCT_NONE;
    }
}

// Sends what is pending, with the lock released. A refused setting is no sign of a dead
// daemon (an unknown voice is refused too); the next message finds that out.
void ApplySettings(cSpeechChannel::State& state, std::unique_lock<std::mutex>& lock)
{
    VoiceSettings settings = std::exchange(state.pending, VoiceSettings{});
    if (settings.voice && settings.voice->isEmpty() && state.namedVoice) {
        // The daemon cannot be told to forget a chosen voice; a new connection starts
        // with its default one.
        Disconnect(state, lock);
        lock.unlock();
        SPDConnection* opened = OpenConnection();
        lock.lock();
        state.connection = opened;
        state.SetConnected(opened != nullptr);
        state.namedVoice = false;
        if (!opened)
            return;
        settings = state.wanted;
    }
    SPDConnection* connection = state.connection;
    const bool named = settings.voice && !settings.voice->isEmpty();
    lock.unlock();
    if (settings.rate)
        spd_set_voice_rate(connection, *settings.rate);
    if (settings.pitch)
        spd_set_voice_pitch(connection, *settings.pitch);
    if (settings.volume)
        spd_set_volume(connection, *settings.volume);
    if (named)
        spd_set_synthesis_voice(connection, settings.voice->constData());
    if (settings.punctuation)
        spd_set_punctuation(connection, PunctuationOf(*settings.punctuation));
    lock.lock();
    if (named)
        state.namedVoice = true;
}

QList<cSynthVoice> VoicesOf(SPDConnection* connection)
{
    QList<cSynthVoice> result;
    SPDVoice** voices = spd_list_synthesis_voices(connection);
    if (!voices)
        return result;
    for (SPDVoice** voice = voices; *voice; ++voice) {
        if ((*voice)->name)
            result.append({QString::fromUtf8((*voice)->name), QString::fromUtf8((*voice)->language),
                           QString::fromUtf8((*voice)->variant)});
    }
    free_spd_voices(voices);
    return result;
}

void Run(std::shared_ptr<cSpeechChannel::State> state)
{
    std::unique_lock lock(state->mutex);
    for (;;) {
        state->wake.wait(lock, [&] {
            return state->quit || state->connectRequested || !state->queue.empty() || state->pending.Any();
        });
        if (state->quit)
            break;
        if (state->TakeAttempt()) {
            lock.unlock();
            SPDConnection* opened = OpenConnection();
            lock.lock();
            state->connection = opened;
            state->AttemptFinished(opened != nullptr);
            if (opened) {
                state->pending = state->wanted;
                state->namedVoice = false;
            }
        }
        if (state->pending.Any()) {
            if (state->connected)
                ApplySettings(*state, lock);
            else
                state->pending = VoiceSettings{}; // kept in wanted for the next connection
        }
        if (state->queue.empty())
            continue;
        if (!state->connected) {
            DropQueued(*state);
            continue;
        }
        Command command = std::move(state->queue.front());
        state->queue.pop_front();
        lock.unlock();
        const bool sent = Send(state->connection, command);
        lock.lock();
        if (command.type == Command::Say && !sent)
            state->Finished();
        if (!sent) { // the daemon went away: try again later, not on every key
            Disconnect(*state, lock);
            DropQueued(*state);
            state->SetConnected(false);
        }
    }
    Disconnect(*state, lock);
}

} // namespace

cSpeechChannel::cSpeechChannel()
    : m_state(std::make_shared<State>())
{
    {
        std::lock_guard lock(EventMutex());
        EventState() = m_state;
    }
    std::thread(Run, m_state).detach();
}

cSpeechChannel::~cSpeechChannel()
{
    {
        std::lock_guard lock(EventMutex());
        if (EventState() == m_state)
            EventState().reset();
    }
    std::lock_guard lock(m_state->mutex);
    m_state->quit = true;
    DropQueued(*m_state);
    m_state->wake.notify_all();
    // The worker holds its own reference and ends when the daemon lets it; a hung
    // daemon must not hold up closing the program.
}

void cSpeechChannel::Speak(Kind kind, const QString& text, bool interrupt)
{
    if (text.isEmpty() && kind != Kind::SoundIcon)
        return;
    std::lock_guard lock(m_state->mutex);
    if (!m_state->connected && m_state->attemptsFinished > 0 && Clock::now() < m_state->nextRetry)
        return; // nobody to speak to until the next attempt: nothing is "still speaking"
    if (interrupt) {
        DropQueued(*m_state);
        m_state->queue.push_back(Command{Command::Cancel, kind, {}});
    }
    while (m_state->queue.size() >= kMaxQueued) {
        if (m_state->queue.front().type == Command::Say)
            m_state->Finished();
        m_state->queue.pop_front();
    }
    ++m_state->outstanding;
    m_state->Touch();
    m_state->queue.push_back(Command{Command::Say, kind, text.toUtf8()});
    m_state->wake.notify_all();
}

void cSpeechChannel::Stop()
{
    std::lock_guard lock(m_state->mutex);
    DropQueued(*m_state);
    m_state->queue.push_back(Command{Command::Cancel, Kind::Text, {}});
    m_state->wake.notify_all();
}

bool cSpeechChannel::IsSpeaking() const
{
    if (m_state->outstanding.load() <= 0)
        return false;
    const auto last = Clock::time_point(Clock::duration(m_state->lastActivity.load()));
    return Clock::now() - last < kSilentServerLimit;
}

bool cSpeechChannel::Connect(int timeoutMs)
{
    return m_state->RequestConnect(timeoutMs);
}

bool cSpeechChannel::IsConnected() const
{
    std::lock_guard lock(m_state->mutex);
    return m_state->connected;
}

namespace {

template <typename Choose>
void Want(cSpeechChannel::State& state, Choose choose)
{
    std::lock_guard lock(state.mutex);
    choose(state.wanted);
    choose(state.pending);
    state.wake.notify_all();
}

} // namespace

void cSpeechChannel::SetRate(int rate)
{
    Want(*m_state, [rate](VoiceSettings& settings) { settings.rate = rate; });
}

void cSpeechChannel::SetPitch(int pitch)
{
    Want(*m_state, [pitch](VoiceSettings& settings) { settings.pitch = pitch; });
}

void cSpeechChannel::SetVolume(int volume)
{
    Want(*m_state, [volume](VoiceSettings& settings) { settings.volume = volume; });
}

void cSpeechChannel::SetVoice(const QString& name)
{
    const QByteArray voice = name.toUtf8();
    Want(*m_state, [&voice](VoiceSettings& settings) { settings.voice = voice; });
}

void cSpeechChannel::SetPunctuation(int level)
{
    Want(*m_state, [level](VoiceSettings& settings) { settings.punctuation = level; });
}

QList<cSynthVoice> cSpeechChannel::ListVoices(int timeoutMs)
{
    // A list that failed is asked for again, but not on every call of someone waiting for it.
    constexpr auto kListRetryPause = std::chrono::seconds(5);
    std::unique_lock lock(m_state->mutex);
    if (!m_state->voicesKnown && !m_state->listing
        && (m_state->listStarted == Clock::time_point{} || Clock::now() - m_state->listStarted >= kListRetryPause)) {
        m_state->listing = true;
        m_state->listStarted = Clock::now();
        std::thread([state = m_state] {
            QList<cSynthVoice> voices;
            if (SPDConnection* connection = OpenConnection(false)) {
                voices = VoicesOf(connection);
                spd_close(connection);
            }
            std::lock_guard done(state->mutex);
            state->voices = std::move(voices);
            state->voicesKnown = !state->voices.isEmpty();
            state->listing = false;
            state->listed.notify_all();
        }).detach();
    }
    m_state->listed.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] { return !m_state->listing; });
    return m_state->voices;
}
