#pragma once
// What a dialog's control says when the user reaches it; it only speaks, it never moves the focus.
#include <QString>

#include <functional>

class QEvent;
class QListWidget;
class QWidget;

// "zaškrtnuto" or "nezaškrtnuto": what a check box or an option button holds.
QString CheckStateText(bool checked);

// Says a dialog's control once when the user is really on it: a list with its current
// entry, a box with its text, a check box or an option button with its state, anything
// else but a push button (which says itself) by its name. Showing a dialog moves the focus
// before its window is active and again after; only the second is the user's.
class cFocusAnnouncer {
public:
    explicit cFocusAnnouncer(QWidget* window) : m_window(window) {}

    // Fed the dialog's focus events for its controls.
    void Watch(QWidget* control, QEvent* event);
    QWidget* Announced() const { return m_announced; }
    // The next focus is announced even on the same control (the dialog shown again).
    void Forget() { m_announced = nullptr; }

    // A list's spoken entry when not simply its current item's text.
    std::function<QString(const QListWidget*)> ListEntry;
    // Lists say their caption before the entry unless this is false.
    bool ListCaption = true;

private:
    void Announce(QWidget* control) const;

    QWidget* m_window;
    QWidget* m_announced = nullptr;
};
