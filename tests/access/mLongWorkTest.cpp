#include "VoiceTestSupport.h"

#include "mLongWork.h"

#include <QApplication>
#include <QTest>
#include <QTimer>
#include <QWidget>

#include <chrono>

#include <atomic>
#include <stdexcept>
#include <thread>

namespace {

// Counts the keys that reach a window.
class cKeyCounter : public QObject {
public:
    using QObject::QObject;
    int Keys = 0;

protected:
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::KeyPress)
            ++Keys;
        return false;
    }
};

// The work waits for what the test does rather than for the clock: it runs until it is
// told to stop or released, with a generous guard against a hang.
class LongWorkTest : public VoiceLogTest {
protected:
    void SetUp() override
    {
        VoiceLogTest::SetUp();
        SetLongWorkTimes({20, 60000, 0}); // progress only when a key asks for it
        m_window.show();
        QApplication::setActiveWindow(&m_window);
        ASSERT_TRUE(QTest::qWaitForWindowActive(&m_window));
    }
    void TearDown() override
    {
        SetLongWorkTimes({});
        VoiceLogTest::TearDown();
    }

    // Runs f on the window's thread as soon as the waiting message has been said.
    void OnceWaitingIsSaid(std::function<void()> f)
    {
        auto* poll = new QTimer(&m_window);
        QObject::connect(poll, &QTimer::timeout, poll, [this, poll, f] {
            if (Calls(QStringLiteral("Voice")).isEmpty())
                return;
            poll->deleteLater();
            f();
        });
        poll->start(5);
    }

    static void Until(const std::atomic<bool>& condition, cWorkControl& control)
    {
        for (int i = 0; i < 2000 && !condition && !control.StopRequested(); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }

    QWidget m_window;
};

TEST_F(LongWorkTest, EscapeStopsTheWorkAndOtherKeysHearHowFarItGot)
{
    int interrupts = 0;
    auto* keys = new cKeyCounter(&m_window);
    m_window.installEventFilter(keys);
    std::atomic<bool> never{false};
    OnceWaitingIsSaid([&] {
        QTest::keyClick(&m_window, Qt::Key_A);
        QTest::keyClick(&m_window, Qt::Key_Escape);
    });
    bool sawStop = false;
    const bool finished = RunLongWork(
        QStringLiteral("Řadím, Escape přeruší."), QStringLiteral("Seřazeno."),
        [&](cWorkControl& control) {
            control.SetTotal(10);
            control.SetDone(4);
            Until(never, control);
            sawStop = control.StopRequested();
        },
        [&] { ++interrupts; });
    EXPECT_FALSE(finished);
    EXPECT_TRUE(sawStop);
    EXPECT_EQ(interrupts, 1) << "the call the work cannot look into is broken once";
    EXPECT_EQ(keys->Keys, 0) << "no key reached the window while the work ran";
    EXPECT_EQ(Spoken(), QStringList({QStringLiteral("12 1 Řadím, Escape přeruší."), QStringLiteral("2 0 40 procent"),
                                     QStringLiteral("2 0 Přerušeno.")}));
    EXPECT_EQ(Calls(QStringLiteral("BrailleText")).value(0).value(2), QStringLiteral("Řadím, Escape přeruší."));
    EXPECT_FALSE(LongWorkRunning());
}

TEST_F(LongWorkTest, WorkThatOutlastsTheWaitingMessageConfirmsItsEndAndQuickWorkSaysNothing)
{
    std::atomic<bool> released{false};
    OnceWaitingIsSaid([&] { released = true; });
    EXPECT_TRUE(RunLongWork(QStringLiteral("Řadím, Escape přeruší."), QStringLiteral("Seřazeno."),
                            [&](cWorkControl& control) { Until(released, control); }));
    EXPECT_EQ(Spoken(), QStringList({QStringLiteral("12 1 Řadím, Escape přeruší."), QStringLiteral("2 0 Seřazeno.")}));

    Clear();
    int runs = 0;
    EXPECT_TRUE(RunLongWork(QStringLiteral("Řadím"), QStringLiteral("Seřazeno."), [&](cWorkControl&) { ++runs; }));
    EXPECT_EQ(runs, 1);
    EXPECT_TRUE(Spoken().isEmpty());
}

TEST_F(LongWorkTest, EscapeAfterTheWorkCommittedItsResultComesTooLate)
{
    int interrupts = 0;
    std::atomic<bool> escaped{false};
    OnceWaitingIsSaid([&] {
        QTest::keyClick(&m_window, Qt::Key_Escape);
        escaped = true;
    });
    bool sawStop = true;
    EXPECT_TRUE(RunLongWork(
        QStringLiteral("Měním strukturu tabulky, Escape přeruší."), QStringLiteral("Hotovo."),
        [&](cWorkControl& control) {
            control.Commit();
            Until(escaped, control);
            sawStop = control.StopRequested();
        },
        [&] { ++interrupts; }));
    EXPECT_FALSE(sawStop);
    EXPECT_EQ(interrupts, 0) << "nothing is broken into after the result stands";
    EXPECT_EQ(Spoken(), QStringList({QStringLiteral("12 1 Měním strukturu tabulky, Escape přeruší."),
                                     QStringLiteral("2 0 Hotovo.")}));
}

TEST_F(LongWorkTest, AFailureOfTheWorkReachesTheCaller)
{
    EXPECT_THROW(RunLongWork(QStringLiteral("Řadím"), QString(),
                             [](cWorkControl&) { throw std::runtime_error("read failed"); }),
                 std::runtime_error);
    EXPECT_FALSE(LongWorkRunning());
}

} // namespace
