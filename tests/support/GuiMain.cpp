#include "cListEndSignal.h"
#include "cPushButtons.h"
#include "ModalWatchdog.h"
#include "mConvert.h"
#include <QApplication>
#include <gtest/gtest.h>

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    // What is said must not hang on whether the developer's own Orca runs.
    if (qEnvironmentVariableIsEmpty("QUARNEL_SCREEN_READER"))
        qputenv("QUARNEL_SCREEN_READER", "off");
    QApplication app(argc, argv);
    UseCNumbersInTheCLibrary();
    // As the program has it: every list signals its ends; every push button takes Enter
    // and says itself.
    app.installEventFilter(new cListEndSignal(&app));
    app.installEventFilter(new cPushButtons(&app));
    ::testing::InitGoogleTest(&argc, argv);
    // A box nobody answers fails its test instead of holding the run.
    WatchEveryTestForUnansweredBoxes();
    return RUN_ALL_TESTS();
}
