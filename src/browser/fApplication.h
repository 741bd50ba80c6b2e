#pragma once

#include "cFieldRows.h"

#include <QList>
#include <QMainWindow>
#include <QPointer>

#include <functional>
#include <memory>

class cActions;
struct cActionRow;
class cRecordList;
class cSetting;
class cStandardEditBox;
class fRecord;
class Database;
class Recordset;
class QAction;
class QDialog;
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
    void InitMainWindow();
    // Rebuilds the grid from the recordset and selects its first row.
    void FillList();
    void PrepareApplicationForm();
    void PrepareOrderByMenu();
    void UpdateOrderByChecks();
    void ShowSelectedInForm();
    // The position text and the record commands for row (−1: none).
    void ItemClick(qint64 row);
    bool IsFormView() const;
    // A command or a key of the window is still running (perhaps in a dialog's loop): the
    // window must not be torn down under it.
    bool Busy() const { return m_busy > 0; }
    // The field of the recordset that grid column (0-based) shows.
    int ColumnField(int column) const;

    std::shared_ptr<Database> CurrentDatabase() const { return m_database; }
    std::shared_ptr<Recordset> CurrentRecordset() const { return m_recordset; }
    cSetting* Setting() const { return m_setting.get(); }
    // The form-view column whose box last had the focus (1-based; 0 before any).
    int CurrentColumn() const { return m_currentColumn; }

    // Menu commands.
    void mnuFileOpen_Click();
    void mnuFileProperties_Click();
    void mnuRecordModify_Click();
    void mnuNewDB_Click();
    void mnuSaveAs_Click();
    void mnuExport_Click();
    void mnuFileExit_Click();
    void mnuViewAllRecords_Click();
    void mnuViewFilter_Click();
    void mnuViewAsGrid_Click();
    void mnuViewAsForm_Click();
    void mnuViewOrderByColumn_Click(int index);
    void mnuViewOrderBySortAZ_Click();
    void mnuViewOrderBySortZA_Click();
    void mnuColumnSize_Click();
    void mnuHelpAboutApplication_Click();
    void mnuRecordAdd_Click();
    void mnuRecordEdit_Click();
    void mnuRecordDelete_Click();
    void mnuRecordGoto_Click();
    void mnuRecOrder_Click();
    void mnuEditActions_Click();
    void mnuFonts_Click();
    void mnuHelpAbout_Click();
    // The About box of the application the definition describes.
    void mnuHelpAboutDefinition_Click();
    // Runs one of the actions whose field is a column on the selected record.
    void mnuRecordRunAction_Click();

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
    QMenu* mnuHelp = nullptr;
    QAction* mnuHelpAboutApplication = nullptr;
    QAction* mnuHelpAbout = nullptr;
    QAction* mnuHelpAboutDefinition = nullptr;

protected:
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void CreateControls();
    void CreateMenus();
    void OnCommand(QAction* item, std::function<void()> command);
    void ApplyMenuLook();
    void Unload();
    void LayoutWindow();
    void LayoutForm();
    void ClearFormControls();
    void ShowAllRecords(std::shared_ptr<Recordset> opened);
    // The Record commands.
    bool RefuseReadOnly() const;
    int FocusedFieldBox() const;
    void PrepareRecordForm(fRecord& form, qint64 row, bool filter = false);
    // Only the selected rows stay in the grid, in their order.
    void ApplyManualSelection();
    // After the rows shown changed: how many there are, then the current record.
    void SayRowsShown(int textId);
    // text, and the current record queued after it.
    void SayThenCurrentRecord(const QString& text);
    void OpenRecordForm(qint64 row);
    // The record source of sql, opened and counted as long work; null when stopped.
    std::shared_ptr<Recordset> OpenSource(const std::shared_ptr<Database>& database, const QString& sql);
    void EnableDatabaseMenus(bool enable);
    // The save dialog's file, with the extension by the exact-case rule; empty when cancelled.
    QString AskFileToWrite(const QString& mask, int requestId, const QString& extension);
    void SelectRowFromForm(qint64 row, int column);
    void SortInOrder(Qt::SortOrder order);
    // The columns' captions and the selected row's texts, for the actions.
    cActionRow SelectedActionRow() const;
    bool FieldBoxKeyDown(int column, int keyCode, int shift);
    void FieldBoxFocused(int column);
    void FieldBoxLeft(int column);
    int FieldBoxColumn(const QObject* object) const;
    // What to say for a key that is the shortcut of a command that cannot run now (a
    // disabled one); empty when it is no such key.
    QString WhyShortcutCannotRun(const QKeyEvent* key) const;
    void SayWhereTheKeysAre();
    // What a key that does nothing in a form box says instead, or empty.
    static QString WhyFieldBoxKeyDoesNothing(const QKeyEvent* key);
    // Runs a command that may throw, showing a failure in the OK box.
    template <typename Command>
    void Guarded(Command&& command);

    std::shared_ptr<Database> m_database;
    std::shared_ptr<Recordset> m_recordset;
    std::unique_ptr<cSetting> m_setting;
    std::unique_ptr<cActions> m_actions;
    std::unique_ptr<cStandardEditBox> my_EditBox;
    int m_currentColumn = 0;
    bool m_unloaded = false;
    int m_busy = 0;
    // What the filter form was last given, box by box, offered again the next time.
    QStringList m_filterValues;
};
