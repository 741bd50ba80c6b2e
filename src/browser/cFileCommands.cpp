#include "cFileCommands.h"

#include "cRelationTexts.h"

#include "cBrowserState.h"

#include "Database.h"
#include "DBEngine.h"
#include "Field.h"
#include "Recordset.h"
#include "cColumnDefinition.h"
#include "cFormView.h"
#include "cRecordList.h"
#include "cRuntimeError.h"
#include "cSetting.h"
#include "cViewCommands.h"
#include "fApplication.h"
#include "frmProperties.h"
#include "frmRecordModify.h"
#include "frmTable.h"
#include "mCommandChoices.h"
#include "mDatabaseCopy.h"
#include "mErrorMessage.h"
#include "mExport.h"
#include "mLongWork.h"
#include "mStartupSource.h"
#include "mStringTable.h"
#include "modCommon.h"
#include "modDialogs.h"
#include "sMain.h"

#include <QAction>
#include <QDir>
#include <QLabel>
#include <QListWidget>

cFileCommands::cFileCommands(fApplication& window, cBrowserState& state) : m_window(window), m_state(state) {}

bool cFileCommands::ApplySetting(const QString& fileName, bool keepQuery)
{
    CheckVoiceSupport();
    std::unique_ptr<cSetting>& setting = m_state.Setting;
    if (fileName.isEmpty() && !setting)
        return false;
    // Everything is opened into locals first: a failure at any step leaves the definition,
    // the database, the recordset and both views exactly as the last success left them.
    cSetting stored; // the definition as the registry holds it, for a first open
    cSetting& current = setting ? *setting : stored;
    const QString file = fileName.isEmpty() ? current.DatabaseFile() : fileName;
    QString query = keepQuery ? current.Query() : QString();
    QString selectedTable = current.SelectedTable();

    StartupSource early;
    if (!TakeStartupSource(file, current.DatabaseType(), early))
        return false; // stopped by the user, who heard so
    std::shared_ptr<Database> database = early.Db;
    try {
        if (!database)
            database = DBEngine::Instance().OpenDatabase(file, false, false, current.DatabaseType());
    } catch (const cRuntimeError&) {
        const QString message = FormatErrorMessage(CaptureError(), LoadString(10501));
        ShowOkMessage(QString(message).replace(QLatin1String("%5"), file).replace(QLatin1String("%6"), file));
        return false;
    }

    if (query.isEmpty()) {
        switch (ChooseTable(*database, file, selectedTable)) {
        case Choice::Reopen:
            return ApplySetting(file, keepQuery);
        case Choice::Cancelled:
            return false;
        case Choice::Chosen:
            break;
        }
        query = TableQuery(selectedTable);
    }

    std::shared_ptr<Recordset> opened;
    try {
        opened = early.Rs && early.Sql == query ? early.Rs : cViewCommands::OpenSource(database, query);
    } catch (const cRuntimeError&) {
        const QString message = FormatErrorMessage(CaptureError(), LoadString(10503));
        ShowOkMessage(QString(message).replace(QLatin1String("%5"), file));
        return false;
    }
    if (!opened)
        return false; // stopped by the user, who heard so

    if (!setting)
        setting = std::make_unique<cSetting>();
    setting->setDatabaseFile(file);
    setting->setSelectedTable(selectedTable);
    setting->setQuery(query);
    m_state.Db = std::move(database);
    m_state.Relations = std::make_shared<cRelationTexts>(m_state.Db->SharedDriver());
    m_window.list->SetRelations(m_state.Relations);
    m_state.Rs = opened;

    BuildColumns();
    m_state.Actions = setting->Actions();

    m_window.mnuViewAllRecords->setChecked(false);
    m_window.mnuViewFilter->setChecked(false);
    m_window.FormView().Prepare();
    m_window.ViewCommands().PrepareOrderByMenu();
    m_window.ViewCommands().ShowAllRecords(opened);

    m_window.keyFullPath->setText(m_state.Db->Name());
    if (!setting->DatabaseFile().isEmpty())
        m_window.EnableDatabaseMenus(true);
    m_window.ShowStoredView();
    m_window.LayoutWindow();
    m_window.setWindowTitle(setting->Caption() + QStringLiteral(" - Databáze"));
    return true;
}

cFileCommands::Choice cFileCommands::ChooseTable(Database& database, const QString& file, QString& selectedTable)
{
    const QStringList tables = ChoosableTables(database);
    if (tables.size() == 1) { // nothing to choose: no box is built
        selectedTable = tables.constFirst();
        return Choice::Chosen;
    }
    frmTable chooser(&m_window);
    for (const QString& name : tables)
        chooser.AddTable(name);
    if (chooser.TableCount() == 0) {
        m_window.mnuFileProperties->setEnabled(true);
        m_window.mnuRecordModify->setEnabled(true);
        // The user makes a table in the structure editor; the database opens with it.
        database.Close();
        cSetting editing;
        editing.setDatabaseFile(file);
        frmRecordModify editor(&m_window);
        editor.PrepareSetting(&editing);
        ExecModal(editor);
        if (!editor.TableNames().isEmpty())
            return Choice::Reopen;
        ShowOkMessage(FillPlaceholders(LoadString(10590), {file}));
        return Choice::Cancelled;
    }
    ExecModal(chooser);
    if (chooser.Result() != frmTable::ResultOk)
        return Choice::Cancelled;
    selectedTable = chooser.ChosenTable();
    return Choice::Chosen;
}

void cFileCommands::BuildColumns()
{
    cRecordList* list = m_window.list;
    const cSetting& setting = *m_state.Setting;
    // Every column keeps the number of the field it shows.
    list->ClearColumns();
    const auto fields = m_state.Rs->Fields();
    for (qint32 i = 0; i < fields->Count(); ++i) {
        const QString name = fields->Item(i)->Name();
        const std::optional<cColumnDefinition> definition = setting.FindColumnDef(name);
        if (!definition) {
            list->AddColumn(name, QString(), i);
        } else if (!definition->Visible().isEmpty()) {
            list->AddColumn(name,
                            cRecordList::MakeColumnTag(definition->Action(), definition->Width(),
                                                       definition->Format()),
                            i);
        }
    }
}

void cFileCommands::Open()
{
    const std::optional<QString> path = AskDatabaseFile(1134);
    if (!path)
        return;
    // A successful open fills the grid itself; a failed one leaves the previous grid,
    // its selection included, as it was.
    if (!path->isEmpty())
        ApplySetting(*path, false);
}

void cFileCommands::Properties()
{
    // Enabled also when a database without tables failed to open.
    if (!m_state.Db || !m_state.Setting) {
        VoiceOutput(2, 0, LoadString(10595));
        return;
    }
    frmProperties form(&m_window);
    form.PrepareSetting(m_state.Setting.get(), m_state.Db);
    // Applied while the form is still open: a query that cannot be shown leaves the window
    // as it was and the form open to correct it. Applying rebuilds the columns unsorted,
    // fills the grid with its first row selected and shows the view of ViewStyle.
    form.SetApply([this] { return ApplySetting(QString(), true); });
    ExecModal(form);
}

void cFileCommands::New()
{
    const std::optional<QString> chosen = AskDatabaseFile(10623);
    if (!chosen || chosen->isEmpty())
        return;
    const QString path = WithExtension(*chosen, QStringLiteral(".mdb"));
    // A failure (the file exists, the folder is not writable) is told by the window's
    // guard: silence would leave the user guessing why nothing opened.
    DBEngine::Instance().CreateDatabase(path, kCzechLocale)->Close();
    ApplySetting(path, false);
}

std::optional<QString> cFileCommands::AskDatabaseFile(int requestId)
{
    const QString text = QStringLiteral("*.mdb|") + gWorkDir + u'|' + LoadString(requestId);
    if (SendVoiceMessage(VoiceMessageNumber(kVoiceMessageDialog, DialogKind::FileOpen), text) != 1)
        return std::nullopt;
    const QString path = TakeSelectedFile();
    gWorkDir = FolderOf(path);
    SaveWorkDir();
    return path;
}

QString cFileCommands::AskFileToWrite(const QString& mask, int requestId, const QString& extension)
{
    const QString text = mask + QStringLiteral("||") + gWorkDir + u'|' + LoadString(requestId);
    if (SendVoiceMessage(VoiceMessageNumber(kVoiceMessageDialog, DialogKind::FileSave), text) != 1)
        return {};
    const QString chosen = TakeSelectedFile();
    gWorkDir = FolderOf(chosen);
    return chosen.isEmpty() ? QString() : WithExtension(chosen, extension);
}

void cFileCommands::SaveAs()
{
    if (!m_state.Setting)
        return;
    const QString path = AskFileToWrite(QStringLiteral("*.mdb"), 10622, QStringLiteral(".mdb"));
    if (path.isEmpty())
        return;
    const QString file = m_state.Setting->DatabaseFile();
    const std::shared_ptr<Database> database = m_state.Db;
    // An Access file becomes a database the user can edit; it is read where it is open.
    const bool access = database && IsAccessFile(file);
    if (database && !access)
        database->Close();
    ErrorStorage failure;
    bool saved = false;
    try {
        RunLongWork(
            LoadString(10627), QString(),
            [&](cWorkControl& control) {
                if (access ? CopyToQuarnelDatabase(*database, path, control) : CopyDatabaseFile(file, path, control)) {
                    control.Commit();
                    saved = true;
                }
            },
            [database] {
                if (database)
                    database->Interrupt();
            });
    } catch (const cRuntimeError&) {
        failure = CaptureError();
    }
    // Whatever happened to the copy, the user goes on with the database that was open.
    if (!access)
        ApplySetting(file, true);
    if (failure.Number != 0)
        ShowOkMessage(FillPlaceholders(LoadString(10620), {failure.Description}));
    else if (saved) // also when the copy was too quick for the waiting message
        VoiceOutput(1, 0, LoadString(10628));
}

void cFileCommands::Export()
{
    if (!m_state.Rs)
        return;
    const QString path = AskFileToWrite(QStringLiteral("*.txt"), 10621, QStringLiteral(".txt"));
    if (path.isEmpty())
        return;

    // The grid's rows in its order, read straight from the recordset on the worker: the
    // texts are the grid's own formatting of the same values.
    const cRecordList* list = m_window.list;
    ExportSource source = list->ExportColumns();
    const qint64 rows = list->RowCount();
    const std::shared_ptr<Recordset> records = m_state.Rs;
    bool written = false;
    RunLongWork(
        LoadString(10625), QString(),
        [&](cWorkControl& control) {
            source.Positions = list->RowPositions();
            written = ExportRecords(path, *records, source, control);
            if (written)
                control.Commit();
        },
        [records] { records->Interrupt(); });
    if (written)
        VoiceOutput(1, 0, FillPlaceholders(LoadString(10624), {QString::number(rows), QDir::toNativeSeparators(path)}));
}
