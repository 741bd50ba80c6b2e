#pragma once

// The Go to dialog: the number of the record to go to beside the number of records. It
// only asks; the caller moves the selection.

#include <QDialog>

#include <memory>

class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class cStandardTextBox;

// Asks for the number of the record to go to, beside the number of records. The caller
// fills in both numbers, reads Result and then Postiton, and keeps the number in range.
class fRecordGoto : public QDialog {
    Q_OBJECT
public:
    static constexpr int kWindowCode = 2612;
    enum : int { ResultOk = 1, ResultCancel = 2 };

    explicit fRecordGoto(QWidget* parent = nullptr);
    ~fRecordGoto() override;

    void SetPostiton(qint32 position);
    // The typed number rounded to a whole one, which then stays; what is not a number
    // (or does not fit) gives the number held before.
    qint32 Postiton();
    // Whether what was typed is a number Postiton takes.
    bool NumberTyped() const;
    void SetMaxPostiton(qint32 count);
    // 1 after OK, 2 after Cancel (Escape or closing the window too).
    int Result() const { return m_result; }

    QGroupBox* Frame1 = nullptr;
    QGroupBox* Frame2 = nullptr;
    QLabel* Label1 = nullptr;
    QLabel* Label2 = nullptr;
    QLineEdit* Text1 = nullptr;
    QLineEdit* Text2 = nullptr;
    QPushButton* cmdOK = nullptr;
    QPushButton* cmdCancel = nullptr;

public slots:
    void reject() override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void cmdOK_Click();
    void AnnounceFocus(QLineEdit* box);

    std::unique_ptr<cStandardTextBox> m_text1Wrapper;
    std::unique_ptr<cStandardTextBox> m_text2Wrapper;
    QWidget* m_announced = nullptr;
    qint32 m_position = 0;
    int m_result = ResultCancel;
};
