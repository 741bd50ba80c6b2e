#include "ApplicationHarness.h"

#include "cMessageBoxForm.h"
#include "cRecordList.h"
#include "fApplication.h"
#include "sMain.h"
#include "sStartup.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QMessageBox>
#include <QPointer>
#include <QTimer>

namespace {

fApplication* ShownWindow()
{
    for (QWidget* top : QApplication::topLevelWidgets()) {
        if (auto* window = qobject_cast<fApplication*>(top); window && window->isVisible())
            return window;
    }
    return nullptr;
}

// Runs the start-up on the command line; inspect sees the shown main window (or null
// when none came up) and the window is then closed, which must end the run.
int RunStartup(const QString& commandLine, std::function<void(fApplication*)> inspect)
{
    auto remaining = std::make_shared<int>(250);
    auto inspected = std::make_shared<bool>(false);
    QPointer<QTimer> poll = new QTimer;
    QObject::connect(poll, &QTimer::timeout, [poll, remaining, inspected, inspect] {
        fApplication* window = ShownWindow();
        if (!window && QApplication::activeModalWidget())
            return; // a box of the start-up is being answered
        if (!window && --*remaining > 0)
            return;
        poll->stop();
        poll->deleteLater();
        *inspected = true;
        inspect(window);
        if (window)
            window->close();
    });
    poll->start(20);
    const int code = sMain(commandLine);
    QApplication::setQuitOnLastWindowClosed(true);
    // The run ended before a window came up.
    delete poll.data();
    if (!*inspected)
        inspect(nullptr);
    return code;
}

} // namespace

class Startup : public ApplicationTest {};

TEST_F(Startup, WithoutAnArgumentShowsTheEmptyWindow)
{
    bool shown = false;
    EXPECT_EQ(RunStartup(QString(), [&](fApplication* window) {
        ASSERT_NE(window, nullptr);
        shown = true;
        EXPECT_EQ(window->windowTitle(), QStringLiteral("Databáze"));
        EXPECT_EQ(window->list->ColumnCount(), 0);
        EXPECT_EQ(window->Setting(), nullptr) << "no definition is read";
    }), 0);
    EXPECT_TRUE(shown);
    EXPECT_TRUE(m_registry->ReadFile().contains(QStringLiteral("\"FontName\"=\"Arial CE\"")))
        << "the preferences are saved at the end";
}

TEST_F(Startup, AMissingFileIsNamedAsTypedAndTheWindowStillOpens)
{
    QString message;
    WhenModal([&](QDialog* box) {
        message = MessageOf(box);
        PressInDialog(box, Qt::Key_Return);
    });
    bool shown = false;
    EXPECT_EQ(RunStartup(QStringLiteral("missing.mdb"), [&](fApplication* window) { shown = window != nullptr; }), 0);
    EXPECT_EQ(message, QStringLiteral("missing.mdb nelze otevřít."));
    EXPECT_TRUE(shown);
}

TEST_F(Startup, ADatabaseOpensAndItsFolderBecomesTheWorkingFolderForThisRunOnly)
{
    const QString path = MakeDatabase(QStringLiteral("lide.mdb"), QString::fromUtf8(kPeopleScript));
    EXPECT_EQ(RunStartup(path, [&](fApplication* window) {
        ASSERT_NE(window, nullptr);
        EXPECT_EQ(window->windowTitle(), QStringLiteral("lide.mdb - Databáze"));
        EXPECT_EQ(window->list->RowCount(), 3);
        EXPECT_EQ(gWorkDir, m_dir.path() + u'/');
    }), 0);
    EXPECT_FALSE(m_registry->ReadFile().contains(QStringLiteral("WorkDir"))) << "not written to the registry";
}

TEST_F(Startup, ACancelledTableChoiceEndsTheProgram)
{
    const QString path = MakeDatabase(QStringLiteral("dve.mdb"), QStringLiteral(
        "CREATE TABLE A (x INTEGER); CREATE TABLE B (y INTEGER);"));
    WhenModal([](QDialog* chooser) { PressInDialog(chooser, Qt::Key_Escape); });
    bool shown = true;
    EXPECT_EQ(RunStartup(path, [&](fApplication* window) { shown = window != nullptr; }), 0);
    EXPECT_FALSE(shown);
}

TEST_F(Startup, ABareNameIsLookedUpInTheProgramFolderThenInTheCurrentOne)
{
    EXPECT_EQ(FindStartupDatabase(QStringLiteral("/x/y.mdb")), QStringLiteral("/x/y.mdb"));
    EXPECT_EQ(FindStartupDatabase(QStringLiteral("C:\\x\\y.mdb")), QStringLiteral("C:\\x\\y.mdb"));

    const QString previous = QDir::currentPath();
    QDir::setCurrent(m_dir.path());
    EXPECT_EQ(QDir::cleanPath(FindStartupDatabase(QStringLiteral("here.mdb"))), m_dir.filePath(QStringLiteral("here.mdb")));
    const QString name = QStringLiteral("startup-probe-%1.mdb").arg(QCoreApplication::applicationPid());
    const QString inProgramFolder = QCoreApplication::applicationDirPath() + u'/' + name;
    QFile probe(inProgramFolder);
    ASSERT_TRUE(probe.open(QIODevice::WriteOnly));
    probe.close();
    QFile(m_dir.filePath(name)).open(QIODevice::WriteOnly);
    EXPECT_EQ(FindStartupDatabase(name), inProgramFolder);
    QFile::remove(inProgramFolder);
    EXPECT_EQ(QDir::cleanPath(FindStartupDatabase(name)), m_dir.filePath(name));
    QDir::setCurrent(previous);
}

// Without a voice server the platform's own box says so; it is answered by keys.
TEST(StartupWithoutVoice, TheMissingVoiceServerIsReportedAndTheWindowOpens)
{
    ScopedRegistry registry;
    qputenv("QUARNEL_VOICE", "none");
    QString text;
    WhenModal([&](QDialog* box) {
        if (auto* message = qobject_cast<QMessageBox*>(box))
            text = message->text();
        PressInDialog(box, Qt::Key_Return);
    });
    bool shown = false;
    EXPECT_EQ(RunStartup(QString(), [&](fApplication* window) { shown = window != nullptr; }), 0);
    EXPECT_EQ(text, QStringLiteral("Nezdařilo se spustit podporu Velorina."));
    EXPECT_TRUE(shown);
}
