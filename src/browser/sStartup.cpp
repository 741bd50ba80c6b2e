#include "sStartup.h"

#include "fApplication.h"

#include <QApplication>

int sMain(const QString& commandLine)
{
    Q_UNUSED(commandLine) // opened by the main window once it can show a record source
    // Dialogs may close while the main window is hidden; only the main window ends the run.
    QApplication::setQuitOnLastWindowClosed(false);
    auto* window = new fApplication;
    window->setAttribute(Qt::WA_DeleteOnClose);
    QObject::connect(window, &QObject::destroyed, qApp, &QCoreApplication::quit, Qt::QueuedConnection);
    window->show();
    return QApplication::exec();
}
