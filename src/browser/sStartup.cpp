#include "sStartup.h"

#include "fApplication.h"
#include "fFileOpen.h"

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

// A modal box runs its own loop inside a command of the window; the window closes only
// once every box has been dismissed and that command has finished.
void CloseWhenNoModal(QPointer<fApplication> window)
{
    if (!window)
        return;
    if (QWidget* modal = QApplication::activeModalWidget()) {
        if (auto* dialog = qobject_cast<QDialog*>(modal))
            dialog->reject();
        else
            modal->close();
        QTimer::singleShot(0, window, [window] { CloseWhenNoModal(window); });
        return;
    }
    window->close();
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
        CloseWhenNoModal(window);
    });
}

} // namespace

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
    InstallFileDialogs();
    auto* window = new fApplication;
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
