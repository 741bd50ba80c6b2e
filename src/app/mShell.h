#pragma once
// Starting programs and documents for the actions, never through a shell and never waiting on them.
#include <QString>
#include <QStringList>

// Starting programs and documents for the actions: never through a shell. The results
// keep the convention callers know from the classic shell call: above 32 is success.
namespace ShellResult {
enum : qint32 { FileNotFound = 2, PathNotFound = 3, AccessDenied = 5, NoAssociation = 31, Started = 42 };
}

// A parameter text as argv, by the Windows command-line rules: blanks and tabs separate,
// double quotes group (and "" inside quotes is one quote), 2n backslashes before a quote
// are n backslashes, 2n+1 are n backslashes and a literal quote; other backslashes stay.
QStringList SplitCommandLine(const QString& text);

// Starts program directly with arguments in folder (empty: the current one). A program
// without a separator is looked up on PATH.
qint32 StartProgramDirectly(const QString& program, const QStringList& arguments, const QString& folder);

// What an action starts; tests put a recorder in its place.
class cActionStarter {
public:
    virtual ~cActionStarter() = default;
    virtual qint32 StartProgram(const QString& program, const QStringList& arguments, const QString& folder) = 0;
    virtual qint32 OpenDocument(const QString& path) = 0;
};
