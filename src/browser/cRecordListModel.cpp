#include "cRecordListModel.h"

#include "Recordset.h"
#include "cRecordList.h"
#include "mErrorMessage.h"
#include "mFormat.h"
#include "mStringTable.h"

#include <QCollator>
#include <QLocale>

#include <algorithm>
#include <exception>
#include <functional>
#include <numeric>

namespace {

// Rows read around one the view asks for, in one forward pass of the recordset.
constexpr qint64 kReadBlock = 64;
// Rows whose texts are kept after they were read.
constexpr int kCacheRows = 4096;

// Puts the recordset back where it stood once the grid has read other records from it,
// so that reading for the screen never moves the record a command works on.
class cPositionKeeper {
public:
    explicit cPositionKeeper(Recordset& recordset)
        : m_recordset(recordset), m_position(recordset.AbsolutePosition()), m_bof(recordset.Bof()),
          m_eof(recordset.Eof())
    {
    }
    ~cPositionKeeper()
    {
        try {
            if (m_position >= 0) {
                if (m_recordset.AbsolutePosition() != m_position)
                    m_recordset.setAbsolutePosition(m_position);
            } else if (m_eof && !m_bof) {
                m_recordset.MoveLast();
                m_recordset.MoveNext();
            } else if (m_bof && !m_eof) {
                m_recordset.MoveFirst();
                m_recordset.MovePrevious();
            }
        } catch (const std::exception&) {
            // The recordset changed under the grid; the next command positions it anew.
        }
    }
    cPositionKeeper(const cPositionKeeper&) = delete;
    cPositionKeeper& operator=(const cPositionKeeper&) = delete;

    // Only a recordset at a record, at BOF or at EOF can be put back; one in the middle of
    // an edit must not be moved at all (moving would drop the edit).
    static bool CanRead(const Recordset& recordset)
    {
        if (recordset.EditMode() != Recordset::dbEditNone)
            return false;
        return recordset.AbsolutePosition() >= 0 || recordset.Bof() || recordset.Eof();
    }

private:
    Recordset& m_recordset;
    qint32 m_position;
    bool m_bof;
    bool m_eof;
};

// The user's collation. The C locale (no language chosen) would compare code points and put
// every accented letter after "z"; the common Unicode order serves it instead.
QCollator UserCollator()
{
    const QLocale locale;
    return QCollator(locale.language() == QLocale::C ? QLocale(QLocale::English) : locale);
}

} // namespace

cRecordListModel::cRecordListModel(QObject* parent) : QAbstractTableModel(parent), m_cache(kCacheRows) {}

cRecordListModel::~cRecordListModel() = default;

int cRecordListModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(Rows());
}

int cRecordListModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : Columns();
}

QVariant cRecordListModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || (role != Qt::DisplayRole && role != Qt::AccessibleTextRole))
        return {};
    const QString text = Text(index.row(), index.column());
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
    m_identityCount = 0;
    m_explicit = false;
    m_positions.clear();
    m_baseOfPosition.clear();
    m_rowToBase.clear();
    m_baseToRow.clear();
    m_kept.clear();
    m_cache.clear();
    m_reportedFailures.clear();
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
    endInsertColumns();
}

void cRecordListModel::SetRecordset(std::shared_ptr<Recordset> recordset)
{
    m_recordset = std::move(recordset);
    m_cache.clear();
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
    beginResetModel();
    ForgetRows();
    m_identityCount = count;
    if (m_sorted)
        SortRows();
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
    return m_rowToBase.empty() ? row : qint64(m_rowToBase[size_t(row)]);
}

qint64 cRecordListModel::RowOfBase(qint64 base) const
{
    if (base < 0 || base >= BaseCount())
        return -1;
    return m_baseToRow.empty() ? base : qint64(m_baseToRow[size_t(base)]);
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

QString cRecordListModel::CellTextOf(const QVariant& value, const QString& format)
{
    if (!value.isValid() || value.isNull())
        return {};
    return format.isEmpty() ? ValueToText(value) : Format(value, format);
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
        if (!m_recordset || !cPositionKeeper::CanRead(*m_recordset)) {
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

qint64 cRecordListModel::FindRow(int column, const QString& prefix, qint64 start) const
{
    const qint64 rows = Rows();
    if (column < 0 || column >= Columns() || rows == 0)
        return -1;
    start = std::clamp<qint64>(start, 0, rows);
    // In chunks, so that rows near the start are found without reading the rest.
    constexpr qint64 kChunk = 4096;
    qint64 found = -1;
    for (qint64 done = 0; done < rows && found < 0; done += kChunk) {
        std::vector<qint64> positions;
        std::vector<qint64> chunkRows;
        for (qint64 i = done; i < std::min(done + kChunk, rows); ++i) {
            const qint64 row = (start + i) % rows;
            chunkRows.push_back(row);
            positions.push_back(PositionOfRow(row));
        }
        size_t at = 0;
        Walk(positions, column, [&](qint64, const QStringList& texts) {
            if (texts.value(column).startsWith(prefix, Qt::CaseInsensitive)) {
                found = chunkRows[at];
                return false;
            }
            ++at;
            return true;
        });
    }
    return found;
}

const QStringList& cRecordListModel::TextsOfPosition(qint64 position) const
{
    const auto kept = m_kept.constFind(position);
    if (kept != m_kept.constEnd())
        return kept.value();
    if (const QStringList* cached = m_cache.object(position))
        return *cached;
    if (!m_recordset || !cPositionKeeper::CanRead(*m_recordset))
        return m_emptyRow;

    // Unsorted full rows lie in recordset order: read the block around the row in one pass.
    std::vector<qint64> positions;
    if (!m_explicit && m_rowToBase.empty()) {
        const qint64 first = position - position % kReadBlock;
        const qint64 last = std::min(first + kReadBlock, m_identityCount);
        for (qint64 p = first; p < last; ++p)
            if (!m_cache.contains(p) && !m_kept.contains(p))
                positions.push_back(p);
    } else {
        positions.push_back(position);
    }
    const QStringList* result = &m_emptyRow;
    Walk(positions, -1, [&](qint64 p, const QStringList& texts) {
        // Not read, or unreadable: asked again next time.
        if (&texts != &m_emptyRow && &texts != &m_unreadableRow)
            m_cache.insert(p, new QStringList(texts));
        else if (p == position)
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
    const qint64 existing = RowOfPosition(position);
    if (existing >= 0) {
        m_kept.insert(position, texts);
        m_cache.remove(position);
        if (row)
            *row = existing;
        if (Columns() > 0)
            emit dataChanged(index(int(existing), 0), index(int(existing), Columns() - 1));
        return -1;
    }

    qint64 at = BaseCount(); // the new row's grid index
    if (m_sorted) {
        if (qint64(m_rowToBase.size()) != BaseCount()) { // rows since the last sort, in their order
            m_rowToBase.resize(size_t(BaseCount()));
            std::iota(m_rowToBase.begin(), m_rowToBase.end(), qint32(0));
        }
        // In its sorted place, after equal texts, as a sorted list inserts.
        const QString key = texts.value(m_sortColumn);
        const QCollator collator = UserCollator();
        qint64 low = 0;
        qint64 high = BaseCount();
        while (low < high) {
            const qint64 mid = (low + high) / 2;
            const int order = collator.compare(key, Text(mid, m_sortColumn));
            const bool before = m_order == Qt::AscendingOrder ? order < 0 : order > 0;
            if (before)
                high = mid;
            else
                low = mid + 1;
        }
        at = low;
    }
    beginInsertRows({}, int(at), int(at));
    const qint64 base = BaseCount();
    AppendBase(position);
    m_kept.insert(position, texts);
    m_cache.remove(position);
    if (m_sorted) {
        m_rowToBase.insert(m_rowToBase.begin() + at, qint32(base));
        RebuildInverse();
    }
    endInsertRows();
    if (row)
        *row = at;
    return at;
}

void cRecordListModel::RebuildInverse()
{
    m_baseToRow.assign(m_rowToBase.size(), 0);
    for (size_t row = 0; row < m_rowToBase.size(); ++row)
        m_baseToRow[size_t(m_rowToBase[row])] = qint32(row);
}

void cRecordListModel::Sort(int column, Qt::SortOrder order)
{
    if (column < 0 || column >= Columns())
        return;
    Reorder([&] {
        m_sorted = true;
        m_sortColumn = column;
        m_order = order;
        SortRows();
    });
}

void cRecordListModel::Unsort()
{
    Reorder([&] {
        m_sorted = false;
        m_rowToBase.clear();
        m_baseToRow.clear();
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
        positionsBefore.push_back(PositionOfRow(index.row()));

    change();

    QModelIndexList after;
    after.reserve(before.size());
    for (qsizetype i = 0; i < before.size(); ++i) {
        const qint64 row = RowOfPosition(positionsBefore[size_t(i)]);
        after.append(row < 0 ? QModelIndex() : index(int(row), before[i].column()));
    }
    changePersistentIndexList(before, after);
    emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}

void cRecordListModel::SortRows()
{
    const qint64 count = BaseCount();
    m_rowToBase.clear();
    m_baseToRow.clear();
    if (count == 0)
        return;

    // Each row's text is read once, in recordset order; equal texts share one entry, so a
    // column of few distinct values sorts only those.
    std::vector<qint64> positions(static_cast<size_t>(count));
    for (qint64 base = 0; base < count; ++base)
        positions[size_t(base)] = PositionOfBase(base);
    std::vector<qint32> textOfBase(static_cast<size_t>(count));
    QHash<QString, qint32> distinct;
    QStringList texts;
    qint64 base = 0;
    Walk(positions, m_sortColumn, [&](qint64, const QStringList& row) {
        const QString text = row.value(m_sortColumn);
        auto found = distinct.constFind(text);
        if (found == distinct.constEnd()) {
            found = distinct.insert(text, qint32(texts.size()));
            texts.append(text);
        }
        textOfBase[size_t(base++)] = found.value();
        return true;
    });

    // Rank the distinct texts by the locale's collation; texts the collation finds equal
    // share a rank so that their rows keep recordset order.
    const QCollator collator = UserCollator();
    std::vector<QCollatorSortKey> keys;
    keys.reserve(size_t(texts.size()));
    for (const QString& text : std::as_const(texts))
        keys.push_back(collator.sortKey(text));
    std::vector<qint32> byText(static_cast<size_t>(texts.size()));
    std::iota(byText.begin(), byText.end(), 0);
    std::sort(byText.begin(), byText.end(),
              [&](qint32 a, qint32 b) { return keys[size_t(a)].compare(keys[size_t(b)]) < 0; });
    std::vector<qint32> rank(static_cast<size_t>(texts.size()));
    qint32 current = 0;
    for (size_t i = 0; i < byText.size(); ++i) {
        if (i > 0 && keys[size_t(byText[i - 1])].compare(keys[size_t(byText[i])]) != 0)
            ++current;
        rank[size_t(byText[i])] = current;
    }
    const qint32 ranks = current + 1;
    if (m_order == Qt::DescendingOrder)
        for (qint32& r : rank)
            r = ranks - 1 - r;

    // A counting sort by rank is stable and linear.
    std::vector<qint64> start(size_t(ranks) + 1, 0);
    for (qint64 b = 0; b < count; ++b)
        ++start[size_t(rank[size_t(textOfBase[size_t(b)])]) + 1];
    for (size_t r = 1; r < start.size(); ++r)
        start[r] += start[r - 1];
    m_rowToBase.assign(size_t(count), 0);
    for (qint64 b = 0; b < count; ++b)
        m_rowToBase[size_t(start[size_t(rank[size_t(textOfBase[size_t(b)])])]++)] = qint32(b);
    RebuildInverse();
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

void cRecordListModel::Prefetch(const std::vector<qint64>& rows) const
{
    std::vector<qint64> positions;
    for (const qint64 row : rows) {
        const qint64 position = PositionOfRow(row);
        if (position >= 0 && !m_kept.contains(position) && !m_cache.contains(position))
            positions.push_back(position);
    }
    if (positions.empty())
        return;
    // In recordset order, so that neighbours are read in one forward pass.
    std::sort(positions.begin(), positions.end());
    if (qint64(positions.size()) > m_cache.maxCost())
        positions.resize(size_t(m_cache.maxCost()));
    Walk(positions, -1, [&](qint64 position, const QStringList& texts) {
        if (&texts != &m_emptyRow && &texts != &m_unreadableRow)
            m_cache.insert(position, new QStringList(texts));
        return true;
    });
}
