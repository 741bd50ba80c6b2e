#include "cGridSelection.h"

#include <algorithm>

void cRowRanges::Add(qint64 first, qint64 last)
{
    if (first > last)
        return;
    // Spans touching [first, last] (overlapping or adjacent) merge into one.
    auto from = std::lower_bound(m_spans.begin(), m_spans.end(), first - 1,
                                 [](const Span& span, qint64 row) { return span.second < row; });
    auto to = from;
    while (to != m_spans.end() && to->first <= last + 1) {
        first = std::min(first, to->first);
        last = std::max(last, to->second);
        ++to;
    }
    const auto at = m_spans.erase(from, to);
    m_spans.insert(at, {first, last});
}

void cRowRanges::Remove(qint64 first, qint64 last)
{
    if (first > last)
        return;
    std::vector<Span> kept;
    kept.reserve(m_spans.size() + 1);
    for (const Span& span : m_spans) {
        if (span.second < first || span.first > last) {
            kept.push_back(span);
            continue;
        }
        if (span.first < first)
            kept.push_back({span.first, first - 1});
        if (span.second > last)
            kept.push_back({last + 1, span.second});
    }
    m_spans = std::move(kept);
}

void cRowRanges::Toggle(qint64 first, qint64 last)
{
    if (first > last)
        return;
    // The rows of [first, last] not selected now are the ones selected after.
    std::vector<Span> gaps;
    qint64 next = first;
    for (const Span& span : m_spans) {
        if (span.second < first || span.first > last)
            continue;
        if (span.first > next)
            gaps.push_back({next, span.first - 1});
        next = std::max(next, span.second + 1);
    }
    if (next <= last)
        gaps.push_back({next, last});
    Remove(first, last);
    for (const Span& gap : gaps)
        Add(gap.first, gap.second);
}

bool cRowRanges::Contains(qint64 row) const
{
    const auto found = std::lower_bound(m_spans.begin(), m_spans.end(), row,
                                        [](const Span& span, qint64 r) { return span.second < r; });
    return found != m_spans.end() && found->first <= row;
}

qint64 cRowRanges::Count() const
{
    qint64 count = 0;
    for (const Span& span : m_spans)
        count += span.second - span.first + 1;
    return count;
}

qint64 cRowRanges::First() const
{
    return m_spans.empty() ? -1 : m_spans.front().first;
}

void cRowRanges::Inserted(qint64 row)
{
    for (Span& span : m_spans) {
        if (span.first >= row)
            ++span.first;
        if (span.second >= row)
            ++span.second;
    }
}

void cRowRanges::Removed(qint64 row)
{
    Remove(row, row);
    for (Span& span : m_spans) {
        if (span.first > row)
            --span.first;
        if (span.second > row)
            --span.second;
    }
    // Spans on either side of the row may touch now.
    std::vector<Span> spans = std::exchange(m_spans, {});
    for (const Span& span : spans)
        Add(span.first, span.second);
}

cGridSelection::cGridSelection(QAbstractItemModel* model, std::function<qint64()> base, QObject* parent)
    : QItemSelectionModel(model, parent), m_base(std::move(base))
{
}

cRowRanges cGridSelection::RowsOf(const QItemSelection& selection) const
{
    const qint64 base = m_base();
    cRowRanges rows;
    for (const QItemSelectionRange& range : selection)
        if (range.isValid())
            rows.Add(base + range.top(), base + range.bottom());
    return rows;
}

void cGridSelection::ApplyTo(cRowRanges& selected, const cRowRanges& rows, QItemSelectionModel::SelectionFlags how)
{
    for (const cRowRanges::Span& span : rows.Spans()) {
        if (how & Toggle)
            selected.Toggle(span.first, span.second);
        else if (how & Deselect)
            selected.Remove(span.first, span.second);
        else if (how & Select)
            selected.Add(span.first, span.second);
    }
}

const cRowRanges& cGridSelection::Effective() const
{
    if (m_effectiveValid)
        return m_effective;
    m_effective = m_committed;
    ApplyTo(m_effective, m_extension, m_extensionCommand);
    m_effectiveValid = true;
    return m_effective;
}

void cGridSelection::Apply(const cRowRanges& rows, QItemSelectionModel::SelectionFlags command)
{
    if (command & Clear) {
        m_committed.Clear();
        m_extension.Clear();
        m_effectiveValid = false;
    }
    const SelectionFlags how = command & (Select | Deselect | Toggle);
    if (command & Current) {
        // The toolkit's meaning: the range replaces the one being extended.
        m_extension = rows;
        m_extensionCommand = how;
        m_effectiveValid = false;
        return;
    }
    m_committed = Effective();
    m_extension.Clear();
    ApplyTo(m_committed, rows, how);
    m_effectiveValid = false;
}

void cGridSelection::select(const QModelIndex& index, QItemSelectionModel::SelectionFlags command)
{
    select(QItemSelection(index, index), command);
}

void cGridSelection::select(const QItemSelection& selection, QItemSelectionModel::SelectionFlags command)
{
    if (command == NoUpdate)
        return;
    Apply(RowsOf(selection), command);
    Sync();
}

void cGridSelection::SelectRows(qint64 first, qint64 last, QItemSelectionModel::SelectionFlags command)
{
    cRowRanges rows;
    rows.Add(std::max<qint64>(first, 0), last);
    Apply(rows, command);
    Sync();
}

void cGridSelection::setCurrentIndex(const QModelIndex& index, QItemSelectionModel::SelectionFlags command)
{
    if (!m_syncing) {
        m_currentRow = index.isValid() ? m_base() + index.row() : -1;
        m_currentColumn = index.isValid() ? index.column() : -1;
    }
    QItemSelectionModel::setCurrentIndex(index, command);
}

void cGridSelection::SetCurrentRow(qint64 row, int column)
{
    m_currentRow = row;
    m_currentColumn = row < 0 ? -1 : std::max(column, 0);
    Sync();
}

void cGridSelection::clear()
{
    m_committed.Clear();
    m_extension.Clear();
    m_effectiveValid = false;
    m_anchor = -1;
    QItemSelectionModel::clear();
}

void cGridSelection::reset()
{
    m_currentRow = -1;
    m_currentColumn = -1;
    QItemSelectionModel::reset();
}

void cGridSelection::clearCurrentIndex()
{
    if (!m_syncing) {
        m_currentRow = -1;
        m_currentColumn = -1;
    }
    QItemSelectionModel::clearCurrentIndex();
}

bool cGridSelection::IsSelected(qint64 row) const
{
    return Effective().Contains(row);
}

qint64 cGridSelection::Count() const
{
    return Effective().Count();
}

qint64 cGridSelection::FirstSelected() const
{
    return Effective().First();
}

const std::vector<cRowRanges::Span>& cGridSelection::Spans() const
{
    return Effective().Spans();
}

void cGridSelection::RowInserted(qint64 row)
{
    m_committed.Inserted(row);
    m_extension.Inserted(row);
    m_effectiveValid = false;
    if (m_currentRow >= row)
        ++m_currentRow;
    if (m_anchor >= row)
        ++m_anchor;
}

void cGridSelection::RowRemoved(qint64 row)
{
    m_committed.Removed(row);
    m_extension.Removed(row);
    m_effectiveValid = false;
    // As the toolkit moves it: a removed current row hands over to the row above it.
    if (m_currentRow > row || (m_currentRow == row && row > 0))
        --m_currentRow;
    const qint64 rows = model() ? qint64(model()->rowCount()) : 0;
    if (m_currentRow == row && rows == 0)
        m_currentRow = -1;
    if (m_anchor > row)
        --m_anchor;
    else if (m_anchor == row)
        m_anchor = -1;
}

void cGridSelection::Replace(cRowRanges rows, qint64 current, int column, qint64 anchor)
{
    m_committed = std::move(rows);
    m_extension.Clear();
    m_effectiveValid = false;
    m_currentRow = current;
    m_currentColumn = current < 0 ? -1 : std::max(column, 0);
    m_anchor = anchor;
    Sync();
}

void cGridSelection::Sync()
{
    if (!model())
        return;
    const bool wasSyncing = std::exchange(m_syncing, true);
    const qint64 base = m_base();
    const qint64 rows = model()->rowCount();
    const int columns = model()->columnCount();
    QItemSelection shown;
    if (columns > 0)
        for (const cRowRanges::Span& span : Effective().Spans()) {
            const qint64 first = std::max(span.first, base);
            const qint64 last = std::min(span.second, base + rows - 1);
            if (first <= last)
                shown.select(model()->index(int(first - base), 0), model()->index(int(last - base), columns - 1));
        }
    if (shown != selection())
        QItemSelectionModel::select(shown, ClearAndSelect);
    const bool inWindow = m_currentRow >= base && m_currentRow < base + rows && columns > 0;
    const QModelIndex current =
        inWindow ? model()->index(int(m_currentRow - base), std::clamp(m_currentColumn, 0, columns - 1)) : QModelIndex();
    if (current != currentIndex())
        QItemSelectionModel::setCurrentIndex(current, NoUpdate);
    m_syncing = wasSyncing;
}
