#pragma once
// List views as a screen reader reads them; it reports, it never moves the focus or speaks.
#include <QAccessibleWidget>
#include <QHash>

class QListView;

// A dialog's list as a screen reader reads it: entries as children, the current one focused
// only while the list itself has the keyboard. The toolkit's own list marks its current
// entry focused whatever control of the dialog has the focus, so a screen reader met two
// focused objects at once.
class cListAccessible : public QAccessibleWidget {
public:
    explicit cListAccessible(QListView* list);
    ~cListAccessible() override;

    // Makes every list view (and list widget) read through this interface; idempotent.
    static void Install();

    QAccessible::State state() const override;
    QAccessibleInterface* focusChild() const override;
    int childCount() const override;
    QAccessibleInterface* child(int index) const override;
    int indexOfChild(const QAccessibleInterface* child) const override;
    QAccessibleInterface* childAt(int x, int y) const override;

    QListView* List() const;
private:
    void ForgetEntries() const;

    mutable QHash<int, QAccessible::Id> m_entries;
};
