#include "cDatabaseDriver.h"

#include "cCurrency.h"
#include "cWorkControl.h"

#include <QDateTime>
#include <QHash>

namespace {

// Values equal as stored share one key; the type is part of it (1 and "1" differ).
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

} // namespace

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
