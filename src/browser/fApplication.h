#pragma once

// The main window: its menus, status panels, the grid and the form view, and where keys
// go. Each menu's commands live in a unit beside it (cFileCommands, cRecordCommands,
// cViewCommands, cDesignCommands), the form view in cFormView; the window keeps only the
// switch between the views, Fonts, About, Help and Exit. No SQL is built here.

#include "cBrowserState.h"
#include "cFieldRows.h"

#include <QList>
#include <QMainWindow>

#include <functional>
#include <memory>

class cActions;
class cDesignCommands;
class cFileCommands;
class cFormView;
class cRecordCommands;
class cRecordList;
class cViewCommands;
class cSetting;
class Database;
class Recordset;
class QAction;
class QGroupBox;
class QKeyEvent;
class QLabel;
class QLineEdit;
class QMenu;
class QScrollArea;

// The main window: the record source of the application definition as a grid of records
// or as a form of one record. It owns the preferences' lifetime: they are read when it
// loads and written back when it closes.
class fApplication : public QMainWindow {
    Q_OBJECT
public:
    static constexpr int kWindowCode = 2610;
    static constexpr int kGridControlId = 40;

    explicit fApplication(QWidget* parent = nullptr);
    ~fApplication() override;

    // Opens the database (empty: the current one again) and its record source, builds the
    // columns and shows the view of ViewStyle. False when nothing new is shown; failures
    // past the opening of the record source are thrown to the caller.
    bool ApplySetting(const QString& fileName, bool keepQuery);
    // Rebuilds the grid from the recordset and selects its first row.
    void FillList();
    void ShowSelectedInForm();
    // The position text and the record commands for row (−1: none).
    void ItemClick(qint64 row);
    bool IsFormView() const;
    // A command or a key of the window is still running (perhaps in a dialog's loop): the
    // window must not be torn down under it.
    bool Busy() const { return m_busy > 0; }
    // The field of the recordset that grid column (0-based) shows.
    int ColumnField(int column) const;

    std::shared_ptr<Database> CurrentDatabase() const { return m_state.Db; }
    std::shared_ptr<Recordset> CurrentRecordset() const { return m_state.Rs; }
    cSetting* Setting() const { return m_state.Setting.get(); }
    // The form-view column whose box last had the focus (1-based; 0 before any).
    int CurrentColumn() const;

    // The window's own menu commands; the others are in the command units.
    void mnuFileExit_Click();
    void mnuViewAsGrid_Click();
    void mnuViewAsForm_Click();
    void mnuHelpAboutApplication_Click();
    void mnuFonts_Click();
    void mnuHelpAbout_Click();
    // The About box of the application the definition describes.
    void mnuHelpAboutDefinition_Click();

    // Controls, named as the window's units.
    cRecordList* list = nullptr;
    QLabel* keyFullPath = nullptr;
    QLabel* keyFilter = nullptr;
    QLabel* keyPosition = nullptr;
    QScrollArea* fraFormView = nullptr;
    QWidget* picFormView = nullptr;
    // The form view's captioned boxes; element 0 of each array is the hidden template.
    cFieldRows FormRows;
    QList<QLabel*>& Label = FormRows.Label;
    QList<QGroupBox*>& Frame = FormRows.Frame;
    QList<QLineEdit*>& Text = FormRows.Text;

    QMenu* mnuFile = nullptr;
    QAction* mnuNewDB = nullptr;
    QAction* mnuFileOpen = nullptr;
    QAction* mnuSaveAs = nullptr;
    QAction* mnuExport = nullptr;
    QAction* mnuFileProperties = nullptr;
    QAction* mnuRecordModify = nullptr;
    QAction* mnuFileExit = nullptr;
    QMenu* mnuRecOrd = nullptr;
    QAction* mnuRecordAdd = nullptr;
    QAction* mnuRecordEdit = nullptr;
    QAction* mnuRecordDelete = nullptr;
    QAction* mnuRecordGoto = nullptr;
    QAction* mnuRecordRead = nullptr;
    QAction* mnuRecordWhere = nullptr;
    QAction* mnuEditActions = nullptr;
    QAction* mnuRecordRunAction = nullptr;
    QMenu* mnuView = nullptr;
    QAction* mnuFonts = nullptr;
    QAction* mnuViewAllRecords = nullptr;
    QAction* mnuViewFilter = nullptr;
    QMenu* mnuViewOrderBy = nullptr;
    QList<QAction*> mnuViewOrderByColumn;
    QAction* mnuViewOrderBySeparator = nullptr;
    QAction* mnuViewOrderBySortAZ = nullptr;
    QAction* mnuViewOrderBySortZA = nullptr;
    QAction* mnuViewAsGrid = nullptr;
    QAction* mnuViewAsForm = nullptr;
    QAction* mnuColumnSize = nullptr;
    QAction* mnuRecOrder = nullptr;
    QMenu* mnuViewOwnSpeech = nullptr;
    QAction* mnuViewCellReading = nullptr;
    QMenu* mnuHelp = nullptr;
    QAction* mnuHelpAboutApplication = nullptr;
    QAction* mnuHelpAbout = nullptr;
    QAction* mnuHelpAboutDefinition = nullptr;

    // What the command units and the form view ask of the window.
    cFormView& FormView() { return *m_form; }
    cViewCommands& ViewCommands() { return *m_view; }
    cRecordCommands& RecordCommands() { return *m_records; }
    cDesignCommands& DesignCommands() { return *m_design; }
    // resized: from the window's own resize, which a hidden window gets when shown.
    void LayoutWindow(bool resized = false);
    void EnableDatabaseMenus(bool enable);
    // The view the preferences name (ViewStyle).
    void ShowStoredView();
    // After the rows shown changed: how many there are, then the current record.
    void SayRowsShown(int textId);
    // text, and the current record queued after it.
    void SayThenCurrentRecord(const QString& text);
    void SayWhereTheKeysAre();
    void OnCommand(QAction* item, std::function<void()> command);

protected:
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void CreateControls();
    void CreateMenus();
    void ApplyMenuLook();
    void InitMainWindow();
    void Unload();
    // F12, Alt+Enter and the shortcuts of commands that cannot run now; true when taken.
    bool WindowKeyPressed(const QKeyEvent* key);
    // What to say for a key that is the shortcut of a command that cannot run now (a
    // disabled one); empty when it is no such key.
    QString WhyShortcutCannotRun(const QKeyEvent* key) const;
    // Runs a command that may throw, showing a failure in the OK box.
    template <typename Command>
    void Guarded(Command&& command);

    cBrowserState m_state;
    std::unique_ptr<cFormView> m_form;
    std::unique_ptr<cFileCommands> m_files;
    std::unique_ptr<cRecordCommands> m_records;
    std::unique_ptr<cViewCommands> m_view;
    std::unique_ptr<cDesignCommands> m_design;
    bool m_unloaded = false;
    int m_busy = 0;
};
