#include "cDatabaseDriver.h"

#include "cCurrency.h"
#include "cWorkControl.h"
#include "mJetErrors.h"
#include "mNames.h"
#include "mFilter.h"
#include "mJetSql.h"

#include <QDateTime>
#include <algorithm>
#include <QHash>

QString DistinctKey(const QVariant& value)
{
    if (!value.isValid() || value.isNull())
        return {};
    QString text;
    if (value.userType() == qMetaTypeId<cCurrency>())
        text = QString::number(value.value<cCurrency>().Units());
    else if (value.typeId() == QMetaType::Double || value.typeId() == QMetaType::Float)
        text = QString::number(value.toDouble(), 'g', 17);
    else if (value.typeId() == QMetaType::QDateTime)
        text = value.toDateTime().toString(Qt::ISODateWithMs);
    else if (value.typeId() == QMetaType::QByteArray)
        text = QString::fromLatin1(value.toByteArray().toBase64());
    else
        text = value.toString();
    return QString::number(value.userType()) + u':' + text;
}

namespace {

// A record source per value: for backends that prepare nothing of their own.
class cCursorLookup : public cRowLookup {
public:
    cCursorLookup(cDatabaseDriver& driver, QString select, QString keyField, int keyType)
        : m_driver(driver), m_select(std::move(select)), m_keyField(std::move(keyField)), m_keyType(keyType)
    {
    }

    bool Find(const QVariant& key, QVariant& value) override
    {
        const auto cursor = m_driver.OpenCursor(m_select + m_keyField + u'=' + JetLiteral(key, m_keyType));
        QVariantList row;
        if (!cursor->Fetch(0, row) || row.isEmpty())
            return false;
        value = row.front();
        return true;
    }

private:
    cDatabaseDriver& m_driver;
    QString m_select, m_keyField;
    int m_keyType;
};

} // namespace

std::unique_ptr<cRowLookup> cDatabaseDriver::PrepareLookup(const QString& table, const QString& keyField,
                                                           const QString& resultField, int keyType)
{
    return std::make_unique<cCursorLookup>(
        *this, QStringLiteral("SELECT %1 FROM %2 WHERE ").arg(JetBracketName(resultField), JetBracketName(table)),
        JetBracketName(keyField), keyType);
}

bool cCursor::ReadColumn(int field, ColumnValues& values, cWorkControl& control)
{
    const qint64 count = Count();
    control.SetTotal(count);
    values.Distinct.clear();
    values.OfPosition.assign(size_t(count), -1);
    QHash<QString, qint32> seen;
    QVariantList row;
    for (qint64 position = 0; position < count; ++position) {
        if (control.StopRequested())
            return false;
        if ((position & 1023) == 0)
            control.SetDone(position);
        try {
            if (!Fetch(position, row))
                break;
        } catch (const std::exception&) {
            continue; // a record that went since the count: −1
        }
        const QVariant value = row.value(field);
        const QString key = DistinctKey(value);
        auto found = seen.constFind(key);
        if (found == seen.constEnd()) {
            found = seen.insert(key, qint32(values.Distinct.size()));
            values.Distinct.append(value);
        }
        values.OfPosition[size_t(position)] = found.value();
    }
    return !control.StopRequested();
}

FieldIndexing cDatabaseDriver::FieldIndex(const QString& table, const QString& field)
{
    FieldIndexing found = FieldIndexing::None;
    for (const TableSchema& schema : Tables()) {
        if (!SameName(schema.Name, table))
            continue;
        for (const IndexSchema& index : schema.Indexes) {
            if (index.Fields.size() != 1 || !SameName(index.Fields.front(), field))
                continue;
            const FieldIndexing kind = index.Primary  ? FieldIndexing::PrimaryKey
                                       : index.Unique ? FieldIndexing::Unique
                                                      : FieldIndexing::Duplicates;
            found = std::max(found, kind);
        }
        return found;
    }
    RaiseJetError(JetError::ItemNotFound, {table});
}

void cDatabaseDriver::SetFieldIndex(const QString& table, const QString& field, FieldIndexing wanted,
                                    cWorkControl* control)
{
    (void)table;
    (void)field;
    (void)wanted;
    (void)control;
    RaiseJetError(JetError::ReadOnly);
}

QStringList cDatabaseDriver::TableNames()
{
    QStringList names;
    for (const TableSchema& table : Tables())
        names << table.Name;
    return names;
}

QStringList cDatabaseDriver::QueryNames()
{
    QStringList names;
    for (const QuerySchema& query : Queries())
        names << query.Name;
    return names;
}
