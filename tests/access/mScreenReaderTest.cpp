#include "VoiceTestSupport.h"

#include "cScreenReaderWatch.h"
#include "mScreenReader.h"
#include "modCommon.h"

namespace {

// The choice and the running state are the process's own: every test leaves them as found.
class OwnSpeechTest : public VoiceLogTest {
protected:
    void TearDown() override
    {
        SetOwnSpeechChoice(m_choice);
        SetScreenReaderRunning(m_running);
        if (m_fixed.isNull())
            qunsetenv("QUARNEL_SCREEN_READER");
        else
            qputenv("QUARNEL_SCREEN_READER", m_fixed);
        VoiceLogTest::TearDown();
    }

    void Set(OwnSpeech choice, bool running)
    {
        SetOwnSpeechChoice(choice);
        SetScreenReaderRunning(running);
    }

    const OwnSpeech m_choice = OwnSpeechChoice();
    const bool m_running = ScreenReaderRunning();
    const QByteArray m_fixed = qgetenv("QUARNEL_SCREEN_READER");
};

} // namespace

TEST_F(OwnSpeechTest, TheChoiceDecidesWhetherTheReaderIsLeftTheFocus)
{
    const struct {
        OwnSpeech choice;
        bool running, reads;
    } cases[] = {
        {OwnSpeech::Automatic, false, false},  {OwnSpeech::Automatic, true, true},
        {OwnSpeech::Always, false, false},     {OwnSpeech::Always, true, false},
        {OwnSpeech::OnlyUnknown, false, true}, {OwnSpeech::OnlyUnknown, true, true},
    };
    for (const auto& c : cases) {
        Set(c.choice, c.running);
        EXPECT_EQ(ScreenReaderReads(), c.reads) << int(c.choice) << " running " << c.running;
    }
}

// Beside a reader only echoes and the focus go quiet; results are still said, and the
// Braille line is the reader's alone.
TEST_F(OwnSpeechTest, WhileTheReaderReadsOnlyEchoesFocusAndBrailleStop)
{
    const auto everything = [] {
        VoiceOutput(2, 0, QStringLiteral("Seřazeno"));
        VoiceEcho(2, 0, QStringLiteral("Marie"));
        VoiceFocus(QStringLiteral("Jméno"), QStringLiteral("Petr"), 1, 2, 0, true, true, 0);
        BrailleOutput(1, QStringLiteral("Petr"));
        BrailleRole(kRoleText);
    };
    QStringList members;
    const auto heard = [&] {
        members.clear();
        for (const QStringList& call : Calls())
            members << call.value(0);
        return members;
    };

    Set(OwnSpeech::Automatic, true);
    Clear();
    everything();
    EXPECT_EQ(Spoken(), QStringList(QStringLiteral("2 0 Seřazeno")));
    EXPECT_EQ(heard(), QStringList(QStringLiteral("Voice")));
    EXPECT_EQ(VoiceEcho(3, 0, QString()), 0) << "an echo left out asks the server nothing";

    Set(OwnSpeech::Always, true);
    Clear();
    everything();
    EXPECT_EQ(Spoken(), QStringList({QStringLiteral("2 0 Seřazeno"), QStringLiteral("2 0 Marie")}));
    EXPECT_EQ(heard(), QStringList({QStringLiteral("Voice"), QStringLiteral("BrailleWithOffset"), QStringLiteral("Voice"),
                                    QStringLiteral("BrailleWithOffset"), QStringLiteral("FocusVoice"),
                                    QStringLiteral("BrailleText"), QStringLiteral("AddBrailleRole")}));
}

TEST_F(OwnSpeechTest, AFixedAnswerIsTakenAtOnce)
{
    const struct {
        const char* value;
        std::optional<bool> answer;
    } cases[] = {{"on", true}, {" OFF ", false}, {"", std::nullopt}, {"maybe", std::nullopt}};
    for (const auto& c : cases) {
        qputenv("QUARNEL_SCREEN_READER", c.value);
        EXPECT_EQ(cScreenReaderWatch::FixedAnswer(), c.answer) << c.value;
    }
    qunsetenv("QUARNEL_SCREEN_READER");
    EXPECT_EQ(cScreenReaderWatch::FixedAnswer(), std::nullopt);

    // No bus is asked: the answer holds as Start returns and stays after the watcher goes.
    for (const bool running : {true, false}) {
        qputenv("QUARNEL_SCREEN_READER", running ? "on" : "off");
        SetScreenReaderRunning(!running);
        {
            cScreenReaderWatch watch;
            watch.Start(10, 0);
            EXPECT_EQ(ScreenReaderRunning(), running);
        }
        EXPECT_EQ(ScreenReaderRunning(), running);
    }
}
