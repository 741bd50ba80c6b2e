#pragma once
// The connection state a channel's worker shares with its callers; no speech or Braille calls here.
#include <chrono>
#include <condition_variable>
#include <mutex>

// What a channel's worker thread shares with its callers about the connection: a caller
// asks for one and waits a bounded time; the worker makes the attempts and, after a
// failure, tries again on its own no sooner than a pause later, not on every message.
struct cChannelLink {
    using Clock = std::chrono::steady_clock;
    static constexpr auto kRetryPause = std::chrono::seconds(5);

    std::mutex mutex;
    std::condition_variable wake;
    std::condition_variable attempted;
    bool quit = false;
    bool connectRequested = false;
    bool connected = false;
    unsigned attemptsFinished = 0;
    Clock::time_point nextRetry{};

    // Caller side: true once connected, waiting at most timeoutMs for the worker's attempt.
    bool RequestConnect(int timeoutMs)
    {
        std::unique_lock lock(mutex);
        if (connected)
            return true;
        const unsigned before = attemptsFinished;
        connectRequested = true;
        wake.notify_all();
        attempted.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] { return attemptsFinished != before; });
        return connected;
    }

    // Worker side, mutex held: whether to attempt a connection now; clears a request.
    bool TakeAttempt()
    {
        const bool forced = connectRequested;
        connectRequested = false;
        return !connected && (forced || Clock::now() >= nextRetry);
    }

    // Worker side, mutex held: the outcome of an attempt, or a connection that was lost.
    void SetConnected(bool ok)
    {
        connected = ok;
        if (!ok)
            nextRetry = Clock::now() + kRetryPause;
    }
    void AttemptFinished(bool ok)
    {
        SetConnected(ok);
        ++attemptsFinished;
        attempted.notify_all();
    }
};
