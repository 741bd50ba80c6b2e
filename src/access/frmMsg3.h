#pragma once
// The Yes/No/Cancel message box; opened through modDialogs only.
#include "cMessageBoxForm.h"

class QPushButton;

// The accessible message box with Yes, No and Cancel. Its keys work from every control:
// lower-case "a" answers Yes, "n" No, Escape cancels.
class frmMsg3 : public cMessageBoxForm {
    Q_OBJECT
public:
    explicit frmMsg3(QWidget* parent = nullptr);

    void PrepereForm();

    QPushButton* cmdYes = nullptr;
    QPushButton* cmdNo = nullptr;
    QPushButton* cmdCancel = nullptr;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void Answer(qint32 result);
    bool FormKeyPress(QObject* watched, QKeyEvent* key);
};
