#pragma once
// One-line boxes as a screen reader reads them; it reports, it never changes the text itself.
#include <QAccessibleWidget>

class QLineEdit;

// A line edit's text, caret and selection for a screen reader. The toolkit's own interface
// reports each character as a text run of no length, so a screen reader splitting the line
// by those runs drops its last character: a one-character value ("3") is not read at all.
// Here the whole text is one run.
class cLineEditAccessible : public QAccessibleWidget, public QAccessibleTextInterface, public QAccessibleEditableTextInterface {
public:
    explicit cLineEditAccessible(QLineEdit* box);

    // Makes every line edit read through this interface; idempotent.
    static void Install();

    QString text(QAccessible::Text type) const override;
    QAccessible::State state() const override;
    void* interface_cast(QAccessible::InterfaceType type) override;

    void selection(int selectionIndex, int* startOffset, int* endOffset) const override;
    int selectionCount() const override;
    void addSelection(int startOffset, int endOffset) override;
    void removeSelection(int selectionIndex) override;
    void setSelection(int selectionIndex, int startOffset, int endOffset) override;
    int cursorPosition() const override;
    void setCursorPosition(int position) override;
    QString text(int startOffset, int endOffset) const override;
    int characterCount() const override;
    QRect characterRect(int offset) const override;
    int offsetAtPoint(const QPoint& point) const override;
    void scrollToSubstring(int startIndex, int endIndex) override;
    QString attributes(int offset, int* startOffset, int* endOffset) const override;

    void deleteText(int startOffset, int endOffset) override;
    void insertText(int offset, const QString& text) override;
    void replaceText(int startOffset, int endOffset, const QString& text) override;

    QLineEdit* Box() const;

private:
    // What the box shows: a password's dots, never the password.
    QString Shown() const;
};
