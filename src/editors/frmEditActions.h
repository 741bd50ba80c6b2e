#pragma once
// The actions editor; each change reaches the registry at once, running an action is mActionRun's.
#include "cFocusAnnouncer.h"

#include "mActionRun.h"

#include <QDialog>

#include <memory>
#include <vector>

class cSetting;
class cStandardTextBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;

// The actions editor: lists the stored actions and creates, changes, deletes and tries
// them. Every change is in the registry at once: OK writes the action shown, Delete
// removes the selected one and renumbers the rest.
// Keys in the list: Insert new, Delete delete, Enter test run; elsewhere Enter is OK;
// Escape leaves.
class frmEditActions : public QDialog {
    Q_OBJECT
public:
    static constexpr int kWindowCode = 2613;
    enum : int { ResultNone = 0, ResultOk = 1, ResultCancel = 3 };

    explicit frmEditActions(QWidget* parent = nullptr);
    ~frmEditActions() override;

    // fields: every field of the record source, field 0 first; row: the main window's
    // columns and selected row, for the test run. setting stays the caller's.
    void PrepareEdit(cSetting& setting, const QStringList& fields, const cActionRow& row);
    // 1 after OK, 3 after Storno, 0 after Escape or the test run.
    int Result() const { return m_result; }

    // "Nepřístupné": the field of an action that the record source does not have.
    static QString UnavailableField();

    QLabel* lblActions = nullptr;
    QListWidget* lstActions = nullptr;
    QPushButton* cmdNew = nullptr;
    QPushButton* cmdDel = nullptr;
    QPushButton* cmdActionExec = nullptr;
    QLabel* lblCaption = nullptr;
    QLineEdit* txtCaption = nullptr;
    QLabel* lblAction = nullptr;
    QLineEdit* txtAction = nullptr;
    QPushButton* cmdBrowse = nullptr;
    QLabel* lblPar = nullptr;
    QLineEdit* txtPar = nullptr;
    QLabel* lblField = nullptr;
    QListWidget* lstField = nullptr;
    QPushButton* cmdOK = nullptr;
    QPushButton* cmdCancel = nullptr;

public slots:
    void reject() override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void LoadActions();
    void ShowAction(int k);
    void FillFields(const QString& field);
    void cmdNew_Click();
    void cmdDel_Click();
    void cmdActionExec_Click();
    void cmdBrowse_Click();
    void cmdOK_Click();
    void cmdCancel_Click();

    cSetting* m_setting = nullptr;
    QStringList m_fields;
    cActionRow m_row;
    std::unique_ptr<cActions> m_actions;
    std::vector<std::unique_ptr<cStandardTextBox>> m_wrappers;
    cFocusAnnouncer m_focus{this};
    bool m_new = false;
    int m_result = ResultNone;
};
