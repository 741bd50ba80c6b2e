#pragma once
// How reading the grid by cells words a cell, for speech and for the Braille line; text only.
#include <QString>

// A cell as it is said: "value, header" or "header, value"; an empty value said as such.
QString CellSpoken(const QString& header, const QString& value, bool headerFirst);
// A value alone as it is said.
QString CellValueSpoken(const QString& value);
// A cell on the Braille line: "header: value", the header cut short where the whole would
// not fit a line of width cells (0: the width is not known).
QString CellBraille(const QString& header, const QString& value, int width);
