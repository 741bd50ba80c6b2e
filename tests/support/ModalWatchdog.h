#pragma once

// Turns a modal box that nobody answers into a failure of the running test, so a test
// fails instead of hanging. Test support only; it lives on the window's thread.

#include <QObject>
#include <QPointer>

class QTimer;
class QWidget;

// While it lives, a modal box that stays up with no key sent for patienceMs fails the
// test with what the box says and what was spoken last, and is closed as Escape would.
// The patience is generous: it does not time anything, it only ends a wait.
class ModalWatchdog : public QObject {
public:
    static constexpr int kPatienceMs = 20000;
    explicit ModalWatchdog(int patienceMs = kPatienceMs);
    ~ModalWatchdog() override;
    ModalWatchdog(const ModalWatchdog&) = delete;
    ModalWatchdog& operator=(const ModalWatchdog&) = delete;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void Look();

    int m_patienceMs;
    QTimer* m_timer;
    QPointer<QWidget> m_box;
    qint64 m_since = 0; // when the box came up or last took a key
};

// One watchdog for every test of the program (from its main, before the tests run).
void WatchEveryTestForUnansweredBoxes();
