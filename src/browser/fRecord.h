#pragma once

// The record editor and the filter form: one box a shown column, OK and Cancel. It writes
// the one record it edits; it knows nothing of the main window.

#include "cFieldRows.h"

#include <QDialog>

#include <memory>
#include <vector>

class Recordset;
class cStandardTextBox;
class QPushButton;
class QScrollArea;

// The record editor: one captioned box a shown column, as the form view shows them, with
// OK and Cancel. In record mode OK writes what the user changed into the recordset (a new
// record, or the one at a position) and tells a field's error by the field's caption; the
// form stays open until the record is written or the user gives up. In filter mode OK
// makes the filled boxes a condition on their fields.
class fRecord : public QDialog {
    Q_OBJECT
public:
    static constexpr int kWindowCodeNew = 2622;
    static constexpr int kWindowCodeFilter = 2623;
    static constexpr int kWindowCodeEdit = 2624;
    enum : int { ResultOk = 1, ResultCancel = 2 };
    enum Mode : int { ModeRecord = 0, ModeFilter = 1 };

    explicit fRecord(QWidget* parent = nullptr);
    ~fRecord() override;

    // The row of a shown column: its caption and the recordset field it shows.
    void AddField(const QString& caption, int field);
    void SetFont(const QFont& font);
    void SetColor(qint32 fore, qint32 back, qint32 foreForm, qint32 backForm);
    int Result() const { return m_result; }
    // The position given to SetEdit (−1 for a new record).
    qint32 Postiton() const { return m_position; }
    // The box that gets the focus when the form shows (1-based).
    void FocusField(int index) { m_focusField = index; }
    // Record mode; position −1 for a new record, whose boxes show the fields' defaults.
    void SetEdit(std::shared_ptr<Recordset> recordset, qint32 position);
    // Filter mode: the boxes hold what to look for.
    void SetFilter(std::shared_ptr<Recordset> recordset);
    // The texts of the boxes, box 1 first.
    QStringList Filter() const;
    // The condition OK made: each filled box's term, joined by " AND "; empty for none.
    QString FilterAsString() const { return m_filterText; }

    cFieldRows Rows;
    QList<QLabel*>& Label = Rows.Label;
    QList<QGroupBox*>& Frame = Rows.Frame;
    QList<QLineEdit*>& Text = Rows.Text;
    QPushButton* cmdOK = nullptr;
    QPushButton* cmdCancel = nullptr;
    QScrollArea* fraFields = nullptr;
    QWidget* picFields = nullptr;

protected:
    void showEvent(QShowEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    // Escape and the window's close button are Cancel.
    void reject() override;

private:
    void cmdOK_Click();
    void cmdCancel_Click();
    // Writes the changed boxes; false, with the reason told and the form open, when the
    // record was not written.
    bool WriteRecord();
    // The condition of the filled boxes; false, with the box's error told, when a value
    // is no value of its field.
    bool BuildFilter();
    // True, with the error told in the box, when a changed text is longer than its field.
    bool RefuseTooLongTexts();
    // A field's error in the OK box, the focus back in its box.
    void TellFieldError(int box, const QString& message);
    void LayoutFields();
    QString Caption(int box) const;

    int m_mode = ModeRecord;
    int m_result = ResultCancel;
    qint32 m_position = -1;
    int m_focusField = 1;
    std::shared_ptr<Recordset> m_recordset;
    QString m_filterText;
    std::vector<int> m_fields;   // the field of box i at i − 1
    std::vector<bool> m_edited;  // the user changed box i − 1
    std::vector<std::unique_ptr<cStandardTextBox>> m_wrappers;
};
