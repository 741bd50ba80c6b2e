#include "fApplication.h"

#include "Database.h"
#include "cDesignCommands.h"
#include "cFileCommands.h"
#include "cFormView.h"
#include "cRecordCommands.h"
#include "cRecordList.h"
#include "cRuntimeError.h"
#include "cSetting.h"
#include "cActions.h"
#include "cLineEditAccessible.h"
#include "cListAccessible.h"
#include "cMenuStyle.h"
#include "cMenuVoice.h"
#include "cViewCommands.h"
#include "fAbout.h"
#include "frmAbout.h"
#include "frmFonts.h"
#include "fSpeechSettings.h"
#include "mErrorMessage.h"
#include "mLongWork.h"
#include "mMenuText.h"
#include "mOwnSpeechMenu.h"
#include "mPrepareForm.h"
#include "mSpeechSettings.h"
#include "mStringTable.h"
#include "modCommon.h"
#include "modDialogs.h"
#include "sMain.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDesktopServices>
#include <QFileInfo>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QProcess>
#include <QScrollArea>
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
    NameMenuByTitle(menu);
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

} // namespace

fApplication::fApplication(QWidget* parent) : QMainWindow(parent)
{
    setObjectName(QStringLiteral("fApplication"));
    m_form = std::make_unique<cFormView>(*this, m_state);
    m_files = std::make_unique<cFileCommands>(*this, m_state);
    m_records = std::make_unique<cRecordCommands>(*this, m_state);
    m_view = std::make_unique<cViewCommands>(*this, m_state);
    m_design = std::make_unique<cDesignCommands>(*this, m_state);
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
    cLineEditAccessible::Install();
    qApp->installEventFilter(this);
    resize(1000, 700);
    CreateVoice(); // without a server the program runs silent
    ConnectVoice(true);
    ApplyStoredSpeechSettings();
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
    picFormView = new cFieldSurface;
    picFormView->setObjectName(QStringLiteral("picFormView"));
    fraFormView->setWidget(picFormView);
    fraFormView->hide();
    layout->addWidget(fraFormView);
    setCentralWidget(central);

    // The templates the per-column controls copy.
    m_form->CreateTemplates();

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
    connect(list, &cRecordList::SortChanged, this, [this] { m_view->UpdateOrderByChecks(); });
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
    mnuRecordRead = NewAction(mnuRecOrd, "mnuRecordRead", QString(), QKeySequence(Qt::CTRL | Qt::Key_R));
    mnuRecordWhere = NewAction(mnuRecOrd, "mnuRecordWhere", QString(), QKeySequence(Qt::CTRL | Qt::Key_I));
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
    // The template stands in the menu only while it is shown: without a column to show.
    mnuViewOrderByColumn = {new QAction(QStringLiteral("Column"), mnuViewOrderBy)};
    mnuViewOrderByColumn[0]->setObjectName(QStringLiteral("mnuViewOrderByColumn0"));
    mnuViewOrderByColumn[0]->setVisible(false);
    mnuViewOrderBySeparator = NewSeparator(mnuViewOrderBy, "mnuViewOrderBySeparator");
    KeepInMenuWhileVisible(mnuViewOrderBy, mnuViewOrderByColumn[0], mnuViewOrderBySeparator);
    mnuViewOrderBySortAZ = NewAction(mnuViewOrderBy, "mnuViewOrderBySortAZ", QString());
    mnuViewOrderBySortZA = NewAction(mnuViewOrderBy, "mnuViewOrderBySortZA", QString());
    NewSeparator(mnuView, "mnuViewSeparator");
    mnuViewAsGrid = NewAction(mnuView, "mnuViewAsGrid", QString(), QKeySequence(Qt::CTRL | Qt::Key_T));
    mnuViewAsForm = NewAction(mnuView, "mnuViewAsForm", QString(), QKeySequence(Qt::CTRL | Qt::Key_M));
    mnuColumnSize = NewAction(mnuView, "mnuColumnSize", QStringLiteral("Přizpůsobit šířku sloupců délce textu"));
    mnuRecOrder = NewAction(mnuView, "mnuRecOrder", QStringLiteral("Výběr polí"));
    NewSeparator(mnuView, "mnuViewSeparator1");
    mnuViewCellReading = NewAction(mnuView, "mnuViewCellReading", QString(), QKeySequence(Qt::CTRL | Qt::Key_L));
    mnuViewCellReading->setCheckable(true);
    mnuViewOwnSpeech = NewOwnSpeechMenu(this);
    mnuView->addMenu(mnuViewOwnSpeech);
    OnCommand(NewAction(mnuView, "mnuViewSpeech", LoadString(10900)), [this] { ShowSpeechSettings(this); });
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
            [this] { mnuHelpAboutDefinition->setVisible(m_state.Setting && HasAboutTexts(*m_state.Setting)); });
    bar->addMenu(mnuHelp);
    new cMenuVoice(bar);

    for (QAction* checkable : {mnuViewAllRecords, mnuViewFilter, mnuViewOrderBySortAZ, mnuViewOrderBySortZA,
                               mnuViewAsGrid, mnuViewAsForm})
        checkable->setCheckable(true);
    mnuViewOrderByColumn[0]->setCheckable(true);
    // The template stays until there is a column to show instead.
    mnuViewOrderByColumn[0]->setEnabled(false);

    OnCommand(mnuFileOpen, [this] { Guarded([this] { m_files->Open(); }); });
    OnCommand(mnuFileProperties, [this] { Guarded([this] { m_files->Properties(); }); });
    OnCommand(mnuRecordModify, [this] { Guarded([this] { m_design->Structure(); }); });
    OnCommand(mnuNewDB, [this] { Guarded([this] { m_files->New(); }); });
    OnCommand(mnuSaveAs, [this] { Guarded([this] { m_files->SaveAs(); }); });
    OnCommand(mnuExport, [this] { Guarded([this] { m_files->Export(); }); });
    OnCommand(mnuFileExit, [this] { mnuFileExit_Click(); });
    OnCommand(mnuViewAllRecords, [this] { Guarded([this] { m_view->AllRecords(); }); });
    OnCommand(mnuViewFilter, [this] { Guarded([this] { m_view->Filter(); }); });
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
    OnCommand(mnuViewOrderBySortAZ, [this] { m_view->SortAZ(); });
    OnCommand(mnuViewOrderBySortZA, [this] { m_view->SortZA(); });
    OnCommand(mnuColumnSize, [this] { m_view->FitColumnWidths(); });
    OnCommand(mnuHelpAboutApplication, [this] { mnuHelpAboutApplication_Click(); });
    OnCommand(mnuRecordAdd, [this] { Guarded([this] { m_records->Add(); }); });
    OnCommand(mnuRecordEdit, [this] { Guarded([this] { m_records->Edit(); }); });
    OnCommand(mnuRecordDelete, [this] { Guarded([this] { m_records->Delete(); }); });
    OnCommand(mnuRecordGoto, [this] { Guarded([this] { m_records->GoTo(); }); });
    OnCommand(mnuRecordRead, [this] { Guarded([this] { m_records->ReadRecord(); }); });
    OnCommand(mnuRecordWhere, [this] { Guarded([this] { m_view->WhereAmI(); }); });
    OnCommand(mnuRecOrder, [this] { Guarded([this] { m_view->FieldSelection(); }); });
    OnCommand(mnuEditActions, [this] { Guarded([this] { m_design->EditActions(); }); });
    OnCommand(mnuRecordRunAction, [this] { Guarded([this] { m_design->RunAction(); }); });
    OnCommand(mnuFonts, [this] { mnuFonts_Click(); });
    OnCommand(mnuHelpAbout, [this] { mnuHelpAbout_Click(); });
    OnCommand(mnuHelpAboutDefinition, [this] { mnuHelpAboutDefinition_Click(); });
    for (QAction* item : mnuViewOwnSpeech->actions())
        OnCommand(item, [this, item] { ChooseOwnSpeech(mnuViewOwnSpeech, OwnSpeechOfItem(item)); });
    ApplyStoredOwnSpeech(mnuViewOwnSpeech);
    OnCommand(mnuViewCellReading, [this] { m_view->ToggleCellReading(); });
    m_view->ApplyStoredCellReading();
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
    SetMenuItemText(mnuRecordEdit, LoadString(10022));
    mnuRecordDelete->setText(LoadString(10023));
    mnuRecordGoto->setText(LoadString(10025));
    mnuRecordRead->setText(LoadString(10026));
    mnuRecordWhere->setText(LoadString(10831));
    mnuViewCellReading->setText(LoadString(10884));
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
    return m_files->ApplySetting(fileName, keepQuery);
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
    if (IsFormView())
        VoiceOutput(1, 0, m_form->SpokenValue(m_form->FocusedBox()));
    else
        list->SayCurrentRow(1);
}

void fApplication::FillList()
{
    list->SetRecordset(m_state.Rs);
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

void fApplication::ShowSelectedInForm()
{
    m_form->ShowSelected();
}

int fApplication::CurrentColumn() const
{
    return m_form->CurrentColumn();
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

void fApplication::SayWhereTheKeysAre()
{
    if (IsFormView()) {
        if (const int column = m_form->BoxColumn(QApplication::focusWidget()))
            m_form->SayBox(column);
    } else {
        list->SayCurrentRow(2);
    }
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

bool fApplication::IsFormView() const
{
    return fraFormView->isVisibleTo(this);
}

void fApplication::ShowStoredView()
{
    if (gViewStyle == 1)
        mnuViewAsForm_Click();
    else
        mnuViewAsGrid_Click();
}

void fApplication::mnuViewAsForm_Click()
{
    if (IsFormView()) {
        m_view->UpdateOrderByChecks();
        return;
    }
    ShowSelectedInForm();
    list->hide();
    fraFormView->show();
    mnuViewAsForm->setChecked(true);
    mnuViewAsGrid->setChecked(false);
    LayoutWindow();
    gViewStyle = 1;
    const int current = m_form->CurrentColumn();
    const int column = current >= 1 && current < Text.size() ? current : 1;
    if (column < Text.size() && isVisible())
        Text[column]->setFocus();
}

void fApplication::mnuViewAsGrid_Click()
{
    if (!IsFormView() && mnuViewAsGrid->isChecked()) {
        m_view->UpdateOrderByChecks();
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

void fApplication::LayoutWindow(bool resized)
{
    // A window about to be shown gets its first resize then, and is laid out once.
    if (isMinimized() || (!resized && !isVisible() && testAttribute(Qt::WA_PendingResizeEvent)))
        return;
    if (IsFormView()) {
        m_form->Layout();
    } else {
        list->raise();
        list->ApplyColumnWidths(centralWidget()->width());
    }
}

void fApplication::resizeEvent(QResizeEvent* event)
{
    QMainWindow::resizeEvent(event);
    LayoutWindow(true);
}

bool fApplication::eventFilter(QObject* watched, QEvent* event)
{
    const QEvent::Type type = event->type();
    // A key may run actions or open boxes of its own.
    const BusyScope busy(m_busy);
    if (type == QEvent::ShortcutOverride && m_form->BoxColumn(watched)) {
        // The window's commands come before a box's own keys: Ctrl+A is All records here,
        // not selecting the box's text.
        const QKeySequence pressed(static_cast<QKeyEvent*>(event)->keyCombination());
        for (const QAction* item : findChildren<QAction*>()) {
            if (!item->shortcut().isEmpty() && item->shortcut() == pressed)
                return true;
        }
    }
    if (type == QEvent::KeyPress) {
        auto* widget = qobject_cast<QWidget*>(watched);
        // The window sees its keys ahead of its controls.
        if (widget && widget->window() == this && WindowKeyPressed(static_cast<QKeyEvent*>(event)))
            return true;
    }
    if (m_form->FilterEvent(watched, event))
        return true;
    return QMainWindow::eventFilter(watched, event);
}

bool fApplication::WindowKeyPressed(const QKeyEvent* key)
{
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
    if ((key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) && (key->modifiers() & Qt::AltModifier)) {
        if (mnuRecOrd->menuAction()->isEnabled() && mnuRecordEdit->isEnabled())
            mnuRecordEdit->trigger();
        else
            VoiceOutput(2, 0, m_state.Db ? LoadString(10594) : LoadString(10595));
        return true;
    }
    return false;
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
        if (!m_state.Db)
            return LoadString(10595);
        if (item == mnuRecordEdit || item == mnuRecordDelete)
            return LoadString(10594);
        return FillPlaceholders(LoadString(10596), {SpokenCaption(item)});
    }
    return {};
}

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
    ShowAbout(this, m_state.Setting.get());
}

void fApplication::Unload()
{
    if (m_unloaded)
        return;
    m_unloaded = true;
    try {
        if (m_state.Db)
            m_state.Db->Close();
    } catch (...) {
    }
    m_form->Release();
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
