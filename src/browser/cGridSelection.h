#pragma once
//
// The grid's selection and current row, kept by row of the whole list while the view holds
// only a window of the rows: what is selected beyond the rows the view shows stays
// selected, and the current row stays known when it is out of the window. No widgets.

#include <QItemSelectionModel>

#include <functional>
#include <utility>
#include <vector>

// Rows as sorted, disjoint and not touching inclusive ranges: a selection of a million rows
// is a handful of ranges.
class cRowRanges {
public:
    using Span = std::pair<qint64, qint64>;

    void Clear() { m_spans.clear(); }
    bool Empty() const { return m_spans.empty(); }
    void Add(qint64 first, qint64 last);
    void Remove(qint64 first, qint64 last);
    void Toggle(qint64 first, qint64 last);
    bool Contains(qint64 row) const;
    qint64 Count() const;
    qint64 First() const; // −1 when empty
    const std::vector<Span>& Spans() const { return m_spans; }
    // A row was inserted at row (the rows from it on move one down), or removed there.
    void Inserted(qint64 row);
    void Removed(qint64 row);

private:
    std::vector<Span> m_spans;
};

// The toolkit's selection model over the view's rows, which are the list's rows from a base
// on. Every selection the view or the program makes goes through here and is kept by list
// row, with the toolkit's meaning of its commands (Clear, Select, Deselect, Toggle, Current
// for a range still being extended); the view is shown the part within its window.
class cGridSelection : public QItemSelectionModel {
    Q_OBJECT
public:
    // base(): the list row the view's first row shows.
    cGridSelection(QAbstractItemModel* model, std::function<qint64()> base, QObject* parent);

    void select(const QModelIndex& index, QItemSelectionModel::SelectionFlags command) override;
    void select(const QItemSelection& selection, QItemSelectionModel::SelectionFlags command) override;
    void setCurrentIndex(const QModelIndex& index, QItemSelectionModel::SelectionFlags command) override;
    void clear() override;
    void reset() override;
    void clearCurrentIndex() override;

    // The same commands by list row.
    void SelectRows(qint64 first, qint64 last, QItemSelectionModel::SelectionFlags command);
    bool IsSelected(qint64 row) const;
    qint64 Count() const;
    qint64 FirstSelected() const;
    const std::vector<cRowRanges::Span>& Spans() const;

    // The current row and column, kept while the row is outside the window (−1: none).
    qint64 CurrentRow() const { return m_currentRow; }
    int CurrentColumn() const { return m_currentColumn; }
    void SetCurrentRow(qint64 row, int column);
    // Where a range extended with Shift begins (−1: at the current row).
    qint64 Anchor() const { return m_anchor < 0 ? m_currentRow : m_anchor; }
    void SetAnchor(qint64 row) { m_anchor = row; }

    // The list's rows changed under the selection: a row inserted or removed, or the rows
    // reordered, the selection, current row and anchor given anew.
    void RowInserted(qint64 row);
    void RowRemoved(qint64 row);
    void Replace(cRowRanges rows, qint64 current, int column, qint64 anchor);

    // Shows the view the selection and current cell within its window, after the window or
    // the rows moved.
    void Sync();

private:
    cRowRanges RowsOf(const QItemSelection& selection) const;
    void Apply(const cRowRanges& rows, QItemSelectionModel::SelectionFlags command);
    static void ApplyTo(cRowRanges& selected, const cRowRanges& rows, QItemSelectionModel::SelectionFlags how);
    const cRowRanges& Effective() const;

    std::function<qint64()> m_base;
    cRowRanges m_committed;
    cRowRanges m_extension; // the range still being extended, under m_extensionCommand
    QItemSelectionModel::SelectionFlags m_extensionCommand;
    mutable cRowRanges m_effective;
    mutable bool m_effectiveValid = true;
    qint64 m_currentRow = -1;
    int m_currentColumn = -1;
    qint64 m_anchor = -1;
    bool m_syncing = false;
};
