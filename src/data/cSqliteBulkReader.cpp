#include "cSqliteBulkReader.h"

#include "cRuntimeError.h"
#include "cSqliteCursor.h"
#include "cSqliteDriver.h"
#include "mJetErrors.h"

#include <QStringList>

namespace {

// Below this a second connection costs more than it saves.
constexpr size_t kTwoLaneRows = 20000;
// Shorter runs of neighbouring records are read one by one.
constexpr qint64 kRangeRun = 16;

void ReadCell(sqlite3_stmt* statement, int column, RawCell& cell)
{
    switch (sqlite3_column_type(statement, column)) {
    case SQLITE_INTEGER:
        cell.Kind = RawKind::Integer;
        cell.Integer = sqlite3_column_int64(statement, column);
        break;
    case SQLITE_FLOAT:
        cell.Kind = RawKind::Real;
        cell.Real = sqlite3_column_double(statement, column);
        break;
    case SQLITE_TEXT:
        cell.Kind = RawKind::Text;
        cell.Bytes = reinterpret_cast<const char*>(sqlite3_column_text(statement, column));
        cell.Size = sqlite3_column_bytes(statement, column);
        break;
    case SQLITE_BLOB:
        cell.Kind = RawKind::Blob;
        cell.Bytes = static_cast<const char*>(sqlite3_column_blob(statement, column));
        cell.Size = sqlite3_column_bytes(statement, column);
        break;
    default:
        cell.Kind = RawKind::Null;
        break;
    }
}

[[noreturn]] void RecordGone()
{
    RaiseJetError(JetError::RecordDeleted, {}, QStringLiteral("DAO.Recordset"));
}

} // namespace

cSqliteBulkReader::cSqliteBulkReader(std::shared_ptr<cSqliteDriver> driver, const QString& keyedSql, int fieldCount,
                                     const QString& pointSql, std::vector<qint64> keys, bool keysAscend,
                                     std::vector<int> fields)
    : m_keys(std::move(keys)), m_keysAscend(keysAscend), m_fields(std::move(fields))
{
    // Only the fields asked for are computed: the source is named with numbered columns.
    QStringList names;
    for (int i = 0; i <= fieldCount; ++i)
        names << QStringLiteral("c%1").arg(i);
    QStringList wanted{QStringLiteral("c0")};
    for (const int field : m_fields)
        wanted << QStringLiteral("c%1").arg(field + 1);
    const QString rangeSql = QStringLiteral("WITH q(%1) AS (%2) SELECT %3 FROM q WHERE c0 BETWEEN ?1 AND ?2")
                                 .arg(names.join(u','), keyedSql, wanted.join(u','));

    std::vector<std::shared_ptr<cSqliteDriver>> drivers{driver};
    if (m_keys.size() >= kTwoLaneRows && !driver->Name().isEmpty()) {
        try {
            drivers.push_back(cSqliteDriver::Open(driver->Name(), true));
        } catch (const cRuntimeError&) {
            // one lane reads it all
        }
    }
    for (auto& d : drivers) {
        Lane lane;
        lane.Range = cSqliteStatement(d->Handle(), rangeSql);
        lane.Point = cSqliteStatement(d->Handle(), pointSql);
        lane.Driver = std::move(d);
        m_lanes.push_back(std::move(lane));
    }
    for (auto& cells : m_cells)
        cells.resize(m_fields.size());
}

cSqliteBulkReader::~cSqliteBulkReader() = default;

qint64 cSqliteBulkReader::KeyAt(qint64 position) const
{
    if (position < 0 || position >= qint64(m_keys.size()))
        RecordGone();
    return m_keys[size_t(position)];
}

void cSqliteBulkReader::Read(int lane, const qint64* positions, qint64 count,
                             const std::function<void(const RawCell* fields)>& record)
{
    Lane& l = m_lanes.at(size_t(lane));
    qint64 i = 0;
    while (i < count) {
        qint64 run = 1;
        if (m_keysAscend) {
            while (i + run < count && positions[i + run] == positions[i + run - 1] + 1)
                ++run;
        }
        if (run >= kRangeRun) {
            ReadRange(l, positions + i, run, record);
        } else {
            for (qint64 k = 0; k < run; ++k)
                ReadPoint(l, positions[i + k], record);
        }
        i += run;
    }
}

void cSqliteBulkReader::ReadRange(Lane& lane, const qint64* positions, qint64 count,
                                  const std::function<void(const RawCell* fields)>& record)
{
    std::vector<RawCell>& cells = m_cells[&lane == &m_lanes.front() ? 0 : 1];
    cSqliteStatement& range = lane.Range;
    range.Reset();
    range.Bind(1, KeyAt(positions[0]));
    range.Bind(2, KeyAt(positions[count - 1]));
    qint64 next = 0;
    while (next < count && range.Step()) {
        const qint64 key = range.Int(0);
        const qint64 expected = m_keys[size_t(positions[next])];
        if (key < expected)
            continue; // added since the keys were read: not in the grid
        if (key > expected)
            RecordGone();
        for (size_t f = 0; f < m_fields.size(); ++f)
            ReadCell(range.get(), int(f) + 1, cells[f]);
        record(cells.data());
        ++next;
    }
    range.Reset();
    if (next < count)
        RecordGone();
}

void cSqliteBulkReader::ReadPoint(Lane& lane, qint64 position, const std::function<void(const RawCell* fields)>& record)
{
    std::vector<RawCell>& cells = m_cells[&lane == &m_lanes.front() ? 0 : 1];
    cSqliteStatement& point = lane.Point;
    point.Reset();
    point.Bind(1, KeyAt(position));
    if (!point.Step())
        RecordGone();
    for (size_t f = 0; f < m_fields.size(); ++f)
        ReadCell(point.get(), m_fields[f], cells[f]);
    record(cells.data());
    point.Reset();
}

QVariant cSqliteBulkReader::ValueOf(const RawCell& cell, int type) const
{
    return cSqliteCursor::ValueOfRaw(cell, type);
}
