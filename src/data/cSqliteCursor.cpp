#include "cSqliteCursor.h"

#include "cCurrency.h"
#include "cRuntimeError.h"
#include "cSqliteDriver.h"
#include "mConvert.h"
#include "mJetErrors.h"
#include "mJetSql.h"

#include <QDateTime>
#include <QHash>

#include <cmath>

namespace {

int gMaterialisedCount = 0;

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

QVariant ReadValue(sqlite3_stmt* statement, int column, int type)
{
    switch (sqlite3_column_type(statement, column)) {
    case SQLITE_NULL:
        return QVariant();
    case SQLITE_INTEGER: {
        const qint64 value = sqlite3_column_int64(statement, column);
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
        const double value = sqlite3_column_double(statement, column);
        if (type == JetType::Currency && std::isfinite(value) && std::fabs(value) < 9e14)
            return QVariant::fromValue(cCurrency::FromUnits(std::llround(value * cCurrency::kScale)));
        if (type == JetType::Single)
            return float(value);
        return value;
    }
    case SQLITE_TEXT: {
        if (type == JetType::Date) {
            return ParseStoredDate(sqlite3_column_text(statement, column), sqlite3_column_bytes(statement, column));
        }
        // Stored as UTF-8: converting here once is cheaper than asking SQLite for UTF-16.
        const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(statement, column));
        return QString::fromUtf8(text, sqlite3_column_bytes(statement, column));
    }
    default: {
        const auto* bytes = static_cast<const char*>(sqlite3_column_blob(statement, column));
        return QByteArray(bytes, sqlite3_column_bytes(statement, column));
    }
    }
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
    m_sql = TranslateJetSql(m_jetSql);
    cSqliteStatement probe(db, m_sql);
    if (!sqlite3_stmt_readonly(probe.get()) || sqlite3_column_count(probe.get()) == 0)
        RaiseJetError(JetError::InvalidOperation);
    DescribeFields(probe);
    probe = cSqliteStatement();

    m_updatable = false;
    const JetSelectShape shape = AnalyseSelect(m_sql);
    if (shape.Updatable) {
        const auto table = m_driver->FindTable(shape.Table);
        const bool sameTable = table && std::all_of(m_fields.begin(), m_fields.end(), [&](const FieldSchema& f) {
            return f.SourceTable.isEmpty() || f.SourceTable.compare(table->Name, Qt::CaseInsensitive) == 0;
        });
        if (sameTable && !(table->Attributes & cSqliteDriver::kSystemObject)) {
            m_table = table->Name;
            m_qualifier = QuoteName(shape.Alias.isEmpty() ? table->Name : shape.Alias);
            const QString selectList = m_sql.mid(shape.SelectListStart, shape.FromStart - shape.SelectListStart).trimmed();
            const QString from = m_sql.mid(shape.FromStart);
            try {
                m_forward = cSqliteStatement(db, QStringLiteral("SELECT %1.rowid, %2 %3").arg(m_qualifier, selectList, from));
                m_point = cSqliteStatement(db, QStringLiteral("SELECT %1 FROM %2%3 WHERE %4.rowid = ?1")
                                                   .arg(selectList, QuoteName(table->Name),
                                                        shape.Alias.isEmpty() ? QString()
                                                                              : QLatin1String(" AS ") + QuoteName(shape.Alias),
                                                        m_qualifier));
                m_keysSql = QStringLiteral("SELECT %1.rowid %2").arg(m_qualifier, from);
                m_updatable = true;
            } catch (const cRuntimeError&) {
                // A table without a row identity is read as any other query.
                m_point = cSqliteStatement();
            }
        }
    }
    if (!m_updatable)
        m_forward = cSqliteStatement(db, m_sql);
    m_forwardNext = 0;
    m_keys.clear();
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
    ExecSql(db, QStringLiteral("CREATE TEMP TABLE %1 AS %2").arg(QuoteName(name), m_sql));
    m_materialised = name;
    cSqliteStatement count(db, QStringLiteral("SELECT count(*) FROM temp.%1").arg(QuoteName(name)));
    count.Step();
    m_count = count.Int(0);
    m_complete = true;
    m_point = cSqliteStatement(db, QStringLiteral("SELECT * FROM temp.%1 WHERE rowid = ?1").arg(QuoteName(name)));
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
    CompleteKeys();
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
    if (!m_updatable)
        RaiseJetError(JetError::ReadOnly, {}, QStringLiteral("DAO.Recordset"));
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
    cSqliteStatement update(db, QStringLiteral("UPDATE %1 SET %2 WHERE rowid = ?")
                                    .arg(QuoteName(m_table), assignments.join(QLatin1String(", "))));
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
    m_keys.push_back(sqlite3_last_insert_rowid(db));
    m_positions.clear();
    return qint64(m_keys.size()) - 1;
}

void cSqliteCursor::Remove(qint64 position)
{
    PrepareForChange();
    if (position < 0 || position >= qint64(m_keys.size()))
        RaiseJetError(JetError::NoCurrentRecord, {}, QStringLiteral("DAO.Recordset"));
    sqlite3* db = m_driver->Handle();
    cSqliteStatement remove(db, QStringLiteral("DELETE FROM %1 WHERE rowid = ?").arg(QuoteName(m_table)));
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
