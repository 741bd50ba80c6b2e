#include "cRecordListAccessible.h"

#include "cRecordList.h"
#include "mAccessibleFactory.h"
#include "mStringTable.h"

#include <QAccessibleTableCellInterface>
#include <QHeaderView>
#include <QPointer>

#include <utility>

namespace {

// Cells kept for a screen reader; beyond this the kept ones are dropped and made anew as
// they are asked for, so walking a huge grid does not keep one object a cell.
constexpr int kKeptCells = 4096;

class cRecordCellAccessible : public QAccessibleInterface, public QAccessibleTableCellInterface {
public:
    cRecordCellAccessible(cRecordList* list, int row, int column) : m_list(list), m_row(row), m_column(column) {}

    bool isValid() const override
    {
        return m_list && m_column >= -1 && m_column < m_list->ColumnCount() && (m_row < 0 || m_row < m_list->RowCount());
    }
    QObject* object() const override { return nullptr; }
    QAccessibleInterface* childAt(int, int) const override { return nullptr; }
    QAccessibleInterface* parent() const override { return table(); }
    QAccessibleInterface* child(int) const override { return nullptr; }
    int childCount() const override { return 0; }
    int indexOfChild(const QAccessibleInterface*) const override { return -1; }

    QString text(QAccessible::Text type) const override
    {
        if (!isValid() || type != QAccessible::Name)
            return {};
        if (m_column < 0) // the hidden row header: the row's number, under its own caption
            return m_row < 0 ? LoadString(10813) : QString::number(m_row + 1);
        if (m_row < 0)
            return m_list->HeaderText(m_column);
        // Read from the list: the row may lie outside the view's window.
        const QString text = m_list->CellText(m_row, m_column);
        return text.isEmpty() ? LoadString(504) : text;
    }
    void setText(QAccessible::Text, const QString&) override {}

    QRect rect() const override
    {
        if (!isValid() || m_column < 0)
            return {};
        if (m_row < 0) {
            const QHeaderView* header = m_list->header();
            const QRect section(header->sectionViewportPosition(m_column), 0, header->sectionSize(m_column),
                                header->height());
            return QRect(header->viewport()->mapToGlobal(section.topLeft()), section.size());
        }
        const QModelIndex index = Index();
        if (!index.isValid())
            return {};
        const QRect cell = m_list->visualRect(index);
        return QRect(m_list->viewport()->mapToGlobal(cell.topLeft()), cell.size());
    }

    QAccessible::Role role() const override
    {
        if (m_column < 0 && m_row >= 0)
            return QAccessible::RowHeader;
        return m_row < 0 || m_column < 0 ? QAccessible::ColumnHeader : QAccessible::Cell;
    }

    QAccessible::State state() const override
    {
        QAccessible::State state;
        if (!isValid()) {
            state.invalid = true;
            return state;
        }
        const QRect shown = m_list->viewport()->rect();
        const QModelIndex index = Index();
        if (!m_list->isVisible() || m_column < 0
            || (m_row >= 0 && (!index.isValid() || !shown.intersects(m_list->visualRect(index)))))
            state.invisible = state.offscreen = true;
        if (m_row < 0 || m_column < 0)
            return state;
        state.focusable = state.selectable = state.multiSelectable = true;
        if (isSelected())
            state.selected = true;
        // Only while the grid itself has the keyboard: hidden behind the form it claims none.
        if (m_list->hasFocus() && m_list->CurrentRow() == m_row && m_list->CurrentColumn() == m_column)
            state.focused = true;
        return state;
    }

    void* interface_cast(QAccessible::InterfaceType type) override
    {
        return type == QAccessible::TableCellInterface ? static_cast<QAccessibleTableCellInterface*>(this) : nullptr;
    }

    bool isSelected() const override
    {
        return m_row >= 0 && m_column >= 0 && isValid() && m_list->IsRowSelected(m_row);
    }
    QList<QAccessibleInterface*> columnHeaderCells() const override
    {
        if (m_row < 0 || m_column < 0 || !isValid())
            return {};
        return {Table()->Cell(-1, m_column)};
    }
    QList<QAccessibleInterface*> rowHeaderCells() const override { return {}; }
    int columnIndex() const override { return m_column; }
    int rowIndex() const override { return m_row; }
    int columnExtent() const override { return 1; }
    int rowExtent() const override { return 1; }
    QAccessibleInterface* table() const override { return Table(); }

private:
    QModelIndex Index() const { return m_list->IndexOfRow(m_row, m_column); }
    cRecordListAccessible* Table() const
    {
        return static_cast<cRecordListAccessible*>(QAccessible::queryAccessibleInterface(m_list.data()));
    }

    QPointer<cRecordList> m_list;
    int m_row;
    int m_column;
};

} // namespace

cRecordListAccessible::cRecordListAccessible(cRecordList* list) : QAccessibleWidget(list, QAccessible::Table) {}

cRecordListAccessible::~cRecordListAccessible()
{
    m_focused = 0;
    ForgetCells();
    for (const QAccessible::Id id : std::exchange(m_spared, {}))
        QAccessible::deleteAccessibleInterface(id);
}

void cRecordListAccessible::Install()
{
    InstallAccessibleFactory<cRecordList, cRecordListAccessible>();
}

cRecordList* cRecordListAccessible::List() const
{
    return static_cast<cRecordList*>(widget());
}

void* cRecordListAccessible::interface_cast(QAccessible::InterfaceType type)
{
    if (type == QAccessible::TableInterface)
        return static_cast<QAccessibleTableInterface*>(this);
    return QAccessibleWidget::interface_cast(type);
}

QAccessible::State cRecordListAccessible::state() const
{
    QAccessible::State state = QAccessibleWidget::state();
    // The current cell holds the focus in the grid's name.
    if (state.focused && List()->CurrentRow() >= 0)
        state.focused = false;
    return state;
}

QAccessibleInterface* cRecordListAccessible::focusChild() const
{
    if (!List()->hasFocus() || List()->CurrentRow() < 0)
        return nullptr;
    return Cell(int(List()->CurrentRow()), List()->CurrentColumn());
}

int cRecordListAccessible::columnCount() const
{
    return List()->ColumnCount();
}

int cRecordListAccessible::rowCount() const
{
    return int(List()->RowCount());
}

int cRecordListAccessible::childCount() const
{
    return (rowCount() + 1) * (columnCount() + 1);
}

QAccessibleInterface* cRecordListAccessible::Cell(int row, int column) const
{
    const int columns = columnCount();
    if (column < -1 || column >= columns || row < -1 || row >= rowCount())
        return nullptr;
    const qint64 index = qint64(row + 1) * (columns + 1) + column + 1;
    if (const auto found = m_cells.constFind(index); found != m_cells.constEnd())
        return QAccessible::accessibleInterface(found.value());
    if (m_cells.size() >= kKeptCells)
        ForgetCells();
    auto* cell = new cRecordCellAccessible(List(), row, column);
    m_cells.insert(index, QAccessible::registerAccessibleInterface(cell));
    return cell;
}

void cRecordListAccessible::ForgetCells() const
{
    constexpr qsizetype kSpared = 3;
    for (const QAccessible::Id id : std::exchange(m_cells, {})) {
        if (id == m_focused && m_focused)
            m_spared.append(id);
        else
            QAccessible::deleteAccessibleInterface(id);
    }
    while (m_spared.size() > kSpared && m_spared.constFirst() != m_focused)
        QAccessible::deleteAccessibleInterface(m_spared.takeFirst());
}

void cRecordListAccessible::NoteFocus(int row, int column) const
{
    if (QAccessibleInterface* cell = Cell(row, column))
        m_focused = QAccessible::uniqueId(cell);
}

QAccessibleInterface* cRecordListAccessible::child(int index) const
{
    const int stride = columnCount() + 1;
    if (index < 0 || stride == 1)
        return nullptr;
    return Cell(index / stride - 1, index % stride - 1);
}

int cRecordListAccessible::indexOfChild(const QAccessibleInterface* child) const
{
    if (!child || child->parent() != this)
        return -1;
    const QAccessibleTableCellInterface* cell =
        const_cast<QAccessibleInterface*>(child)->tableCellInterface();
    if (!cell)
        return -1;
    return (cell->rowIndex() + 1) * (columnCount() + 1) + cell->columnIndex() + 1;
}

QAccessibleInterface* cRecordListAccessible::childAt(int x, int y) const
{
    const QPoint point = List()->viewport()->mapFromGlobal(QPoint(x, y));
    const QModelIndex index = List()->indexAt(point);
    return index.isValid() ? Cell(int(List()->RowOfIndex(index)), index.column()) : nullptr;
}

QAccessibleInterface* cRecordListAccessible::cellAt(int row, int column) const
{
    return row >= 0 ? Cell(row, column) : nullptr;
}

QString cRecordListAccessible::columnDescription(int column) const
{
    return List()->HeaderText(column);
}

int cRecordListAccessible::selectedRowCount() const
{
    return int(List()->CountSelected());
}

int cRecordListAccessible::selectedCellCount() const
{
    return selectedRowCount() * columnCount();
}

QList<int> cRecordListAccessible::selectedRows() const
{
    QList<int> rows;
    for (const qint64 row : List()->SelectedRows())
        rows.append(int(row));
    return rows;
}

QList<QAccessibleInterface*> cRecordListAccessible::selectedCells() const
{
    // A screen reader reads a handful; thousands of objects would help no one. Room is made
    // first, so that no cell handed out here is dropped while the list is made.
    if (m_cells.size() > kKeptCells / 2)
        ForgetCells();
    QList<QAccessibleInterface*> cells;
    for (const int row : selectedRows()) {
        if (cells.size() + columnCount() > kKeptCells / 2)
            break;
        for (int column = 0; column < columnCount(); ++column)
            cells.append(Cell(row, column));
    }
    return cells;
}

bool cRecordListAccessible::isRowSelected(int row) const
{
    return List()->IsRowSelected(row);
}

bool cRecordListAccessible::selectRow(int row)
{
    return SelectRow(row, QItemSelectionModel::Select);
}

bool cRecordListAccessible::unselectRow(int row)
{
    return SelectRow(row, QItemSelectionModel::Deselect);
}

bool cRecordListAccessible::SelectRow(int row, QItemSelectionModel::SelectionFlag how)
{
    if (row < 0 || row >= rowCount())
        return false;
    List()->SelectRows(row, row, how);
    return true;
}

void cRecordListAccessible::modelChange(QAccessibleTableModelChangeEvent*)
{
    // Rows and columns moved or went: cells are made anew as they are asked for.
    ForgetCells();
}
