#include "ModalWatchdog.h"
#include "VoiceTestSupport.h"

#include "modCommon.h"
#include "modDialogs.h"

#include <QApplication>

#include <gtest/gtest-spi.h>

namespace {

class ModalWatchdogTest : public VoiceLogTest {};

} // namespace

// The short patience only brings the failure sooner; nothing here is timed.
TEST_F(ModalWatchdogTest, ABoxNobodyAnswersFailsTheTestWithWhatItSaysAndIsClosed)
{
    ModalWatchdog quick(200);
    ::testing::TestPartResultArray failures;
    qint32 answer = -2;
    VoiceOutput(2, 0, QStringLiteral("Záznam Petr bude smazán."));
    {
        // What the watchdog records goes here instead of into this test's result.
        ::testing::ScopedFakeTestPartResultReporter reporter(
            ::testing::ScopedFakeTestPartResultReporter::INTERCEPT_ONLY_CURRENT_THREAD, &failures);
        answer = ShowAccessibleDialog(DialogKind::YesNo, QStringLiteral("Smazat záznam Petr?|Mazání"));
    }
    EXPECT_NE(answer, -2) << "the box never returned";
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
    ASSERT_EQ(failures.size(), 1);
    const ::testing::TestPartResult& failure = failures.GetTestPartResult(0);
    EXPECT_TRUE(failure.nonfatally_failed());
    const std::string message = failure.message();
    for (const char* part : {"nobody answered the modal box", "\"Mazání\"", "Smazat záznam Petr?", "[Ano]", "[Ne]"})
        EXPECT_NE(message.find(part), std::string::npos) << part << " in " << message;
    const size_t spoken = message.find("; last spoken: ");
    ASSERT_NE(spoken, std::string::npos) << message;
    EXPECT_NE(message.find("2 0 Záznam Petr bude smazán.", spoken), std::string::npos) << message;
}
