#pragma once

// The program's start and end: the command line, the first database, termination signals
// and closing once the dialogs are done. The window's own work is not here.

#include <QString>

class fApplication;

// Makes SIGTERM, SIGINT and SIGHUP close the main window as the user would, so that a
// logout or a kill still saves the preferences. Call first thing in main.
void CatchTerminationSignals();
// Closes the main window, as a termination signal does, once every modal dialog has been
// cancelled and the command that opened it has finished. Nothing is confirmed on the way.
void CloseWhenDialogsAreDone(fApplication* window);

// The program's entry: the whole command-line text, unsplit. Returns when the main window
// has closed, with the process's exit code.
int sMain(const QString& commandLine);

// Starts opening the database a path names as the only argument, on a worker, before the
// toolkit starts (sMain takes it over). Call before the application object exists.
void OpenNamedDatabaseEarly(int argc, char** argv);

// The file the command-line text names: with a separator the text itself; a bare name is
// looked up in the program's folder, then in the current one.
QString FindStartupDatabase(const QString& commandLine);
