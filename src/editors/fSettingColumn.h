#pragma once
// The dialog of one field and its column's settings; the caller applies the answer, it changes no table.
#include "cColumnDefinition.h"
#include "cDatabaseDriver.h"
#include "cFocusAnnouncer.h"

#include <QDialog>

#include <array>
#include <memory>

class Field;
class cSetting;
class cStandardComboBox;
class cStandardTextBox;
class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QScrollArea;

// One field of a table with the display settings of its column. The caller reads the
// controls once the dialog has closed with OK.
class fSettingColumn : public QDialog {
    Q_OBJECT
public:
    static constexpr int kWindowCode = 2621;
    enum : int { ResultOk = 1, ResultCancel = 2 };

    explicit fSettingColumn(QWidget* parent = nullptr);
    ~fSettingColumn() override;

    // A new field: the name "nové", Text of 250; only what a new field takes is offered.
    void PrepareNew();
    // An existing field with its column: its type and length are shown, not changed.
    void PrepareEdit(cSetting* setting, const Field& field, const cColumnDefinition& column);
    void PopulateCmbType();
    // The field's own index as the list "Indexováno" shows it; with lockedBecause it is
    // only shown, and a key that would change it says that sentence instead.
    void ShowIndexing(FieldIndexing state, const QString& lockedBecause = QString());
    // The chosen entry: None, Duplicates or Unique, or the state shown when it is locked.
    FieldIndexing Indexing() const;
    // The type of the chosen entry; 0 with none chosen.
    int GetDataType() const;
    // The held definition with the caption, action and width the user chose.
    cColumnDefinition GetColumnSetting() const;
    int Result() const { return m_result; }

    // The type a text of the list stands for, by the string table; 0 for none.
    static int TypeOfText(const QString& text);
    static QString TextOfType(int type);

    QLabel* lblName = nullptr;
    QLineEdit* txtName = nullptr;
    QLabel* lblLen = nullptr;
    QLineEdit* txtLen = nullptr;
    QLabel* lblDataType = nullptr;
    QListWidget* lstDataType = nullptr;
    std::array<QCheckBox*, 2> Check1{};
    QLabel* lblOrder = nullptr;
    QComboBox* cmbOrder = nullptr;
    QLabel* lblAction = nullptr;
    QComboBox* cmbAction = nullptr;
    QLabel* lblIndexed = nullptr;
    QComboBox* cmbIndexed = nullptr;
    QGroupBox* fraWidth = nullptr;
    QCheckBox* chkWidthAuto = nullptr;
    QLabel* lblWidth = nullptr;
    QLineEdit* txtWidth = nullptr;
    QPushButton* cmdOK = nullptr;
    QPushButton* cmdCancel = nullptr;

public slots:
    void reject() override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void cmdOK_Click();
    void chkWidthAuto_Click();
    void ShowWidth(const QString& width);

    // The controls scroll in it where a large font makes them taller than the screen.
    QScrollArea* m_page = nullptr;
    cSetting* m_setting = nullptr;
    cColumnDefinition m_column;
    std::unique_ptr<cStandardTextBox> m_nameWrapper;
    std::unique_ptr<cStandardTextBox> m_lenWrapper;
    std::unique_ptr<cStandardTextBox> m_widthWrapper;
    std::unique_ptr<cStandardComboBox> m_orderWrapper;
    std::unique_ptr<cStandardComboBox> m_actionWrapper;
    std::unique_ptr<cStandardComboBox> m_indexWrapper;
    FieldIndexing m_indexing = FieldIndexing::Unknown;
    QString m_indexLocked;
    // Why an existing field's type list stays as it is; empty for a new field.
    QString m_typeLocked;
    int m_typeRow = -1;
    cFocusAnnouncer m_focus{this};
    int m_result = ResultCancel;
};
