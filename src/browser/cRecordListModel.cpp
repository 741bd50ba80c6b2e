#include "cRecordListModel.h"

#include "mGridText.h"

#include "Recordset.h"
#include "cPositionKeeper.h"
#include "cRecordList.h"
#include "cWorkControl.h"
#include "mErrorMessage.h"
#include "mLongWork.h"
#include "mStringTable.h"

#include <QCollator>

#include <algorithm>
#include <exception>
#include <functional>

#include <malloc.h>
#include <numeric>

namespace {

// Rows read around one the view asks for, in one forward pass of the recordset.
constexpr qint64 kReadBlock = 64;
// Rows whose texts are kept after they were read.
constexpr int kCacheRows = 4096;

} // namespace

// Rows the view holds at most: its data for them stays small, and a window moves rarely.
qint64 cRecordListModel::s_windowRows = 100000;

cRecordListModel::cRecordListModel(QObject* parent) : QAbstractTableModel(parent), m_cache(kCacheRows) {}

cRecordListModel::~cRecordListModel() = default;

int cRecordListModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(std::min(Rows(), s_windowRows));
}

void cRecordListModel::SetWindowRows(qint64 rows)
{
    s_windowRows = std::max<qint64>(rows, 1);
}

void cRecordListModel::ClampBase()
{
    m_base = std::clamp<qint64>(m_base, 0, std::max<qint64>(Rows() - s_windowRows, 0));
}

void cRecordListModel::SetBase(qint64 base)
{
    const qint64 was = m_base;
    m_base = base;
    ClampBase();
    if (m_base != was)
        ShowRowsChanged();
}

void cRecordListModel::ShowRowsChanged()
{
    // Only the rows on screen are painted again: the cost does not grow with the window.
    if (rowCount() > 0 && Columns() > 0)
        emit dataChanged(index(0, 0), index(rowCount() - 1, Columns() - 1));
}

int cRecordListModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : Columns();
}

QVariant cRecordListModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || (role != Qt::DisplayRole && role != Qt::AccessibleTextRole))
        return {};
    const QString text = Text(m_base + index.row(), index.column());
    // A screen reader must not meet a cell without a name.
    if (role == Qt::AccessibleTextRole && text.isEmpty())
        return LoadString(504);
    return text;
}

QVariant cRecordListModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || section < 0 || section >= Columns())
        return {};
    if (role == Qt::DisplayRole)
        return m_columns[size_t(section)].Text;
    return {};
}

void cRecordListModel::ForgetRows()
{
    m_base = 0;
    m_identityCount = 0;
    m_explicit = false;
    m_positions.clear();
    m_baseOfPosition.clear();
    m_sortedRows.Clear();
    m_kept.clear();
    m_cache.clear();
    m_reportedFailures.clear();
    ForgetInitials();
}

void cRecordListModel::ClearColumns()
{
    beginResetModel();
    m_columns.clear();
    ForgetRows();
    m_sorted = false;
    m_sortColumn = 0;
    m_order = Qt::AscendingOrder;
    endResetModel();
}

void cRecordListModel::AddColumn(const QString& text, const QString& tag, int fieldIndex)
{
    const int at = Columns();
    beginInsertColumns({}, at, at);
    Column column;
    column.Text = text;
    column.Tag = tag;
    column.Format = cRecordList::ColumnTagPart(tag, 2).trimmed();
    column.Field = fieldIndex;
    m_columns.push_back(column);
    m_cache.clear();
    m_kept.clear(); // kept rows have no text for the new column; they are read anew
    ForgetInitials();
    endInsertColumns();
}

void cRecordListModel::SetRecordset(std::shared_ptr<Recordset> recordset)
{
    m_recordset = std::move(recordset);
    m_cache.clear();
    ForgetInitials();
}

void cRecordListModel::ClearRows()
{
    beginResetModel();
    ForgetRows();
    endResetModel();
}

void cRecordListModel::Fill()
{
    // A recordset that cannot be counted fails the fill before the rows change.
    const qint64 count = m_recordset ? m_recordset->RecordCount() : 0;
    // Filled rows stand in recordset order, base i at position i; a sort still on is made
    // anew, and a stopped one leaves them unsorted.
    cSortedRows rows;
    SortKind kind = SortKind::Text;
    const bool sorted = m_sorted && OrderRows(m_sortColumn, m_order, count, [](qint64 base) { return base; }, rows, &kind);
    beginResetModel();
    ForgetRows();
    m_identityCount = count;
    m_sorted = sorted;
    m_sortedByValue = kind != SortKind::Text;
    if (sorted)
        m_sortedRows = std::move(rows);
    endResetModel();
}

qint64 cRecordListModel::BaseCount() const
{
    return m_explicit ? qint64(m_positions.size()) : m_identityCount;
}

qint64 cRecordListModel::Rows() const
{
    return BaseCount();
}

qint64 cRecordListModel::BaseOfRow(qint64 row) const
{
    if (row < 0 || row >= BaseCount())
        return -1;
    return m_sortedRows.Empty() ? row : m_sortedRows.BaseOfRow(row);
}

qint64 cRecordListModel::RowOfBase(qint64 base) const
{
    if (base < 0 || base >= BaseCount())
        return -1;
    return m_sortedRows.Empty() ? base : m_sortedRows.RowOfBase(base);
}

qint64 cRecordListModel::PositionOfBase(qint64 base) const
{
    if (base < 0 || base >= BaseCount())
        return -1;
    return m_explicit ? m_positions[size_t(base)] : base;
}

qint64 cRecordListModel::PositionOfRow(qint64 row) const
{
    return PositionOfBase(BaseOfRow(row));
}

qint64 cRecordListModel::RowOfPosition(qint64 position) const
{
    if (m_explicit) {
        const auto found = m_baseOfPosition.constFind(position);
        return found == m_baseOfPosition.constEnd() ? -1 : RowOfBase(found.value());
    }
    return position >= 0 && position < m_identityCount ? RowOfBase(position) : -1;
}

void cRecordListModel::MakeExplicit()
{
    if (m_explicit)
        return;
    m_positions.resize(size_t(m_identityCount));
    std::iota(m_positions.begin(), m_positions.end(), qint64(0));
    m_baseOfPosition.reserve(m_identityCount);
    for (qint64 i = 0; i < m_identityCount; ++i)
        m_baseOfPosition.insert(i, i);
    m_explicit = true;
}

void cRecordListModel::AppendBase(qint64 position)
{
    if (!m_explicit && position == m_identityCount) {
        ++m_identityCount;
        return;
    }
    MakeExplicit();
    m_baseOfPosition.insert(position, qint64(m_positions.size()));
    m_positions.push_back(position);
}

void cRecordListModel::KeepPositions(const std::vector<qint64>& positions)
{
    // The rows are given in the order to show, so a sort in force has nothing to reorder;
    // nothing is read here, each row is read when it is shown.
    beginResetModel();
    ForgetRows();
    m_explicit = true;
    m_positions = positions;
    m_baseOfPosition.reserve(qsizetype(positions.size()));
    for (size_t base = 0; base < positions.size(); ++base)
        m_baseOfPosition.insert(positions[base], qint64(base));
    endResetModel();
}

void cRecordListModel::RemovePositions(std::vector<qint64> positions)
{
    if (positions.empty())
        return;
    std::sort(positions.begin(), positions.end());
    positions.erase(std::unique(positions.begin(), positions.end()), positions.end());
    // How many of the sorted values lie below v: the shift of what stays.
    const auto below = [](const std::vector<qint64>& sorted, qint64 v) {
        return qint64(std::lower_bound(sorted.begin(), sorted.end(), v) - sorted.begin());
    };
    std::vector<qint64> bases;
    for (const qint64 position : positions) {
        const qint64 row = RowOfPosition(position);
        if (row >= 0)
            bases.push_back(BaseOfRow(row));
    }
    std::sort(bases.begin(), bases.end());

    const auto change = [&] {
        if (bases.size() == 1 && !m_sortedRows.Empty()) {
            m_sortedRows.RemoveRow(m_sortedRows.RowOfBase(bases.front()));
        } else if (!m_sortedRows.Empty()) {
            std::vector<qint32> rows;
            rows.reserve(size_t(m_sortedRows.Size()) - bases.size());
            for (const qint32 base : m_sortedRows.RowToBase())
                if (!std::binary_search(bases.begin(), bases.end(), qint64(base)))
                    rows.push_back(qint32(base - below(bases, base)));
            m_sortedRows.Assign(std::move(rows));
        }
        if (m_explicit) {
            std::vector<qint64> kept;
            kept.reserve(m_positions.size() - bases.size());
            m_baseOfPosition.clear();
            for (size_t base = 0; base < m_positions.size(); ++base) {
                if (std::binary_search(bases.begin(), bases.end(), qint64(base)))
                    continue;
                const qint64 position = m_positions[base] - below(positions, m_positions[base]);
                m_baseOfPosition.insert(position, qint64(kept.size()));
                kept.push_back(position);
            }
            m_positions = std::move(kept);
        } else {
            m_identityCount -= qint64(bases.size());
        }
        QHash<qint64, QStringList> kept;
        for (auto it = m_kept.cbegin(); it != m_kept.cend(); ++it)
            if (!std::binary_search(positions.begin(), positions.end(), it.key()))
                kept.insert(it.key() - below(positions, it.key()), it.value());
        m_kept = std::move(kept);
        m_cache.clear();
        if (m_initialsColumn >= 0)
            for (auto it = positions.rbegin(); it != positions.rend(); ++it)
                if (*it < qint64(m_initials.size()))
                    m_initials.erase(m_initials.begin() + *it);
    };
    // One row goes as a removal the view follows; many at once as a new fill. Under a
    // window that stays full the view keeps its rows, which show the records after.
    if (bases.size() == 1) {
        const qint64 row = RowOfBase(bases.front());
        if (Rows() > s_windowRows) {
            change();
            if (row < m_base)
                --m_base; // the same records stay in view
            ClampBase();
            ShowRowsChanged();
        } else {
            beginRemoveRows({}, int(row), int(row));
            change();
            endRemoveRows();
        }
        emit RowRemoved(row);
    } else {
        beginResetModel();
        change();
        ClampBase();
        endResetModel();
    }
}

QString cRecordListModel::CellTextOf(const QVariant& value, const QString& format)
{
    // One rule for the grid and the export, which writes what the grid shows.
    return GridTextOf(value, format);
}

QStringList cRecordListModel::ReadCurrent() const
{
    QStringList texts;
    texts.reserve(Columns());
    for (const Column& column : m_columns)
        texts.append(CellTextOf(m_recordset->FieldValue(column.Field), column.Format));
    return texts;
}

template <typename Visit>
void cRecordListModel::Walk(const std::vector<qint64>& positions, int onlyColumn, Visit visit) const
{
    std::unique_ptr<cPositionKeeper> keeper;
    QStringList single(onlyColumn >= 0 ? Columns() : 0); // reused: one column's text a record
    for (const qint64 position : positions) {
        const auto kept = m_kept.constFind(position);
        if (kept != m_kept.constEnd()) {
            if (!visit(position, kept.value()))
                return;
            continue;
        }
        if (!MayRead()) {
            if (!visit(position, m_emptyRow))
                return;
            continue;
        }
        if (!keeper)
            keeper = std::make_unique<cPositionKeeper>(*m_recordset);
        bool more = true;
        try {
            if (m_recordset->AbsolutePosition() != position)
                m_recordset->setAbsolutePosition(qint32(position));
            if (onlyColumn >= 0) {
                const Column& column = m_columns[size_t(onlyColumn)];
                single[onlyColumn] = CellTextOf(m_recordset->FieldValue(column.Field), column.Format);
                more = visit(position, std::as_const(single));
            } else {
                more = visit(position, ReadCurrent());
            }
        } catch (const std::exception&) {
            // A record gone since the fill, or a connection that failed: never shown as if
            // it were a record of empty fields.
            more = visit(position, Unreadable());
        }
        if (!more)
            return;
    }
}

const QStringList& cRecordListModel::Unreadable() const
{
    const ErrorStorage error = CaptureError();
    const QString key = QString::number(error.Number) + u' ' + error.Description;
    if (!m_reportedFailures.contains(key)) {
        m_reportedFailures.insert(key);
        emit ReadFailed(FormatErrorMessage(error, LoadString(507)));
    }
    if (m_unreadableRow.size() != Columns())
        m_unreadableRow = QStringList(Columns(), LoadString(506));
    return m_unreadableRow;
}

bool cRecordListModel::MayRead() const
{
    return m_recordset && cPositionKeeper::CanRead(*m_recordset) && !LongWorkRunning();
}

bool cRecordListModel::HasTexts(qint64 position) const
{
    return m_kept.contains(position) || m_cache.contains(position);
}

bool cRecordListModel::Remember(qint64 position, const QStringList& texts) const
{
    // Not read, or unreadable: asked again next time.
    if (&texts == &m_emptyRow || &texts == &m_unreadableRow)
        return false;
    m_cache.insert(position, new QStringList(texts));
    return true;
}

const QStringList& cRecordListModel::TextsOfPosition(qint64 position) const
{
    const auto kept = m_kept.constFind(position);
    if (kept != m_kept.constEnd())
        return kept.value();
    if (const QStringList* cached = m_cache.object(position))
        return *cached;
    // Long work on another thread may be using the recordset: nothing is read meanwhile.
    if (!MayRead())
        return m_emptyRow;

    // Unsorted full rows lie in recordset order: read the block around the row in one pass.
    std::vector<qint64> positions;
    if (!m_explicit && m_sortedRows.Empty()) {
        const qint64 first = position - position % kReadBlock;
        const qint64 last = std::min(first + kReadBlock, m_identityCount);
        for (qint64 p = first; p < last; ++p)
            if (!HasTexts(p))
                positions.push_back(p);
    } else {
        positions.push_back(position);
    }
    const QStringList* result = &m_emptyRow;
    Walk(positions, -1, [&](qint64 p, const QStringList& texts) {
        if (!Remember(p, texts) && p == position)
            result = &texts;
        return true;
    });
    if (const QStringList* cached = m_cache.object(position))
        return *cached;
    return *result;
}

QString cRecordListModel::Text(qint64 row, int column) const
{
    if (column < 0 || column >= Columns())
        return {};
    const qint64 position = PositionOfRow(row);
    if (position < 0)
        return {};
    return TextsOfPosition(position).value(column);
}

QStringList cRecordListModel::RowTexts(qint64 row) const
{
    const qint64 position = PositionOfRow(row);
    if (position < 0)
        return {};
    QStringList texts = TextsOfPosition(position);
    while (texts.size() < Columns())
        texts.append(QString());
    return texts;
}

qint64 cRecordListModel::PutCurrent(qint64 position, qint64* row)
{
    const QStringList texts = m_recordset ? ReadCurrent() : QStringList(Columns());
    if (m_initialsColumn >= 0) {
        if (position >= qint64(m_initials.size()))
            m_initials.resize(size_t(position) + 1, 0);
        m_initials[size_t(position)] = InitialOf(texts.value(m_initialsColumn));
        m_initialsPresent.insert(m_initials[size_t(position)]);
    }
    const qint64 existing = RowOfPosition(position);
    if (existing >= 0) {
        m_kept.insert(position, texts);
        m_cache.remove(position);
        if (row)
            *row = existing;
        if (Columns() > 0 && existing >= m_base && existing - m_base < rowCount())
            emit dataChanged(index(int(existing - m_base), 0), index(int(existing - m_base), Columns() - 1));
        return -1;
    }

    qint64 at = BaseCount(); // the new row's grid index
    if (m_sorted) {
        if (m_sortedRows.Size() != BaseCount()) { // rows since the last sort, in their order
            std::vector<qint32> rows(static_cast<size_t>(BaseCount()));
            std::iota(rows.begin(), rows.end(), qint32(0));
            m_sortedRows.Assign(std::move(rows));
        }
        // In its sorted place, after equal texts (or values), as a sorted list inserts.
        const QString key = texts.value(m_sortColumn);
        const QCollator collator = UserCollator();
        const int field = m_columns[size_t(m_sortColumn)].Field;
        const SortKind kind = m_sortedByValue ? SortKindOf({m_recordset->FieldValue(field)}) : SortKind::Text;
        const double value = kind == SortKind::Text ? 0 : SortValue(m_recordset->FieldValue(field), kind);
        const auto compare = [&](qint64 other) {
            if (kind == SortKind::Text)
                return collator.compare(key, Text(other, m_sortColumn));
            const double otherValue = SortValue(ValueAtRow(other, field), kind);
            return value < otherValue ? -1 : value > otherValue ? 1 : 0;
        };
        qint64 low = 0;
        qint64 high = BaseCount();
        while (low < high) {
            const qint64 mid = (low + high) / 2;
            const int order = compare(mid);
            const bool before = m_order == Qt::AscendingOrder ? order < 0 : order > 0;
            if (before)
                high = mid;
            else
                low = mid + 1;
        }
        at = low;
    }
    // Under a window that is full already the view keeps its rows, which show the records
    // after the new one.
    const bool windowFull = BaseCount() >= s_windowRows;
    if (!windowFull)
        beginInsertRows({}, int(at), int(at));
    AppendBase(position);
    m_kept.insert(position, texts);
    m_cache.remove(position);
    if (m_sorted) {
        m_sortedRows.Insert(at);
    }
    if (windowFull) {
        if (at < m_base)
            ++m_base; // the same records stay in view
        ShowRowsChanged();
    } else {
        endInsertRows();
    }
    emit RowInserted(at);
    if (row)
        *row = at;
    return at;
}

QVariant cRecordListModel::Value(qint64 row, int column) const
{
    return column >= 0 && column < Columns() ? ValueAtRow(row, ColumnAt(column).Field) : QVariant();
}

QVariant cRecordListModel::ValueAtRow(qint64 row, int field) const
{
    const qint64 position = PositionOfRow(row);
    if (position < 0 || !m_recordset || !cPositionKeeper::CanRead(*m_recordset))
        return {};
    cPositionKeeper keeper(*m_recordset);
    try {
        m_recordset->setAbsolutePosition(qint32(position));
        return m_recordset->FieldValue(field);
    } catch (const std::exception&) {
        return {};
    }
}

bool cRecordListModel::Sort(int column, Qt::SortOrder order)
{
    if (column < 0 || column >= Columns())
        return false;
    // The order is made aside: a sort that is stopped or fails leaves the rows as they were.
    cSortedRows rows;
    SortKind kind = SortKind::Text;
    if (!OrderRows(column, order, BaseCount(), [this](qint64 base) { return PositionOfBase(base); }, rows, &kind))
        return false;
    Reorder([&] {
        m_sorted = true;
        m_sortColumn = column;
        m_order = order;
        m_sortedByValue = kind != SortKind::Text;
        m_sortedRows = std::move(rows);
    });
    return true;
}

void cRecordListModel::Unsort()
{
    Reorder([&] {
        m_sorted = false;
        m_sortedRows.Clear();
    });
}

void cRecordListModel::Reorder(const std::function<void()>& change)
{
    // Selected and current rows stay on their records, wherever those move.
    emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    const QModelIndexList before = persistentIndexList();
    std::vector<qint64> positionsBefore;
    positionsBefore.reserve(size_t(before.size()));
    for (const QModelIndex& index : before)
        positionsBefore.push_back(PositionOfRow(m_base + index.row()));

    change();

    QModelIndexList after;
    after.reserve(before.size());
    for (qsizetype i = 0; i < before.size(); ++i) {
        const qint64 row = RowOfPosition(positionsBefore[size_t(i)]) - m_base;
        const bool shown = row >= 0 && row < rowCount();
        after.append(shown ? index(int(row), before[i].column()) : QModelIndex());
    }
    changePersistentIndexList(before, after);
    emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}

bool cRecordListModel::OrderRows(int column, Qt::SortOrder order, qint64 count,
                                 const std::function<qint64(qint64)>& positionOfBase, cSortedRows& rows,
                                 SortKind* kind) const
{
    const std::shared_ptr<Recordset> recordset = m_recordset;
    try {
        return RunLongWork(
            LoadString(10602), LoadString(10603),
            [&](cWorkControl& control) {
                const Column& shown = m_columns[size_t(column)];
                std::vector<qint32> rowToBase;
                // Work that grows with the rows stays here, off the window's thread.
                if (ComputeRowOrder(recordset.get(), shown.Field, shown.Format, order, count, positionOfBase, rowToBase,
                                    kind, control))
                    rows.Assign(std::move(rowToBase));
                // The keys and values of a large column were many small blocks: they go back
                // to the system now rather than staying with the program.
                if (count > 100000)
                    malloc_trim(0);
            },
            [recordset] {
                if (recordset)
                    recordset->Interrupt();
            });
    } catch (const std::exception&) {
        Unreadable(); // told once; the order stays as it was
        return false;
    }
}

std::vector<qint64> cRecordListModel::SampleRows(qint64 limit, qint64 first, qint64 count) const
{
    const qint64 rows = Rows();
    std::vector<qint64> sample;
    if (rows <= limit) {
        sample.resize(size_t(rows));
        std::iota(sample.begin(), sample.end(), qint64(0));
        return sample;
    }
    for (qint64 row = std::max<qint64>(first, 0); row < std::min(first + count, rows); ++row)
        sample.push_back(row);
    // Runs of neighbouring rows spread over the list: each run is one read of the recordset.
    const qint64 runs = std::max<qint64>((limit - qint64(sample.size())) / kReadBlock, 1);
    for (qint64 run = 0; run < runs; ++run) {
        qint64 start = (rows - kReadBlock) * run / std::max<qint64>(runs - 1, 1);
        start -= start % kReadBlock;
        for (qint64 row = start; row < std::min(start + kReadBlock, rows); ++row)
            sample.push_back(row);
    }
    std::sort(sample.begin(), sample.end());
    sample.erase(std::unique(sample.begin(), sample.end()), sample.end());
    return sample;
}

std::vector<qint64> cRecordListModel::PositionsInOrder() const
{
    std::vector<qint64> positions;
    positions.reserve(size_t(Rows()));
    WalkRows(0, Rows(), [this, &positions](qint64, qint64 base) {
        positions.push_back(PositionOfBase(base));
        return true;
    });
    return positions;
}

void cRecordListModel::Prefetch(const std::vector<qint64>& rows) const
{
    std::vector<qint64> positions;
    for (const qint64 row : rows) {
        const qint64 position = PositionOfRow(row);
        if (position >= 0 && !HasTexts(position))
            positions.push_back(position);
    }
    if (positions.empty())
        return;
    // In recordset order, so that neighbours are read in one forward pass.
    std::sort(positions.begin(), positions.end());
    if (qint64(positions.size()) > m_cache.maxCost())
        positions.resize(size_t(m_cache.maxCost()));
    Walk(positions, -1, [&](qint64 position, const QStringList& texts) {
        Remember(position, texts);
        return true;
    });
}
