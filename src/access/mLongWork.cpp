#include "mLongWork.h"

#include "mKeys.h"
#include "mStringTable.h"
#include "modCommon.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QKeyEvent>
#include <QThread>
#include <QTimer>

#include <exception>

namespace {

LongWorkTimes gTimes;
cWorkControl* gRunning = nullptr;

// The user's input while work runs: Escape stops it, any other key is answered with how
// far the work has got, and nothing reaches the windows (they would read what the work
// is changing).
class cInputGate : public QObject {
public:
    explicit cInputGate(cWorkControl& control, const QString& waiting) : m_control(control), m_waiting(waiting)
    {
        m_sinceKey.start();
    }

    bool WaitingSaid() const { return m_waitingSaid; }
    qint64 SinceKey() const { return m_sinceKey.elapsed(); }

    void SayWaiting()
    {
        m_waitingSaid = true;
        VoiceOutput(12, 1, m_waiting);
        BrailleOutput(0, m_waiting);
    }

    QString Progress() const
    {
        const int percent = m_control.Percent();
        return percent < 0 ? m_waiting : FillPlaceholders(LoadString(10600), {QString::number(percent)});
    }

protected:
    bool eventFilter(QObject*, QEvent* event) override
    {
        switch (event->type()) {
        case QEvent::ShortcutOverride:
            event->accept(); // no menu command runs meanwhile
            return true;
        case QEvent::KeyPress: {
            const auto* key = static_cast<QKeyEvent*>(event);
            m_sinceKey.start();
            if (KeyCodeOf(key) == Key::Escape) {
                m_control.RequestStop();
            } else if (m_waitingSaid && !key->isAutoRepeat() && KeyCodeOf(key) >= Key::Space) {
                VoiceOutput(2, 0, Progress());
            }
            return true;
        }
        case QEvent::KeyRelease:
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseButtonDblClick:
        case QEvent::Wheel:
            return true;
        default:
            return false;
        }
    }

private:
    cWorkControl& m_control;
    QString m_waiting;
    QElapsedTimer m_sinceKey;
    bool m_waitingSaid = false;
};

} // namespace

void SetLongWorkTimes(const LongWorkTimes& times)
{
    gTimes = times;
}

bool LongWorkRunning()
{
    return gRunning != nullptr;
}

void StopLongWork()
{
    if (gRunning)
        gRunning->RequestStop();
}

bool RunLongWork(const QString& waiting, const QString& done, const std::function<void(cWorkControl&)>& work,
                 const std::function<void()>& interrupt)
{
    cWorkControl control(interrupt);
    if (gRunning || !QCoreApplication::instance()) {
        work(control);
        return true;
    }
    std::exception_ptr failure;
    QThread* thread = QThread::create([&] {
        try {
            work(control);
        } catch (...) {
            failure = std::current_exception();
        }
    });
    cInputGate gate(control, waiting);
    QEventLoop loop;
    QObject::connect(thread, &QThread::finished, &loop, &QEventLoop::quit);
    QTimer ticks;
    QElapsedTimer running;
    qint64 lastReport = 0;
    QObject::connect(&ticks, &QTimer::timeout, &loop, [&] {
        if (control.StopRequested())
            return;
        if (!gate.WaitingSaid()) {
            if (running.elapsed() >= gTimes.WaitingMs) {
                gate.SayWaiting();
                lastReport = running.elapsed();
            }
        } else if (running.elapsed() - lastReport >= gTimes.ProgressMs && gate.SinceKey() >= gTimes.TypingPauseMs
                   && control.Percent() >= 0) {
            VoiceOutput(2, 0, gate.Progress());
            lastReport = running.elapsed();
        }
    });

    gRunning = &control;
    qApp->installEventFilter(&gate);
    running.start();
    thread->start();
    // Most work is over in a moment: no loop, no timer for it.
    if (!thread->wait(QDeadlineTimer(50))) {
        ticks.start(std::max(10, std::min(gTimes.WaitingMs, 250)));
        loop.exec();
    }
    thread->wait();
    delete thread;
    qApp->removeEventFilter(&gate);
    gRunning = nullptr;

    if (control.StopRequested() && !control.Committed()) {
        VoiceOutput(2, 0, LoadString(10601));
        return false;
    }
    if (failure)
        std::rethrow_exception(failure);
    if (gate.WaitingSaid() && !done.isEmpty())
        VoiceOutput(2, 0, done);
    return true;
}
