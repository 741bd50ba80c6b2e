#include "mCellReading.h"

#include "mStringTable.h"

#include <algorithm>

namespace {

// Three letters still tell the columns of a table apart, as a sighted reader's glance would.
constexpr int kShortestHeader = 3;

} // namespace

QString CellValueSpoken(const QString& value)
{
    return value.isEmpty() ? LoadString(10830) : value;
}

QString CellSpoken(const QString& header, const QString& value, bool headerFirst)
{
    const QString said = CellValueSpoken(value);
    return headerFirst ? header + QStringLiteral(", ") + said : said + QStringLiteral(", ") + header;
}

QString CellBraille(const QString& header, const QString& value, int width)
{
    const QString said = CellValueSpoken(value);
    QString shown = header;
    const qsizetype room = width - said.size() - 2;
    if (width > 0 && header.size() > room)
        shown = header.left(std::max<qsizetype>(kShortestHeader, room));
    return shown + QStringLiteral(": ") + said;
}
