#pragma once
// Export of records as a ;-separated text file, written whole or not at all; no widgets, no dialog.
#include <QString>
#include <QStringList>
#include <QVariant>

#include <functional>
#include <vector>

class Recordset;
class cWorkControl;

// A ";"-separated text of records: the field names, an empty line, then one line per row;
// ";" follows every value, lines end with CR LF, the text is UTF-8. A value that holds ";",
// a double quote, CR or LF is put in double quotes with inner quotes doubled, so readers of
// such files keep their columns; any other value is written as it is.

// Appends value and its ";" to line.
void AppendExportValue(QString& line, const QString& value);

// What an export writes: for each line the record at a position of the recordset shown as
// one text per column. The header names the same columns' fields, so the two never part.
struct ExportSource {
    std::vector<int> Fields;       // the recordset field of each column
    std::vector<qint64> Positions; // one line per position, in this order
    // Each column's display format: without CellText a cell shows as the grid shows it
    // (GridTextOf), written straight from the stored value.
    QStringList Formats;
    // The text of a cell, where the caller wants its own; it may be called from two
    // threads at once.
    std::function<QString(int column, const QVariant& value)> CellText;
};

// Writes path whole or not at all: the old file stays until the new one is complete.
// False when stopped through control (nothing written). A file that cannot be written,
// or a record that cannot be read, is thrown as cRuntimeError. The recordset's current
// record is the same afterwards.
bool ExportRecords(const QString& path, Recordset& records, const ExportSource& source, cWorkControl& control);

// The chosen name with its extension ("report" and "report.TXT" get ".txt"); the check is
// exact in case, as on every system Quarnel's files travel to.
QString WithExtension(const QString& path, const QString& extension);
