#include "fApplication.h"

#include "Database.h"
#include "DBEngine.h"
#include "Recordset.h"
#include "TableDef.h"
#include "cRecordList.h"
#include "cRecordListModel.h"
#include "cRuntimeError.h"
#include "cSetting.h"
#include "cListAccessible.h"
#include "cMenuStyle.h"
#include "cMenuVoice.h"
#include "fAbout.h"
#include "frmAbout.h"
#include "frmFonts.h"
#include "cStandardEditBox.h"
#include "fRecord.h"
#include "fRecordGoto.h"
#include "fRunAction.h"
#include "frmEditActions.h"
#include "frmProperties.h"
#include "frmRecordModify.h"
#include "frmRecordOrder.h"
#include "frmTable.h"
#include "mDatabaseCopy.h"
#include "mErrorMessage.h"
#include "mExport.h"
#include "mFilter.h"
#include "mJetSql.h"
#include "mJetErrors.h"
#include "mKeys.h"
#include "mLongWork.h"
#include "mActionRun.h"
#include "mPrepareForm.h"
#include "mStringTable.h"
#include "modCommon.h"
#include "modDialogs.h"
#include "sMain.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QProcess>
#include <QScopeGuard>
#include <QScrollArea>
#include <QScrollBar>
#include <QStatusBar>
#include <QTimer>
#include <QUrl>
#include <QVBoxLayout>

namespace {

// Counts what of the window is running, for as long as it runs.
class BusyScope {
public:
    explicit BusyScope(int& count) : m_count(count) { ++m_count; }
    ~BusyScope() { --m_count; }
    BusyScope(const BusyScope&) = delete;
    BusyScope& operator=(const BusyScope&) = delete;

private:
    int& m_count;
};

QAction* NewAction(QMenu* menu, const char* name, const QString& caption,
                   const QKeySequence& shortcut = QKeySequence())
{
    auto* action = menu->addAction(caption);
    action->setObjectName(QLatin1String(name));
    if (!shortcut.isEmpty())
        action->setShortcut(shortcut);
    return action;
}

QAction* NewSeparator(QMenu* menu, const char* name)
{
    auto* separator = menu->addSeparator();
    separator->setObjectName(QLatin1String(name));
    return separator;
}

QMenu* NewMenu(QWidget* owner, const char* name, const QString& caption)
{
    auto* menu = new QMenu(caption, owner);
    menu->setObjectName(QLatin1String(name));
    menu->menuAction()->setObjectName(QLatin1String(name));
    return menu;
}

// The caption as spoken: no access-key mark, no shortcut, no trailing dots.
QString SpokenCaption(const QAction* item)
{
    QString caption = item->text().section(u'\t', 0, 0);
    caption.remove(u'&');
    while (caption.endsWith(u'.') || caption.endsWith(QChar(0x2026)))
        caption.chop(1);
    return caption.trimmed();
}

// The form view's field box: the caret starts at the beginning of the value however the
// focus came, where a line edit would select the whole value on Tab.
class cFieldBox : public QLineEdit {
public:
    using QLineEdit::QLineEdit;
    std::function<void()> focused;

protected:
    void focusInEvent(QFocusEvent* event) override
    {
        QLineEdit::focusInEvent(event);
        deselect();
        setCursorPosition(0);
        if (focused)
            focused();
    }
};

} // namespace

fApplication::fApplication(QWidget* parent) : QMainWindow(parent)
{
    setObjectName(QStringLiteral("fApplication"));
    CreateControls();
    SetWindowCode(this, kWindowCode);
    SetControlId(list, kGridControlId);
    LoadCommonPreferences(this);
    LoadPreferences();
    CreateMenus();
    InitMainWindow();
    ApplyFontToForm(this, gFont);
    ApplyColoursToForm(this, gForeColorForm, gBackColorForm, gForeColor, gBackColor);
    // The panels are part of the status bar control, drawn in its colours.
    for (QLabel* panel : {keyFullPath, keyFilter, keyPosition})
        panel->setPalette(statusBar()->palette());
    fraFormView->setPalette(picFormView->palette());
    ApplyMenuLook();
    cListAccessible::Install();
    qApp->installEventFilter(this);
    resize(1000, 700);
    CreateVoice(); // without a server the program runs silent
    ConnectVoice(true);
}

fApplication::~fApplication()
{
    qApp->removeEventFilter(this);
    Unload();
    if (gMainWindow == this)
        gMainWindow = nullptr;
}

void fApplication::CreateControls()
{
    auto* central = new QWidget(this);
    central->setObjectName(QStringLiteral("picClient"));
    auto* layout = new QVBoxLayout(central);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);

    list = new cRecordList(central);
    list->setObjectName(QStringLiteral("list"));
    list->setAccessibleName(QStringLiteral("Záznamy"));
    layout->addWidget(list);

    fraFormView = new QScrollArea(central);
    fraFormView->setObjectName(QStringLiteral("fraFormView"));
    fraFormView->setAccessibleName(QStringLiteral("Formulář"));
    fraFormView->setFocusPolicy(Qt::NoFocus);
    fraFormView->setFrameShape(QFrame::NoFrame);
    fraFormView->setWidgetResizable(false);
    picFormView = new QWidget;
    picFormView->setObjectName(QStringLiteral("picFormView"));
    fraFormView->setWidget(picFormView);
    fraFormView->hide();
    layout->addWidget(fraFormView);
    setCentralWidget(central);

    // The templates the per-column controls copy.
    FormRows.CreateTemplates(picFormView, new cFieldBox(picFormView));

    keyFullPath = new QLabel(statusBar());
    keyFullPath->setObjectName(QStringLiteral("keyFullPath"));
    keyFullPath->setAccessibleName(QStringLiteral("Databáze"));
    keyFilter = new QLabel(statusBar());
    keyFilter->setObjectName(QStringLiteral("keyFilter"));
    keyFilter->setAccessibleName(QStringLiteral("Filtr"));
    keyPosition = new QLabel(statusBar());
    keyPosition->setObjectName(QStringLiteral("keyPosition"));
    keyPosition->setAccessibleName(QStringLiteral("Pozice"));
    statusBar()->setObjectName(QStringLiteral("Status"));
    statusBar()->setSizeGripEnabled(false);
    statusBar()->addWidget(keyFullPath, 1);
    statusBar()->addWidget(keyFilter);
    statusBar()->addWidget(keyPosition);

    connect(list, &cRecordList::ItemClicked, this, &fApplication::ItemClick);
    connect(list, &cRecordList::SortChanged, this, &fApplication::UpdateOrderByChecks);
    connect(list, &cRecordList::RowKeyReleased, this, [this] { ShowSelectedInForm(); });
}

void fApplication::OnCommand(QAction* item, std::function<void()> command)
{
    // A triggered check mark toggles itself; the commands set the marks by their own rules.
    connect(item, &QAction::triggered, this, [this, item, command = std::move(command)](bool checked) {
        if (item->isCheckable())
            item->setChecked(!checked);
        const BusyScope busy(m_busy);
        command();
    });
}

void fApplication::CreateMenus()
{
    QMenuBar* bar = menuBar();
    bar->setObjectName(QStringLiteral("mnuBar"));
    bar->setAccessibleName(QStringLiteral("Nabídka"));

    mnuFile = NewMenu(this, "mnuFile", QString());
    mnuNewDB = NewAction(mnuFile, "mnuNewDB", QStringLiteral("Nová"));
    mnuFileOpen = NewAction(mnuFile, "mnuFileOpen", QStringLiteral("Otevřít"), QKeySequence(Qt::CTRL | Qt::Key_O));
    mnuSaveAs = NewAction(mnuFile, "mnuSaveAs", QStringLiteral("Uložit jako"));
    mnuExport = NewAction(mnuFile, "mnuExport", QStringLiteral("Export"));
    NewSeparator(mnuFile, "mnSep");
    mnuFileProperties = NewAction(mnuFile, "mnuFileProperties", QStringLiteral("Dotaz SQL..."),
                                  QKeySequence(Qt::CTRL | Qt::Key_Q));
    mnuRecordModify = NewAction(mnuFile, "mnuRecordModify", QStringLiteral("&Návrh databáze"));
    NewSeparator(mnuFile, "mnuSep1");
    mnuFileExit = NewAction(mnuFile, "mnuFileExit", QString());
    bar->addMenu(mnuFile);

    mnuRecOrd = NewMenu(this, "mnuRecOrd", QString());
    mnuRecordAdd = NewAction(mnuRecOrd, "mnuRecordAdd", QString(), QKeySequence(Qt::CTRL | Qt::Key_N));
    mnuRecordEdit = NewAction(mnuRecOrd, "mnuRecordEdit", QString());
    mnuRecordDelete = NewAction(mnuRecOrd, "mnuRecordDelete", QString(), QKeySequence(Qt::Key_Delete));
    NewSeparator(mnuRecOrd, "mnuRecordSeparator0");
    mnuRecordGoto = NewAction(mnuRecOrd, "mnuRecordGoto", QString(), QKeySequence(Qt::CTRL | Qt::Key_G));
    NewSeparator(mnuRecOrd, "mnuRecordSeparator");
    mnuEditActions = NewAction(mnuRecOrd, "mnuEditActions", QStringLiteral("Akce..."),
                               QKeySequence(Qt::CTRL | Qt::Key_K));
    mnuRecordRunAction = NewAction(mnuRecOrd, "mnuRecordRunAction", LoadString(10648) + QStringLiteral("..."),
                                   QKeySequence(Qt::CTRL | Qt::Key_E));
    bar->addMenu(mnuRecOrd);

    mnuView = NewMenu(this, "mnuView", QString());
    mnuFonts = NewAction(mnuView, "mnuFonts", QStringLiteral("Písmo"));
    mnuViewAllRecords = NewAction(mnuView, "mnuViewAllRecords", QString(), QKeySequence(Qt::CTRL | Qt::Key_A));
    mnuViewFilter = NewAction(mnuView, "mnuViewFilter", QString(), QKeySequence(Qt::CTRL | Qt::Key_F));
    NewSeparator(mnuView, "mnuViewSeparator0");
    mnuViewOrderBy = NewMenu(this, "mnuViewOrderBy", QString());
    mnuView->addMenu(mnuViewOrderBy);
    mnuViewOrderByColumn = {NewAction(mnuViewOrderBy, "mnuViewOrderByColumn0", QStringLiteral("Column"))};
    mnuViewOrderBySeparator = NewSeparator(mnuViewOrderBy, "mnuViewOrderBySeparator");
    mnuViewOrderBySortAZ = NewAction(mnuViewOrderBy, "mnuViewOrderBySortAZ", QString());
    mnuViewOrderBySortZA = NewAction(mnuViewOrderBy, "mnuViewOrderBySortZA", QString());
    NewSeparator(mnuView, "mnuViewSeparator");
    mnuViewAsGrid = NewAction(mnuView, "mnuViewAsGrid", QString(), QKeySequence(Qt::CTRL | Qt::Key_T));
    mnuViewAsForm = NewAction(mnuView, "mnuViewAsForm", QString(), QKeySequence(Qt::CTRL | Qt::Key_M));
    mnuColumnSize = NewAction(mnuView, "mnuColumnSize", QStringLiteral("Přizpůsobit šířku sloupců délce textu"));
    mnuRecOrder = NewAction(mnuView, "mnuRecOrder", QStringLiteral("Výběr polí"));
    bar->addMenu(mnuView);

    mnuHelp = NewMenu(this, "mnuHelp", QString());
    mnuHelpAboutApplication = NewAction(mnuHelp, "mnuHelpAboutApplication", QString(),
                                        QKeySequence(Qt::CTRL | Qt::Key_F1));
    NewSeparator(mnuHelp, "mnuHelpSeparator");
    mnuHelpAbout = NewAction(mnuHelp, "mnuHelpAbout", QString());
    mnuHelpAboutDefinition = NewAction(mnuHelp, "mnuHelpAboutDefinition", LoadString(10706));
    mnuHelpAboutDefinition->setVisible(false);
    // Offered only while the definition has About texts; they are read afresh each time.
    connect(mnuHelp, &QMenu::aboutToShow, this,
            [this] { mnuHelpAboutDefinition->setVisible(m_setting && HasAboutTexts(*m_setting)); });
    bar->addMenu(mnuHelp);
    new cMenuVoice(bar);

    for (QAction* checkable : {mnuViewAllRecords, mnuViewFilter, mnuViewOrderBySortAZ, mnuViewOrderBySortZA,
                               mnuViewAsGrid, mnuViewAsForm})
        checkable->setCheckable(true);
    mnuViewOrderByColumn[0]->setCheckable(true);
    // The template stays until there is a column to show instead.
    mnuViewOrderByColumn[0]->setEnabled(false);

    OnCommand(mnuFileOpen, [this] { Guarded([this] { mnuFileOpen_Click(); }); });
    OnCommand(mnuFileProperties, [this] { Guarded([this] { mnuFileProperties_Click(); }); });
    OnCommand(mnuRecordModify, [this] { Guarded([this] { mnuRecordModify_Click(); }); });
    OnCommand(mnuNewDB, [this] { Guarded([this] { mnuNewDB_Click(); }); });
    OnCommand(mnuSaveAs, [this] { Guarded([this] { mnuSaveAs_Click(); }); });
    OnCommand(mnuExport, [this] { Guarded([this] { mnuExport_Click(); }); });
    OnCommand(mnuFileExit, [this] { mnuFileExit_Click(); });
    OnCommand(mnuViewAllRecords, [this] { Guarded([this] { mnuViewAllRecords_Click(); }); });
    OnCommand(mnuViewFilter, [this] { Guarded([this] { mnuViewFilter_Click(); }); });
    // The same view asked for again says so; the views re-applied after a refill do not.
    OnCommand(mnuViewAsGrid, [this] {
        if (!IsFormView() && mnuViewAsGrid->isChecked())
            VoiceOutput(2, 0, LoadString(10613));
        mnuViewAsGrid_Click();
    });
    OnCommand(mnuViewAsForm, [this] {
        if (IsFormView())
            VoiceOutput(2, 0, LoadString(10612));
        mnuViewAsForm_Click();
    });
    OnCommand(mnuViewOrderBySortAZ, [this] { mnuViewOrderBySortAZ_Click(); });
    OnCommand(mnuViewOrderBySortZA, [this] { mnuViewOrderBySortZA_Click(); });
    OnCommand(mnuColumnSize, [this] { mnuColumnSize_Click(); });
    OnCommand(mnuHelpAboutApplication, [this] { mnuHelpAboutApplication_Click(); });
    OnCommand(mnuRecordAdd, [this] { Guarded([this] { mnuRecordAdd_Click(); }); });
    OnCommand(mnuRecordEdit, [this] { Guarded([this] { mnuRecordEdit_Click(); }); });
    OnCommand(mnuRecordDelete, [this] { Guarded([this] { mnuRecordDelete_Click(); }); });
    OnCommand(mnuRecordGoto, [this] { Guarded([this] { mnuRecordGoto_Click(); }); });
    OnCommand(mnuRecOrder, [this] { Guarded([this] { mnuRecOrder_Click(); }); });
    OnCommand(mnuEditActions, [this] { Guarded([this] { mnuEditActions_Click(); }); });
    OnCommand(mnuRecordRunAction, [this] { Guarded([this] { mnuRecordRunAction_Click(); }); });
    OnCommand(mnuFonts, [this] { mnuFonts_Click(); });
    OnCommand(mnuHelpAbout, [this] { mnuHelpAbout_Click(); });
    OnCommand(mnuHelpAboutDefinition, [this] { mnuHelpAboutDefinition_Click(); });
}

void fApplication::ApplyMenuLook()
{
    InstallMenuStyle(this, gForeMenuColor, gBackMenuColor);
}

void fApplication::InitMainWindow()
{
    EnableDatabaseMenus(false);
    setWindowTitle(QStringLiteral("Databáze"));
    mnuFile->setTitle(LoadString(10006));
    mnuFileExit->setText(LoadString(10007));
    mnuView->setTitle(LoadString(10008));
    mnuViewAllRecords->setText(LoadString(10009));
    mnuViewFilter->setText(LoadString(10010));
    mnuViewOrderBy->setTitle(LoadString(10012));
    mnuViewOrderBySortAZ->setText(LoadString(10015));
    mnuViewOrderBySortZA->setText(LoadString(10016));
    mnuViewAsGrid->setText(LoadString(10018));
    mnuViewAsForm->setText(LoadString(10019));
    mnuRecOrd->setTitle(LoadString(10020));
    mnuRecordAdd->setText(LoadString(10021));
    mnuRecordEdit->setText(LoadString(10022));
    mnuRecordDelete->setText(LoadString(10023));
    mnuRecordGoto->setText(LoadString(10025));
    mnuHelp->setTitle(LoadString(10029));
    mnuHelpAboutApplication->setText(LoadString(10030));
    mnuHelpAbout->setText(LoadString(10031));
    keyFilter->setText(LoadString(10002));
    keyFilter->setEnabled(false);
    mnuRecordEdit->setEnabled(false);
    mnuRecordDelete->setEnabled(false);
    mnuViewAsGrid->setChecked(!fraFormView->isVisibleTo(this));
    mnuViewAsForm->setChecked(fraFormView->isVisibleTo(this));
}

void fApplication::EnableDatabaseMenus(bool enable)
{
    mnuView->menuAction()->setEnabled(enable);
    mnuFileProperties->setEnabled(enable);
    mnuRecordModify->setEnabled(enable);
    mnuRecOrd->menuAction()->setEnabled(enable);
    mnuExport->setEnabled(enable);
    mnuSaveAs->setEnabled(enable);
}

template <typename Command>
void fApplication::Guarded(Command&& command)
{
    try {
        command();
    } catch (const cRuntimeError&) {
        ShowOkMessage(FormatErrorMessage(CaptureError()));
    }
}

bool fApplication::ApplySetting(const QString& fileName, bool keepQuery)
{
    CheckVoiceSupport();
    if (fileName.isEmpty() && !m_setting)
        return false;
    // Everything is opened into locals first: a failure at any step leaves the definition,
    // the database, the recordset and both views exactly as the last success left them.
    cSetting stored; // the definition as the registry holds it, for a first open
    cSetting& current = m_setting ? *m_setting : stored;
    const QString file = fileName.isEmpty() ? current.DatabaseFile() : fileName;
    QString query = keepQuery ? current.Query() : QString();
    QString selectedTable = current.SelectedTable();

    std::shared_ptr<Database> database;
    try {
        database = DBEngine::Instance().OpenDatabase(file, false, false, current.DatabaseType());
    } catch (const cRuntimeError&) {
        const QString message = FormatErrorMessage(CaptureError(), LoadString(10501));
        ShowOkMessage(QString(message).replace(QLatin1String("%5"), file).replace(QLatin1String("%6"), file));
        return false;
    }

    if (query.isEmpty()) {
        frmTable chooser(this);
        for (const auto& table : *database->TableDefs()) {
            if ((quint32(table->Attributes()) & 0x80000002u) == 0)
                chooser.AddTable(table->Name());
        }
        if (chooser.TableCount() == 0) {
            mnuFileProperties->setEnabled(true);
            mnuRecordModify->setEnabled(true);
            // The user makes a table in the structure editor; the database opens with it.
            database->Close();
            cSetting editing;
            editing.setDatabaseFile(file);
            frmRecordModify editor(this);
            editor.PrepareSetting(&editing);
            ExecModal(editor);
            if (!editor.TableNames().isEmpty())
                return ApplySetting(file, keepQuery);
            ShowOkMessage(FillPlaceholders(LoadString(10590), {file}));
            return false;
        }
        if (chooser.TableCount() == 1) {
            chooser.List1->setCurrentRow(0);
            selectedTable = chooser.List1->item(0)->text();
        } else {
            ExecModal(chooser);
            if (chooser.Result() != frmTable::ResultOk)
                return false;
            selectedTable = chooser.ChosenTable();
        }
        // Bracketed: a name with a blank, a hyphen or a keyword is still the whole name.
        query = QStringLiteral("Select * From ") + JetBracketName(selectedTable);
    }

    std::shared_ptr<Recordset> opened;
    try {
        opened = OpenSource(database, query);
    } catch (const cRuntimeError&) {
        const QString message = FormatErrorMessage(CaptureError(), LoadString(10503));
        ShowOkMessage(QString(message).replace(QLatin1String("%5"), file));
        return false;
    }
    if (!opened)
        return false; // stopped by the user, who heard so

    if (!m_setting)
        m_setting = std::make_unique<cSetting>();
    m_setting->setDatabaseFile(file);
    m_setting->setSelectedTable(selectedTable);
    m_setting->setQuery(query);
    m_database = std::move(database);
    m_recordset = opened;

    // The columns: a field whose definition hides it gets none, and every column keeps
    // the number of the field it shows.
    list->ClearColumns();
    const auto fields = m_recordset->Fields();
    for (qint32 i = 0; i < fields->Count(); ++i) {
        const QString name = fields->Item(i)->Name();
        const std::optional<cColumnDefinition> definition = m_setting->FindColumnDef(name);
        if (!definition) {
            list->AddColumn(name, QString(), i);
        } else if (!definition->Visible().isEmpty()) {
            list->AddColumn(name,
                            cRecordList::MakeColumnTag(definition->Action(), definition->Width(),
                                                       definition->Format()),
                            i);
        }
    }

    m_actions = m_setting->Actions();

    mnuViewAllRecords->setChecked(false);
    mnuViewFilter->setChecked(false);
    PrepareApplicationForm();
    PrepareOrderByMenu();
    ShowAllRecords(opened);

    keyFullPath->setText(m_database->Name());
    if (!m_setting->DatabaseFile().isEmpty())
        EnableDatabaseMenus(true);
    if (gViewStyle == 1)
        mnuViewAsForm_Click();
    else
        mnuViewAsGrid_Click();
    LayoutWindow();
    setWindowTitle(m_setting->Caption() + QStringLiteral(" - Databáze"));
    return true;
}

void fApplication::mnuViewAllRecords_Click()
{
    if (mnuViewAllRecords->isChecked()) {
        VoiceOutput(2, 0, LoadString(10611));
        return;
    }
    ShowAllRecords(nullptr);
    if (mnuViewAllRecords->isChecked())
        SayRowsShown(10610);
}

void fApplication::mnuViewFilter_Click()
{
    // Filter stays marked whether or not a new filter comes of it.
    mnuViewAllRecords->setChecked(false);
    mnuViewFilter->setChecked(true);
    if (list->CountSelected() >= 2) {
        ApplyManualSelection();
    } else {
        fRecord form(this);
        PrepareRecordForm(form, -1, true);
        form.FocusField(1);
        ExecModal(form);
        if (form.Result() != fRecord::ResultOk)
            return;
        m_filterValues = form.Filter();
        const QString condition = form.FilterAsString();
        std::shared_ptr<Recordset> opened;
        try {
            opened = OpenSource(m_database, FilteredQuery(m_setting->Query(), condition));
        } catch (const cRuntimeError&) {
            // The rows shown so far stay, with the recordset they come from.
            ShowOkMessage(FormatErrorMessage(CaptureError()));
            return;
        }
        if (!opened)
            return; // stopped: the rows shown so far stay
        m_recordset = std::move(opened);
        FillList();
        SayRowsShown(10608);
    }
    keyFilter->setEnabled(true);
    if (gViewStyle == 1)
        mnuViewAsForm_Click();
    else
        mnuViewAsGrid_Click();
}

void fApplication::ApplyManualSelection()
{
    std::vector<qint64> positions;
    for (const qint64 row : list->SelectedRows())
        positions.push_back(list->RowPosition(row));
    list->KeepRecordRows(positions);
    if (list->SelectedRow() >= 0)
        m_recordset->setAbsolutePosition(qint32(list->RowPosition(list->SelectedRow())));
    ItemClick(list->SelectedRow());
    ShowSelectedInForm();
    SayRowsShown(10609);
}

void fApplication::SayRowsShown(int textId)
{
    SayThenCurrentRecord(FillPlaceholders(LoadString(textId), {QString::number(list->RowCount())}));
}

void fApplication::SayThenCurrentRecord(const QString& text)
{
    VoiceOutput(2, 0, text);
    const qint64 row = list->SelectedRow();
    if (row < 0)
        return;
    if (IsFormView()) {
        const int column = FocusedFieldBox();
        VoiceOutput(1, 0, Text[column]->text().isEmpty() ? LoadString(504) : Text[column]->text());
    } else {
        VoiceOutput(1, 0, list->RowText(row));
    }
}

void fApplication::ShowAllRecords(std::shared_ptr<Recordset> opened)
{
    if (mnuViewAllRecords->isChecked() || !m_database || !m_setting)
        return;
    // A source just opened by ApplySetting is the same SQL; it is not opened twice. The
    // marks move only once it is open: one that fails or is stopped leaves the filtered
    // rows, and Ctrl+A tries again.
    if (!opened)
        opened = OpenSource(m_database, m_setting->Query());
    if (!opened)
        return; // stopped: the grid stays as it was
    mnuViewAllRecords->setChecked(true);
    mnuViewFilter->setChecked(false);
    m_recordset = std::move(opened);
    FillList();
    keyFilter->setEnabled(false);
}

std::shared_ptr<Recordset> fApplication::OpenSource(const std::shared_ptr<Database>& database, const QString& sql)
{
    // A query on a server, a large Access table or a million records to count may take
    // a while: it runs where Escape can stop it. The count is made here, where the grid
    // would otherwise make it without a way to stop.
    std::shared_ptr<Recordset> opened;
    const bool complete = RunLongWork(
        LoadString(10604), LoadString(10605),
        [&](cWorkControl&) {
            opened = database->OpenRecordset(sql);
            opened->RecordCount();
        },
        [database] { database->Interrupt(); });
    return complete ? opened : nullptr;
}

void fApplication::FillList()
{
    list->SetRecordset(m_recordset);
    list->FillList();
    if (list->RowCount() == 0) {
        ItemClick(-1);
        ShowSelectedInForm();
        return;
    }
    list->SelectOnlyRow(0);
    ItemClick(list->SelectedRow());
    ShowSelectedInForm();
}

int fApplication::ColumnField(int column) const
{
    return list->ColumnField(column);
}

void fApplication::ItemClick(qint64 row)
{
    const qint64 count = list->RowCount();
    const bool hasRow = row >= 0 && row < count;
    keyPosition->setText(FillPlaceholders(
        LoadString(10001), {QString::number(hasRow ? row + 1 : 0), QString::number(count)}));
    mnuRecordEdit->setEnabled(hasRow);
    mnuRecordDelete->setEnabled(hasRow);
}

void fApplication::PrepareOrderByMenu()
{
    while (mnuViewOrderByColumn.size() > 1)
        delete mnuViewOrderByColumn.takeLast();
    for (int i = 1; i <= list->ColumnCount(); ++i) {
        auto* item = new QAction(list->HeaderText(i - 1) + u'\t' + LoadString(200) + u'+' + QString::number(i),
                                 mnuViewOrderBy);
        item->setObjectName(QStringLiteral("mnuViewOrderByColumn%1").arg(i));
        item->setCheckable(true);
        mnuViewOrderBy->insertAction(mnuViewOrderBySeparator, item);
        OnCommand(item, [this, i] { mnuViewOrderByColumn_Click(i); });
        mnuViewOrderByColumn.append(item);
    }
    mnuViewOrderByColumn[0]->setVisible(list->ColumnCount() == 0);
    UpdateOrderByChecks();
    RefreshMenus(this);
}

void fApplication::UpdateOrderByChecks()
{
    for (QAction* item : std::as_const(mnuViewOrderByColumn))
        item->setChecked(false);
    const bool sorted = list->IsSorted();
    if (sorted && list->SortKey() + 1 < mnuViewOrderByColumn.size())
        mnuViewOrderByColumn[list->SortKey() + 1]->setChecked(true);
    mnuViewOrderBySortAZ->setChecked(sorted && list->SortOrder() == Qt::AscendingOrder);
    mnuViewOrderBySortZA->setChecked(sorted && list->SortOrder() != Qt::AscendingOrder);
    mnuViewAsGrid->setChecked(!fraFormView->isVisibleTo(this));
    mnuViewAsForm->setChecked(fraFormView->isVisibleTo(this));
}

void fApplication::mnuViewOrderByColumn_Click(int index)
{
    if (index >= 1 && index <= list->ColumnCount() && list->SortByColumn(index - 1))
        SayThenCurrentRecord(list->OrderText());
    UpdateOrderByChecks();
}

void fApplication::mnuViewOrderBySortAZ_Click()
{
    SortInOrder(Qt::AscendingOrder);
}

void fApplication::mnuViewOrderBySortZA_Click()
{
    SortInOrder(Qt::DescendingOrder);
}

void fApplication::SortInOrder(Qt::SortOrder order)
{
    if (list->ColumnCount() > 0 && list->SortBy(list->SortKey() >= 0 ? list->SortKey() : 0, order))
        SayThenCurrentRecord(list->OrderText());
    UpdateOrderByChecks();
}

void fApplication::mnuColumnSize_Click()
{
    list->FitColumnWidths();
}

void fApplication::mnuFileOpen_Click()
{
    const QString text = QStringLiteral("*.mdb|") + gWorkDir + u'|' + LoadString(1134);
    if (SendVoiceMessage(VoiceMessageNumber(kVoiceMessageDialog, DialogKind::FileOpen), text) != 1)
        return;
    const QString path = TakeSelectedFile();
    gWorkDir = FolderOf(path);
    SaveWorkDir();
    // A successful open fills the grid itself; a failed one leaves the previous grid,
    // its selection included, as it was.
    if (!path.isEmpty())
        ApplySetting(path, false);
}

void fApplication::mnuFileProperties_Click()
{
    // Enabled also when a database without tables failed to open.
    if (!m_database || !m_setting) {
        VoiceOutput(2, 0, LoadString(10595));
        return;
    }
    frmProperties form(this);
    form.PrepareSetting(m_setting.get(), m_database);
    // Applied while the form is still open: a query that cannot be shown leaves the window
    // as it was and the form open to correct it. Applying rebuilds the columns unsorted,
    // fills the grid with its first row selected and shows the view of ViewStyle.
    form.SetApply([this] { return ApplySetting(QString(), true); });
    ExecModal(form);
}

void fApplication::mnuRecordModify_Click()
{
    if (!m_setting) {
        VoiceOutput(2, 0, LoadString(10595));
        return;
    }
    const bool formView = IsFormView();
    const qint64 row = list->SelectedRow();
    const QString shown = m_setting->SelectedTable();
    const bool tableShown = !shown.isEmpty()
                            && m_setting->Query() == QStringLiteral("Select * From ") + JetBracketName(shown);
    // The editor changes the tables on a connection of its own: ours lets go of them.
    list->ClearColumns();
    list->SetRecordset(nullptr);
    m_recordset.reset();
    if (m_database)
        m_database->Close();
    m_database.reset();
    frmRecordModify editor(this);
    editor.PrepareSetting(m_setting.get());
    ExecModal(editor);
    // Every change is made already, also when the editor ends with Cancel: the window
    // shows the structure as it is now. A table shown and then deleted is chosen anew.
    const bool gone = tableShown && !editor.TableNames().contains(shown, Qt::CaseInsensitive);
    const QString file = m_setting->DatabaseFile();
    // A query of a table that is gone fails (and says so): then as at start-up.
    if (!ApplySetting(file, !gone) && (gone || !ApplySetting(file, false))) {
        // Nothing is open now: the commands that need a database are refused.
        EnableDatabaseMenus(false);
        return;
    }
    if (formView && !IsFormView())
        mnuViewAsForm_Click();
    if (row >= 0 && row < list->RowCount()) {
        list->SelectOnlyRow(row);
        ShowSelectedInForm();
        ItemClick(row);
    }
    // The keyboard came back while the grid was empty: the user hears where it is now.
    SayWhereTheKeysAre();
}

void fApplication::SayWhereTheKeysAre()
{
    if (IsFormView()) {
        if (const int column = FieldBoxColumn(QApplication::focusWidget()))
            VoiceFocus(Text[column]->accessibleName(), Text[column]->text(), WindowHandle(Text[column]),
                       WindowHandle(this), 0, true, true, 0);
    } else if (list->SelectedRow() >= 0) {
        VoiceOutput(2, 0, list->RowText(list->SelectedRow()));
    }
}

void fApplication::mnuNewDB_Click()
{
    const QString text = QStringLiteral("*.mdb|") + gWorkDir + u'|' + LoadString(10623);
    if (SendVoiceMessage(VoiceMessageNumber(kVoiceMessageDialog, DialogKind::FileOpen), text) != 1)
        return;
    const QString chosen = TakeSelectedFile();
    gWorkDir = FolderOf(chosen);
    SaveWorkDir();
    if (chosen.isEmpty())
        return;
    const QString path = WithExtension(chosen, QStringLiteral(".mdb"));
    // A failure (the file exists, the folder is not writable) is told by Guarded: silence
    // would leave the user guessing why nothing opened.
    DBEngine::Instance().CreateDatabase(path, kCzechLocale)->Close();
    ApplySetting(path, false);
}

QString fApplication::AskFileToWrite(const QString& mask, int requestId, const QString& extension)
{
    const QString text = mask + QStringLiteral("||") + gWorkDir + u'|' + LoadString(requestId);
    if (SendVoiceMessage(VoiceMessageNumber(kVoiceMessageDialog, DialogKind::FileSave), text) != 1)
        return {};
    const QString chosen = TakeSelectedFile();
    gWorkDir = FolderOf(chosen);
    return chosen.isEmpty() ? QString() : WithExtension(chosen, extension);
}

void fApplication::mnuSaveAs_Click()
{
    if (!m_setting)
        return;
    const QString path = AskFileToWrite(QStringLiteral("*.mdb"), 10622, QStringLiteral(".mdb"));
    if (path.isEmpty())
        return;
    const QString file = m_setting->DatabaseFile();
    const std::shared_ptr<Database> database = m_database;
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

void fApplication::mnuExport_Click()
{
    if (!m_recordset)
        return;
    const QString path = AskFileToWrite(QStringLiteral("*.txt"), 10621, QStringLiteral(".txt"));
    if (path.isEmpty())
        return;

    // The grid's rows in its order, read straight from the recordset on the worker: the
    // texts are the grid's own formatting of the same values.
    ExportSource source;
    QStringList formats;
    for (int column = 0; column < list->ColumnCount(); ++column) {
        source.Fields.push_back(list->ColumnField(column));
        formats << cRecordList::ColumnTagPart(list->ColumnTag(column), 2).trimmed();
    }
    const qint64 rows = list->RowCount();
    source.Positions.reserve(size_t(rows));
    for (qint64 row = 0; row < rows; ++row)
        source.Positions.push_back(list->RowPosition(row));
    source.Formats = formats; // the grid's own texts, written straight from the stored values
    const std::shared_ptr<Recordset> records = m_recordset;
    bool written = false;
    RunLongWork(
        LoadString(10625), QString(),
        [&](cWorkControl& control) {
            written = ExportRecords(path, *records, source, control);
            if (written)
                control.Commit();
        },
        [records] { records->Interrupt(); });
    if (written)
        VoiceOutput(1, 0, FillPlaceholders(LoadString(10624), {QString::number(rows), QDir::toNativeSeparators(path)}));
}

void fApplication::mnuFileExit_Click()
{
    close();
}

void fApplication::mnuHelpAboutApplication_Click()
{
    // The viewer is started directly, never through a shell. Without it (the configured
    // one is often not installed) the desktop's own handler shows the page; only when
    // neither can is the user told.
    if (!gHelpViewer.isEmpty() && QProcess::startDetached(gHelpViewer, {gHelpFile}))
        return;
    const QFileInfo page(gHelpFile);
    if (page.isFile() && QDesktopServices::openUrl(QUrl::fromLocalFile(page.absoluteFilePath())))
        return;
    VoiceOutput(7, 1, LoadString(500));
}

// ---- records ----

bool fApplication::RefuseReadOnly() const
{
    if (m_recordset && m_recordset->Updatable())
        return false;
    // Said before the user types anything, not after OK.
    ErrorStorage error;
    error.Number = JetError::ReadOnly;
    error.Description = JetErrorDescription(JetError::ReadOnly);
    if (m_setting && IsAccessFile(m_setting->DatabaseFile()))
        error.Description += u' ' + LoadString(10629);
    else if (m_recordset && !m_recordset->ReadOnlyReason().isEmpty())
        error.Description += u' ' + m_recordset->ReadOnlyReason();
    error.Source = QStringLiteral("DAO.Recordset");
    ShowOkMessage(FormatErrorMessage(error));
    return true;
}

int fApplication::FocusedFieldBox() const
{
    if (!IsFormView())
        return 1;
    for (int i = 1; i < Text.size(); ++i)
        if (Text[i]->hasFocus())
            return i;
    return 1;
}

void fApplication::mnuRecordAdd_Click()
{
    if (!RefuseReadOnly())
        OpenRecordForm(-1);
}

void fApplication::mnuRecordEdit_Click()
{
    const qint64 row = list->SelectedRow();
    if (row < 0)
        return;
    if (list->CountSelected() > 1) {
        ShowOkMessage(LoadString(11501));
        return;
    }
    if (!RefuseReadOnly())
        OpenRecordForm(row);
}

void fApplication::PrepareRecordForm(fRecord& form, qint64 row, bool filter)
{
    for (int column = 0; column < list->ColumnCount(); ++column) {
        form.AddField(list->HeaderText(column), list->ColumnField(column));
        if (filter)
            form.Text[column + 1]->setText(m_filterValues.value(column));
        else if (row >= 0)
            form.Text[column + 1]->setText(list->CellText(row, column));
    }
    if (filter) {
        form.setWindowTitle(FillPlaceholders(LoadString(11002), {windowTitle()}));
        form.SetFilter(m_recordset);
        return;
    }
    const bool added = row < 0;
    form.setWindowTitle(FillPlaceholders(LoadString(added ? 11000 : 11001), {windowTitle()}));
    form.SetEdit(m_recordset, added ? -1 : qint32(list->RowPosition(row)));
}

void fApplication::OpenRecordForm(qint64 row)
{
    fRecord form(this);
    PrepareRecordForm(form, row);
    form.FocusField(FocusedFieldBox());
    ExecModal(form);
    if (form.Result() != fRecord::ResultOk)
        return;
    // The written record: a new one joins the end of the grid (or its sorted place), an
    // edited one is shown as it now is, where it stands. No other row is read again.
    const qint64 position = row < 0 ? m_recordset->AbsolutePosition() : form.Postiton();
    if (row >= 0)
        m_recordset->setAbsolutePosition(qint32(position));
    list->PutRecordRow(position, true);
    ShowSelectedInForm();
    ItemClick(list->SelectedRow());
    VoiceOutput(2, 0, list->RowText(list->SelectedRow()));
}

void fApplication::mnuRecordDelete_Click()
{
    const qint64 row = list->SelectedRow();
    if (row < 0 || RefuseReadOnly())
        return;
    const QList<qint64> rows = list->CountSelected() > 1 ? list->SelectedRows() : QList<qint64>{row};
    const QString question = rows.size() > 1 ? FillPlaceholders(LoadString(10505), {QString::number(rows.size())})
                                             : FillPlaceholders(LoadString(10504), {list->CellText(row, 0)});
    if (ShowAccessibleDialog(DialogKind::YesNo, question + u'|' + windowTitle()) != 1)
        return;
    // Each record by its bookmark: a deletion moves the positions of the records after it.
    std::vector<qint64> positions;
    QVariantList bookmarks;
    for (const qint64 each : rows) {
        positions.push_back(list->RowPosition(each));
        m_recordset->setAbsolutePosition(qint32(positions.back()));
        bookmarks << m_recordset->Bookmark();
    }
    std::vector<qint64> deleted;
    try {
        for (qsizetype i = 0; i < bookmarks.size(); ++i) {
            m_recordset->setBookmark(bookmarks[i]);
            m_recordset->Delete();
            deleted.push_back(positions[size_t(i)]);
        }
    } catch (const cRuntimeError&) {
        ShowOkMessage(FormatErrorMessage(CaptureError()));
    }
    // The rows of what went; the rest stay in their order, and the row that now stands
    // where the first one stood is selected.
    list->RemoveRecordRows(deleted);
    const qint64 at = std::min<qint64>(rows.front(), list->RowCount() - 1);
    if (at >= 0) {
        m_recordset->setAbsolutePosition(qint32(list->RowPosition(at)));
        list->SelectOnlyRow(at);
        ShowSelectedInForm();
        ItemClick(at);
        VoiceOutput(2, 0, list->RowText(at));
    } else {
        ItemClick(-1);
        ShowSelectedInForm();
        // Otherwise the last words heard would be the row that went.
        VoiceOutput(2, 0, LoadString(10618));
    }
}

void fApplication::mnuRecordGoto_Click()
{
    fRecordGoto dialog(this);
    const qint64 rows = list->RowCount();
    dialog.SetPostiton(rows == 0 ? 0 : qint32(list->SelectedRow() + 1));
    dialog.SetMaxPostiton(qint32(rows));
    ExecModal(dialog);
    if (dialog.Result() != fRecordGoto::ResultOk || rows == 0)
        return;
    const qint64 row = std::clamp<qint64>(dialog.Postiton(), 1, rows) - 1;
    list->SelectOnlyRow(row);
    ShowSelectedInForm();
    ItemClick(row);
    // What is not a number leaves the selection where it was: said, then the row.
    int mode = 2;
    if (!dialog.NumberTyped()) {
        VoiceOutput(2, 0, FillPlaceholders(LoadString(10614), {dialog.Text1->text().trimmed()}));
        mode = 1;
    }
    // Said as a move in the grid says it: the row, or in the form view the field's value.
    if (IsFormView()) {
        const int column = FocusedFieldBox();
        VoiceOutput(mode, 0, Text[column]->text().isEmpty() ? LoadString(504) : Text[column]->text());
    } else {
        VoiceOutput(mode, 0, list->RowText(row));
    }
}

void fApplication::mnuRecOrder_Click()
{
    if (!m_database || !m_setting)
        return;
    const bool formView = IsFormView();
    frmRecordOrder form(this);
    form.Prepare(*m_database, m_setting->SelectedTable());
    ExecModal(form);
    // A query the engine refuses is told by ApplySetting and leaves everything as it was,
    // the stored query included.
    const QString previous = m_setting->Query();
    m_setting->setQuery(form.Query());
    bool opened = false;
    {
        setUpdatesEnabled(false);
        const auto resume = qScopeGuard([this] { setUpdatesEnabled(true); });
        opened = ApplySetting(QString(), true);
    }
    if (!opened)
        m_setting->setQuery(previous);
    ItemClick(list->SelectedRow());
    // The view the command started in, with the keyboard in it: the form's boxes are new.
    if (formView) {
        mnuViewAsForm_Click();
        if (opened && Text.size() > 1)
            Text[1]->setFocus();
    } else {
        mnuViewAsGrid_Click();
        list->setFocus();
        if (opened && list->SelectedRow() >= 0)
            VoiceOutput(2, 0, list->RowText(list->SelectedRow()));
    }
}

void fApplication::mnuEditActions_Click()
{
    QStringList fields;
    if (m_recordset) {
        const auto all = m_recordset->Fields();
        for (qint32 i = 0; i < all->Count(); ++i)
            fields << all->Item(i)->Name();
    }
    frmEditActions form(this);
    form.PrepareEdit(*m_setting, fields, SelectedActionRow());
    ExecModal(form);
    // However the editor was left: a deletion is stored at once, not on OK.
    m_actions = m_setting->Actions();
}

void fApplication::mnuRecordRunAction_Click()
{
    const cActionRow current = SelectedActionRow();
    const auto runnable = RunnableActions(m_actions.get(), current.Captions);
    if (runnable.isEmpty()) {
        VoiceOutput(2, 0, LoadString(10646));
        return;
    }
    if (current.Texts.isEmpty()) {
        VoiceOutput(2, 0, LoadString(10594));
        return;
    }
    fRunAction chooser(this);
    for (const auto& [number, column] : runnable)
        chooser.AddAction(m_actions->item(number).Caption(), current.Captions.at(column - 1));
    ExecModal(chooser);
    if (chooser.Chosen() >= 0)
        RunActionOnRow(m_actions->item(runnable.at(chooser.Chosen()).first), current,
                       runnable.at(chooser.Chosen()).second);
}

cActionRow fApplication::SelectedActionRow() const
{
    cActionRow current;
    const qint64 row = list->SelectedRow();
    for (int i = 0; i < list->ColumnCount(); ++i) {
        current.Captions << list->HeaderText(i);
        if (row >= 0)
            current.Texts << list->CellText(row, i);
    }
    return current;
}

bool fApplication::IsFormView() const
{
    return fraFormView->isVisibleTo(this);
}

void fApplication::mnuViewAsForm_Click()
{
    if (IsFormView()) {
        UpdateOrderByChecks();
        return;
    }
    ShowSelectedInForm();
    list->hide();
    fraFormView->show();
    mnuViewAsForm->setChecked(true);
    mnuViewAsGrid->setChecked(false);
    LayoutWindow();
    gViewStyle = 1;
    const int column = m_currentColumn >= 1 && m_currentColumn < Text.size() ? m_currentColumn : 1;
    if (column < Text.size() && isVisible())
        Text[column]->setFocus();
}

void fApplication::mnuViewAsGrid_Click()
{
    if (!IsFormView() && mnuViewAsGrid->isChecked()) {
        UpdateOrderByChecks();
        return;
    }
    fraFormView->hide();
    list->show();
    mnuViewAsForm->setChecked(false);
    mnuViewAsGrid->setChecked(true);
    LayoutWindow();
    gViewStyle = 0;
    list->setFocus();
}

// ---- form view ----

void fApplication::ClearFormControls()
{
    my_EditBox.reset();
    FormRows.Clear();
    m_currentColumn = 0;
}

void fApplication::PrepareApplicationForm()
{
    ClearFormControls();
    const QFont font = FontFromStd(gFont);
    for (int i = 1; i <= list->ColumnCount(); ++i) {
        auto* box = new cFieldBox(picFormView);
        // Browsing only: a typed change would look saved and is not.
        box->setReadOnly(true);
        box->focused = [this, i] { FieldBoxFocused(i); };
        FormRows.AddRow(picFormView, list->HeaderText(i - 1), box, font);
    }
}

void fApplication::ShowSelectedInForm()
{
    const int n = int(Text.size()) - 1;
    const bool empty = list->RowCount() == 0;
    const qint64 row = list->SelectedRow();
    if (!empty && row < 0)
        return;
    Text[0]->hide();
    Label[0]->hide();
    // An empty source still shows its fields, empty, so that the form has a place for
    // the focus and says which fields there are.
    for (int i = 1; i <= n; ++i) {
        Label[i]->show();
        Text[i]->show();
        Text[i]->setText(empty ? QString() : list->CellText(row, i - 1));
        Text[i]->setCursorPosition(0);
    }
    if (IsFormView())
        LayoutForm();
}

void fApplication::LayoutForm()
{
    const int scaleWidth = fraFormView->viewport()->width();
    const QSize needed = FormRows.Layout(scaleWidth);
    // The form's surface fills the view even below the last field.
    picFormView->resize(std::max(scaleWidth, needed.width()), std::max(needed.height(), fraFormView->viewport()->height()));
}

void fApplication::LayoutWindow()
{
    if (isMinimized())
        return;
    if (IsFormView()) {
        LayoutForm();
    } else {
        list->raise();
        list->ApplyColumnWidths(centralWidget()->width());
    }
}

void fApplication::resizeEvent(QResizeEvent* event)
{
    QMainWindow::resizeEvent(event);
    LayoutWindow();
}

int fApplication::FieldBoxColumn(const QObject* object) const
{
    for (int i = 1; i < Text.size(); ++i) {
        if (Text[i] == object)
            return i;
    }
    return 0;
}

void fApplication::FieldBoxFocused(int column)
{
    my_EditBox = std::make_unique<cStandardEditBox>();
    my_EditBox->Intialize(Text[column]);
    connect(my_EditBox.get(), &cStandardEditBox::ProduceOutput, this,
            // Speech only: the Braille line keeps the field's line, which the wrapper refreshes.
            [](int mode, int param, const QString& text) { VoiceOutput(mode, param, text, false, 0, true); });
    m_currentColumn = column;
    fraFormView->ensureWidgetVisible(Text[column], 0, TwipsToPixels(this, 75));
    // Arriving in a box (F12, Tab) says which field it is and what it holds; without this
    // only a separate screen reader would tell.
    VoiceFocus(Text[column]->accessibleName(), Text[column]->text(), WindowHandle(Text[column]), WindowHandle(this), 0,
               true, true, 0);
    BrailleRole(kRoleText);
}

void fApplication::FieldBoxLeft(int)
{
    my_EditBox.reset();
}

void fApplication::SelectRowFromForm(qint64 row, int column)
{
    if (row < 0 || row >= list->RowCount() || row == list->SelectedRow())
        return;
    list->SelectOnlyRow(row);
    ShowSelectedInForm();
    ItemClick(list->SelectedRow());
    Text[column]->setFocus();
    // The record changed under the caret: say the field's new value.
    const QString value = Text[column]->text();
    VoiceOutput(2, 0, value.isEmpty() ? LoadString(504) : value);
}

// True when the key was a command of the field box.
bool fApplication::FieldBoxKeyDown(int column, int keyCode, int shift)
{
    const qint64 row = list->SelectedRow();
    if (keyCode == Key::PageUp && shift == 0) {
        SelectRowFromForm(row - 1, column);
        return true;
    }
    if (keyCode == Key::PageDown && shift == 0) {
        SelectRowFromForm(row + 1, column);
        return true;
    }
    if (keyCode == Key::PageUp && shift == ShiftMask::Ctrl) {
        SelectRowFromForm(0, column);
        return true;
    }
    if (keyCode == Key::PageDown && shift == ShiftMask::Ctrl) {
        SelectRowFromForm(list->RowCount() - 1, column);
        return true;
    }
    if (shift == ShiftMask::Ctrl && keyCode >= '0' && keyCode <= '9') {
        const bool sorted = list->SortByDigitKey(keyCode - '0');
        ShowSelectedInForm();
        if (sorted)
            SayThenCurrentRecord(list->OrderText());
        return true;
    }
    if (keyCode == Key::Return && shift == 0) {
        const QString bound = cRecordList::ColumnTagPart(list->ColumnTag(column - 1), 0);
        if (RunColumnActions(m_actions.get(), SelectedActionRow(), column, bound) == 0)
            VoiceOutput(2, 0, FillPlaceholders(LoadString(10592), {Text[column]->accessibleName()}));
        return true;
    }
    return false;
}

bool fApplication::eventFilter(QObject* watched, QEvent* event)
{
    const QEvent::Type type = event->type();
    // A key may run actions or open boxes of its own.
    const BusyScope busy(m_busy);
    if (type == QEvent::ShortcutOverride && FieldBoxColumn(watched)) {
        // The window's commands come before a box's own keys: Ctrl+A is All records here,
        // not selecting the box's text.
        const QKeySequence pressed(static_cast<QKeyEvent*>(event)->keyCombination());
        for (const QAction* item : findChildren<QAction*>()) {
            if (!item->shortcut().isEmpty() && item->shortcut() == pressed)
                return true;
        }
    }
    if (type == QEvent::KeyPress) {
        auto* key = static_cast<QKeyEvent*>(event);
        auto* widget = qobject_cast<QWidget*>(watched);
        // The window sees its keys ahead of its controls.
        if (widget && widget->window() == this) {
            if (key->key() == Qt::Key_F12 && key->modifiers() == Qt::NoModifier) {
                if (!mnuView->menuAction()->isEnabled())
                    VoiceOutput(2, 0, LoadString(10595));
                else if (IsFormView())
                    mnuViewAsGrid_Click();
                else
                    mnuViewAsForm_Click();
                return true;
            }
            if (const QString why = WhyShortcutCannotRun(key); !why.isEmpty()) {
                VoiceOutput(2, 0, why);
                return true;
            }
            if ((key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter)
                && (key->modifiers() & Qt::AltModifier)) {
                if (mnuRecOrd->menuAction()->isEnabled() && mnuRecordEdit->isEnabled())
                    mnuRecordEdit->trigger();
                else
                    VoiceOutput(2, 0, m_database ? LoadString(10594) : LoadString(10595));
                return true;
            }
        }
        if (const int column = FieldBoxColumn(watched)) {
            int keyCode = KeyCodeOf(key);
            const int shift = ShiftOf(key);
            const bool command = FieldBoxKeyDown(column, keyCode, shift);
            if (my_EditBox && my_EditBox->Control() == watched)
                my_EditBox->KeyDown(keyCode, shift);
            if (command || keyCode == 0)
                return true;
            if (const QString why = WhyFieldBoxKeyDoesNothing(key); !why.isEmpty()) {
                VoiceOutput(2, 0, why);
                return true;
            }
        }
    } else if (type == QEvent::KeyRelease) {
        if (FieldBoxColumn(watched) && my_EditBox && my_EditBox->Control() == watched) {
            int keyCode = KeyCodeOf(static_cast<QKeyEvent*>(event));
            my_EditBox->KeyUp(keyCode, ShiftOf(static_cast<QKeyEvent*>(event)));
            if (keyCode == 0)
                return true;
        }
    } else if (type == QEvent::FocusOut) {
        if (const int column = FieldBoxColumn(watched))
            FieldBoxLeft(column);
    }
    return QMainWindow::eventFilter(watched, event);
}

QString fApplication::WhyFieldBoxKeyDoesNothing(const QKeyEvent* key)
{
    if (key->isAutoRepeat())
        return {};
    if (key->key() == Qt::Key_Escape && key->modifiers() == Qt::NoModifier)
        return LoadString(10598);
    // The boxes only show the record: typing, pasting or erasing would silently fail.
    const bool typing = !(key->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier))
                        && !key->text().isEmpty() && key->text().front().isPrint();
    if (typing || key->key() == Qt::Key_Backspace || key->matches(QKeySequence::Paste)
        || key->matches(QKeySequence::Cut))
        return LoadString(10599);
    return {};
}

QString fApplication::WhyShortcutCannotRun(const QKeyEvent* key) const
{
    if (key->modifiers() == Qt::NoModifier || key->modifiers() == Qt::ShiftModifier)
        return {}; // typing, not a command
    const QKeySequence pressed(key->keyCombination());
    // A command runs only when it and every menu it lies in are enabled.
    const std::function<bool(const QAction*)> reachable = [&reachable](const QAction* item) {
        if (!item->isEnabled())
            return false;
        for (const QObject* holder : item->associatedObjects()) {
            if (const auto* menu = qobject_cast<const QMenu*>(holder); menu && !reachable(menu->menuAction()))
                return false;
        }
        return true;
    };
    for (const QAction* item : findChildren<QAction*>()) {
        if (item->shortcut().isEmpty() || item->shortcut() != pressed)
            continue;
        if (reachable(item))
            return {};
        if (!m_database)
            return LoadString(10595);
        if (item == mnuRecordEdit || item == mnuRecordDelete)
            return LoadString(10594);
        return FillPlaceholders(LoadString(10596), {SpokenCaption(item)});
    }
    return {};
}

// ---- unload ----

void fApplication::mnuFonts_Click()
{
    frmFonts form(this, this);
    ExecModal(form);
    if (form.Result() != frmFonts::ResultOk)
        return;
    // The status bar's panels and the form view's surface keep the look the window gave them.
    for (QLabel* panel : {keyFullPath, keyFilter, keyPosition})
        panel->setPalette(statusBar()->palette());
    fraFormView->setPalette(picFormView->palette());
    LayoutWindow();
}

void fApplication::mnuHelpAbout_Click()
{
    frmAbout form(this);
    form.SetIcon(windowIcon());
    ExecModal(form);
}

void fApplication::mnuHelpAboutDefinition_Click()
{
    ShowAbout(this, m_setting.get());
}

void fApplication::Unload()
{
    if (m_unloaded)
        return;
    m_unloaded = true;
    try {
        if (m_database)
            m_database->Close();
    } catch (...) {
    }
    my_EditBox.reset();
    SavePreferences();
    DisconnectVoice();
    DestroyVoice();
}

void fApplication::closeEvent(QCloseEvent* event)
{
    // Work on another thread is using the database: it is stopped first, and the window
    // closes once it has given up.
    if (LongWorkRunning()) {
        StopLongWork();
        event->ignore();
        QTimer::singleShot(20, this, &QWidget::close);
        return;
    }
    Unload();
    event->accept();
}
