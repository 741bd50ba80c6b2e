#include "sStartup.h"

#include "fApplication.h"

#include <QApplication>
#include <QSocketNotifier>

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

// A signal that came before the window existed waits in the pipe until now.
void CloseOnTerminationSignal(fApplication* window)
{
    if (gSignalPipe[0] < 0)
        return;
    auto* notifier = new QSocketNotifier(gSignalPipe[0], QSocketNotifier::Read, window);
    QObject::connect(notifier, &QSocketNotifier::activated, window, [window] {
        char byte = 0;
        [[maybe_unused]] const ssize_t got = ::read(gSignalPipe[0], &byte, 1);
        window->close();
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

int sMain(const QString& commandLine)
{
    Q_UNUSED(commandLine) // opened by the main window once it can show a record source
    // Dialogs may close while the main window is hidden; only the main window ends the run.
    QApplication::setQuitOnLastWindowClosed(false);
    auto* window = new fApplication;
    window->setAttribute(Qt::WA_DeleteOnClose);
    QObject::connect(window, &QObject::destroyed, qApp, &QCoreApplication::quit, Qt::QueuedConnection);
    CloseOnTerminationSignal(window);
    window->show();
    return QApplication::exec();
}
