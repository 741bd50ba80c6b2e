#pragma once

#include <QString>

// The program's entry: the whole command-line text, unsplit. Returns when the main window
// has closed, with the process's exit code.
int sMain(const QString& commandLine);
