#pragma once
// The prompt for one name that the editors open; it only asks, the caller does the naming.
#include "cFocusAnnouncer.h"

#include <QDialog>

#include <memory>

class cStandardTextBox;
class QLabel;
class QLineEdit;
class QPushButton;

// Asks for one name; the caller sets the caption.
class frmNewField : public QDialog {
    Q_OBJECT
public:
    static constexpr int kWindowCode = 2615;
    enum : int { ResultOk = 1, ResultCancel = 2 };

    explicit frmNewField(QWidget* parent = nullptr);
    ~frmNewField() override;

    int Result() const { return m_result; }

    QLabel* lblFieldName = nullptr;
    QLineEdit* txtFieldName = nullptr;
    QPushButton* cmdOK = nullptr;
    QPushButton* cmdCancel = nullptr;

public slots:
    void reject() override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void cmdOK_Click();

    std::unique_ptr<cStandardTextBox> m_nameWrapper;
    cFocusAnnouncer m_focus{this};
    int m_result = ResultCancel;
};
