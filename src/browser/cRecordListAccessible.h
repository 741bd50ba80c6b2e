#pragma once

// What a screen reader is told about the grid: its table, cells and the one focused cell,
// and the row selection it may ask for. It never touches the data.

#include <QAccessibleTableInterface>
#include <QAccessibleWidget>
#include <QHash>
#include <QItemSelectionModel>

class cRecordList;

// The grid as a screen reader reads it: a table whose current cell alone holds the focus
// while the grid has it. The toolkit's own table marks the current cell focused even when
// the grid is hidden behind the form, and the grid itself focused beside its cell, so a
// screen reader would meet two or three focused objects at once.
// Children are numbered as the toolkit's table view numbers them in its focus and
// selection events: the header row first, then row by row, each row beginning with the
// cell of its (hidden) row header.
class cRecordListAccessible : public QAccessibleWidget, public QAccessibleTableInterface {
public:
    explicit cRecordListAccessible(cRecordList* list);
    ~cRecordListAccessible() override;

    // Makes every cRecordList read through this interface; idempotent.
    static void Install();

    void* interface_cast(QAccessible::InterfaceType type) override;
    QAccessible::State state() const override;
    QAccessibleInterface* focusChild() const override;
    int childCount() const override;
    QAccessibleInterface* child(int index) const override;
    int indexOfChild(const QAccessibleInterface* child) const override;
    QAccessibleInterface* childAt(int x, int y) const override;

    QAccessibleInterface* caption() const override { return nullptr; }
    QAccessibleInterface* summary() const override { return nullptr; }
    QAccessibleInterface* cellAt(int row, int column) const override;
    int selectedCellCount() const override;
    QList<QAccessibleInterface*> selectedCells() const override;
    QString columnDescription(int column) const override;
    QString rowDescription(int) const override { return {}; }
    int selectedColumnCount() const override { return 0; }
    int selectedRowCount() const override;
    int columnCount() const override;
    int rowCount() const override;
    QList<int> selectedColumns() const override { return {}; }
    QList<int> selectedRows() const override;
    bool isColumnSelected(int) const override { return false; }
    bool isRowSelected(int row) const override;
    bool selectRow(int row) override;
    bool selectColumn(int) override { return false; }
    bool unselectRow(int row) override;
    bool unselectColumn(int) override { return false; }
    void modelChange(QAccessibleTableModelChangeEvent* event) override;

    cRecordList* List() const;
    // Row −1 is the header row, column −1 the hidden row header.
    QAccessibleInterface* Cell(int row, int column) const;
    // Drops the kept cells. The one last told to have the focus lives on, out of the grid's
    // children, for a few more times: a screen reader still holds it as where it was, and a
    // cell gone under it silences its next reading.
    void ForgetCells() const;
    // The cell a focus event is being sent for.
    void NoteFocus(int row, int column) const;
    bool SelectRow(int row, QItemSelectionModel::SelectionFlag how);

private:
    mutable QHash<qint64, QAccessible::Id> m_cells; // by child index
    mutable QAccessible::Id m_focused = 0;
    mutable QList<QAccessible::Id> m_spared; // former focused cells, out of m_cells
};
