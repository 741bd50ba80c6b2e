#include "cOdbcCursor.h"

#include "cRuntimeError.h"
#include "mConvert.h"
#include "mJetErrors.h"
#include "mJetSql.h"
#include "mNames.h"

#include <QDateTime>

#include <algorithm>
#include <cmath>

namespace {

const QString kSource = QStringLiteral("DAO.Recordset");

// Columns named for the source and listed with ", ", each after qualifier and a "." when
// there is one.
QString ColumnList(const QStringList& columns, QChar quote, const QString& qualifier = QString())
{
    QStringList quoted;
    for (const QString& column : columns)
        quoted << (qualifier.isEmpty() ? QString() : qualifier + u'.') + QuoteOdbcName(column, quote);
    return quoted.join(QLatin1String(", "));
}

} // namespace

cOdbcCursor::cOdbcCursor(std::shared_ptr<cOdbcDriver> driver, QString jetSql)
    : m_driver(std::move(driver)), m_jetSql(std::move(jetSql))
{
    Open();
}

bool cOdbcCursor::Updatable() const
{
    return m_updatable && !m_driver->ReadOnly();
}

void cOdbcCursor::Open()
{
    const QChar quote = m_driver->Dialect().Quote;
    m_sql = m_driver->Translate(m_jetSql);
    const JetSelectShape shape = AnalyseSelect(m_sql);
    if (!shape.IsSelect)
        RaiseJetError(JetError::InvalidOperation, {}, kSource);

    m_updatable = false;
    m_table = OdbcTable();
    m_keyColumns.clear();
    if (shape.SingleTable) {
        if (auto table = m_driver->FindTable(shape.Table))
            m_table = *table;
    }
    const bool keyed = shape.Updatable && !m_table.Key.isEmpty() && !(m_table.Schema.Attributes & cOdbcDriver::kSystemObject);
    QString forwardSql = m_sql;
    if (keyed) {
        const QString qualifier = QuoteOdbcName(shape.Alias.isEmpty() ? m_table.Table : shape.Alias, quote);
        const QString keys = ColumnList(m_table.Key, quote, qualifier);
        for (const QString& column : m_table.Key) {
            const qsizetype at = std::find_if(m_table.Schema.Fields.begin(), m_table.Schema.Fields.end(),
                                              [&](const FieldSchema& f) { return f.Name == column; })
                                 - m_table.Schema.Fields.begin();
            m_keyColumns << m_table.Columns.value(at);
        }
        const QString selectList = m_sql.mid(shape.SelectListStart, shape.FromStart - shape.SelectListStart).trimmed();
        const QString from = m_sql.mid(shape.FromStart);
        forwardSql = QStringLiteral("SELECT %1, %2 %3").arg(keys, selectList, from);
        m_keysSql = QStringLiteral("SELECT %1 %2").arg(keys, from);
        QString table = TableReference();
        if (!shape.Alias.isEmpty())
            table += QLatin1String(" AS ") + QuoteOdbcName(shape.Alias, quote);
        m_pointSql = QStringLiteral("SELECT %1 FROM %2 WHERE %3").arg(selectList, table, KeyCondition());
        m_updatable = true;
    }
    m_forward = m_driver->NewStatement();
    m_inPieces = false;
    // Only a keyed source reads in pieces: its keys can tell whether the end came early.
    if (m_updatable)
        m_inPieces = m_driver->ExecuteInPieces(m_forward, forwardSql);
    else
        m_forward.ExecDirect(forwardSql);
    if (m_forward.ColumnCount() == 0)
        RaiseJetError(JetError::InvalidOperation, {}, kSource);
    DescribeFields(m_forward, m_updatable ? int(m_keyColumns.size()) + 1 : 1);
    m_point = cOdbcStatement();
    m_forwardNext = 0;
    m_keys.clear();
    m_rows.clear();
    m_positions.clear();
    m_complete = false;
    m_resultRows = -1;
}

QString cOdbcCursor::TableReference() const
{
    return m_driver->TableReference(m_table);
}

// The key condition for the point lookups and changes, qualified as the table is named.
QString cOdbcCursor::KeyCondition() const
{
    QStringList parts;
    for (const QString& column : m_table.Key)
        parts << QuoteOdbcName(column, m_driver->Dialect().Quote) + QLatin1String(" = ?");
    return parts.join(QLatin1String(" AND "));
}

void cOdbcCursor::DescribeFields(cOdbcStatement& statement, int first)
{
    m_fields.clear();
    m_columns.clear();
    const int count = statement.ColumnCount();
    for (int i = first; i <= count; ++i) {
        QString label, base, typeName;
        OdbcColumn column;
        statement.Describe(i, label, base, column, typeName);
        FieldSchema field;
        field.Name = label;
        qint32 size = 0;
        field.Type = JetTypeOfOdbc(column.SqlType, column.Size, typeName, size);
        field.Size = size;
        // A field of the one table takes the table's rules and can be written back.
        const QString source = base.isEmpty() ? label : base;
        const auto& tableFields = m_table.Schema.Fields;
        for (qsizetype f = 0; f < tableFields.size(); ++f) {
            if (SameName(tableFields[f].Name, source)) {
                field = tableFields[f];
                field.Name = label;
                column = m_table.Columns.value(f, column);
                break;
            }
        }
        m_fields << field;
        m_columns << column;
    }
}

void cOdbcCursor::ReadRow(cOdbcStatement& statement, int first, QVariantList& row)
{
    row.resize(m_fields.size());
    for (qsizetype i = 0; i < m_fields.size(); ++i)
        row[i] = statement.Get(first + int(i), m_columns[i]);
}

QVariantList cOdbcCursor::ReadKey(cOdbcStatement& statement)
{
    QVariantList key;
    for (qsizetype i = 0; i < m_keyColumns.size(); ++i)
        key << statement.Get(int(i) + 1, m_keyColumns[i]);
    return key;
}

bool cOdbcCursor::FetchForward(qint64 position, QVariantList& row)
{
    if (!m_forward.Fetch()) {
        m_forward.CloseCursor();
        m_forwardNext = -1;
        // A result read in pieces ends early when the server drops its cursor (a failed
        // statement on the connection rolls back the transaction that held it).
        if (m_inPieces && !m_complete) {
            CompleteKeys();
            return position < qint64(m_keys.size()) && FetchByKey(position, row);
        }
        m_complete = m_complete || !m_updatable || position >= qint64(m_keys.size());
        return false;
    }
    if (m_updatable) {
        const QVariantList key = ReadKey(m_forward);
        if (position < qint64(m_keys.size()) && KeyText(m_keys[size_t(position)]) != KeyText(key)) {
            // The records came in another order than the keys were read in: go by key.
            m_forward.CloseCursor();
            m_forwardNext = -1;
            return FetchByKey(position, row);
        }
        if (position == qint64(m_keys.size()))
            m_keys.push_back(key);
        ReadRow(m_forward, int(m_keyColumns.size()) + 1, row);
    } else {
        ReadRow(m_forward, 1, row);
        m_rows.push_back(row);
    }
    m_forwardNext = position + 1;
    return true;
}

bool cOdbcCursor::FetchByKey(qint64 position, QVariantList& row)
{
    if (!m_point) {
        m_point = m_driver->NewStatement();
        m_point.Prepare(m_pointSql);
    }
    m_point.Bind(m_keys[size_t(position)], m_keyColumns);
    m_point.Execute();
    const bool found = m_point.Fetch();
    if (found)
        ReadRow(m_point, 1, row);
    m_point.CloseCursor();
    if (!found)
        RaiseJetError(JetError::RecordDeleted, {}, kSource);
    return true;
}

bool cOdbcCursor::Fetch(qint64 position, QVariantList& row)
{
    m_driver->Handle();
    if (position < 0)
        return false;
    if (!m_updatable) {
        QVariantList read;
        while (!m_complete && qint64(m_rows.size()) <= position && m_forwardNext == qint64(m_rows.size())) {
            if (!FetchForward(qint64(m_rows.size()), read))
                break;
        }
        if (position >= qint64(m_rows.size()))
            return false;
        row = m_rows[size_t(position)];
        return true;
    }
    if (m_forwardNext == position && !(m_complete && position >= qint64(m_keys.size())))
        return FetchForward(position, row) || (position < qint64(m_keys.size()) && FetchByKey(position, row));
    if (position >= qint64(m_keys.size()))
        CompleteKeys();
    return position < qint64(m_keys.size()) && FetchByKey(position, row);
}

qint64 cOdbcCursor::Count()
{
    if (m_updatable) {
        // Where the driver knows the size of the result it already holds, the keys are not
        // read a second time from the source just to count them: on a large table that is a
        // second pass over every row, on a filter a second search.
        if (!m_complete && m_inPieces && m_resultRows < 0) {
            // The rows come in pieces: the server counts them, and the keys are read only
            // when a record beyond those read is asked for.
            try {
                cOdbcStatement count = m_driver->NewStatement();
                count.ExecDirect(QStringLiteral("SELECT count(*) FROM (%1) AS q").arg(m_sql));
                if (count.Fetch())
                    m_resultRows = count.Get(1, OdbcColumn{SQL_BIGINT, 19, 0, JetType::BigInt}).toLongLong();
            } catch (const cRuntimeError&) {
                m_resultRows = -1;
            }
        }
        if (!m_complete && m_driver->Dialect().CountsResults) {
            if (m_resultRows < 0 && m_forwardNext >= 0 && !m_inPieces) {
                try {
                    m_resultRows = m_forward.RowCount();
                } catch (const cRuntimeError&) {
                    m_resultRows = -1;
                }
            }
            if (m_resultRows >= 0)
                return m_resultRows;
        }
        CompleteKeys();
        return qint64(m_keys.size());
    }
    QVariantList row;
    Fetch(std::numeric_limits<qint64>::max() - 1, row);
    return qint64(m_rows.size());
}

void cOdbcCursor::CompleteKeys()
{
    if (m_complete)
        return;
    cOdbcStatement keys = m_driver->NewStatement();
    keys.ExecDirect(m_keysSql);
    std::vector<QVariantList> all;
    all.reserve(m_keys.size());
    while (keys.Fetch())
        all.push_back(ReadKey(keys));
    m_keys = std::move(all);
    m_positions.clear();
    m_complete = true;
}

QString cOdbcCursor::KeyText(const QVariantList& key)
{
    QStringList parts;
    for (const QVariant& value : key) {
        if (!value.isValid() || value.isNull()) {
            parts << QStringLiteral("\x01");
        } else if (value.typeId() == QMetaType::QDateTime) {
            parts << value.toDateTime().toString(Qt::ISODateWithMs);
        } else if (value.typeId() == QMetaType::QByteArray) {
            parts << QString::fromLatin1(value.toByteArray().toHex());
        } else if (value.typeId() == QMetaType::Double || value.typeId() == QMetaType::Float) {
            const double number = value.toDouble();
            parts << (number == std::trunc(number) && std::fabs(number) < 9e18 ? QString::number(qint64(number))
                                                                               : QString::number(number, 'g', 17));
        } else {
            parts << value.toString();
        }
    }
    return parts.join(QChar(0x1F));
}

QVariant cOdbcCursor::Key(qint64 position)
{
    if (!m_updatable)
        return position;
    if (position >= qint64(m_keys.size()))
        CompleteKeys();
    if (position < 0 || position >= qint64(m_keys.size()))
        RaiseJetError(JetError::NoCurrentRecord, {}, kSource);
    const QVariantList& key = m_keys[size_t(position)];
    return key.size() == 1 ? key.first() : QVariant(key);
}

qint64 cOdbcCursor::PositionOf(const QVariant& key)
{
    if (!m_updatable) {
        bool ok = false;
        const qint64 value = key.toLongLong(&ok);
        return ok && value >= 0 && value < Count() ? value : -1;
    }
    CompleteKeys();
    if (m_positions.isEmpty()) {
        m_positions.reserve(qsizetype(m_keys.size()));
        for (size_t i = 0; i < m_keys.size(); ++i)
            m_positions.insert(KeyText(m_keys[i]), qint64(i));
    }
    const QVariantList parts = m_keyColumns.size() == 1 ? QVariantList{key} : key.toList();
    return m_positions.value(KeyText(parts), -1);
}

// A change may move records within the query's order: the keys are read to the end
// first, and from then on records are read by key.
void cOdbcCursor::PrepareForChange()
{
    if (!m_updatable)
        RaiseJetError(JetError::ReadOnly, {}, kSource);
    m_driver->RequireWritable();
    CompleteKeys();
    m_forward.CloseCursor();
    m_forwardNext = -1;
}

qsizetype cOdbcCursor::FieldOfColumn(const QString& column) const
{
    for (qsizetype i = 0; i < m_fields.size(); ++i) {
        if (m_fields[i].SourceField == column)
            return i;
    }
    return -1;
}

void cOdbcCursor::Update(qint64 position, const QVariantList& values, const QList<bool>& changed)
{
    PrepareForChange();
    if (position < 0 || position >= qint64(m_keys.size()))
        RaiseJetError(JetError::NoCurrentRecord, {}, kSource);
    const QChar quote = m_driver->Dialect().Quote;
    QStringList assignments;
    QVariantList parameters;
    QList<OdbcColumn> types;
    for (qsizetype i = 0; i < m_fields.size(); ++i) {
        if (changed.value(i) && !m_fields[i].SourceField.isEmpty()) {
            assignments << QuoteOdbcName(m_fields[i].SourceField, quote) + QLatin1String(" = ?");
            parameters << values[i];
            types << m_columns[i];
        }
    }
    if (assignments.isEmpty())
        return;
    const QVariantList& key = m_keys[size_t(position)];
    parameters << key;
    types << m_keyColumns;
    cOdbcStatement update = m_driver->NewStatement();
    update.Prepare(QStringLiteral("UPDATE %1 SET %2 WHERE %3")
                       .arg(TableReference(), assignments.join(QLatin1String(", ")), KeyCondition()));
    update.Bind(parameters, types);
    update.Execute();
    if (update.RowCount() == 0)
        RaiseJetError(JetError::RecordDeleted, {}, kSource);
    // A changed key is the record's new identity.
    QVariantList newKey = key;
    for (qsizetype k = 0; k < m_table.Key.size(); ++k) {
        const qsizetype field = FieldOfColumn(m_table.Key[k]);
        if (field >= 0 && changed.value(field))
            newKey[k] = values[field];
    }
    if (KeyText(newKey) != KeyText(key)) {
        m_keys[size_t(position)] = newKey;
        m_positions.clear();
    }
}

QVariantList cOdbcCursor::NewKey(const QVariantList& values, const QList<bool>& changed, cOdbcStatement& insert)
{
    QVariantList key;
    for (const QString& column : m_table.Key) {
        const qsizetype field = FieldOfColumn(column);
        if (field < 0 || !changed.value(field) || !values[field].isValid())
            break;
        key << values[field];
    }
    if (key.size() == m_table.Key.size())
        return key;
    if (m_driver->DbmsName().startsWith(QLatin1String("PostgreSQL"), Qt::CaseInsensitive)) {
        if (insert.Fetch()) {
            key = ReadKey(insert);
            insert.CloseCursor();
            return key;
        }
    } else if (m_driver->DbmsName().startsWith(QLatin1String("SQLite"), Qt::CaseInsensitive)) {
        // The row's identity under a name no column of the table takes.
        const char* const names[] = {"rowid", "_rowid_", "oid"};
        const auto free = std::find_if(std::begin(names), std::end(names), [&](const char* name) {
            return std::none_of(m_table.Schema.Fields.begin(), m_table.Schema.Fields.end(),
                                [&](const FieldSchema& f) { return SameName(f.Name, QLatin1String(name)); });
        });
        if (free == std::end(names))
            return {};
        cOdbcStatement read = m_driver->NewStatement();
        read.ExecDirect(QStringLiteral("SELECT %1 FROM %2 WHERE %3 = last_insert_rowid()")
                            .arg(ColumnList(m_table.Key, m_driver->Dialect().Quote), TableReference(),
                                 QLatin1String(*free)));
        if (read.Fetch())
            return ReadKey(read);
    }
    return {};
}

qint64 cOdbcCursor::Insert(const QVariantList& values, const QList<bool>& changed)
{
    PrepareForChange();
    const QChar quote = m_driver->Dialect().Quote;
    QStringList columns;
    QStringList marks;
    QVariantList parameters;
    QList<OdbcColumn> types;
    for (qsizetype i = 0; i < m_fields.size(); ++i) {
        if (changed.value(i) && !m_fields[i].SourceField.isEmpty()) {
            columns << QuoteOdbcName(m_fields[i].SourceField, quote);
            marks << QStringLiteral("?");
            parameters << values[i];
            types << m_columns[i];
        }
    }
    QString sql = columns.isEmpty() ? QStringLiteral("INSERT INTO %1 DEFAULT VALUES").arg(TableReference())
                                    : QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
                                          .arg(TableReference(), columns.join(QLatin1String(", ")),
                                               marks.join(QLatin1String(", ")));
    if (m_driver->DbmsName().startsWith(QLatin1String("PostgreSQL"), Qt::CaseInsensitive)) {
        sql += QLatin1String(" RETURNING ") + ColumnList(m_table.Key, quote);
    }
    cOdbcStatement insert = m_driver->NewStatement();
    insert.Prepare(sql);
    insert.Bind(parameters, types);
    insert.Execute();
    const QVariantList key = NewKey(values, changed, insert);
    if (key.isEmpty()) {
        // A key the source made and does not tell: the keyset is read again.
        m_complete = false;
        CompleteKeys();
        return qint64(m_keys.size()) - 1;
    }
    m_keys.push_back(key);
    m_positions.clear();
    return qint64(m_keys.size()) - 1;
}

void cOdbcCursor::Remove(qint64 position)
{
    PrepareForChange();
    if (position < 0 || position >= qint64(m_keys.size()))
        RaiseJetError(JetError::NoCurrentRecord, {}, kSource);
    cOdbcStatement remove = m_driver->NewStatement();
    remove.Prepare(QStringLiteral("DELETE FROM %1 WHERE %2")
                       .arg(TableReference(), KeyCondition()));
    remove.Bind(m_keys[size_t(position)], m_keyColumns);
    remove.Execute();
    if (remove.RowCount() == 0)
        RaiseJetError(JetError::RecordDeleted, {}, kSource);
    m_keys.erase(m_keys.begin() + position);
    m_positions.clear();
}

void cOdbcCursor::Requery()
{
    m_forward = cOdbcStatement();
    m_point = cOdbcStatement();
    Open();
}
