#pragma once

// The main window's grid of records: columns, rows read on demand, sorting, selection and
// what moving in it says. It reads the recordset; it never writes a record.

#include <QAccessible>
#include <QString>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QTableView>

#include <functional>
#include <memory>
#include <vector>

class Recordset;
struct ExportSource;
class cRelationTexts;

// The main window's grid ("list"): one row per record of the recordset, one column per
// shown field. Rows are read from the recordset when they are needed, so a source of a
// million records opens at once. Rows are addressed by their index in the grid's current
// (possibly sorted) order, 0-based; a row's record is known by its key "k<position>".
class cRecordList : public QTableView {
    Q_OBJECT
public:
    explicit cRecordList(QWidget* parent = nullptr);
    ~cRecordList() override;

    // Columns. fieldIndex is the recordset field the column shows, so a hidden field never
    // shifts later columns onto the wrong field. ClearColumns also removes every row.
    void ClearColumns();
    void AddColumn(const QString& text, const QString& tag, int fieldIndex);
    int ColumnCount() const;
    QString HeaderText(int column) const;
    QString ColumnTag(int column) const;
    int ColumnField(int column) const;
    // The grid as an export writes it: each column's field and the format of its texts.
    ExportSource ExportColumns() const;

    // Rows. SetRecordset keeps the recordset for later reads without filling; FillList
    // rebuilds the rows from it (none without a recordset) and selects nothing.
    void SetRecordset(std::shared_ptr<Recordset> recordset);
    void FillList();
    void ClearRows();
    qint64 RowCount() const;
    // Every row's recordset position in the grid's order; one entry a row, so callers read it
    // on a worker while the grid stays as it is.
    std::vector<qint64> RowPositions() const;
    QString RowKey(qint64 row) const;
    qint64 RowPosition(qint64 row) const;
    // The row showing the record at position, or −1.
    qint64 RowOfPosition(qint64 position) const;
    QString CellText(qint64 row, int column) const;
    // ", " and each column's text.
    QString RowText(qint64 row) const;
    // The row as "caption: value" pairs of the shown columns, an empty value said as such,
    // a value that refers to another table's row followed by that row's text.
    QString RecordReading(qint64 row) const;
    // Where the texts of referred rows come from (none: nothing is looked up).
    void SetRelations(std::shared_ptr<cRelationTexts> relations);
    // The text of the row a cell's value refers to; empty where it refers to none.
    QString RelatedText(qint64 row, int column) const;
    // The current row said as a move in the grid says it. Beside a screen reader the
    // current cell is offered to it anew instead, so that it reads the row again.
    void SayCurrentRow(int mode);
    // Reading by cells: Left and Right move a current column, Home and End go to the first
    // and last column (with Ctrl to the first and last record), and a move says that cell.
    void SetCellReading(bool on);
    bool CellReading() const;
    // The current cell's column (0-based), −1 with none.
    int CurrentColumn() const;
    // Tells a screen reader that the current cell holds the focus, as a fresh object when
    // the rows changed under it (an order, a filter, a deletion).
    void OfferCurrentCell(bool rowsChanged);
    // Adds or refreshes the row of the record at which the recordset stands (its
    // position is given); returns the new row's index, or −1 when the row existed.
    qint64 PutRecordRow(qint64 position, bool select);
    // The records at positions (as they were) were deleted: their rows go.
    void RemoveRecordRows(const std::vector<qint64>& positions);
    // Only the records at these positions stay, in this order, the first one selected.
    void KeepRecordRows(const std::vector<qint64>& positions);

    // Selection: the selected row is the current one (−1 with none). The view holds a window
    // of the rows (cRecordListModel); the selection and the current row are the list's.
    qint64 SelectedRow() const;
    // The current row (−1: none), known while it is outside the view's window.
    qint64 CurrentRow() const;
    bool IsRowSelected(qint64 row) const;
    // Rows first … last under a selection model's command (Select, Deselect, Toggle, Clear).
    void SelectRows(qint64 first, qint64 last, QItemSelectionModel::SelectionFlags command);
    void selectAll() override;
    // The view's index of a row's cell: invalid while the row is outside the window.
    QModelIndex IndexOfRow(qint64 row, int column) const;
    qint64 RowOfIndex(const QModelIndex& index) const;
    qint64 CountSelected() const;
    QList<qint64> SelectedRows() const;
    // Makes row the only selected and current row and scrolls it into view.
    void SelectOnlyRow(qint64 row);

    // Sorting by the shown texts in the user's locale; it never changes the recordset.
    // SortByColumn is a click on that header: ascending, or the other order when it is
    // already the sort column. SortBy sets both. Each is true once the rows stand in the
    // asked order; a sort stopped with Escape or not readable was said by itself.
    bool SortByColumn(int column);
    // Ctrl with a digit: 1 … 9 sort by that column as a header click, 0 stops sorting. A
    // column that is not there is said, and returned false.
    bool SortByDigitKey(int digit);
    bool SortBy(int column, Qt::SortOrder order);
    void Unsort();
    bool IsSorted() const;
    int SortKey() const;
    Qt::SortOrder SortOrder() const;
    // The order as it is said: the column's caption and the direction, or the source's own.
    QString OrderText() const;

    // Widths from the tags (empty/other: fit to texts and header; "n%": of innerWidth;
    // a number: twips). FitColumnWidths fits every column to its texts only.
    void ApplyColumnWidths(int innerWidthPixels);
    void AutoSizeColumn(int column, bool useHeader);
    void FitColumnWidths();

    // Tag parts: 0 action, 1 width, 2 format; empty when missing.
    static QString MakeColumnTag(const QString& action, const QString& width, const QString& format);
    static QString ColumnTagPart(const QString& tag, int part);

    // Type-ahead over the first column, as the view's own but reading only that column.
    void keyboardSearch(const QString& search) override;

    // The column headers.
    QHeaderView* header() const { return horizontalHeader(); }

signals:
    // The selection changed (row −1: none); the window updates the position text and the
    // record commands.
    void ItemClicked(qint64 row);
    // A sort was made or turned off; the window updates the Order by checks.
    void SortChanged();
    // A key was released over a selected row, after its text was spoken; the window
    // refreshes the form view.
    void RowKeyReleased(qint64 row);

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void currentChanged(const QModelIndex& current, const QModelIndex& previous) override;
    void focusOutEvent(QFocusEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;

    void changeEvent(QEvent* event) override;
    QModelIndex moveCursor(CursorAction action, Qt::KeyboardModifiers modifiers) override;
    void updateGeometries() override;
    void selectionChanged(const QItemSelection& selected, const QItemSelection& deselected) override;

private:
    void SortFinished();
    // One cell as reading by cells says it, with its header or without, and the row number;
    // moved: a key moved the current cell there.
    void SayCell(qint64 row, int column, bool withHeader, bool withRowNumber, bool moved);
    void OfferCellWhenIdle();
    // Rows as high as a line of the grid's font.
    void FitRowHeight();
    // Moves the window so that row, with room rows on either side, is in it (within the
    // list); the index of the row's cell.
    QModelIndex ShowRow(qint64 row, int column, qint64 room = 0);
    void MoveWindow(qint64 base);
    // The window holds the page of rows from top on.
    void ShowPage(qint64 top);
    int PageRows() const;
    // The list's scroll bar from the view's, and the view's from the list's.
    void SyncListBar();
    void ScrollListTo(qint64 top);
    void WindowScrolled();
    // Shift with a move key: the selection runs from the anchor to the row the key moves to.
    void ExtendSelection(CursorAction action, Qt::KeyboardModifiers modifiers);
    // The current cell moved to target, and the range extended from anchor to its row.
    void ExtendSelectionTo(qint64 anchor, const QModelIndex& target);
    // A change of the rows' order that keeps the selection, the anchor and the current row
    // on their records.
    bool KeepSelectionOnRecords(const std::function<bool()>& change);
    // Tells a screen reader that a cell has the focus, or that a row was selected.
    void TellReader(QAccessible::Event event, qint64 row, int column);

    struct Impl;
    std::unique_ptr<Impl> d;
};
