#include "VoiceTestSupport.h"

#include "cVoiceLog.h"
#include "modCommon.h"
#include "modDialogs.h"
#include "sMain.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QMessageBox>
#include <QPointer>
#include <QTest>
#include <QWidget>

#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

using BridgeTest = VoiceLogTest;

TEST_F(BridgeTest, LogLinesEscapeTheirArguments)
{
    VoiceOutput(2, 0, QStringLiteral("a\tb\\c\r\nd"));
    VoiceFocus(QStringLiteral("Jméno"), QString(), 5, 6, 0, true, false, 0);
    QFile file(m_path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(QString::fromUtf8(file.readAll()),
              QStringLiteral("Voice\t2\t0\ta\\tb\\\\c\\r\\nd\n"
                             "BrailleWithOffset\ta\\tb\\\\c\\r\\nd\t0\n"
                             "FocusVoice\tJméno\t\t5\t6\t0\t-1\t0\t0\n"));
}

TEST_F(BridgeTest, OnlyTextModesReachTheBrailleLine)
{
    struct Case {
        qint32 mode;
        bool noVoice, noBraille, brailleOn;
        int voices, brailles;
    } cases[] = {
        {1, false, false, true, 1, 1}, {2, false, false, true, 1, 1}, {3, false, false, true, 1, 0},
        {4, false, false, true, 1, 0}, {5, false, false, true, 1, 0}, {7, false, false, true, 1, 0},
        {12, false, false, true, 1, 0}, {2, false, true, true, 1, 0}, {2, false, false, false, 1, 0},
        {2, true, false, true, 0, 1},
    };
    for (const Case& c : cases) {
        Clear();
        gBrailleOn = c.brailleOn;
        EXPECT_EQ(VoiceOutput(c.mode, 0, QStringLiteral("text"), c.noVoice, 3, c.noBraille), 0);
        EXPECT_EQ(Calls(QStringLiteral("Voice")).size(), c.voices) << c.mode;
        const auto braille = Calls(QStringLiteral("BrailleWithOffset"));
        EXPECT_EQ(braille.size(), c.brailles) << c.mode << " " << c.noBraille << " " << c.brailleOn;
        if (!braille.isEmpty()) {
            EXPECT_EQ(braille[0].at(2), QStringLiteral("3"));
        }
    }
}

TEST_F(BridgeTest, BrailleOperationsNeedABrailleLine)
{
    gBrailleOn = false;
    BrailleOutput(4, QStringLiteral("řádek"));
    BrailleRole(kRoleText);
    EXPECT_TRUE(Calls().isEmpty());
    gBrailleOn = true;
    BrailleOutput(4, QStringLiteral("řádek"));
    BrailleRole(kRoleText);
    const QList<QStringList> expected{{QStringLiteral("BrailleText"), QStringLiteral("4"), QStringLiteral("řádek")},
                                      {QStringLiteral("AddBrailleRole"), QStringLiteral("42")}};
    EXPECT_EQ(Calls(), expected);
}

TEST_F(BridgeTest, ConnectingRegistersTheMainWindowAndReadsBraille)
{
    QWidget main;
    QObject* previous = gMainWindow;
    gMainWindow = &main;
    gBrailleOn = false;
    ConnectVoice(true);
    DisconnectVoice();
    gMainWindow = previous;
    const QString handle = QString::number(WindowHandle(&main));
    const QList<QStringList> expected{{QStringLiteral("AddRef"), handle},
                                      {QStringLiteral("SupportOK")},
                                      {QStringLiteral("GetVer"), QStringLiteral("2"), QStringLiteral("0")},
                                      {QStringLiteral("IsBraille")},
                                      {QStringLiteral("Release"), handle}};
    EXPECT_EQ(Calls(), expected);
    EXPECT_TRUE(gBrailleOn);
}

namespace {

struct BoxSeen {
    bool shown = false;
    QString title, text;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
};

// Runs CheckVoiceSupport, answering a box with Enter.
BoxSeen CheckSupport()
{
    BoxSeen seen;
    QPointer<QTimer> watcher = WhenModal(
        [&](QDialog* dialog) {
            auto* box = qobject_cast<QMessageBox*>(dialog);
            seen.shown = true;
            if (box) {
                seen.title = box->windowTitle();
                seen.text = box->text();
                seen.icon = box->icon();
            }
            QTest::keyClick(dialog, Qt::Key_Return);
        },
        10000, true);
    CheckVoiceSupport();
    delete watcher; // the box is modal inside the call: none came if it is not answered by now
    return seen;
}

} // namespace

TEST(VoiceSupportTest, FailuresAreReportedInThePlatformsBox)
{
    struct Case {
        bool server;
        qint32 support, major, minor;
        const char* message;
    } cases[] = {
        {false, 0, 0, 0, "Nezdařilo se spustit podporu Velorina."},
        {true, 0, 2, 0, "Chyba hlasové podpory Velorina."},
        {true, 1, 2, 1, "Chyba verze hlasové podpory Velorina."},
        {true, 1, 3, 0, "Chyba verze hlasové podpory Velorina."},
        {true, 1, 2, 0, nullptr},
    };
    for (const Case& c : cases) {
        if (c.server)
            gVoice = std::make_unique<ScriptedVoiceServer>(c.support, c.major, c.minor);
        else
            DestroyVoice();
        const BoxSeen seen = CheckSupport();
        EXPECT_EQ(seen.shown, c.message != nullptr) << c.support << " " << c.major << "." << c.minor;
        if (c.message) {
            EXPECT_EQ(seen.text, QString::fromUtf8(c.message));
            EXPECT_EQ(seen.title, QStringLiteral("Velorin"));
            EXPECT_EQ(seen.icon, QMessageBox::Critical);
        }
    }
    DestroyVoice();
}

TEST(VoiceSupportTest, NoServerMakesEveryOperationANoOp)
{
    qputenv("QUARNEL_VOICE", "none");
    EXPECT_FALSE(CreateVoice());
    EXPECT_EQ(VoiceOutput(3, 0, QString()), 0);
    VoiceFocus(QStringLiteral("a"), QStringLiteral("b"), 1, 2, 0, true, true, 0);
    BrailleOutput(0, QStringLiteral("x"));
    DisconnectVoice();
    EXPECT_EQ(GetMonitorWindow(), 0);
    EXPECT_EQ(gMonitorPid, 0);
}

TEST_F(BridgeTest, VoiceMessagesAreTakenApartArithmetically)
{
    EXPECT_EQ(VoiceMessageNumber(7, 3), 7 + 65536 * 3);
    // Type 7 with kind 6 has no dialog; other types have no screen reader to go to.
    EXPECT_EQ(SendVoiceMessage(VoiceMessageNumber(7, 6), QStringLiteral("x|y")), -1);
    EXPECT_EQ(SendVoiceMessage(VoiceMessageNumber(5, 1), QStringLiteral("x|y")), -1);
    // Masking would read type 7 here; the remainder of a negative number is negative.
    EXPECT_EQ(SendVoiceMessage(VoiceMessageNumber(7, -3), QStringLiteral("x|y")), -1);
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);

    WhenModal([](QDialog* dialog) {
        EXPECT_EQ(dialog->windowTitle(), QStringLiteral("Dotaz"));
        EXPECT_EQ(WindowCodeOf(dialog), 807);
        PressInDialog(dialog, Qt::Key_Escape);
    });
    EXPECT_EQ(SendVoiceMessage(VoiceMessageNumber(7, 3), QStringLiteral("Smazat?|Dotaz")), 0);
    WhenModal([](QDialog* dialog) { PressInDialog(dialog, Qt::Key_Return); });
    EXPECT_EQ(SendVoiceMessage(VoiceMessageNumber(7, 1), QStringLiteral("Hotovo|Info")), 1);
}

namespace {

// Drives the real backend against daemons that are absent or never answer.
class SpeechdAbsentTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_saved = {{"QUARNEL_VOICE", qgetenv("QUARNEL_VOICE")},
                   {"SPEECHD_ADDRESS", qgetenv("SPEECHD_ADDRESS")},
                   {"BRLAPI_HOST", qgetenv("BRLAPI_HOST")}};
        qputenv("QUARNEL_VOICE", "speechd");
        qputenv("SPEECHD_ADDRESS", ("unix_socket:" + m_dir.filePath(QStringLiteral("speechd.sock"))).toUtf8());
        // A BrlAPI port nobody listens on.
        qputenv("BRLAPI_HOST", ":997");
    }
    void TearDown() override
    {
        DestroyVoice();
        for (const auto& [name, value] : m_saved)
            qputenv(name, value);
    }

    // ConnectVoice, answering the support box; the box's text.
    QString Connect()
    {
        QString message;
        QPointer<QTimer> watcher = WhenModal([&message](QDialog* dialog) {
            if (auto* box = qobject_cast<QMessageBox*>(dialog))
                message = box->text();
            QTest::keyClick(dialog, Qt::Key_Return);
        });
        ConnectVoice(true);
        delete watcher;
        return message;
    }

    QTemporaryDir m_dir;
    QList<std::pair<const char*, QByteArray>> m_saved;
};

// True while a connection waits on the listener that nobody has accepted or answered.
bool Unanswered(int listener)
{
    pollfd waiting{listener, POLLIN, 0};
    return ::poll(&waiting, 1, 0) == 1;
}

} // namespace

// A hang would be caught by the test's own time limit; what is checked here is that
// each call came back on its own while the daemon was absent or silent.
TEST_F(SpeechdAbsentTest, MissingDaemonsAreReportedAndNothingIsLeftSpeaking)
{
    ASSERT_TRUE(CreateVoice());
    EXPECT_EQ(Connect(), QStringLiteral("Chyba hlasové podpory Velorina."));
    EXPECT_FALSE(gBrailleOn);
    for (int i = 0; i < 200; ++i)
        VoiceOutput(2, 0, QStringLiteral("nikdo neposlouchá"));
    EXPECT_EQ(VoiceOutput(3, 0, QString()), 0) << "nothing was queued for a daemon that is not there";
    // Settings wait for a daemon; the voice list is empty at once, not after its time limit.
    gVoice->SetRate(50);
    gVoice->SetVoice(QStringLiteral("nikdo"));
    QElapsedTimer clock;
    clock.start();
    EXPECT_TRUE(gVoice->ListVoices(20000).isEmpty());
    EXPECT_LT(clock.elapsed(), 5000);
}

TEST_F(SpeechdAbsentTest, HungDaemonNeverFreezesTheProgram)
{
    // A socket that takes connections into its backlog but never accepts or answers one.
    const QByteArray path = m_dir.filePath(QStringLiteral("speechd.sock")).toUtf8();
    const int listener = ::socket(AF_UNIX, SOCK_STREAM, 0);
    ASSERT_GE(listener, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    ASSERT_LT(size_t(path.size()), sizeof(address.sun_path));
    std::copy(path.begin(), path.end(), address.sun_path);
    ASSERT_EQ(::bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof(address)), 0);
    ASSERT_EQ(::listen(listener, 8), 0);

    ASSERT_TRUE(CreateVoice());
    // The daemon never answers, so the failure can only have been reported by giving up
    // waiting; the program did reach it and is still waiting there.
    EXPECT_EQ(Connect(), QStringLiteral("Chyba hlasové podpory Velorina."));
    EXPECT_TRUE(QTest::qWaitFor([&] { return Unanswered(listener); }, 30000)) << "the daemon was never reached";
    // With the worker stuck on the daemon, speaking, stopping and closing still come back.
    VoiceOutput(2, 0, QStringLiteral("ticho"));
    VoiceOutput(4, 0, QString());
    gVoice->SetPitch(-30);
    gVoice->SetPunctuation(2);
    QElapsedTimer clock;
    clock.start();
    EXPECT_TRUE(gVoice->ListVoices(300).isEmpty());
    EXPECT_LT(clock.elapsed(), 3000) << "the voice list waited past its limit";
    DestroyVoice();
    ::close(listener); // lets the worker still waiting on it finish
}
