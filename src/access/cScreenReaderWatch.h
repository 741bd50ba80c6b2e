#pragma once
// Sees whether a screen reader is running, at start and while the program runs; it only looks, it never speaks.
#include <QObject>

#include <condition_variable>
#include <mutex>
#include <optional>
#include <thread>

// Looks every few seconds, on a thread of its own, whether an application named "orca" is
// registered with the accessibility registry (the desktop's "screen reader on" flag stays
// off when Orca is started by hand, so it is only a hint), and keeps SetScreenReaderRunning
// current. A missing or hung bus never holds up the window: only the first look is waited
// for, and only briefly, so that the first thing said already knows.
// QUARNEL_SCREEN_READER=on or off fixes the answer (tests, and readers other than Orca).
class cScreenReaderWatch : public QObject {
    Q_OBJECT
public:
    explicit cScreenReaderWatch(QObject* parent = nullptr);
    ~cScreenReaderWatch() override;

    void Start(int intervalMs = 3000, int firstWaitMs = 1000);
    // Started with no wait, the first look is waited for here, once other start-up work
    // has run beside it.
    void WaitForFirstLook(int waitMs = 1000);

    // The fixed answer of QUARNEL_SCREEN_READER, if it gives one.
    static std::optional<bool> FixedAnswer();

private:
    void Run(int intervalMs);

    std::thread m_thread;
    std::mutex m_mutex;
    std::condition_variable m_wake;
    bool m_quit = false;
    bool m_firstDone = false;
};
