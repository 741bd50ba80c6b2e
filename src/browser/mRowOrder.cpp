#include "mRowOrder.h"

#include "Recordset.h"
#include "cCurrency.h"
#include "cWorkControl.h"
#include "mCollationRanks.h"
#include "mGridText.h"
#include "mStringTable.h"

#include <QDateTime>

#include <algorithm>
#include <limits>

SortKind SortKindOf(const QVariantList& values)
{
    bool numbers = true;
    bool dates = true;
    for (const QVariant& value : values) {
        if (!value.isValid() || value.isNull())
            continue;
        const int type = value.userType();
        const bool number = type == QMetaType::Int || type == QMetaType::UInt || type == QMetaType::LongLong
                            || type == QMetaType::ULongLong || type == QMetaType::Double || type == QMetaType::Float
                            || type == QMetaType::UChar || type == QMetaType::Short || type == qMetaTypeId<cCurrency>();
        const bool date = type == QMetaType::QDateTime || type == QMetaType::QDate;
        numbers = numbers && number;
        dates = dates && date;
        if (!numbers && !dates)
            return SortKind::Text;
    }
    return numbers ? SortKind::Number : dates ? SortKind::Date : SortKind::Text;
}

double SortValue(const QVariant& value, SortKind kind)
{
    if (!value.isValid() || value.isNull())
        return -std::numeric_limits<double>::infinity();
    if (kind == SortKind::Date)
        return value.typeId() == QMetaType::QDate ? double(value.toDate().startOfDay(Qt::UTC).toMSecsSinceEpoch())
                                                  : double(value.toDateTime().toMSecsSinceEpoch());
    if (value.userType() == qMetaTypeId<cCurrency>())
        return value.value<cCurrency>().ToDouble();
    return value.toDouble();
}

QLocale UserLocale()
{
    const QLocale locale;
    return locale.language() == QLocale::C ? QLocale(QLocale::English) : locale;
}

QCollator UserCollator()
{
    return QCollator(UserLocale());
}

bool ComputeRowOrder(Recordset* recordset, int field, const QString& format, Qt::SortOrder order, qint64 count,
                     const std::function<qint64(qint64)>& positionOfBase, std::vector<qint32>& rowToBase,
                     SortKind* kind, cWorkControl& control)
{
    rowToBase.clear();
    if (count == 0 || !recordset)
        return true;
    ColumnValues values;
    if (!recordset->ReadColumn(field, values, control))
        return false;

    // One rank a distinct value; the last entry stands for a record that could not be read.
    const qsizetype distinct = values.Distinct.size();
    std::vector<qint32> rank;
    qint32 ranks = 0;
    *kind = SortKindOf(values.Distinct);
    if (*kind != SortKind::Text) {
        std::vector<std::pair<double, qint32>> keys;
        keys.reserve(size_t(distinct) + 1);
        for (qsizetype i = 0; i < distinct; ++i)
            keys.emplace_back(SortValue(values.Distinct[i], *kind), qint32(i));
        keys.emplace_back(-std::numeric_limits<double>::infinity(), qint32(distinct));
        std::sort(keys.begin(), keys.end());
        rank.assign(keys.size(), 0);
        for (size_t i = 0; i < keys.size(); ++i) {
            if (i > 0 && keys[i].first != keys[i - 1].first)
                ++ranks;
            rank[size_t(keys[i].second)] = ranks;
        }
        ++ranks;
    } else {
        // The shown texts, each made once for its distinct value.
        QStringList texts;
        texts.reserve(distinct + 1);
        for (const QVariant& value : std::as_const(values.Distinct))
            texts.append(GridTextOf(value, format));
        texts.append(LoadString(506));
        values.Distinct.clear(); // the values are not needed past their texts
        rank = CollationRanks(texts, UserLocale(), &ranks, &control);
        if (rank.empty())
            return false;
    }
    if (order == Qt::DescendingOrder)
        for (qint32& r : rank)
            r = ranks - 1 - r;

    // A counting sort by rank is stable and linear: equal values keep recordset order.
    std::vector<qint32> rankOfBase(static_cast<size_t>(count));
    for (qint64 base = 0; base < count; ++base) {
        const qint64 position = positionOfBase(base);
        const qint32 entry = position >= 0 && position < qint64(values.OfPosition.size())
                                 ? values.OfPosition[size_t(position)]
                                 : -1;
        rankOfBase[size_t(base)] = rank[size_t(entry < 0 ? distinct : entry)];
    }
    values.OfPosition = {};
    std::vector<qint64> start(size_t(ranks) + 1, 0);
    for (const qint32 r : rankOfBase)
        ++start[size_t(r) + 1];
    for (size_t r = 1; r < start.size(); ++r)
        start[r] += start[r - 1];
    rowToBase.assign(size_t(count), 0);
    for (qint64 base = 0; base < count; ++base)
        rowToBase[size_t(start[size_t(rankOfBase[size_t(base)])]++)] = qint32(base);
    return !control.StopRequested();
}
