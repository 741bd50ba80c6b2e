#include "cSqliteCursor.h"

#include "cCurrency.h"
#include "cRuntimeError.h"
#include "cSqliteBulkReader.h"
#include "cSqliteDriver.h"
#include "cWorkControl.h"
#include "mConvert.h"
#include "mJetErrors.h"
#include "mJetSql.h"
#include "mSqliteIdentity.h"
#include "mStringTable.h"

#include <QDateTime>
#include <QHash>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstring>
#include <optional>
#include <thread>

namespace {

int gMaterialisedCount = 0;

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

// 'YYYY-MM-DD[ HH:MM[:SS]]' as the engine stores dates; other texts stay texts.
QVariant ParseStoredDate(const unsigned char* text, int length)
{
    auto digits = [&](int at, int count, int& value) {
        value = 0;
        if (at + count > length)
            return false;
        for (int i = at; i < at + count; ++i) {
            if (text[i] < '0' || text[i] > '9')
                return false;
            value = value * 10 + (text[i] - '0');
        }
        return true;
    };
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
    bool ok = digits(0, 4, year) && length >= 10 && text[4] == '-' && digits(5, 2, month) && text[7] == '-'
              && digits(8, 2, day);
    if (ok && length > 10) {
        ok = (text[10] == ' ' || text[10] == 'T') && digits(11, 2, hour) && length >= 16 && text[13] == ':'
             && digits(14, 2, minute);
        if (ok && length > 16)
            ok = text[16] == ':' && digits(17, 2, second);
    }
    const QDate date(year, month, day);
    const QTime time(hour, minute, second);
    if (!ok || !date.isValid() || !time.isValid())
        return QString::fromUtf8(reinterpret_cast<const char*>(text), length);
    return QDateTime(date, time, Qt::UTC);
}

// A value as SQLite hands it out, before it becomes the field's value.
struct RawValue {
    int Kind = SQLITE_NULL;
    qint64 Integer = 0;
    double Real = 0;
    const unsigned char* Bytes = nullptr;
    int Size = 0;
};

RawValue RawOf(sqlite3_stmt* statement, int column)
{
    RawValue raw;
    raw.Kind = sqlite3_column_type(statement, column);
    switch (raw.Kind) {
    case SQLITE_INTEGER: raw.Integer = sqlite3_column_int64(statement, column); break;
    case SQLITE_FLOAT: raw.Real = sqlite3_column_double(statement, column); break;
    case SQLITE_TEXT: raw.Bytes = sqlite3_column_text(statement, column); break;
    case SQLITE_BLOB: raw.Bytes = static_cast<const unsigned char*>(sqlite3_column_blob(statement, column)); break;
    default: break;
    }
    if (raw.Kind == SQLITE_TEXT || raw.Kind == SQLITE_BLOB)
        raw.Size = sqlite3_column_bytes(statement, column);
    return raw;
}

QVariant ValueOf(const RawValue& raw, int type)
{
    switch (raw.Kind) {
    case SQLITE_NULL:
        return QVariant();
    case SQLITE_INTEGER: {
        const qint64 value = raw.Integer;
        switch (type) {
        case JetType::Boolean: return value != 0;
        case JetType::Byte:
            if (value >= 0 && value <= 255)
                return QVariant::fromValue(quint8(value));
            break;
        case JetType::Integer:
        case JetType::Long:
            if (value >= std::numeric_limits<qint32>::min() && value <= std::numeric_limits<qint32>::max())
                return int(value);
            break;
        case JetType::Currency:
            if (std::llabs(value) < std::numeric_limits<qint64>::max() / cCurrency::kScale)
                return QVariant::fromValue(cCurrency::FromUnits(value * cCurrency::kScale));
            break;
        case JetType::Single: return float(value);
        case JetType::Double: return double(value);
        case JetType::Text:
        case JetType::Memo: return QString::number(value);
        default: break;
        }
        return value;
    }
    case SQLITE_FLOAT: {
        const double value = raw.Real;
        if (type == JetType::Currency && std::isfinite(value) && std::fabs(value) < 9e14)
            return QVariant::fromValue(cCurrency::FromUnits(std::llround(value * cCurrency::kScale)));
        if (type == JetType::Single)
            return float(value);
        return value;
    }
    case SQLITE_TEXT:
        if (type == JetType::Date)
            return ParseStoredDate(raw.Bytes, raw.Size);
        // Stored as UTF-8: converting here once is cheaper than asking SQLite for UTF-16.
        return QString::fromUtf8(reinterpret_cast<const char*>(raw.Bytes), raw.Size);
    default:
        return QByteArray(reinterpret_cast<const char*>(raw.Bytes), raw.Size);
    }
}

QVariant ReadValue(sqlite3_stmt* statement, int column, int type)
{
    return ValueOf(RawOf(statement, column), type);
}

quint64 Mix(quint64 h)
{
    h ^= h >> 33;
    h *= 0xff51afd7ed558ccdULL;
    h ^= h >> 33;
    h *= 0xc4ceb9fe1a85ec53ULL;
    return h ^ (h >> 33);
}

// A quick hash of a few bytes: the values of one column are hashed a million times.
quint64 HashBytes(const char* bytes, size_t size, quint64 seed)
{
    quint64 h = seed ^ (size * 0x9E3779B97F4A7C15ULL);
    for (; size >= 8; bytes += 8, size -= 8) {
        quint64 word;
        std::memcpy(&word, bytes, 8);
        h = (h ^ Mix(word)) * 0x9E3779B97F4A7C15ULL;
    }
    if (size > 0) {
        quint64 word = 0;
        std::memcpy(&word, bytes, size);
        h = (h ^ Mix(word)) * 0x9E3779B97F4A7C15ULL;
    }
    return Mix(h);
}

// Raw values seen once each, by their kind and bytes, in one block of memory: a column of
// a million records often holds few distinct values, and hashing bytes is cheaper than
// making a value of each. A column that turns out to hold mostly distinct values is no
// longer looked up: each record then simply gets an entry of its own.
class cDistinctRaw {
public:
    // Grows as values come: a column of few values never touches more than a few slots.
    explicit cDistinctRaw(qint64 expected)
    {
        m_slots.assign(1024, 0);
        m_entries.reserve(size_t(std::min<qint64>(expected, 1024)));
    }

    qint32 Add(const RawValue& raw)
    {
        char head[9];
        head[0] = char(raw.Kind);
        size_t headSize = 1;
        const char* tail = nullptr;
        size_t tailSize = 0;
        if (raw.Kind == SQLITE_INTEGER || raw.Kind == SQLITE_FLOAT) {
            std::memcpy(head + 1, raw.Kind == SQLITE_INTEGER ? static_cast<const void*>(&raw.Integer)
                                                            : static_cast<const void*>(&raw.Real), 8);
            headSize = 9;
        } else if (raw.Kind == SQLITE_TEXT || raw.Kind == SQLITE_BLOB) {
            tail = reinterpret_cast<const char*>(raw.Bytes);
            tailSize = size_t(raw.Size);
        }
        if (!m_lookUp)
            return Append(head, headSize, tail, tailSize);
        // Mostly distinct after a good sample: looking up would only cost.
        if (++m_added == kSample && m_entries.size() * 10 > kSample * 9) {
            m_lookUp = false;
            m_slots = {};
            return Append(head, headSize, tail, tailSize);
        }
        const quint64 hash = Hash(head, headSize, tail, tailSize);
        const quint64 tag = hash >> 32;
        const size_t mask = m_slots.size() - 1;
        for (size_t slot = size_t(hash) & mask;; slot = (slot + 1) & mask) {
            const quint64 held = m_slots[slot];
            if (held == 0) {
                const qint32 added = Append(head, headSize, tail, tailSize);
                m_slots[slot] = (tag << 32) | quint64(added + 1);
                if (m_entries.size() * 2 > m_slots.size())
                    Grow();
                return added;
            }
            if ((held >> 32) != tag)
                continue;
            const qint32 entry = qint32(held & 0xFFFFFFFFu) - 1;
            const Entry& e = m_entries[size_t(entry)];
            if (e.Size == headSize + tailSize && std::memcmp(m_bytes.data() + e.Offset, head, headSize) == 0
                && (tailSize == 0 || std::memcmp(m_bytes.data() + e.Offset + headSize, tail, tailSize) == 0))
                return entry;
        }
    }

    qsizetype Count() const { return qsizetype(m_entries.size()); }

    RawValue At(qsizetype index) const
    {
        const Entry& e = m_entries[size_t(index)];
        const char* bytes = m_bytes.data() + e.Offset;
        RawValue raw;
        raw.Kind = bytes[0];
        if (raw.Kind == SQLITE_INTEGER)
            std::memcpy(&raw.Integer, bytes + 1, 8);
        else if (raw.Kind == SQLITE_FLOAT)
            std::memcpy(&raw.Real, bytes + 1, 8);
        else if (raw.Kind == SQLITE_TEXT || raw.Kind == SQLITE_BLOB) {
            raw.Bytes = reinterpret_cast<const unsigned char*>(bytes + 1);
            raw.Size = int(e.Size - 1);
        }
        return raw;
    }

private:
    static constexpr size_t kSample = 65536;

    // The kind seeds the hash; a number's eight bytes or a text's bytes follow.
    static quint64 Hash(const char* head, size_t headSize, const char* tail, size_t tailSize)
    {
        return headSize > 1 ? HashBytes(head + 1, headSize - 1, quint64(head[0]))
                            : HashBytes(tail, tailSize, quint64(head[0]));
    }

    struct Entry {
        size_t Offset;
        size_t Size;
    };

    qint32 Append(const char* head, size_t headSize, const char* tail, size_t tailSize)
    {
        m_entries.push_back({m_bytes.size(), headSize + tailSize});
        m_bytes.insert(m_bytes.end(), head, head + headSize);
        if (tailSize > 0)
            m_bytes.insert(m_bytes.end(), tail, tail + tailSize);
        return qint32(m_entries.size() - 1);
    }

    void Grow()
    {
        std::vector<quint64> table(m_slots.size() * 2, 0);
        const size_t mask = table.size() - 1;
        for (const quint64 held : m_slots) {
            if (held == 0)
                continue;
            const Entry& e = m_entries[size_t(held & 0xFFFFFFFFu) - 1];
            const size_t headSize = (m_bytes[e.Offset] == SQLITE_INTEGER || m_bytes[e.Offset] == SQLITE_FLOAT) ? 9 : 1;
            const quint64 hash = Hash(m_bytes.data() + e.Offset, headSize, m_bytes.data() + e.Offset + headSize,
                                      e.Size - headSize);
            size_t slot = size_t(hash) & mask;
            while (table[slot] != 0)
                slot = (slot + 1) & mask;
            table[slot] = held;
        }
        m_slots = std::move(table);
    }

    std::vector<quint64> m_slots; // the hash's upper half, and the entry + 1; 0 for none
    std::vector<Entry> m_entries;
    std::vector<char> m_bytes;
    bool m_lookUp = true;
    size_t m_added = 0;
};

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
    m_identity.clear();
    m_readOnlyReason.clear();
    const JetSelectShape shape = AnalyseSelect(m_sql);
    if (shape.Updatable) {
        const auto table = m_driver->FindTable(shape.Table);
        const bool sameTable = table && std::all_of(m_fields.begin(), m_fields.end(), [&](const FieldSchema& f) {
            return f.SourceTable.isEmpty() || f.SourceTable.compare(table->Name, Qt::CaseInsensitive) == 0;
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
            const QString from = m_sql.mid(shape.FromStart);
            try {
                const QString key = m_qualifier + u'.' + m_identity;
                m_forwardSql = QStringLiteral("SELECT %1, %2 %3").arg(key, selectList, from);
                m_forward = cSqliteStatement(db, m_forwardSql);
                m_pointSql = QStringLiteral("SELECT %1 FROM %2%3 WHERE %4 = ?1")
                                 .arg(selectList, QuoteName(table->Name),
                                      shape.Alias.isEmpty() ? QString() : QLatin1String(" AS ") + QuoteName(shape.Alias),
                                      key);
                m_point = cSqliteStatement(db, m_pointSql);
                m_keysSql = QStringLiteral("SELECT %1 %2").arg(key, from);
                m_updatable = true;
                m_narrowed = AnalyseJetClauses(m_jetSql).ConditionStart >= 0;
            } catch (const cRuntimeError&) {
                // A table without a row identity is read as any other query.
                m_point = cSqliteStatement();
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
                if (source.Name.compare(QString::fromUtf8(origin), Qt::CaseInsensitive) == 0) {
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
                field.Type = cSqliteDriver::JetTypeOfDeclared(QString::fromUtf8(declared), field.Size);
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
    cSqliteStatement keys(m_driver->Handle(), m_keysSql);
    std::vector<qint64> all;
    all.reserve(m_keys.size());
    while (keys.Step())
        all.push_back(keys.Int(0));
    m_keys = std::move(all);
    m_keysAscend = std::is_sorted(m_keys.begin(), m_keys.end());
    m_positions.clear();
    m_complete = true;
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
        const auto found = std::lower_bound(m_keys.begin(), m_keys.end(), value);
        return found != m_keys.end() && *found == value ? qint64(found - m_keys.begin()) : -1;
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
    m_keys.erase(m_keys.begin() + position);
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

// Records of a large table are read on two connections at once, each half by its keys.
constexpr qint64 kSharedScanRows = 200000;

// Reads the keyed scan for positions from … to − 1, which must come in the keys' order;
// false when one did not (or when stopped).
bool ScanInOrder(cSqliteStatement& scan, const std::vector<qint64>& keys, qint64 from, qint64 to,
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
    if (second) {
        const qint64 half = count / 2;
        const QString range = sql + QStringLiteral(" WHERE c0 BETWEEN ?1 AND ?2");
        cSqliteStatement low(m_driver->Handle(), range);
        cSqliteStatement high(second->Handle(), range);
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
                upperInOrder = ScanInOrder(high, m_keys, half, count, upper, values.OfPosition, control, done, abandon);
            } catch (...) {
                upperFailure = std::current_exception();
            }
        });
        bool lowerInOrder = false;
        try {
            lowerInOrder = ScanInOrder(low, m_keys, 0, half, lower, values.OfPosition, control, done, abandon);
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
                values.OfPosition[size_t(position)] = merged[size_t(values.OfPosition[size_t(position)])];
            distinct.emplace(std::move(lower));
        } else {
            values.OfPosition.assign(size_t(count), -1); // records moved meanwhile: one pass
        }
    }

    if (!distinct) {
        distinct.emplace(count);
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
            values.OfPosition[size_t(position)] = distinct->Add(RawOf(scan.get(), valueColumn));
        }
    }
    const int type = m_fields[field].Type;
    values.Distinct.reserve(distinct->Count());
    for (qsizetype i = 0; i < distinct->Count(); ++i)
        values.Distinct.append(ValueOf(distinct->At(i), type));
    control.SetDone(count);
    return !control.StopRequested();
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
    return std::make_unique<cSqliteBulkReader>(m_driver, m_forwardSql, int(m_fields.size()), m_pointSql, m_keys,
                                               m_keysAscend, fields);
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
