#pragma once
// Enter and the spoken caption of every push button, as one application-wide filter; no dialog's logic.
#include <QObject>
#include <QPointer>

class QWidget;

// What every push button of every window does, whatever its dialog makes of the keys:
// Enter on a focused button presses that button (never the dialog's default), and a
// button getting the focus says its caption. Installed on the application.
class cPushButtons : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // Showing a dialog moves the focus before its window is active and again after: a
    // button is said once, when the user is really on it.
    QPointer<QWidget> m_announced;
};
