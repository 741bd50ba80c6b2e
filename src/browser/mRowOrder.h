#pragma once

// The order of the grid's rows by one column, made from the column's values aside from the
// model: ranks by value or by the shown texts in the user's collation, then a stable
// counting sort. Runs on a worker thread: no widgets, no model, nothing said here.

#include <QCollator>
#include <QLocale>
#include <QString>
#include <QVariant>

#include <functional>
#include <vector>

class Recordset;
class cWorkControl;

// How the sorted column was ranked: by its texts, or by the values' numbers or dates.
enum class SortKind { Text, Number, Date };

// Numbers, dates and currency sort by value when every value of the column is of that
// kind: a user expects 9 before 10 and 1.2.2026 before 1.3.2025, which their texts put
// the other way round.
SortKind SortKindOf(const QVariantList& values);
// A value's place when sorted by value; Null (and what could not be read) before all.
double SortValue(const QVariant& value, SortKind kind);

// The user's collation. The C locale (no language chosen) would compare code points and put
// every accented letter after "z"; the common Unicode order serves it instead.
QLocale UserLocale();
QCollator UserCollator();

// The bases 0 … count − 1 (base b is the record at positionOfBase(b)) in the order of the
// field's values, as shown with format, into rowToBase; equal values keep their order.
// False when the work was stopped; throws when the recordset cannot be read.
bool ComputeRowOrder(Recordset* recordset, int field, const QString& format, Qt::SortOrder order, qint64 count,
                     const std::function<qint64(qint64)>& positionOfBase, std::vector<qint32>& rowToBase,
                     SortKind* kind, cWorkControl& control);
