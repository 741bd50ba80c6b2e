#pragma once
// The OK and Yes/No message box, waiting mode included; opened through modDialogs only.
#include "cMessageBoxForm.h"

class QPushButton;
class QTimer;

// The accessible message box with an OK button, or with Yes and No. In waiting mode it
// closes itself once the speech of its message has ended.
class frmMsg12 : public cMessageBoxForm {
    Q_OBJECT
public:
    explicit frmMsg12(QWidget* parent = nullptr);
    ~frmMsg12() override;

    void VoiceWait();
    void PrepereForm();
    bool IsWaiting() const { return m_waiting; }
    QString OkCaption() const { return m_okCaption; }

    QPushButton* cmdYes = nullptr;
    QPushButton* cmdNo = nullptr;
    QTimer* Timer1 = nullptr;

    static constexpr int kPollIntervalMs = 200;

protected:
    void MessageFocused() override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void Timer1_Timer();
    void StopWaiting();
    void Answer(qint32 result);

    QString m_okCaption;
    bool m_waiting = false;
};
