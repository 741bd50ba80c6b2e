// The grid's window over the list's rows: the view holds at most a window of them, which
// moves as the current row or the list's scroll bar goes beyond it; the selection, the moves
// and the screen reader's cells are the list's, wherever the window stands.

#include "cGridSelection.h"
#include "cRecordList.h"
#include "cRecordListAccessible.h"
#include "cRecordListImpl.h"
#include "cRecordListModel.h"

#include <QScopedValueRollback>
#include <QScrollBar>
#include <QTimer>

#include <algorithm>

qint64 cRecordList::CurrentRow() const
{
    return d->Selection->CurrentRow();
}

qint64 cRecordList::SelectedRow() const
{
    const qint64 current = CurrentRow();
    if (current >= 0 && d->Selection->IsSelected(current))
        return current;
    return d->Selection->FirstSelected();
}

bool cRecordList::IsRowSelected(qint64 row) const
{
    return d->Selection->IsSelected(row);
}

QList<qint64> cRecordList::SelectedRows() const
{
    QList<qint64> rows;
    for (const auto& [first, last] : d->Selection->Spans())
        for (qint64 row = first; row <= last; ++row)
            rows.append(row);
    return rows;
}

qint64 cRecordList::CountSelected() const
{
    return d->Selection->Count();
}

void cRecordList::SelectRows(qint64 first, qint64 last, QItemSelectionModel::SelectionFlags command)
{
    d->Selection->SelectRows(std::max<qint64>(first, 0), std::min(last, RowCount() - 1), command);
}

void cRecordList::selectAll()
{
    if (RowCount() > 0 && selectionMode() == ExtendedSelection)
        SelectRows(0, RowCount() - 1, QItemSelectionModel::ClearAndSelect);
}

void cRecordList::SelectOnlyRow(qint64 row)
{
    if (row < 0 || row >= RowCount()) {
        selectionModel()->clear();
        emit ItemClicked(-1);
        return;
    }
    const QModelIndex index = ShowRow(row, 0);
    selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    d->Selection->SetAnchor(row);
    scrollTo(index);
}

QModelIndex cRecordList::IndexOfRow(qint64 row, int column) const
{
    const qint64 at = row - d->Model->Base();
    if (row < 0 || at < 0 || at >= d->Model->rowCount())
        return {};
    return d->Model->index(int(at), column);
}

qint64 cRecordList::RowOfIndex(const QModelIndex& index) const
{
    return index.isValid() ? d->Model->Base() + index.row() : -1;
}

int cRecordList::PageRows() const
{
    return viewport()->height() / std::max(1, verticalHeader()->defaultSectionSize()) + 1;
}

QModelIndex cRecordList::ShowRow(qint64 row, int column, qint64 room)
{
    const qint64 base = d->Model->Base();
    const qint64 end = base + d->Model->rowCount();
    const bool roomAbove = base == 0 || row - room >= base;
    const bool roomBelow = end >= RowCount() || row + room < end;
    if (!roomAbove || !roomBelow)
        MoveWindow(row - cRecordListModel::WindowRows() / 2);
    return IndexOfRow(row, column);
}

void cRecordList::ShowPage(qint64 top)
{
    const int page = PageRows();
    ShowRow(top + page / 2, 0, page / 2 + 2);
}

void cRecordList::MoveWindow(qint64 base)
{
    const QScopedValueRollback moving(d->MovingWindow, true);
    const QModelIndex top = indexAt(QPoint(0, 0));
    const qint64 topRow = top.isValid() ? RowOfIndex(top) : d->Model->Base();
    d->Model->SetBase(base);
    d->Selection->Sync();
    // The records on screen stay where they were, as far as the window reaches.
    const int at = int(std::clamp<qint64>(topRow - d->Model->Base(), 0, std::max(d->Model->rowCount() - 1, 0)));
    verticalScrollBar()->setValue(verticalScrollMode() == ScrollPerItem ? at : verticalHeader()->sectionPosition(at));
    SyncListBar();
}

void cRecordList::updateGeometries()
{
    QTableView::updateGeometries();
    if (!d->ListBar) // still being made
        return;
    // The view's own bar measures the window; the list's stands in its place.
    const bool windowed = d->Model->Windowed();
    if (d->ListBar->isHidden() == windowed) {
        d->ListBar->setVisible(windowed);
        verticalScrollBar()->setVisible(!windowed);
        setVerticalScrollBarPolicy(windowed ? Qt::ScrollBarAlwaysOn : Qt::ScrollBarAsNeeded);
    }
    SyncListBar();
}

void cRecordList::SyncListBar()
{
    if (!d->Model->Windowed())
        return;
    const QScopedValueRollback moving(d->MovingWindow, true);
    const int page = std::max(PageRows() - 1, 1);
    d->ListBar->setRange(0, int(std::max<qint64>(RowCount() - page, 0)));
    d->ListBar->setPageStep(page);
    d->ListBar->setSingleStep(1);
    const QModelIndex top = indexAt(QPoint(0, 0));
    d->ListBar->setValue(int(top.isValid() ? RowOfIndex(top) : d->Model->Base()));
}

void cRecordList::ScrollListTo(qint64 top)
{
    ShowPage(top);
    const QModelIndex at = IndexOfRow(top, 0);
    if (!at.isValid())
        return;
    const QScopedValueRollback moving(d->MovingWindow, true);
    verticalScrollBar()->setValue(verticalScrollMode() == ScrollPerItem ? at.row()
                                                                        : verticalHeader()->sectionPosition(at.row()));
}

void cRecordList::WindowScrolled()
{
    if (d->MovingWindow || !d->Model->Windowed())
        return;
    // A key or click scrolls while the toolkit still holds indexes of the window's rows: the
    // window waits for it to finish (the key made room for its move first).
    if (d->UserMoves) {
        SyncListBar();
        QTimer::singleShot(0, this, [this] { WindowScrolled(); });
        return;
    }
    // Scrolled near an end of the window (the wheel, a move that scrolled): the window moves on.
    const QModelIndex top = indexAt(QPoint(0, 0));
    if (top.isValid())
        ShowPage(RowOfIndex(top));
    SyncListBar();
}

QModelIndex cRecordList::moveCursor(CursorAction action, Qt::KeyboardModifiers modifiers)
{
    // Room for a page either way: the view's own moves stay within the window.
    if (CurrentRow() >= 0)
        ShowRow(CurrentRow(), CurrentColumn(), PageRows() + 1);
    // The keys of a list of records: Home and End go to the first and last record, Left and
    // Right look at the columns beyond the window's edge without leaving the record.
    const QModelIndex current = currentIndex();
    const qint64 rows = RowCount();
    const int column = current.isValid() ? current.column() : 0;
    switch (action) {
    case MoveHome:
    case MoveEnd:
        if (d->CellReading && current.isValid() && !d->ToRecordEnds)
            return model()->index(current.row(), action == MoveHome ? 0 : ColumnCount() - 1);
        if (rows == 0)
            return QModelIndex();
        return ShowRow(action == MoveHome ? 0 : rows - 1, column);
    case MoveLeft:
    case MoveRight:
        if (d->CellReading && current.isValid()) {
            const int next = std::clamp(column + (action == MoveLeft ? -1 : 1), 0, ColumnCount() - 1);
            return model()->index(current.row(), next);
        }
        horizontalScrollBar()->triggerAction(action == MoveLeft ? QAbstractSlider::SliderSingleStepSub
                                                                : QAbstractSlider::SliderSingleStepAdd);
        return current;
    default:
        return QTableView::moveCursor(action, modifiers);
    }
}

void cRecordList::ExtendSelection(CursorAction action, Qt::KeyboardModifiers modifiers)
{
    if (RowCount() == 0 || selectionMode() != ExtendedSelection)
        return;
    const qint64 anchor = std::max<qint64>(d->Selection->Anchor(), 0);
    // Ctrl with Home or End goes to the records' ends, as it does without Shift.
    const QScopedValueRollback ends(d->ToRecordEnds, (modifiers & Qt::ControlModifier) != 0);
    const QModelIndex target = moveCursor(action, Qt::NoModifier);
    if (!target.isValid())
        return;
    ExtendSelectionTo(anchor, target);
    scrollTo(target);
}

void cRecordList::ExtendSelectionTo(qint64 anchor, const QModelIndex& target)
{
    const qint64 row = RowOfIndex(target);
    selectionModel()->setCurrentIndex(target, QItemSelectionModel::NoUpdate);
    d->Selection->SelectRows(std::min(anchor, row), std::max(anchor, row), QItemSelectionModel::SelectCurrent);
    d->Selection->SetAnchor(anchor);
}

bool cRecordList::KeepSelectionOnRecords(const std::function<bool()>& change)
{
    // A whole list selected (Ctrl+A) stays so: its records are not looked up one by one.
    const qint64 all = RowCount();
    const bool everything = all > 0 && d->Selection->Count() == all;
    std::vector<qint64> positions;
    if (!everything)
        for (const auto& [first, last] : d->Selection->Spans())
            for (qint64 row = first; row <= last; ++row)
                positions.push_back(RowPosition(row));
    const qint64 current = RowPosition(CurrentRow());
    const int column = CurrentColumn();
    const qint64 anchor = RowPosition(d->Selection->Anchor());
    if (!change())
        return false;
    cRowRanges rows;
    if (everything) {
        rows.Add(0, RowCount() - 1);
    } else {
        std::vector<qint64> now;
        now.reserve(positions.size());
        for (const qint64 position : positions)
            if (const qint64 row = RowOfPosition(position); row >= 0)
                now.push_back(row);
        std::sort(now.begin(), now.end());
        for (const qint64 row : now)
            rows.Add(row, row);
    }
    d->Selection->Replace(std::move(rows), RowOfPosition(current), column, RowOfPosition(anchor));
    return true;
}

void cRecordList::selectionChanged(const QItemSelection& selected, const QItemSelection& deselected)
{
    // The toolkit would list every selected cell, and number the cells by the window's rows.
    if (!selected.isEmpty() && selected.constFirst().isValid())
        TellReader(QAccessible::SelectionAdd, RowOfIndex(selected.constFirst().topLeft()), selected.constFirst().left());
    if (!deselected.isEmpty() && deselected.constFirst().isValid())
        TellReader(QAccessible::SelectionRemove, RowOfIndex(deselected.constFirst().topLeft()),
                   deselected.constFirst().left());
    QAbstractItemView::selectionChanged(selected, deselected); // NOLINT(bugprone-parent-virtual-call)
}

void cRecordList::TellReader(QAccessible::Event type, qint64 row, int column)
{
    if (!QAccessible::isActive() || row < 0)
        return;
    auto* table = static_cast<cRecordListAccessible*>(QAccessible::queryAccessibleInterface(this));
    if (!table)
        return;
    if (type == QAccessible::Focus)
        table->NoteFocus(int(row), column);
    QAccessibleEvent event(this, type);
    event.setChild(table->indexOfChild(table->Cell(int(row), column)));
    QAccessible::updateAccessibility(&event);
}
