#pragma once
// The stored queries dialog; queries change through the engine, the main window applies the chosen one.
#include "cFocusAnnouncer.h"

#include <QDialog>

#include <functional>
#include <memory>

class Database;
class cSetting;
class cStandardTextBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;

// The stored queries of the open database: the user views, creates, changes and deletes
// them, and OK makes the SQL text in the box the record source of the definition.
class frmProperties : public QDialog {
    Q_OBJECT
public:
    static constexpr int kWindowCode = 2616;
    enum : int { ResultOk = 1, ResultCancel = 2 };

    explicit frmProperties(QWidget* parent = nullptr);
    ~frmProperties() override;

    // Holds both and fills the form.
    void PrepareSetting(cSetting* setting, std::shared_ptr<Database> database);
    // Run by OK once the definition holds the new query; true when the window now shows
    // it. On false (the failure has been told) the definition gets its previous query
    // back and the form stays open, so that the text can be corrected.
    void SetApply(std::function<bool()> apply) { m_apply = std::move(apply); }
    // 1 after OK, 2 after Cancel (Escape or closing the window too).
    int Result() const { return m_result; }

    QLabel* lblQuery = nullptr;
    QListWidget* lstQuery = nullptr;
    QLabel* Label1 = nullptr;
    QLineEdit* txtName = nullptr;
    QLabel* Label2 = nullptr;
    QLineEdit* txtQuery = nullptr;
    QPushButton* cmdAdd = nullptr;
    QPushButton* cmdRemove = nullptr;
    QPushButton* cmdSave = nullptr;
    QPushButton* cmdOK = nullptr;
    QPushButton* cmdCancel = nullptr;

public slots:
    void reject() override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    // The names in collection order, the entry named select (else the first) shown.
    void FillList(const QString& select = QString());
    void ShowEntry(int row);
    void cmdAdd_Click();
    void cmdRemove_Click();
    void cmdSave_Click();
    void cmdOK_Click();
    void EndNewQuery();
    void SpeakEntry() const;

    cSetting* m_setting = nullptr;
    std::shared_ptr<Database> m_database;
    std::function<bool()> m_apply;
    std::unique_ptr<cStandardTextBox> m_nameWrapper;
    std::unique_ptr<cStandardTextBox> m_queryWrapper;
    cFocusAnnouncer m_focus{this};
    int m_listKey = 0; // pressed in the list and not yet released
    bool m_newQuery = false;
    int m_result = ResultCancel;
};
