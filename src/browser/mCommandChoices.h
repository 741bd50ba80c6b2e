#pragma once

// What the main window's commands decide from the data alone: which tables to offer, the
// query that shows a table, why records cannot change, what to ask before a deletion and
// which row comes next. No widgets here, so each is tried without a window.

#include "ErrorStorage.h"

#include <QString>
#include <QStringList>

#include <optional>

class Database;
class Recordset;
class cSetting;

// The query that shows every field of table: bracketed, so a name with a blank, a hyphen
// or a keyword is still the whole name.
QString TableQuery(const QString& table);
// True when query is the one TableQuery makes for table.
bool ShowsTable(const QString& query, const QString& table);
// The tables the user may choose to show, in the database's order: no system or hidden one.
QStringList ChoosableTables(Database& database);

// The refusal to tell before the user types anything when records cannot change (why, when
// it is known: an Access file, or the recordset's own reason); none when they can.
std::optional<ErrorStorage> ReadOnlyRefusal(const Recordset* records, const cSetting* setting);
// The question asked before deleting count rows (one: the row whose first column shows firstText).
QString DeleteQuestion(qsizetype count, const QString& firstText);
// The row selected after a deletion from firstRow left rowsLeft rows: the one that now
// stands where the first one stood, or the new last one; −1 when none is left.
qint64 RowAfterDeletion(qint64 firstRow, qint64 rowsLeft);
// The row (0-based) of the number typed in Go to, kept within rows (at least one).
qint64 GoToRow(qint64 typed, qint64 rows);
