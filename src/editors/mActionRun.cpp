#include "mActionRun.h"

#include "ErrorStorage.h"
#include "cRuntimeError.h"
#include "mErrorMessage.h"
#include "mJetErrors.h"
#include "mShell.h"
#include "mStringTable.h"
#include "modCommon.h"
#include "modDialogs.h"

#include <QDesktopServices>
#include <QFileInfo>
#include <QUrl>

namespace {

class cDesktopStarter final : public cActionStarter {
public:
    qint32 StartProgram(const QString& program, const QStringList& arguments, const QString& folder) override
    {
        return StartProgramDirectly(program, arguments, folder);
    }
    qint32 OpenDocument(const QString& path) override
    {
        if (!QFileInfo::exists(path))
            return ShellResult::FileNotFound;
        return QDesktopServices::openUrl(QUrl::fromLocalFile(path)) ? ShellResult::Started
                                                                     : ShellResult::NoAssociation;
    }
};

cActionStarter* gStarter = nullptr;

// Notes the working folder on its way, for the message when it is missing.
class cFolderNote final : public cActionStarter {
public:
    explicit cFolderNote(cActionStarter& starter) : m_starter(starter) {}
    qint32 StartProgram(const QString& program, const QStringList& arguments, const QString& folder) override
    {
        Folder = folder;
        return m_starter.StartProgram(program, arguments, folder);
    }
    qint32 OpenDocument(const QString& path) override { return m_starter.OpenDocument(path); }
    QString Folder;

private:
    cActionStarter& m_starter;
};

QString FailureText(qint32 result, bool document, const QString& target)
{
    int id = 10641;
    switch (result) {
    case ShellResult::FileNotFound:
        id = document ? 10642 : 10640;
        break;
    case ShellResult::PathNotFound:
        id = 10644;
        break;
    case ShellResult::NoAssociation:
        id = 10643;
        break;
    default:
        id = document ? 10643 : 10641;
        break;
    }
    return FillPlaceholders(LoadString(id), {target});
}

} // namespace

void SetActionStarter(cActionStarter* starter)
{
    gStarter = starter;
}

cActionStarter& ActionStarter()
{
    static cDesktopStarter desktop;
    return gStarter ? *gStarter : desktop;
}

qint32 ActionColumn(const cAction& action, const QStringList& captions)
{
    return qint32(captions.indexOf(action.Field()) + 1);
}

QList<QPair<qint32, qint32>> RunnableActions(const cActions* actions, const QStringList& captions)
{
    QList<QPair<qint32, qint32>> runnable;
    if (!actions)
        return runnable;
    for (qint32 n = 1; n <= actions->count(); ++n) {
        if (const qint32 column = ActionColumn(actions->item(n), captions))
            runnable.append({n, column});
    }
    return runnable;
}

bool RunActionOnRow(const cAction& action, const cActionRow& row, qint32 column)
{
    if (row.Texts.isEmpty()) {
        VoiceOutput(2, 0, LoadString(10594));
        return false;
    }
    QString target;
    cFolderNote starter(ActionStarter());
    const qint32 result = action.DoAction(row.Texts, column, starter, &target);
    if (result > 32) {
        VoiceOutput(2, 0, FillPlaceholders(LoadString(10645), {action.Caption()}));
        return true;
    }
    const bool document = action.Action().section(u'|', 0, 0).trimmed().isEmpty();
    ShowOkMessage(FailureText(result, document, result == ShellResult::PathNotFound ? starter.Folder : target));
    return false;
}

bool RunActionOnRow(const cAction& action, const cActionRow& row)
{
    const qint32 column = ActionColumn(action, row.Captions);
    if (column == 0) {
        // Told as the engine tells a field it cannot find, and nothing is started.
        ShowOkMessage(JetErrorDescription(JetError::ItemNotFound, {action.Field()}));
        return false;
    }
    return RunActionOnRow(action, row, column);
}

QList<const cAction*> ColumnActions(const cActions* actions, const QString& caption, const QString& tagAction)
{
    QList<const cAction*> bound;
    if (!actions)
        return bound;
    for (const cAction& action : *actions) {
        if (action.Field() == caption || (!tagAction.isEmpty() && action.Caption() == tagAction))
            bound.append(&action);
    }
    return bound;
}

int RunColumnActions(const cActions* actions, const cActionRow& row, qint32 column, const QString& tagAction)
{
    if (!actions || column < 1 || column > row.Captions.size())
        return 0;
    const QList<const cAction*> bound = ColumnActions(actions, row.Captions.at(column - 1), tagAction);
    if (!bound.isEmpty() && row.Texts.isEmpty()) {
        VoiceOutput(2, 0, LoadString(10594));
        return int(bound.size());
    }
    for (const cAction* action : bound)
        RunActionOnRow(*action, row, column);
    return int(bound.size());
}
