#pragma once

// The grid's rows over a recordset, as a Qt model: which record each row shows, the texts
// read for the screen, changes of single rows, sorting and type-ahead. The order itself is
// computed in mRowOrder and the recordset kept in place by cPositionKeeper. No widgets.

#include "cSortedRows.h"
#include "mRowOrder.h"

#include <QAbstractTableModel>
#include <QCache>
#include <QHash>
#include <QSet>
#include <QStringList>

#include <algorithm>
#include <functional>
#include <memory>
#include <vector>

class Recordset;

// The grid's rows over a recordset. A full fill only records how many records there are:
// row texts are read from the recordset when the view asks for them and kept in a bounded
// cache. Rows added one by one (PutRow) keep the texts read at that moment. Sorting keeps a
// permutation of the rows (cSortedRows), never the sort keys.
// Rows are the list's rows everywhere but in the toolkit's interface (rowCount, index, data),
// which shows a window of at most WindowRows() of them from Base() on: the view keeps data
// for each row it has, and a longer list would make it work on every row at each change.
class cRecordListModel : public QAbstractTableModel {
    Q_OBJECT
public:
    struct Column {
        QString Text;
        QString Tag;
        QString Format; // the tag's format part, trimmed
        int Field = -1;
    };

    explicit cRecordListModel(QObject* parent = nullptr);
    ~cRecordListModel() override;

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

    void ClearColumns();
    void AddColumn(const QString& text, const QString& tag, int fieldIndex);
    const Column& ColumnAt(int column) const { return m_columns[size_t(column)]; }
    int Columns() const { return int(m_columns.size()); }

    // The window: the list row the view's first row shows, moved by SetBase (kept within the
    // list); a list no longer than WindowRows() is shown whole.
    qint64 Base() const { return m_base; }
    void SetBase(qint64 base);
    bool Windowed() const { return Rows() > s_windowRows; }
    static qint64 WindowRows() { return s_windowRows; }
    static void SetWindowRows(qint64 rows);

    void SetRecordset(std::shared_ptr<Recordset> recordset);
    const std::shared_ptr<Recordset>& RecordsetOf() const { return m_recordset; }
    // Every record of the recordset as a row, in recordset order (sorted again when a sort
    // is on).
    void Fill();
    void ClearRows();

    qint64 Rows() const;
    qint64 PositionOfRow(qint64 row) const;
    qint64 RowOfPosition(qint64 position) const;
    QString Text(qint64 row, int column) const;
    // The stored value behind a cell, read from the recordset (Null when it cannot be read).
    QVariant Value(qint64 row, int column) const;
    QStringList RowTexts(qint64 row) const;

    // The texts of the record at which the recordset stands, for the row of position:
    // refreshes it when it exists (returns −1, existing row in *row) or adds it (returns the
    // new row, in its sorted place when a sort is on).
    qint64 PutCurrent(qint64 position, qint64* row);
    // The records at positions were deleted from the recordset (the positions as they were
    // before): their rows go, the others keep their order and move to their new positions.
    void RemovePositions(std::vector<qint64> positions);
    // Only the records at these positions stay, as rows in this order.
    void KeepPositions(const std::vector<qint64>& positions);

    // False, with the rows as they were, when the sort was stopped or could not read.
    bool Sort(int column, Qt::SortOrder order);
    void Unsort();
    bool IsSorted() const { return m_sorted; }
    int SortColumn() const { return m_sortColumn; }
    Qt::SortOrder Order() const { return m_order; }

    // The rows a width is measured on: all of them, or at most limit spread over the list
    // (always including rows first … first + count − 1, the ones on screen).
    std::vector<qint64> SampleRows(qint64 limit, qint64 first, qint64 count) const;

    // The first row from start on (wrapping) whose text in column begins with prefix, in any
    // letter case; −1 when none does.
    qint64 FindRow(int column, const QString& prefix, qint64 start) const;
    // Every row's recordset position, in the rows' order.
    std::vector<qint64> PositionsInOrder() const;
    // Reads the rows' texts into the cache in one pass of the recordset.
    void Prefetch(const std::vector<qint64>& rows) const;

    // The texts shown for one value in a column.
    static QString CellTextOf(const QVariant& value, const QString& format);

signals:
    // A row was inserted at the list row, or removed from it, with every row after it moved
    // by one; raised after the toolkit's own signals, if any.
    void RowInserted(qint64 row);
    void RowRemoved(qint64 row);
    // A record could not be read (its cells show as unreadable). Raised once for each
    // kind of failure until the rows are filled again, so a failing screen is not repeated.
    void ReadFailed(const QString& message) const;

private:
    // Base rows are the rows in the order they were added; grid rows are base rows through
    // the sort permutation.
    void ForgetRows();
    qint64 BaseOfRow(qint64 row) const;
    qint64 RowOfBase(qint64 base) const;
    qint64 PositionOfBase(qint64 base) const;
    qint64 BaseCount() const;
    // Rows stop being "position = base index" when one is added out of that order.
    void MakeExplicit();
    void AppendBase(qint64 position);
    QStringList ReadCurrent() const;
    const QStringList& TextsOfPosition(qint64 position) const;
    // The recordset may be read for the screen now: there is one, it can be put back where it
    // stood, and no long work on another thread is using it.
    bool MayRead() const;
    // The texts of position are at hand, kept or cached.
    bool HasTexts(qint64 position) const;
    // Caches texts read for position; false for the empty or unreadable row, never cached.
    bool Remember(qint64 position, const QStringList& texts) const;
    // Reads positions in order, each through visit(position, texts of the record), which
    // returns false to stop; leaves the recordset where it stood. Rows kept by PutCurrent give
    // their kept texts, and with onlyColumn ≥ 0 only that column's text is read.
    template <typename Visit>
    void Walk(const std::vector<qint64>& positions, int onlyColumn, Visit visit) const;
    // The grid rows' bases in the order of column (ComputeRowOrder), as rows in that order, as
    // long work: said, stoppable, a read failure told; made without touching the rows.
    bool OrderRows(int column, Qt::SortOrder order, qint64 count, const std::function<qint64(qint64)>& positionOfBase,
                   cSortedRows& rows, SortKind* kind) const;
    QVariant ValueAtRow(qint64 row, int field) const;
    // visit(row, base) for the rows first … last − 1 in order, until it returns false.
    template <typename Visit>
    bool WalkRows(qint64 first, qint64 last, Visit visit) const
    {
        if (!m_sortedRows.Empty())
            return m_sortedRows.Walk(first, last, visit);
        for (qint64 row = std::max<qint64>(first, 0); row < std::min(last, BaseCount()); ++row)
            if (!visit(row, row))
                return false;
        return true;
    }
    // The first character of a text as type-ahead compares it: case folded, a whole character.
    static char32_t InitialOf(const QString& text);
    // The first character of every position's text in column, for type-ahead; false when
    // stopped.
    bool BuildInitials(int column) const;
    void ForgetInitials();
    // Runs a change of the rows' order, keeping persistent indexes on their records.
    void Reorder(const std::function<void()>& change);
    // The texts of a record that could not be read, after telling of the failure.
    const QStringList& Unreadable() const;

    // Keeps the window within the list, the view's rows from base on showing the same
    // records where they can.
    void ClampBase();
    // Every row of the window shows another record than before.
    void ShowRowsChanged();

    static qint64 s_windowRows;
    qint64 m_base = 0;
    std::vector<Column> m_columns;
    std::shared_ptr<Recordset> m_recordset;

    qint64 m_identityCount = 0; // while !m_explicit: base i shows position i
    bool m_explicit = false;
    std::vector<qint64> m_positions;          // while m_explicit
    QHash<qint64, qint64> m_baseOfPosition;   // while m_explicit

    cSortedRows m_sortedRows; // empty: unsorted

    QHash<qint64, QStringList> m_kept;
    mutable QCache<qint64, QStringList> m_cache;
    QStringList m_emptyRow;
    mutable QStringList m_unreadableRow;
    mutable QSet<QString> m_reportedFailures;
    mutable std::vector<char32_t> m_initials; // by position
    mutable QSet<char32_t> m_initialsPresent;
    mutable int m_initialsColumn = -1;

    bool m_sorted = false;
    bool m_sortedByValue = false; // numbers or dates, not their texts
    int m_sortColumn = 0;
    Qt::SortOrder m_order = Qt::AscendingOrder;
};
