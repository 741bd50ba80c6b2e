// Type-ahead over the grid's rows: the first character of every row's text in a column,
// read once as long work, finds the next row that starts with the letters typed.

#include "cRecordListModel.h"

#include "Recordset.h"
#include "cWorkControl.h"
#include "mLongWork.h"
#include "mStringTable.h"

#include <algorithm>
#include <exception>

char32_t cRecordListModel::InitialOf(const QString& text)
{
    if (text.isEmpty())
        return 0;
    const char32_t first = text.size() > 1 && text[0].isHighSurrogate() ? QChar::surrogateToUcs4(text[0], text[1])
                                                                        : char32_t(text[0].unicode());
    return QChar::toCaseFolded(first);
}

bool cRecordListModel::BuildInitials(int column) const
{
    const Column& shown = m_columns[size_t(column)];
    std::vector<char32_t> initials;
    QSet<char32_t> present;
    const std::shared_ptr<Recordset> recordset = m_recordset;
    const bool complete = RunLongWork(
        LoadString(10606), QString(),
        [&](cWorkControl& control) {
            ColumnValues values;
            if (!recordset->ReadColumn(shown.Field, values, control))
                return;
            std::vector<char32_t> ofValue;
            ofValue.reserve(size_t(values.Distinct.size()) + 1);
            for (const QVariant& value : std::as_const(values.Distinct))
                ofValue.push_back(InitialOf(CellTextOf(value, shown.Format)));
            ofValue.push_back(InitialOf(LoadString(506)));
            initials.resize(values.OfPosition.size());
            for (size_t position = 0; position < initials.size(); ++position) {
                const qint32 entry = values.OfPosition[position];
                initials[position] = ofValue[entry < 0 ? ofValue.size() - 1 : size_t(entry)];
            }
            for (const char32_t initial : ofValue)
                present.insert(initial);
        },
        [recordset] { recordset->Interrupt(); });
    if (!complete)
        return false;
    m_initials = std::move(initials);
    m_initialsPresent = std::move(present);
    m_initialsColumn = column;
    // Rows kept by a change show their own texts.
    for (auto kept = m_kept.cbegin(); kept != m_kept.cend(); ++kept)
        if (kept.key() >= 0 && kept.key() < qint64(m_initials.size()))
            m_initials[size_t(kept.key())] = InitialOf(kept.value().value(column));
    return true;
}

void cRecordListModel::ForgetInitials()
{
    m_initials.clear();
    m_initialsPresent.clear();
    m_initialsColumn = -1;
}

qint64 cRecordListModel::FindRow(int column, const QString& prefix, qint64 start) const
{
    const qint64 rows = Rows();
    if (column < 0 || column >= Columns() || rows == 0 || prefix.isEmpty() || !m_recordset)
        return -1;
    start = std::clamp<qint64>(start, 0, rows);
    // The first characters of the whole column are read once: a letter that no row starts
    // with answers at once, and the rest only compare the rows that start with it.
    try {
        if (m_initialsColumn != column && !BuildInitials(column))
            return -1;
    } catch (const std::exception&) {
        Unreadable();
        return -1;
    }
    const char32_t initial = InitialOf(prefix);
    if (!m_initialsPresent.contains(initial))
        return -1;
    qint64 found = -1;
    const auto test = [&](qint64 row, qint64 base) {
        const qint64 position = PositionOfBase(base);
        if (position < 0 || position >= qint64(m_initials.size()) || m_initials[size_t(position)] != initial)
            return true;
        if (prefix.size() > 1 && !Text(row, column).startsWith(prefix, Qt::CaseInsensitive))
            return true;
        found = row;
        return false;
    };
    // From the start to the end, then round from the first row: block by block when sorted.
    if (WalkRows(start, rows, test))
        WalkRows(0, start, test);
    return found;
}
