#include "ApplicationHarness.h"

#include "cRecordList.h"
#include "fApplication.h"
#include "mSpeechPreferences.h"

#include <QAction>
#include <QApplication>
#include <QKeyEvent>
#include <QMenu>
#include <QTest>

namespace {

// Alt+Z and then Ř, as a user opens Zobrazení › Řeč.
void ChooseSpeechFromTheViewMenu(fApplication* window)
{
    window->list->setFocus();
    QTest::keyClick(window->list, Qt::Key_Z, Qt::AltModifier);
    QApplication::processEvents();
    QWidget* menu = QApplication::activePopupWidget();
    ASSERT_NE(menu, nullptr) << "the View menu did not open";
    QKeyEvent press(QEvent::KeyPress, 0x158, Qt::NoModifier, QStringLiteral("ř"));
    QApplication::sendEvent(menu, &press);
}

QStringList Sent(const QList<QStringList>& calls)
{
    QStringList sent;
    for (const QStringList& call : calls)
        sent << call.mid(1).join(u' ');
    return sent;
}

} // namespace

TEST_F(ApplicationTest, TheSpeechDialogOpensFromTheViewMenuAndOkKeepsItsSettingsForTheNextStart)
{
    ASSERT_TRUE(Open(MakeDatabase(QStringLiteral("lide.mdb"), QString::fromUtf8(kPeopleScript))));
    // Nothing stored yet: the daemon's own settings are left alone.
    EXPECT_EQ(Calls(QStringLiteral("Settings")), QList<QStringList>());
    auto* item = m_window->findChild<QAction*>(QStringLiteral("mnuViewSpeech"));
    ASSERT_NE(item, nullptr);
    EXPECT_EQ(item->text(), QStringLiteral("&Řeč…"));

    Clear();
    QString title, voices;
    WhenModal([&](QDialog* dialog) {
        title = dialog->windowTitle();
        // No daemon in a test: only the default voice is offered.
        PressInDialog(dialog, Qt::Key_Tab);
        PressInDialog(dialog, Qt::Key_Tab);
        PressInDialog(dialog, Qt::Key_Tab);
        PressInDialog(dialog, Qt::Key_Down);
        PressInDialog(dialog, Qt::Key_Tab);
        PressInDialog(dialog, Qt::Key_Down); // punctuation: some
        PressInDialog(dialog, Qt::Key_Return);
    });
    ChooseSpeechFromTheViewMenu(m_window);
    QApplication::processEvents();
    EXPECT_EQ(title, QStringLiteral("Řeč"));
    EXPECT_FALSE(Calls(QStringLiteral("ListVoices")).isEmpty()) << "the voices were never asked for";
    EXPECT_TRUE(Spoken().contains(QStringLiteral("5 8 "))) << "Down on the only voice signals the end";
    EXPECT_EQ(Sent(Calls(QStringLiteral("Settings"))), QStringList(QStringLiteral("punctuation 1")));
    EXPECT_TRUE(m_registry->ReadFile().contains(QStringLiteral("\"SpeechPunctuation\"=\"1\"")));

    // The next start sends the stored settings.
    Unload();
    Clear();
    Load();
    EXPECT_EQ(Sent(Calls(QStringLiteral("Settings"))),
              (QStringList{QStringLiteral("rate 0"), QStringLiteral("pitch 0"), QStringLiteral("volume 100"),
                           QStringLiteral("voice "), QStringLiteral("punctuation 1")}));
}

TEST_F(ApplicationTest, EscapeInTheSpeechDialogSendsBackItsChangeAndStoresNothing)
{
    ASSERT_TRUE(Open(MakeDatabase(QStringLiteral("lide.mdb"), QString::fromUtf8(kPeopleScript))));
    Clear();
    WhenModal([&](QDialog* dialog) {
        PressInDialog(dialog, Qt::Key_Up); // rate -10
        PressInDialog(dialog, Qt::Key_Escape);
    });
    ChooseSpeechFromTheViewMenu(m_window);
    QApplication::processEvents();
    EXPECT_EQ(Calls(QStringLiteral("FocusVoice")).value(0).mid(1, 2),
              (QStringList{QStringLiteral("Rychlost řeči"), QStringLiteral("0")}));
    EXPECT_EQ(Sent(Calls(QStringLiteral("Settings"))), (QStringList{QStringLiteral("rate -10"), QStringLiteral("rate 0")}));
    EXPECT_FALSE(SpeechSettingsStored());
    EXPECT_FALSE(m_registry->ReadFile().contains(QStringLiteral("Speech")));
}
