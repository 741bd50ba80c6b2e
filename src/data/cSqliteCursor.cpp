#include "cSqliteCursor.h"

#include "cRuntimeError.h"
#include "cSqliteBulkReader.h"
#include "cSqliteDriver.h"
#include "cWorkControl.h"
#include "mConvert.h"
#include "mJetErrors.h"
#include "mJetSql.h"
#include "mNames.h"
#include "mSqliteIdentity.h"
#include "mSqliteTypes.h"
#include "mSqliteValues.h"
#include "mStringTable.h"

#include <QHash>

#include <algorithm>
#include <atomic>
#include <optional>
#include <thread>

namespace {

int gMaterialisedCount = 0;

// A table at least this large is read by two connections at once.
constexpr qint64 kSharedScanRows = 200000;
// Room reserved for row identities before reading them, at most (64 MB).
constexpr quint64 kReservedKeys = quint64(1) << 23;

const char* const kIdentityNames[] = {"rowid", "_rowid_", "oid"};

// The columns of a copy of a query, c0, c1 …, named so that no column of the query can
// take the copy's own identity.
QString NumberedColumns(qsizetype count)
{
    QStringList columns;
    for (qsizetype i = 0; i < count; ++i)
        columns << QStringLiteral("c%1").arg(i);
    return columns.join(QLatin1String(", "));
}

} // namespace

cSqliteCursor::cSqliteCursor(std::shared_ptr<cSqliteDriver> driver, QString jetSql)
    : m_driver(std::move(driver)), m_jetSql(std::move(jetSql))
{
    Open();
}

bool cSqliteCursor::Updatable() const
{
    return m_updatable && !m_driver->ReadOnly();
}

cSqliteCursor::~cSqliteCursor()
{
    DropMaterialised();
}

void cSqliteCursor::Open()
{
    sqlite3* db = m_driver->Handle();
    m_sql = m_driver->Translate(m_jetSql);
    cSqliteStatement probe(db, m_sql);
    if (!sqlite3_stmt_readonly(probe.get()) || sqlite3_column_count(probe.get()) == 0)
        RaiseJetError(JetError::InvalidOperation);
    DescribeFields(probe);
    probe = cSqliteStatement();

    m_updatable = false;
    m_narrowed = false;
    m_wholeTable = false;
    m_identity.clear();
    m_readOnlyReason.clear();
    const JetSelectShape shape = AnalyseSelect(m_sql);
    if (shape.Updatable) {
        const auto table = m_driver->FindTable(shape.Table);
        const bool sameTable = table && std::all_of(m_fields.begin(), m_fields.end(), [&](const FieldSchema& f) {
            return f.SourceTable.isEmpty() || SameName(f.SourceTable, table->Name);
        });
        const bool own = sameTable && !(table->Attributes & cSqliteDriver::kSystemObject);
        // A column named rowid hides the row's identity under that name: the rows are
        // found by a name no column takes, or only read.
        const QString identity = own ? SqliteRowIdentity(db, table->Name) : QString();
        if (own && identity.isEmpty()) {
            const bool namesTaken = std::all_of(std::begin(kIdentityNames), std::end(kIdentityNames), [&](const char* name) {
                return std::any_of(table->Fields.begin(), table->Fields.end(), [&](const FieldSchema& f) {
                    return f.Name.compare(QLatin1String(name), Qt::CaseInsensitive) == 0;
                });
            });
            m_readOnlyReason = FillPlaceholders(LoadString(namesTaken ? 10795 : 10796), {table->Name});
        }
        if (!identity.isEmpty()) {
            m_table = table->Name;
            m_identity = identity;
            m_qualifier = QuoteName(shape.Alias.isEmpty() ? table->Name : shape.Alias);
            const QString selectList = m_sql.mid(shape.SelectListStart, shape.FromStart - shape.SelectListStart).trimmed();
            QString from = m_sql.mid(shape.FromStart);
            const JetSelectClauses clauses = AnalyseJetClauses(m_jetSql);
            const QString key = m_qualifier + u'.' + m_identity;
            // A whole table in no order of the user's is read in the order of its row
            // identity: the engine would read bare identities from its smallest index, and an
            // index the user makes would reorder the rows.
            m_wholeTable = clauses.Narrowable && clauses.ConditionStart < 0 && clauses.ConditionEnd >= clauses.StatementEnd;
            if (m_wholeTable) {
                while (!from.isEmpty() && (from.back().isSpace() || from.back() == u';'))
                    from.chop(1);
                m_tableFrom = from;
                from += QLatin1String(" ORDER BY ") + key;
            }
            try {
                m_forwardSql = QStringLiteral("SELECT %1, %2 %3").arg(key, selectList, from);
                m_forward = cSqliteStatement(db, m_forwardSql);
                m_pointSql = QStringLiteral("SELECT %1 FROM %2%3 WHERE %4 = ?1")
                                 .arg(selectList, QuoteName(table->Name),
                                      shape.Alias.isEmpty() ? QString() : QLatin1String(" AS ") + QuoteName(shape.Alias),
                                      key);
                m_point = cSqliteStatement(db, m_pointSql);
                m_keysSql = QStringLiteral("SELECT %1 %2").arg(key, from);
                m_updatable = true;
                m_narrowed = clauses.ConditionStart >= 0;
            } catch (const cRuntimeError&) {
                // A table without a row identity is read as any other query.
                m_point = cSqliteStatement();
                m_wholeTable = false;
            }
        }
    }
    if (!m_updatable) {
        m_forwardSql = m_sql;
        m_forward = cSqliteStatement(db, m_sql);
    }
    m_forwardNext = 0;
    m_keys.clear();
    m_keysAscend = false;
    m_positions.clear();
    m_complete = false;
    m_count = 0;
}

void cSqliteCursor::DescribeFields(cSqliteStatement& probe)
{
    sqlite3_stmt* statement = probe.get();
    const int columns = sqlite3_column_count(statement);
    QHash<QString, TableSchema> tables;
    QList<int> unknown;
    m_fields.clear();
    for (int i = 0; i < columns; ++i) {
        FieldSchema field;
        const auto* name = static_cast<const QChar*>(sqlite3_column_name16(statement, i));
        field.Name = name ? QString(name) : QString();
        const char* table = sqlite3_column_table_name(statement, i);
        const char* origin = sqlite3_column_origin_name(statement, i);
        bool known = false;
        if (table && origin) {
            const QString tableName = QString::fromUtf8(table);
            auto schema = tables.find(tableName);
            if (schema == tables.end())
                schema = tables.insert(tableName, m_driver->FindTable(tableName).value_or(TableSchema{}));
            for (const FieldSchema& source : schema->Fields) {
                if (SameName(source.Name, QString::fromUtf8(origin))) {
                    const QString shown = field.Name;
                    field = source;
                    field.Name = shown;
                    known = true;
                    break;
                }
            }
        }
        if (!known) {
            const char* declared = sqlite3_column_decltype(statement, i);
            if (declared) {
                field.Type = JetTypeOfSqliteDeclared(QString::fromUtf8(declared), field.Size);
            } else {
                unknown << i;
            }
            field.AllowZeroLength = true;
        }
        m_fields << field;
    }
    // A calculated field takes its type from the first record's value.
    if (!unknown.isEmpty()) {
        const bool row = probe.Step();
        for (int i : unknown) {
            FieldSchema& field = m_fields[i];
            switch (row ? sqlite3_column_type(statement, i) : SQLITE_TEXT) {
            case SQLITE_INTEGER: field.Type = JetType::Long; field.Size = 4; break;
            case SQLITE_FLOAT: field.Type = JetType::Double; field.Size = 8; break;
            case SQLITE_BLOB: field.Type = JetType::LongBinary; field.Size = 0; break;
            default: field.Type = JetType::Text; field.Size = 255; break;
            }
        }
        probe.Reset();
    }
}

void cSqliteCursor::ReadRow(const cSqliteStatement& statement, int firstColumn, QVariantList& row) const
{
    const qsizetype count = m_fields.size();
    row.resize(count);
    QVariant* values = row.data(); // one detach for the row, not one per value
    for (qsizetype i = 0; i < count; ++i)
        values[i] = ReadValue(statement.get(), firstColumn + int(i), m_fields[i].Type);
}

bool cSqliteCursor::FetchForward(qint64 position, QVariantList& row)
{
    if (!m_forward.Step()) {
        m_forward.Reset(); // the end releases the file for other programs
        m_forwardNext = -1;
        if (!m_complete) {
            m_complete = true;
            m_count = position;
        }
        return false;
    }
    if (m_updatable) {
        const qint64 key = m_forward.Int(0);
        if (position < qint64(m_keys.size()) && m_keys[size_t(position)] != key) {
            // The records came in another order than the keys were read in: go by key.
            m_forward.Reset();
            m_forwardNext = -1;
            return FetchByKey(position, row);
        }
        if (position == qint64(m_keys.size()))
            m_keys.push_back(key);
    }
    ReadRow(m_forward, m_updatable ? 1 : 0, row);
    m_forwardNext = position + 1;
    return true;
}

bool cSqliteCursor::FetchByKey(qint64 position, QVariantList& row)
{
    m_point.Reset();
    m_point.Bind(1, m_updatable ? m_keys[size_t(position)] : position + 1);
    if (!m_point.Step())
        RaiseJetError(JetError::RecordDeleted, {}, QStringLiteral("DAO.Recordset"));
    ReadRow(m_point, 0, row);
    m_point.Reset();
    return true;
}

bool cSqliteCursor::Fetch(qint64 position, QVariantList& row)
{
    m_driver->Handle();
    if (position < 0)
        return false;
    if (!m_materialised.isEmpty())
        return position < m_count && FetchByKey(position, row);
    // A narrowed source's first record could lie far into the table, and the count that
    // follows reads the keys anyway: one pass for both, not up to two.
    if (m_narrowed && !m_complete && position == 0 && m_forwardNext == 0) {
        CompleteKeys();
        m_forward.Reset();
        m_forwardNext = -1;
    }
    if (m_forwardNext == position && (!m_complete || position < Count()))
        return FetchForward(position, row) || (m_updatable && position < qint64(m_keys.size()) && FetchByKey(position, row));
    if (m_updatable) {
        if (position >= qint64(m_keys.size()))
            CompleteKeys();
        return position < qint64(m_keys.size()) && FetchByKey(position, row);
    }
    if (m_complete && position >= m_count)
        return false;
    Materialise();
    return position < m_count && FetchByKey(position, row);
}

qint64 cSqliteCursor::Count()
{
    if (m_updatable) {
        CompleteKeys();
        return qint64(m_keys.size());
    }
    if (!m_complete)
        Materialise();
    return m_count;
}

void cSqliteCursor::CompleteKeys()
{
    if (m_complete)
        return;
    std::vector<qint64> all;
    if (!m_wholeTable || !ReadWholeTableKeys(all)) {
        cSqliteStatement keys(m_driver->Handle(), m_keysSql);
        all.clear();
        all.reserve(m_keys.size());
        while (keys.Step())
            all.push_back(keys.Int(0));
    }
    m_keysAscend = std::is_sorted(all.begin(), all.end());
    m_keys = cKeyList(std::move(all));
    m_positions.clear();
    m_complete = true;
}

bool cSqliteCursor::ReadWholeTableKeys(std::vector<qint64>& keys)
{
    sqlite3* db = m_driver->Handle();
    // The least and the greatest identity each come straight from the table's tree; together
    // in one statement the engine would read every row.
    const QString key = m_qualifier + u'.' + m_identity;
    const auto edge = [&](const char* which) {
        cSqliteStatement statement(db, QStringLiteral("SELECT %1(%2) %3").arg(QLatin1String(which), key, m_tableFrom));
        return statement.Step() && sqlite3_column_type(statement.get(), 0) == SQLITE_INTEGER
                   ? std::optional<qint64>(statement.Int(0))
                   : std::nullopt;
    };
    const std::optional<qint64> least = edge("min");
    const std::optional<qint64> greatest = edge("max");
    if (!least || !greatest)
        return false; // empty, or identities that are not whole numbers
    // Identities are mostly dense: the room they span, within reason, is what the list needs,
    // with room to add records without moving the whole list.
    const quint64 gap = quint64(*greatest) - quint64(*least);
    const auto room = [](quint64 span) { return size_t(std::min(span + span / 8, kReservedKeys)); };
    keys.reserve(room(std::min(gap, kReservedKeys) + 1));
    const QString range = QStringLiteral("SELECT %1 %2 WHERE %1 >= ?1 AND %1 <= ?2 ORDER BY %1").arg(key, m_tableFrom);
    const auto readRange = [&range](sqlite3* connection, qint64 from, qint64 to, std::vector<qint64>& into,
                                    const std::atomic<bool>& abandon) {
        cSqliteStatement statement(connection, range);
        statement.Bind(1, from);
        statement.Bind(2, to);
        qint64 read = 0;
        while (statement.Step()) {
            if ((++read & 4095) == 0 && abandon)
                return;
            into.push_back(statement.Int(0));
        }
    };
    std::atomic<bool> abandon{false};
    // A large table in a file is read in two halves at once, the upper on a connection of
    // its own; not inside a transaction, whose changes the other connection would not see.
    std::shared_ptr<cSqliteDriver> second;
    if (gap >= quint64(kSharedScanRows) && !m_driver->Name().isEmpty() && sqlite3_get_autocommit(db)) {
        try {
            second = cSqliteDriver::Open(m_driver->Name(), true);
        } catch (const cRuntimeError&) {
            // read in one pass below
        }
    }
    if (!second) {
        readRange(db, *least, *greatest, keys, abandon);
        return true;
    }
    const qint64 middle = qint64(quint64(*least) + gap / 2);
    std::vector<qint64> upper;
    upper.reserve(room(std::min(gap / 2, kReservedKeys) + 1));
    std::exception_ptr upperFailure;
    // Escape reaches both connections.
    struct Companion {
        cSqliteDriver& Driver;
        Companion(cSqliteDriver& driver, sqlite3* other) : Driver(driver) { Driver.SetCompanion(other); }
        ~Companion() { Driver.SetCompanion(nullptr); }
    } companion(*m_driver, second->Handle());
    std::thread reader([&] {
        try {
            readRange(second->Handle(), middle + 1, *greatest, upper, abandon);
        } catch (...) {
            upperFailure = std::current_exception();
        }
    });
    try {
        readRange(db, *least, middle, keys, abandon);
    } catch (...) {
        abandon = true; // stopped or failed: the other half gives up too
        reader.join();
        throw;
    }
    reader.join();
    if (upperFailure) {
        if (sqlite3_errcode(second->Handle()) == SQLITE_INTERRUPT)
            std::rethrow_exception(upperFailure);
        upper.clear(); // the other connection could not read: this one reads its half
        readRange(db, middle + 1, *greatest, upper, abandon);
    }
    if (keys.capacity() < keys.size() + upper.size()) // past the room reserved: some kept for additions
        keys.reserve((keys.size() + upper.size()) * 9 / 8);
    keys.insert(keys.end(), upper.begin(), upper.end());
    return true;
}

void cSqliteCursor::Materialise()
{
    if (!m_materialised.isEmpty())
        return;
    sqlite3* db = m_driver->Handle();
    m_forward = cSqliteStatement();
    m_forwardNext = -1;
    const QString name = QStringLiteral("QSysCursor%1").arg(++gMaterialisedCount);
    // The copy's identity is a key of its own: a column of the query named rowid would
    // otherwise stand in for it.
    const QString table = QLatin1String("temp.") + QuoteName(name);
    const QString list = NumberedColumns(m_fields.size());
    ExecSql(db, QStringLiteral("CREATE TEMP TABLE %1 (k INTEGER PRIMARY KEY, %2)").arg(QuoteName(name), list));
    try {
        ExecSql(db, QStringLiteral("INSERT INTO %1 (%2) %3").arg(table, list, m_sql));
    } catch (...) {
        sqlite3_exec(db, QStringLiteral("DROP TABLE IF EXISTS %1").arg(table).toUtf8().constData(), nullptr, nullptr,
                     nullptr);
        throw;
    }
    m_materialised = name;
    cSqliteStatement count(db, QStringLiteral("SELECT count(*) FROM %1").arg(table));
    count.Step();
    m_count = count.Int(0);
    m_complete = true;
    m_point = cSqliteStatement(db, QStringLiteral("SELECT %1 FROM %2 WHERE k = ?1").arg(list, table));
}

void cSqliteCursor::DropMaterialised()
{
    if (m_materialised.isEmpty())
        return;
    m_point = cSqliteStatement();
    try {
        ExecSql(m_driver->Handle(), QStringLiteral("DROP TABLE IF EXISTS temp.%1").arg(QuoteName(m_materialised)));
    } catch (const cRuntimeError&) {
        // a closed database took its temporary tables with it
    }
    m_materialised.clear();
}

QVariant cSqliteCursor::Key(qint64 position)
{
    if (!m_updatable)
        return position;
    if (position >= qint64(m_keys.size()))
        CompleteKeys();
    if (position < 0 || position >= qint64(m_keys.size()))
        RaiseJetError(JetError::NoCurrentRecord, {}, QStringLiteral("DAO.Recordset"));
    return m_keys[size_t(position)];
}

qint64 cSqliteCursor::PositionOf(const QVariant& key)
{
    bool ok = false;
    const qint64 value = key.toLongLong(&ok);
    if (!ok)
        return -1;
    if (!m_updatable)
        return value >= 0 && value < Count() ? value : -1;
    return PositionOfKey(value);
}

qint64 cSqliteCursor::PositionOfKey(qint64 value)
{
    CompleteKeys();
    // Keys read from a table in its own order ascend: a search finds one at once, and a
    // change of a record never makes a million-entry map to be built again.
    if (m_keysAscend) {
        return m_keys.FindAscending(value);
    }
    if (m_positions.empty()) {
        m_positions.reserve(m_keys.size());
        for (size_t i = 0; i < m_keys.size(); ++i)
            m_positions.emplace(m_keys[i], qint64(i));
    }
    const auto found = m_positions.find(value);
    return found == m_positions.end() ? -1 : found->second;
}

// A change may move records within the query's order: the keys are read to the end
// first, and from then on records are read by key.
void cSqliteCursor::PrepareForChange()
{
    if (!m_updatable) {
        if (m_readOnlyReason.isEmpty())
            RaiseJetError(JetError::ReadOnly, {}, QStringLiteral("DAO.Recordset"));
        throw cRuntimeError(JetError::ReadOnly, JetErrorDescription(JetError::ReadOnly) + u' ' + m_readOnlyReason,
                            QStringLiteral("DAO.Recordset"));
    }
    m_driver->RequireWritable();
    CompleteKeys();
    m_forward.Reset();
    m_forwardNext = -1;
}

void cSqliteCursor::Update(qint64 position, const QVariantList& values, const QList<bool>& changed)
{
    PrepareForChange();
    if (position < 0 || position >= qint64(m_keys.size()))
        RaiseJetError(JetError::NoCurrentRecord, {}, QStringLiteral("DAO.Recordset"));
    QStringList assignments;
    QList<qsizetype> bound;
    for (qsizetype i = 0; i < m_fields.size(); ++i) {
        if (changed.value(i) && !m_fields[i].SourceField.isEmpty()) {
            assignments << QuoteName(m_fields[i].SourceField) + QLatin1String(" = ?");
            bound << i;
        }
    }
    if (assignments.isEmpty())
        return;
    sqlite3* db = m_driver->Handle();
    cSqliteStatement update(db, QStringLiteral("UPDATE %1 SET %2 WHERE %3 = ?")
                                    .arg(QuoteName(m_table), assignments.join(QLatin1String(", ")), m_identity));
    int index = 1;
    for (qsizetype i : bound)
        update.Bind(index++, values[i]);
    update.Bind(index, m_keys[size_t(position)]);
    update.Run();
    if (sqlite3_changes(db) == 0)
        RaiseJetError(JetError::RecordDeleted, {}, QStringLiteral("DAO.Recordset"));
}

qint64 cSqliteCursor::Insert(const QVariantList& values, const QList<bool>& changed)
{
    PrepareForChange();
    QStringList columns;
    QStringList marks;
    QList<qsizetype> bound;
    for (qsizetype i = 0; i < m_fields.size(); ++i) {
        if (changed.value(i) && !m_fields[i].SourceField.isEmpty()) {
            columns << QuoteName(m_fields[i].SourceField);
            marks << QStringLiteral("?");
            bound << i;
        }
    }
    sqlite3* db = m_driver->Handle();
    cSqliteStatement insert(db, columns.isEmpty()
                                    ? QStringLiteral("INSERT INTO %1 DEFAULT VALUES").arg(QuoteName(m_table))
                                    : QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
                                          .arg(QuoteName(m_table), columns.join(QLatin1String(", ")),
                                               marks.join(QLatin1String(", "))));
    int index = 1;
    for (qsizetype i : bound)
        insert.Bind(index++, values[i]);
    insert.Run();
    const qint64 key = sqlite3_last_insert_rowid(db);
    m_keysAscend = m_keysAscend && (m_keys.empty() || key > m_keys.back());
    m_keys.push_back(key);
    m_positions.clear();
    return qint64(m_keys.size()) - 1;
}

void cSqliteCursor::Remove(qint64 position)
{
    PrepareForChange();
    if (position < 0 || position >= qint64(m_keys.size()))
        RaiseJetError(JetError::NoCurrentRecord, {}, QStringLiteral("DAO.Recordset"));
    sqlite3* db = m_driver->Handle();
    cSqliteStatement remove(db, QStringLiteral("DELETE FROM %1 WHERE %2 = ?").arg(QuoteName(m_table), m_identity));
    remove.Bind(1, m_keys[size_t(position)]);
    remove.Run();
    if (sqlite3_changes(db) == 0)
        RaiseJetError(JetError::RecordDeleted, {}, QStringLiteral("DAO.Recordset"));
    m_keys.erase(size_t(position));
    m_positions.clear();
}

void cSqliteCursor::Requery()
{
    DropMaterialised();
    m_forward = cSqliteStatement();
    m_point = cSqliteStatement();
    Open();
}

namespace {

// Reads the keyed scan for positions from … to − 1, which must come in the keys' order;
// false when one did not (or when stopped).
bool ScanInOrder(cSqliteStatement& scan, const cKeyList& keys, qint64 from, qint64 to,
                 cDistinctRaw& distinct, std::vector<qint32>& ofPosition, cWorkControl& control,
                 std::atomic<qint64>& done, const std::atomic<bool>& abandon)
{
    qint64 next = from;
    while (scan.Step()) {
        if ((next & 4095) == 0) {
            if (control.StopRequested() || abandon)
                return false;
            control.SetDone(done += 4096);
        }
        if (next >= to || keys[size_t(next)] != scan.Int(0))
            return false;
        ofPosition[size_t(next++)] = distinct.Add(RawOf(scan.get(), 1));
    }
    return next == to;
}

} // namespace

bool cSqliteCursor::ReadColumn(int field, ColumnValues& values, cWorkControl& control)
{
    if (field < 0 || field >= m_fields.size())
        RaiseJetError(JetError::ItemNotFound, {QString::number(field)}, QStringLiteral("DAO.Fields"));
    const qint64 count = Count();
    control.SetTotal(count);
    values.Distinct.clear();
    values.OfPosition.assign(size_t(count), -1);

    // Only the one column is computed: the query is named with numbered columns and that
    // column taken from it. Records come in the query's order, each known by its row
    // identity where there is one; the statement itself stays in step with the positions.
    const bool keyed = m_updatable;
    const QString source = !m_materialised.isEmpty()
                               ? QStringLiteral("SELECT %1 FROM temp.%2 ORDER BY k")
                                     .arg(NumberedColumns(m_fields.size()), QuoteName(m_materialised))
                               : m_forwardSql;
    const int first = keyed ? 1 : 0;
    QStringList names;
    for (int i = 0; i < first + int(m_fields.size()); ++i)
        names << QStringLiteral("c%1").arg(i);
    const QString sql = QStringLiteral("WITH q(%1) AS (%2) SELECT %3c%4 FROM q")
                            .arg(names.join(u','), source, keyed ? QStringLiteral("c0, ") : QString(),
                                 QString::number(first + field));
    std::optional<cDistinctRaw> distinct;

    // A large table in a file, read in the order of its row identities: the second half
    // is read on a connection of its own meanwhile.
    std::shared_ptr<cSqliteDriver> second;
    if (keyed && count >= kSharedScanRows && !m_driver->Name().isEmpty() && m_keysAscend) {
        try {
            second = cSqliteDriver::Open(m_driver->Name(), true);
        } catch (const cRuntimeError&) {
            // read in one pass below
        }
    }
    if (second && !ReadColumnInHalves(*second, sql, count, values.OfPosition, control, distinct))
        return false;
    if (!distinct) {
        distinct.emplace(count);
        if (!ReadColumnInOnePass(sql, count, *distinct, values.OfPosition, control))
            return false;
    }
    const int type = m_fields[field].Type;
    values.Distinct.reserve(distinct->Count());
    for (qsizetype i = 0; i < distinct->Count(); ++i)
        values.Distinct.append(ValueOf(distinct->At(i), type));
    control.SetDone(count);
    return !control.StopRequested();
}

bool cSqliteCursor::ReadColumnInHalves(cSqliteDriver& second, const QString& sql, qint64 count,
                                       std::vector<qint32>& ofPosition, cWorkControl& control,
                                       std::optional<cDistinctRaw>& distinct)
{
    const qint64 half = count / 2;
    const QString range = sql + QStringLiteral(" WHERE c0 BETWEEN ?1 AND ?2");
    cSqliteStatement low(m_driver->Handle(), range);
    cSqliteStatement high(second.Handle(), range);
    low.Bind(1, m_keys.front());
    low.Bind(2, m_keys[size_t(half - 1)]);
    high.Bind(1, m_keys[size_t(half)]);
    high.Bind(2, m_keys.back());
    cDistinctRaw lower(half);
    cDistinctRaw upper(count - half);
    std::atomic<qint64> done{0};
    std::atomic<bool> abandon{false};
    bool upperInOrder = false;
    std::exception_ptr upperFailure;
    std::thread reader([&] {
        try {
            upperInOrder = ScanInOrder(high, m_keys, half, count, upper, ofPosition, control, done, abandon);
        } catch (...) {
            upperFailure = std::current_exception();
        }
    });
    bool lowerInOrder = false;
    try {
        lowerInOrder = ScanInOrder(low, m_keys, 0, half, lower, ofPosition, control, done, abandon);
    } catch (...) {
        abandon = true; // the other half gives up too
        reader.join();
        throw;
    }
    reader.join();
    if (upperFailure)
        std::rethrow_exception(upperFailure);
    if (control.StopRequested())
        return false;
    if (lowerInOrder && upperInOrder) {
        // One table of distinct values for both halves.
        std::vector<qint32> merged(size_t(upper.Count()));
        for (qsizetype i = 0; i < upper.Count(); ++i)
            merged[size_t(i)] = lower.Add(upper.At(i));
        for (qint64 position = half; position < count; ++position)
            ofPosition[size_t(position)] = merged[size_t(ofPosition[size_t(position)])];
        distinct.emplace(std::move(lower));
    } else {
        ofPosition.assign(size_t(count), -1); // records moved meanwhile: one pass
    }
    return true;
}

bool cSqliteCursor::ReadColumnInOnePass(const QString& sql, qint64 count, cDistinctRaw& distinct,
                                        std::vector<qint32>& ofPosition, cWorkControl& control)
{
    const bool keyed = m_updatable;
    cSqliteStatement scan(m_driver->Handle(), sql);
    const int valueColumn = keyed ? 1 : 0;
    qint64 read = 0;
    qint64 next = 0; // the position the next record has while they come in the keys' order
    while (scan.Step()) {
        if ((++read & 4095) == 0) {
            if (control.StopRequested())
                return false;
            control.SetDone(read);
        }
        qint64 position = read - 1;
        if (keyed) {
            const qint64 key = scan.Int(0);
            if (next >= 0 && next < count && m_keys[size_t(next)] == key) {
                position = next++;
            } else {
                next = -1;
                position = PositionOfKey(key); // a record added since the keys were read: −1
            }
        }
        if (position < 0 || position >= count)
            continue;
        ofPosition[size_t(position)] = distinct.Add(RawOf(scan.get(), valueColumn));
    }
    return true;
}

QVariant cSqliteCursor::ValueOfRaw(const RawCell& cell, int type)
{
    static constexpr int kKinds[] = {SQLITE_NULL, SQLITE_INTEGER, SQLITE_FLOAT, SQLITE_TEXT, SQLITE_BLOB};
    RawValue raw;
    raw.Kind = kKinds[int(cell.Kind)];
    raw.Integer = cell.Integer;
    raw.Real = cell.Real;
    raw.Bytes = reinterpret_cast<const unsigned char*>(cell.Bytes);
    raw.Size = cell.Size;
    return ValueOf(raw, type);
}

std::unique_ptr<cBulkReader> cSqliteCursor::OpenBulkReader(const std::vector<int>& fields)
{
    // Only a table read by its row identity can be read again by ranges of keys on
    // another connection.
    if (!m_updatable || !m_materialised.isEmpty())
        return nullptr;
    for (const int field : fields) {
        if (field < 0 || field >= m_fields.size())
            RaiseJetError(JetError::ItemNotFound, {QString::number(field)}, QStringLiteral("DAO.Fields"));
    }
    CompleteKeys();
    return std::make_unique<cSqliteBulkReader>(m_driver, m_forwardSql, int(m_fields.size()), m_pointSql,
                                               m_keys.ToVector(), m_keysAscend, fields);
}

void cSqliteCursor::Rest()
{
    // A keyed source reads any record by its key; a read-only one would have to start its
    // query anew, so it keeps its place.
    if (m_updatable && m_complete && m_forwardNext >= 0) {
        m_forward.Reset();
        m_forwardNext = -1;
    }
}
