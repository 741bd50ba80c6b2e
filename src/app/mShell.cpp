#include "mShell.h"

#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>

QStringList SplitCommandLine(const QString& text)
{
    QStringList arguments;
    QString current;
    bool inArgument = false;
    bool quoted = false;
    const qsizetype n = text.size();
    for (qsizetype i = 0; i < n; ++i) {
        const QChar c = text[i];
        if (c == u'\\') {
            qsizetype backslashes = 0;
            while (i < n && text[i] == u'\\') {
                ++backslashes;
                ++i;
            }
            inArgument = true;
            if (i < n && text[i] == u'"') {
                current += QString(backslashes / 2, u'\\');
                if (backslashes % 2 == 1) {
                    current += u'"';
                    continue;
                }
                --i; // the quote is read again below, as a quote
                continue;
            }
            current += QString(backslashes, u'\\');
            --i;
            continue;
        }
        if (c == u'"') {
            inArgument = true;
            if (quoted && i + 1 < n && text[i + 1] == u'"') {
                current += u'"';
                ++i;
            } else {
                quoted = !quoted;
            }
            continue;
        }
        if (!quoted && (c == u' ' || c == u'\t')) {
            if (inArgument)
                arguments << current;
            current.clear();
            inArgument = false;
            continue;
        }
        inArgument = true;
        current += c;
    }
    if (inArgument)
        arguments << current;
    return arguments;
}

qint32 StartProgramDirectly(const QString& program, const QStringList& arguments, const QString& folder)
{
    QString path = program;
    if (!program.contains(u'/')) {
        path = QStandardPaths::findExecutable(program);
        if (path.isEmpty())
            return ShellResult::FileNotFound;
    }
    const QFileInfo file(path);
    if (!file.exists())
        return ShellResult::FileNotFound;
    if (file.isDir() || !file.isExecutable())
        return ShellResult::AccessDenied;
    if (!folder.isEmpty() && !QFileInfo(folder).isDir())
        return ShellResult::PathNotFound;
    return QProcess::startDetached(file.absoluteFilePath(), arguments, folder) ? ShellResult::Started
                                                                                 : ShellResult::AccessDenied;
}
