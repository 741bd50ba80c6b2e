#include "cWorkControl.h"

#include <algorithm>

cWorkControl::cWorkControl(std::function<void()> interrupt) : m_interrupt(std::move(interrupt)) {}

void cWorkControl::SetTotal(qint64 total)
{
    m_total.store(total, std::memory_order_relaxed);
}

void cWorkControl::SetDone(qint64 done)
{
    m_done.store(done, std::memory_order_relaxed);
}

int cWorkControl::Percent() const
{
    const qint64 total = m_total.load(std::memory_order_relaxed);
    if (total <= 0)
        return -1;
    const qint64 done = std::clamp<qint64>(m_done.load(std::memory_order_relaxed), 0, total);
    return int(done * 100 / total);
}

void cWorkControl::Commit()
{
    const std::lock_guard lock(m_commitOrStop);
    m_committed.store(true, std::memory_order_relaxed);
}

void cWorkControl::RequestStop()
{
    const std::lock_guard lock(m_commitOrStop);
    if (Committed())
        return; // nothing left to stop; an interrupt would only break what follows
    m_stop.store(true, std::memory_order_relaxed);
    if (m_interrupt)
        std::call_once(m_interrupted, m_interrupt);
}
