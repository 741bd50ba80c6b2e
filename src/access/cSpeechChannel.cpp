#include "cSpeechChannel.h"

#include "cChannelLink.h"

#include <libspeechd.h>

#include <QList>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <deque>
#include <mutex>
#include <thread>
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

} // namespace

struct cSpeechChannel::State : cChannelLink {
    std::deque<Command> queue;
    // Messages accepted or on their way, less those the server reported ended.
    std::atomic<int> outstanding{0};
    std::atomic<Clock::rep> lastActivity{0};
    SPDConnection* connection = nullptr;

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

SPDConnection* OpenConnection()
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
    if (!connection)
        return nullptr;
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

void Run(std::shared_ptr<cSpeechChannel::State> state)
{
    std::unique_lock lock(state->mutex);
    for (;;) {
        state->wake.wait(lock, [&] { return state->quit || state->connectRequested || !state->queue.empty(); });
        if (state->quit)
            break;
        if (state->TakeAttempt()) {
            lock.unlock();
            SPDConnection* opened = OpenConnection();
            lock.lock();
            state->connection = opened;
            state->AttemptFinished(opened != nullptr);
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
