#include "cRecordList.h"

#include "cGridSelection.h"
#include "cRecordListAccessible.h"
#include "cRecordListImpl.h"
#include "cRecordListModel.h"
#include "Field.h"
#include "Recordset.h"
#include "cRelationTexts.h"
#include "mCellReading.h"
#include "mExport.h"
#include "mKeys.h"
#include "mLongWork.h"
#include "mPrepareForm.h"
#include "mScreenReader.h"
#include "mStringTable.h"
#include "modCommon.h"
#include "sMain.h"

#include <QAccessible>
#include <QApplication>
#include <QElapsedTimer>
#include <QFocusEvent>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QLocale>
#include <QPainter>
#include <QScopedValueRollback>
#include <QScrollBar>
#include <QSet>
#include <QStyledItemDelegate>
#include <QTimer>

#include <algorithm>
#include <utility>

namespace {

// Rows measured when a column is fitted to its texts; a huge list is sampled.
constexpr qint64 kFitSampleRows = 1000;

// Grid lines: the right and bottom edge of every cell.
class cGridDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        const auto* list = qobject_cast<const cRecordList*>(parent());
        if (list && list->CellReading() && index == list->currentIndex()) {
            // The cell being read stands out of its selected row: the selection's colours inverted.
            QStyleOptionViewItem cell(option);
            cell.state |= QStyle::State_Selected;
            const QColor highlight = option.palette.color(QPalette::Highlight);
            cell.palette.setColor(QPalette::Highlight, option.palette.color(QPalette::HighlightedText));
            cell.palette.setColor(QPalette::HighlightedText, highlight);
            QStyledItemDelegate::paint(painter, cell, index);
        } else {
            QStyledItemDelegate::paint(painter, option, index);
        }
        painter->save();
        QColor line = option.palette.color(QPalette::Text);
        line.setAlpha(96);
        painter->setPen(line);
        const QRect r = option.rect;
        painter->drawLine(r.topRight(), r.bottomRight());
        painter->drawLine(r.bottomLeft(), r.bottomRight());
        painter->restore();
    }
};

} // namespace

cRecordList::cRecordList(QWidget* parent) : QTableView(parent), d(std::make_unique<Impl>())
{
    cRecordListAccessible::Install();
    setObjectName(QStringLiteral("list"));
    SetControlId(this, kRecordListControlId);
    setAccessibleName(QStringLiteral("Záznamy"));
    d->Model = new cRecordListModel(this);
    setModel(d->Model);
    QItemSelectionModel* toolkits = selectionModel();
    d->Selection = new cGridSelection(d->Model, [model = d->Model] { return model->Base(); }, this);
    setSelectionModel(d->Selection);
    delete toolkits;
    // Rows moved under a window that stays full: the view was told only that its rows show
    // other records, so the selection and the current cell are shown it anew.
    connect(d->Model, &cRecordListModel::RowInserted, this, [this](qint64 row) {
        d->Selection->RowInserted(row);
        d->Selection->Sync();
    });
    connect(d->Model, &cRecordListModel::RowRemoved, this, [this](qint64 row) {
        d->Selection->RowRemoved(row);
        d->Selection->Sync();
    });
    d->ListBar = new QScrollBar(Qt::Vertical, this);
    d->ListBar->setObjectName(QStringLiteral("listBar"));
    d->ListBar->setAccessibleName(QStringLiteral("Záznamy"));
    d->ListBar->setFocusPolicy(Qt::NoFocus);
    d->ListBar->hide();
    addScrollBarWidget(d->ListBar, Qt::AlignTop);
    connect(d->ListBar, &QScrollBar::valueChanged, this, [this](int value) {
        if (!d->MovingWindow)
            ScrollListTo(value);
    });
    connect(verticalScrollBar(), &QScrollBar::valueChanged, this, [this] { WindowScrolled(); });
    setItemDelegate(new cGridDelegate(this));
    // A table keeps no layout data a row (a tree view does, and lays out every row again
    // when one is added or removed): rows are of one height, found by arithmetic.
    setShowGrid(false);
    setWordWrap(false);
    setCornerButtonEnabled(false);
    setTabKeyNavigation(false);
    verticalHeader()->hide();
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    horizontalHeader()->setHighlightSections(false);
    FitRowHeight();
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setTextElideMode(Qt::ElideNone);
    header()->setSectionsClickable(true);
    header()->setSectionsMovable(false);
    header()->setStretchLastSection(false);
    header()->setSortIndicatorShown(false);
    // Queued: the failure is told after what the key being handled says of the row, whose
    // cells already say they could not be read.
    connect(
        d->Model, &cRecordListModel::ReadFailed, this, [](const QString& message) { VoiceOutput(1, 0, message); },
        Qt::QueuedConnection);
    connect(header(), &QHeaderView::sectionClicked, this, [this](int section) { SortByColumn(section); });
    // What a screen reader read of a row before the rows changed is no longer what they hold.
    const auto stale = [this] { d->ReaderHeard = false; };
    connect(d->Model, &QAbstractItemModel::modelReset, this, stale);
    connect(d->Model, &QAbstractItemModel::layoutChanged, this, stale);
    connect(d->Model, &QAbstractItemModel::rowsRemoved, this, stale);
    connect(d->Model, &QAbstractItemModel::rowsInserted, this, stale);
    connect(d->Model, &QAbstractItemModel::dataChanged, this, stale);
    connect(selectionModel(), &QItemSelectionModel::selectionChanged, this,
            [this] { emit ItemClicked(SelectedRow()); });
    connect(selectionModel(), &QItemSelectionModel::currentChanged, this, [this] { emit ItemClicked(SelectedRow()); });
}

cRecordList::~cRecordList() = default;

void cRecordList::ClearColumns()
{
    d->Model->ClearColumns();
    header()->setSortIndicatorShown(false);
    emit ItemClicked(-1);
}

void cRecordList::AddColumn(const QString& text, const QString& tag, int fieldIndex)
{
    d->Model->AddColumn(text, tag, fieldIndex);
    d->Selection->Sync(); // selected rows take in the new column
}

int cRecordList::ColumnCount() const
{
    return d->Model->Columns();
}

QString cRecordList::HeaderText(int column) const
{
    return column >= 0 && column < ColumnCount() ? d->Model->ColumnAt(column).Text : QString();
}

QString cRecordList::ColumnTag(int column) const
{
    return column >= 0 && column < ColumnCount() ? d->Model->ColumnAt(column).Tag : QString();
}

int cRecordList::ColumnField(int column) const
{
    return column >= 0 && column < ColumnCount() ? d->Model->ColumnAt(column).Field : -1;
}

void cRecordList::SetRecordset(std::shared_ptr<Recordset> recordset)
{
    d->Model->SetRecordset(std::move(recordset));
}

void cRecordList::FillList()
{
    const bool wasSorted = d->Model->IsSorted();
    d->Model->Fill();
    if (wasSorted && !d->Model->IsSorted()) { // the sort was stopped: the rows stand unsorted
        header()->setSortIndicatorShown(false);
        emit SortChanged();
    }
    emit ItemClicked(SelectedRow());
}

void cRecordList::ClearRows()
{
    d->Model->ClearRows();
    emit ItemClicked(-1);
}

qint64 cRecordList::RowCount() const
{
    return d->Model->Rows();
}

std::vector<qint64> cRecordList::RowPositions() const
{
    return d->Model->PositionsInOrder();
}

ExportSource cRecordList::ExportColumns() const
{
    ExportSource source;
    for (int column = 0; column < ColumnCount(); ++column) {
        source.Fields.push_back(ColumnField(column));
        source.Formats << ColumnTagPart(ColumnTag(column), 2).trimmed();
    }
    return source;
}

QString cRecordList::RowKey(qint64 row) const
{
    const qint64 position = RowPosition(row);
    return position < 0 ? QString() : QStringLiteral("k%1").arg(position);
}

qint64 cRecordList::RowPosition(qint64 row) const
{
    return d->Model->PositionOfRow(row);
}

qint64 cRecordList::RowOfPosition(qint64 position) const
{
    return d->Model->RowOfPosition(position);
}

QString cRecordList::CellText(qint64 row, int column) const
{
    return d->Model->Text(row, column);
}

QString cRecordList::RowText(qint64 row) const
{
    QString text;
    const QStringList texts = d->Model->RowTexts(row);
    for (const QString& cell : texts) {
        text += QStringLiteral(", ");
        text += cell;
    }
    return text;
}

QString cRecordList::RecordReading(qint64 row) const
{
    const QStringList texts = d->Model->RowTexts(row);
    QStringList pairs;
    for (int column = 0; column < texts.size() && column < ColumnCount(); ++column) {
        QString said = HeaderText(column) + QStringLiteral(": ") + CellValueSpoken(texts.at(column));
        if (const QString related = RelatedText(row, column); !related.isEmpty())
            said += QStringLiteral(", ") + related;
        pairs << said;
    }
    return pairs.join(QStringLiteral(", "));
}

void cRecordList::SetRelations(std::shared_ptr<cRelationTexts> relations)
{
    d->Relations = std::move(relations);
}

QString cRecordList::RelatedText(qint64 row, int column) const
{
    const std::shared_ptr<Recordset>& records = d->Model->RecordsetOf();
    if (!d->Relations || !records || row < 0 || column < 0 || column >= ColumnCount())
        return QString();
    const auto fields = records->Fields();
    const int field = ColumnField(column);
    if (!fields || field < 0 || field >= fields->Count())
        return QString();
    const FieldSchema& schema = fields->Item(field)->Schema();
    if (schema.SourceTable.isEmpty() || !d->Relations->Refers(schema.SourceTable, schema.SourceField))
        return QString();
    return d->Relations->TextOf(schema.SourceTable, schema.SourceField, d->Model->Value(row, column));
}

qint64 cRecordList::PutRecordRow(qint64 position, bool select)
{
    qint64 row = -1;
    const qint64 added = d->Model->PutCurrent(position, &row);
    if (select)
        SelectOnlyRow(row);
    return added;
}

void cRecordList::KeepRecordRows(const std::vector<qint64>& positions)
{
    d->Model->KeepPositions(positions);
    if (RowCount() > 0)
        SelectOnlyRow(0);
    emit ItemClicked(SelectedRow());
}

void cRecordList::RemoveRecordRows(const std::vector<qint64>& positions)
{
    d->Model->RemovePositions(positions);
    emit ItemClicked(SelectedRow());
}

bool cRecordList::SortByColumn(int column)
{
    if (column < 0 || column >= ColumnCount())
        return false;
    const bool toggle = d->Model->IsSorted() && d->Model->SortColumn() == column;
    const Qt::SortOrder order = toggle && d->Model->Order() == Qt::AscendingOrder ? Qt::DescendingOrder
                                                                                   : Qt::AscendingOrder;
    return SortBy(column, order);
}

bool cRecordList::SortByDigitKey(int digit)
{
    if (digit == 0) {
        if (IsSorted())
            Unsort();
        return true;
    }
    if (digit < 1 || digit > ColumnCount()) {
        VoiceOutput(2, 0, FillPlaceholders(LoadString(10593), {QString::number(digit)}));
        return false;
    }
    return SortByColumn(digit - 1);
}

bool cRecordList::SortBy(int column, Qt::SortOrder order)
{
    if (column < 0 || column >= ColumnCount())
        return false;
    if (!KeepSelectionOnRecords([&] { return d->Model->Sort(column, order); }))
        return false; // stopped, or unreadable: as it was, and said so
    header()->setSortIndicator(column, order);
    header()->setSortIndicatorShown(true);
    SortFinished();
    return true;
}

void cRecordList::Unsort()
{
    KeepSelectionOnRecords([this] {
        d->Model->Unsort();
        return true;
    });
    header()->setSortIndicatorShown(false);
    SortFinished();
}

void cRecordList::SortFinished()
{
    // The selected row kept its record; the position text follows it to its new place.
    const qint64 row = SelectedRow();
    if (row >= 0)
        scrollTo(ShowRow(row, std::max(CurrentColumn(), 0)));
    emit ItemClicked(row);
    emit SortChanged();
}

bool cRecordList::IsSorted() const
{
    return d->Model->IsSorted();
}

int cRecordList::SortKey() const
{
    return d->Model->SortColumn();
}

Qt::SortOrder cRecordList::SortOrder() const
{
    return d->Model->Order();
}

QString cRecordList::OrderText() const
{
    if (!IsSorted())
        return LoadString(10617);
    return FillPlaceholders(LoadString(SortOrder() == Qt::AscendingOrder ? 10615 : 10616), {HeaderText(SortKey())});
}

namespace {

// A number as the user may write it in a tag: in the locale's form or with a point.
bool ReadNumber(const QString& text, double& value)
{
    bool ok = false;
    value = QLocale().toDouble(text, &ok);
    if (!ok)
        value = text.toDouble(&ok);
    return ok && value >= 0;
}

} // namespace

void cRecordList::ApplyColumnWidths(int innerWidthPixels)
{
    for (int column = 0; column < ColumnCount(); ++column) {
        const QString width = ColumnTagPart(ColumnTag(column), 1).trimmed().toLower();
        double number = 0;
        if (width.endsWith(QLatin1Char('%')) && ReadNumber(width.chopped(1).trimmed(), number))
            setColumnWidth(column, qRound(innerWidthPixels * number / 100.0));
        else if (!width.isEmpty() && ReadNumber(width, number))
            setColumnWidth(column, TwipsToPixels(this, number));
        else
            AutoSizeColumn(column, true);
    }
}

void cRecordList::AutoSizeColumn(int column, bool useHeader)
{
    if (column < 0 || column >= ColumnCount())
        return;
    const QFontMetrics metrics(font());
    const int margin = 2 * (style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, this) + 1) + 6;
    int width = 0;
    const QModelIndex top = indexAt(QPoint(0, 0));
    const qint64 firstShown = top.isValid() ? RowOfIndex(top) : 0;
    const qint64 shown = std::max<qint64>(viewport()->height() / std::max(1, verticalHeader()->defaultSectionSize()) + 2, 1);
    const std::vector<qint64> sample = d->Model->SampleRows(kFitSampleRows, firstShown, shown);
    d->Model->Prefetch(sample);
    // Columns repeat their values (towns, yes/no): each text is measured once.
    QSet<QString> measured;
    measured.reserve(qsizetype(sample.size()));
    for (const qint64 row : sample) {
        QString text = CellText(row, column);
        if (!measured.contains(text)) {
            width = std::max(width, metrics.horizontalAdvance(text) + margin);
            measured.insert(std::move(text));
        }
    }
    if (useHeader)
        width = std::max(width, header()->sectionSizeHint(column));
    setColumnWidth(column, std::max(width, 8));
}

void cRecordList::FitColumnWidths()
{
    for (int column = 0; column < ColumnCount(); ++column)
        AutoSizeColumn(column, false);
}

QString cRecordList::MakeColumnTag(const QString& action, const QString& width, const QString& format)
{
    return action + QLatin1Char('|') + width + QLatin1Char('|') + format;
}

QString cRecordList::ColumnTagPart(const QString& tag, int part)
{
    if (part < 0)
        return {};
    const QStringList parts = tag.split(QLatin1Char('|'));
    return part < parts.size() ? parts[part] : QString();
}

void cRecordList::keyboardSearch(const QString& search)
{
    if (search.isEmpty() || !d->SearchTimer.isValid()
        || d->SearchTimer.elapsed() > QApplication::keyboardInputInterval())
        d->Search = search;
    else
        d->Search += search;
    d->SearchTimer.start();
    if (search.isEmpty() || RowCount() == 0 || ColumnCount() == 0)
        return;
    // One letter, or the same letter again and again, goes on to the next row that has it.
    QString text = d->Search;
    const bool sameKey = text.size() > 1 && text.count(text.front()) == text.size();
    if (sameKey)
        text = text.left(1);
    const qint64 current = CurrentRow();
    qint64 start = std::max<qint64>(current, 0);
    if (current >= 0 && text.size() == 1)
        ++start;
    const qint64 row = d->Model->FindRow(0, text, start);
    if (row >= 0)
        SelectOnlyRow(row);
}

void cRecordList::FitRowHeight()
{
    const QFontMetrics metrics(font());
    verticalHeader()->setMinimumSectionSize(1);
    verticalHeader()->setDefaultSectionSize(metrics.height() + 2 * (style()->pixelMetric(QStyle::PM_FocusFrameVMargin) + 1));
}

void cRecordList::changeEvent(QEvent* event)
{
    QTableView::changeEvent(event);
    if (event->type() == QEvent::FontChange)
        FitRowHeight();
}

void cRecordList::keyPressEvent(QKeyEvent* event)
{
    d->PressedKey = event->key();
    d->RowAtPress = SelectedRow();
    const int code = KeyCodeOf(event);
    const int shift = ShiftOf(event);
    if (shift == ShiftMask::Ctrl && code >= '0' && code <= '9') {
        // The new order first and the row after it, once the rows stand in it; a column that
        // is not there, or a sort stopped with Escape, was said instead.
        if (SortByDigitKey(code - '0')) {
            VoiceOutput(2, 0, OrderText());
            SayCurrentRow(1);
        }
        d->QuietRelease = true;
        event->accept();
        return;
    }
    // A current row scrolled out of the window comes back into it before a key moves from it.
    const qint64 current = CurrentRow();
    if (current >= 0 && !currentIndex().isValid())
        ShowRow(current, CurrentColumn());
    d->ColumnAtPress = CurrentColumn();
    const bool rowEdge = (code == Key::Up && current == 0) || (code == Key::Down && current == RowCount() - 1);
    const bool columnEdge = d->CellReading && shift == 0
                            && ((code == Key::Left && d->ColumnAtPress == 0)
                                || (code == Key::Right && d->ColumnAtPress == ColumnCount() - 1));
    if (current >= 0 && (rowEdge || columnEdge))
        VoiceOutput(5, 8, QString());
    const QScopedValueRollback moving(d->UserMoves, true);
    // Shift extends the selection from where it began, which may lie beyond the window.
    if ((shift & ShiftMask::Shift) && !(shift & ShiftMask::Alt)) {
        const std::pair<int, CursorAction> moves[] = {{Key::Up, MoveUp},         {Key::Down, MoveDown},
                                                      {Key::PageUp, MovePageUp}, {Key::PageDown, MovePageDown},
                                                      {Key::Home, MoveHome},     {Key::End, MoveEnd}};
        for (const auto& [key, action] : moves)
            if (code == key) {
                ExtendSelection(action, event->modifiers());
                event->accept();
                return;
            }
    }
    if ((code == Key::Home || code == Key::End) && shift == ShiftMask::Ctrl) {
        // With Ctrl the view would move the current cell and leave the selection behind.
        const QScopedValueRollback ends(d->ToRecordEnds, true);
        QKeyEvent plain(event->type(), event->key(), Qt::NoModifier, event->text(), event->isAutoRepeat());
        QTableView::keyPressEvent(&plain);
        event->setAccepted(plain.isAccepted());
    } else {
        QTableView::keyPressEvent(event);
    }
    // A move without Shift begins the range a later Shift extends.
    if (CurrentRow() != current)
        d->Selection->SetAnchor(CurrentRow());
}

void cRecordList::keyReleaseEvent(QKeyEvent* event)
{
    QTableView::keyReleaseEvent(event);
    // Auto-repeat produces releases too; only the real one speaks.
    if (event->isAutoRepeat())
        return;
    // Ctrl let go before End is still Ctrl+End: a modifier's release forgets no press.
    const int released = event->key();
    if (released == Qt::Key_Control || released == Qt::Key_Shift || released == Qt::Key_Alt
        || released == Qt::Key_Meta || released == Qt::Key_AltGr)
        return;
    // A window shortcut (Ctrl+F, F12, …) took the press and said its own piece.
    const bool pressedHere = std::exchange(d->PressedKey, 0) == event->key();
    const int code = KeyCodeOf(event);
    if (code < 32) {
        // Enter, Tab, Backspace and Escape have no use here; they would otherwise be silent.
        const bool unused = code == Key::Return || code == Key::Tab || code == Key::Back || code == Key::Escape;
        if (pressedHere && unused && ShiftOf(event) == 0)
            VoiceOutput(2, 0, LoadString(10597));
        return;
    }
    if (std::exchange(d->QuietRelease, false) || !pressedHere)
        return;
    const qint64 row = SelectedRow();
    if (row < 0)
        return;
    if (d->CellReading) {
        const int column = CurrentColumn();
        const bool rowMoved = row != d->RowAtPress;
        const bool columnMoved = column != d->ColumnAtPress;
        // Up and Down keep the column: its value is news, its header is not.
        SayCell(row, column, columnMoved || !rowMoved, rowMoved && !columnMoved && gCellRowNumber != 0,
                rowMoved || columnMoved);
        emit RowKeyReleased(row);
        return;
    }
    // A key that left the row where it was (a letter no row starts with, Down on the last
    // row) moved no focus a screen reader could read: the row is said here in any case.
    if (row == d->RowAtPress)
        VoiceOutput(2, 0, RowText(row));
    else
        VoiceEcho(2, 0, RowText(row));
    emit RowKeyReleased(row);
}

void cRecordList::focusInEvent(QFocusEvent* event)
{
    QTableView::focusInEvent(event);
    // Only the grid's own focus reaches a screen reader on the way back, which then says the
    // table and not the record: the cell's focus follows, once the grid has it.
    d->CellOfferPending = true;
    OfferCellWhenIdle();
    // A closed menu gives the focus back without the grid having lost it to another control.
    if (event->reason() == Qt::PopupFocusReason)
        return;
    // The menu bar gives the focus back before its command runs: the row waits, left out if the
    // command spoke or opened a dialog. After a dialog it queues behind its command's words.
    const qint32 mode = event->reason() == Qt::ActiveWindowFocusReason ? 1 : 2;
    const auto sayRow = [this, mode, serial = VoiceSerial()] {
        const qint64 row = SelectedRow();
        const QWidget* modal = QApplication::activeModalWidget();
        if (row >= 0 && (!modal || modal == window()) && VoiceSerial() == serial)
            VoiceEcho(mode, 0, RowText(row));
    };
    if (event->reason() == Qt::MenuBarFocusReason)
        QTimer::singleShot(0, this, sayRow);
    else
        sayRow();
}

void cRecordList::currentChanged(const QModelIndex& current, const QModelIndex& previous)
{
    // The table view tells a screen reader that each new current cell has the focus, even
    // while the grid hides behind the form view and a box has the keyboard: the screen
    // reader would leave the box for the grid on every Page Down. Only the user's own
    // moves are told as they happen; a command that moves the row (a filter, a deletion)
    // tells it once it is done (SayCurrentRow).
    // The toolkit would number the cell by its row in the window: it is told here by its row in
    // the list, as the grid's table numbers its cells.
    if (hasFocus() && d->UserMoves && !d->MovingWindow && current.isValid()) {
        const qint64 row = RowOfIndex(current);
        d->ReaderHeard = row != d->ReaderRow;
        d->ReaderRow = row;
        TellReader(QAccessible::Focus, row, current.column());
    }
    QAbstractItemView::currentChanged(current, previous); // NOLINT(bugprone-parent-virtual-call)
}

void cRecordList::mousePressEvent(QMouseEvent* event)
{
    const QScopedValueRollback moving(d->UserMoves, true);
    const QModelIndex index = indexAt(event->position().toPoint());
    if (event->button() == Qt::LeftButton && (event->modifiers() & Qt::ShiftModifier) && index.isValid()) {
        // From the range's beginning, which may lie beyond the window.
        ExtendSelectionTo(d->Selection->Anchor(), index);
        event->accept();
        return;
    }
    QTableView::mousePressEvent(event);
    if (!(event->modifiers() & Qt::ShiftModifier))
        d->Selection->SetAnchor(CurrentRow());
}

void cRecordList::focusOutEvent(QFocusEvent* event)
{
    QTableView::focusOutEvent(event);
    d->ReaderRow = -1; // whatever takes the focus is read, and the row is read anew on return
}

void cRecordList::OfferCellWhenIdle()
{
    // A command still at work (a filter being applied behind the closed dialog) offers the
    // cell itself once the rows stand; offered before, it would be read as they were.
    QTimer::singleShot(LongWorkRunning() ? 50 : 0, this, [this] {
        if (!d->CellOfferPending)
            return;
        if (LongWorkRunning())
            OfferCellWhenIdle();
        else
            OfferCurrentCell(false);
    });
}

void cRecordList::SayCurrentRow(int mode)
{
    const qint64 row = SelectedRow();
    if (row < 0)
        return;
    // A screen reader reads a whole row only when its focus arrives in another row than the
    // one it read last; in the same row it would read one cell, so the row is said here,
    // unless it has just read it as it now stands.
    if (ScreenReaderReads() && d->ReaderRow == row) {
        if (!d->ReaderHeard)
            VoiceOutput(mode, 0, RowText(row));
        return;
    }
    OfferCurrentCell(true);
    VoiceEcho(mode, 0, RowText(row));
}

void cRecordList::OfferCurrentCell(bool rowsChanged)
{
    const qint64 row = CurrentRow();
    if (!QAccessible::isActive() || !hasFocus() || row < 0)
        return;
    d->CellOfferPending = false; // one offer is enough for one return
    d->ReaderHeard = row != d->ReaderRow; // in the same row it reads one cell
    d->ReaderRow = row;
    if (rowsChanged)
        if (auto* table = static_cast<cRecordListAccessible*>(QAccessible::queryAccessibleInterface(this)))
            table->ForgetCells();
    TellReader(QAccessible::Focus, row, CurrentColumn());
}

void cRecordList::SetCellReading(bool on)
{
    d->CellReading = on;
    if (on && CurrentRow() >= 0)
        scrollTo(ShowRow(CurrentRow(), CurrentColumn()));
    viewport()->update();
}

bool cRecordList::CellReading() const
{
    return d->CellReading;
}

int cRecordList::CurrentColumn() const
{
    return CurrentRow() >= 0 ? d->Selection->CurrentColumn() : -1;
}

void cRecordList::SayCell(qint64 row, int column, bool withHeader, bool withRowNumber, bool moved)
{
    if (row < 0 || column < 0 || column >= ColumnCount())
        return;
    const QString header = HeaderText(column);
    // A value that refers to another table's row is told with that row's text.
    QString value = CellText(row, column);
    if (const QString related = RelatedText(row, column); !related.isEmpty())
        value += QStringLiteral(", ") + related;
    QString said = withHeader ? CellSpoken(header, value, gCellHeaderFirst != 0) : CellValueSpoken(value);
    if (withRowNumber)
        said += QStringLiteral(", ") + FillPlaceholders(LoadString(10887), {QString::number(row + 1)});
    // Moved, the cell has the focus a screen reader reads; kept, the key moved nothing it could read.
    if (moved)
        VoiceEcho(2, 0, said, false, 0, true);
    else
        VoiceOutput(2, 0, said, false, 0, true);
    VoiceOutput(2, 0, CellBraille(header, value, BrailleCells()), true);
}
