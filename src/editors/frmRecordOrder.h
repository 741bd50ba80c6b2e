#pragma once
// The field order dialog that builds a record source's SQL; it reads the table, changes nothing.
#include "cFocusAnnouncer.h"

#include <QDialog>

#include <memory>

class Database;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class cStandardTextBox;

// The field order builder: the user picks the fields of the shown table one after another
// and gets the record source that shows just those, in that order.
// Keys: Space or Insert in the field list (or the Insert button) appends the current field;
// Enter anywhere else confirms, Escape cancels.
class frmRecordOrder : public QDialog {
    Q_OBJECT
public:
    static constexpr int kWindowCode = 2618;
    enum : int { ResultOk = 1, ResultCancel = 2 };

    explicit frmRecordOrder(QWidget* parent = nullptr);
    ~frmRecordOrder() override;

    // Lists the fields of table from its definition in database, which stays the caller's.
    // Throws cRuntimeError when there is no such table.
    void Prepare(Database& database, const QString& table);
    // 1 after OK, 2 after Cancel (Escape or closing the window too).
    int Result() const { return m_result; }
    // The SQL of the record source to show: the collected fields after OK, all of them
    // otherwise.
    QString Query() const;

    QLabel* lblField = nullptr;
    QListWidget* lstField = nullptr;
    QPushButton* cmdInsert = nullptr;
    QPushButton* cmdClear = nullptr;
    QLabel* lblResult = nullptr;
    QLineEdit* txtResult = nullptr;
    QPushButton* cmdOK = nullptr;
    QPushButton* cmdCancel = nullptr;

public slots:
    void reject() override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void cmdInsert_Click();
    void cmdClear_Click();
    void cmdOK_Click();

    std::unique_ptr<cStandardTextBox> m_resultWrapper;
    cFocusAnnouncer m_focus{this};
    QString m_table;
    int m_result = ResultCancel;
};
