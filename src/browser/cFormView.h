#pragma once

// The main window's form view: a read-only box for each column of the selected record,
// their layout, and the keys the boxes take. It reads the grid; it changes no data and
// opens no dialog.

#include <QString>

#include <memory>

class cStandardEditBox;
class fApplication;
struct cBrowserState;
class QEvent;
class QKeyEvent;
class QObject;

class cFormView {
public:
    cFormView(fApplication& window, cBrowserState& state);
    ~cFormView();
    cFormView(const cFormView&) = delete;
    cFormView& operator=(const cFormView&) = delete;

    // The hidden template row the boxes copy.
    void CreateTemplates();
    // One empty box for each grid column.
    void Prepare();
    // The selected row's values in the boxes (an empty source shows its fields empty).
    void ShowSelected();
    void Layout();
    // The box with the focus (1-based); 1 in the grid view or when none has it.
    int FocusedBox() const;
    // The column whose box object is, or 0.
    int BoxColumn(const QObject* object) const;
    // The column whose box last had the focus (1-based; 0 before any).
    int CurrentColumn() const { return m_currentColumn; }
    // The value of column's box as it is said: an empty one says so.
    QString SpokenValue(int column) const;
    // Which field column's box is and what it holds, as arriving in it says.
    void SayBox(int column) const;
    // The boxes' own keys; true when the event is taken.
    bool FilterEvent(QObject* watched, QEvent* event);
    // Lets go of the box the keys were speaking for.
    void Release();

private:
    void Clear();
    void BoxFocused(int column);
    void BoxLeft(int column);
    void SelectRow(qint64 row, int column);
    // True when the key was a command of the field box.
    bool BoxKeyDown(int column, int keyCode, int shift);
    // What a key that does nothing in a box says instead, or empty.
    static QString WhyKeyDoesNothing(const QKeyEvent* key);

    fApplication& m_window;
    cBrowserState& m_state;
    std::unique_ptr<cStandardEditBox> my_EditBox;
    int m_currentColumn = 0;
};
