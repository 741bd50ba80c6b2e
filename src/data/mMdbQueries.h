#pragma once

// The stored queries of a genuine Access file, rebuilt as Jet SQL from their rows of
// MSysQueries, and a crosstab spread into a plain SELECT. Text only: nothing here reads the
// file or runs SQL.

#include <QList>
#include <QString>
#include <QStringList>
#include <QVariant>

#include <functional>

// One row of MSysQueries.
struct MdbQueryRow {
    int Attribute = 0;
    int Flag = 0;
    QString Name1;
    QString Name2;
    QString Expression;
};

// A stored crosstab query in its parts, as Jet SQL.
struct MdbCrosstab {
    QString Value; // the aggregate whose results fill the pivot's columns
    QString Pivot;
    QStringList Headings;
    QString From, Where, GroupBy, Having, OrderBy;
};

// MSysQueries' query types the engine treats apart.
constexpr int kMdbQueryCrosstab = 6;
constexpr int kMdbQueryPassThrough = 8;

struct MdbStoredQuery {
    QString Sql;
    int Type = 1;
    MdbCrosstab Crosstab; // filled for a crosstab only
    QString TotalsInWhere; // the WHERE conditions when they total, which Jet refuses
};

MdbStoredQuery RebuildMdbQuery(const QList<MdbQueryRow>& rows);

// Gives each distinct value the Jet SELECT lists to onValue, in its order, until onValue
// returns false: an invalid QVariant for Null, a qint64, a double, a QString, or a QByteArray
// for a binary value.
using MdbPivotValues = std::function<void(const QString& jetSql, const std::function<bool(const QVariant&)>& onValue)>;

// The crosstab as a plain SELECT over the pivot's values; empty when no SELECT can spread
// its value over columns faithfully (no total in it, or First or Last). The values are
// asked for only when the pivot does not name its columns itself (In).
QString MdbCrosstabSelect(const MdbCrosstab& crosstab, const MdbPivotValues& pivotValues);
