#include "cAction.h"

#include "cRuntimeError.h"
#include "mPaths.h"
#include "mShell.h"
#include "sMain.h"

#include <QFileInfo>

namespace {

// "%" and a digit d up to column becomes column d's text, in one pass, so a value that
// itself holds "%2" is never read again as a placeholder. Only one digit is ever taken:
// "%12" is column 1's text followed by "2".
QString Substitute(const QString& text, const QStringList& item, qint32 column)
{
    QString result;
    result.reserve(text.size());
    const qsizetype n = text.size();
    for (qsizetype i = 0; i < n; ++i) {
        if (text[i] == u'%' && i + 1 < n) {
            const int digit = text[i + 1].digitValue();
            if (digit >= 1 && digit <= column) {
                result += item.at(digit - 1);
                ++i;
                continue;
            }
        }
        result += text[i];
    }
    return result;
}

// The classic file test: not an existing file means a name in the work folder.
QString InWorkFolderUnlessItExists(const QString& parameter)
{
    if (!parameter.isEmpty() && QFileInfo::exists(parameter))
        return parameter;
    return (gWorkDir.isEmpty() ? gWorkDir : WithSeparator(gWorkDir)) + parameter;
}

} // namespace

qint32 cAction::DoAction(const QStringList& item, qint32 column, cActionStarter& starter, QString* target) const
{
    if (column < 1 || column > item.size())
        throw cRuntimeError(9, QStringLiteral("Index je mimo rozsah."), QStringLiteral("cAction"));
    const QString own = item.at(column - 1);
    // Split at "|" before anything is substituted: a value holding "|" stays in its part.
    const QStringList parts = m_action.isEmpty() ? QStringList() : m_action.split(u'|');
    // The program as one text: a value that names the program names all of it.
    QString program = parts.isEmpty() ? QString() : Substitute(parts.at(0), item, column).trimmed();
    if (program.size() >= 2 && program.startsWith(u'"') && program.endsWith(u'"'))
        program = program.mid(1, program.size() - 2);
    const QString folder = parts.size() >= 3 ? Substitute(parts.at(2), item, column) : QString();

    if (program.isEmpty()) {
        QString parameter = parts.size() >= 2 ? Substitute(parts.at(1), item, column) : own;
        if (parameter.isEmpty())
            parameter = own;
        parameter = InWorkFolderUnlessItExists(parameter);
        parameter.remove(u'"');
        const QString file = FileFromPath(parameter);
        const QString path = LastSeparator(parameter) < 0 ? file : ParentPath(parameter) + u'/' + file;
        const QString document = QFileInfo(path).absoluteFilePath();
        if (target)
            *target = document;
        return starter.OpenDocument(document);
    }

    // Arguments are split from the action's own text and only then filled in, so a value
    // is always inside one argument and can never add another.
    QStringList arguments;
    if (parts.size() >= 2) {
        for (const QString& argument : SplitCommandLine(parts.at(1)))
            arguments << Substitute(argument, item, column);
    }
    if (std::all_of(arguments.cbegin(), arguments.cend(), [](const QString& a) { return a.isEmpty(); }))
        arguments = QStringList{own};
    if (arguments.size() == 1)
        arguments[0] = InWorkFolderUnlessItExists(arguments[0]);
    if (target)
        *target = program;
    return starter.StartProgram(program, arguments, folder);
}
