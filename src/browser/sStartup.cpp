#include "sStartup.h"

#include "cScreenReaderWatch.h"
#include "fApplication.h"
#include "fFileOpen.h"
#include "mLongWork.h"
#include "mStartupSource.h"
#include "cSetting.h"

#include "modCommon.h"
#include "modDialogs.h"
#include "sMain.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QDialog>
#include <QPointer>
#include <QSocketNotifier>
#include <QTimer>

#include <cstring>
#include <memory>

#include <csignal>
#include <sys/socket.h>
#include <unistd.h>

namespace {

int gSignalPipe[2] = {-1, -1};

void OnTerminationSignal(int)
{
    const char byte = 1;
    [[maybe_unused]] const ssize_t written = ::write(gSignalPipe[1], &byte, 1);
}

using TriedDialogs = std::shared_ptr<QList<QPointer<QWidget>>>;

void CloseWhenNoModal(QPointer<fApplication> window, const TriedDialogs& tried)
{
    if (!window)
        return;
    QWidget* modal = QApplication::activeModalWidget();
    if (!modal) {
        // A command whose box has just gone may still be running, and may bring another
        // box or work that Escape stops: the window waits for it to come back.
        if (window->Busy()) {
            StopLongWork();
            QTimer::singleShot(20, window, [window, tried] { CloseWhenNoModal(window, tried); });
            return;
        }
        window->close();
        return;
    }
    // The next round is due first: cancelling may itself bring a box, whose own loop
    // would otherwise wait for the user.
    QTimer::singleShot(0, window, [window, tried] { CloseWhenNoModal(window, tried); });
    const bool again = tried->contains(modal);
    tried->append(modal);
    auto* dialog = qobject_cast<QDialog*>(modal);
    // A dialog still there after its Cancel asked something ("changes will be lost, go
    // on?", answered No) would ask for ever: the second time it closes unasked.
    if (dialog && again)
        dialog->done(QDialog::Rejected);
    else if (dialog)
        dialog->reject();
    else
        modal->close();
}

// A signal that came before the window existed waits in the pipe until now.
void CloseOnTerminationSignal(fApplication* window)
{
    if (gSignalPipe[0] < 0)
        return;
    auto* notifier = new QSocketNotifier(gSignalPipe[0], QSocketNotifier::Read, window);
    QObject::connect(notifier, &QSocketNotifier::activated, window, [window] {
        char byte = 0;
        [[maybe_unused]] const ssize_t got = ::read(gSignalPipe[0], &byte, 1);
        CloseWhenDialogsAreDone(window);
    });
}

} // namespace

void CloseWhenDialogsAreDone(fApplication* window)
{
    CloseWhenNoModal(window, std::make_shared<QList<QPointer<QWidget>>>());
}

void CatchTerminationSignals()
{
    if (gSignalPipe[0] >= 0 || ::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, gSignalPipe) != 0)
        return;
    struct sigaction action {};
    action.sa_handler = OnTerminationSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int signal : {SIGTERM, SIGINT, SIGHUP})
        ::sigaction(signal, &action, nullptr);
}

void OpenNamedDatabaseEarly(int argc, char** argv)
{
    // A bare name is looked up in the program's folder, known once the application exists;
    // an option is the toolkit's.
    if (argc != 2 || argv[1][0] == '-' || !std::strchr(argv[1], '/'))
        return;
    BeginStartupSource(FindStartupDatabase(QString::fromLocal8Bit(argv[1])), cSetting().DatabaseType());
}

QString FindStartupDatabase(const QString& commandLine)
{
    if (commandLine.contains(u'\\') || commandLine.contains(u'/'))
        return commandLine;
    // A bare name is the program folder's file, else (a shell user's habit) the current
    // folder's.
    const QString inProgramFolder = ProgramDataFolder() + QDir::separator() + commandLine;
    if (QFileInfo(inProgramFolder).isFile())
        return inProgramFolder;
    return QDir::current().filePath(commandLine);
}

int sMain(const QString& commandLine)
{
    // Dialogs may close while the main window is hidden; only the main window ends the run.
    QApplication::setQuitOnLastWindowClosed(false);
    // The largest part of the wait for the first row, the count of the records, runs while
    // the window is built.
    if (!commandLine.isEmpty())
        BeginStartupSource(FindStartupDatabase(commandLine), cSetting().DatabaseType());
    InstallFileDialogs();
    auto* watch = new cScreenReaderWatch(qApp);
    watch->Start(3000, 0);
    auto* window = new fApplication;
    // Before the first word: with a screen reader running the program leaves the focus to it.
    watch->WaitForFirstLook();
    window->setAttribute(Qt::WA_DeleteOnClose);
    QObject::connect(window, &QObject::destroyed, qApp, &QCoreApplication::quit, Qt::QueuedConnection);
    CloseOnTerminationSignal(window);

    bool show = true;
    try {
        if (!commandLine.isEmpty()) {
            const QString path = FindStartupDatabase(commandLine);
            if (!QFileInfo(path).isFile()) {
                ShowOkMessage(commandLine + QStringLiteral(" nelze otevřít."));
            } else if (window->ApplySetting(path, false)) {
                // For the open dialog only; the registry keeps its folder until one is chosen.
                gWorkDir = ParentPath(QFileInfo(path).absoluteFilePath()) + u'/';
            } else {
                show = false;
            }
        } else {
            window->ApplySetting(QString(), false);
        }
    } catch (const std::exception&) {
        // A failure past the opening leaves the window as far as it got.
    }
    if (show) {
        window->show();
        // Without a window manager nothing would give the keyboard to the window.
        window->activateWindow();
    } else {
        delete window; // never shown, so closing would not reach it; unloading is the same
    }

    return QApplication::exec();
}
