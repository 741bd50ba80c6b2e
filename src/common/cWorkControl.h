#pragma once
// What long work shares with the thread waiting for it; safe from any thread, no widgets, no event loop.
#include <QtGlobal>

#include <atomic>
#include <functional>
#include <mutex>

// What a piece of long work shares with the one waiting for it: how far it has got, and
// whether it is to stop. The work looks at StopRequested() between its steps; a step it
// cannot look into (one SQL statement, a helper process) is broken into by the interrupt,
// which runs on the thread that asks for the stop.
class cWorkControl {
public:
    explicit cWorkControl(std::function<void()> interrupt = {});

    void SetTotal(qint64 total);
    void SetDone(qint64 done);
    // 0 … 100, or −1 while the total is not known.
    int Percent() const;

    // Any thread; the interrupt runs once, at the first request.
    void RequestStop();
    bool StopRequested() const { return m_stop.load(std::memory_order_relaxed); }

    // The work's result stands from here on (a file renamed into place, a change
    // committed): a stop asked for later comes too late to undo it, so the work counts as
    // run to its end and is not said to be stopped. Once Commit returns no interrupt
    // follows, so what the work still does (reading back what it made) runs unbroken.
    void Commit();
    bool Committed() const { return m_committed.load(std::memory_order_relaxed); }

private:
    std::atomic<qint64> m_total{-1};
    std::atomic<qint64> m_done{0};
    std::atomic<bool> m_stop{false};
    std::atomic<bool> m_committed{false};
    std::once_flag m_interrupted;
    std::mutex m_commitOrStop;
    std::function<void()> m_interrupt;
};
