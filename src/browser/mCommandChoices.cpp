#include "mCommandChoices.h"

#include "Database.h"
#include "Recordset.h"
#include "TableDef.h"
#include "cSetting.h"
#include "mDatabaseCopy.h"
#include "mJetErrors.h"
#include "mJetSql.h"
#include "mStringTable.h"

#include <algorithm>

QString TableQuery(const QString& table)
{
    return QStringLiteral("Select * From ") + JetBracketName(table);
}

bool ShowsTable(const QString& query, const QString& table)
{
    return !table.isEmpty() && query == TableQuery(table);
}

QStringList ChoosableTables(Database& database)
{
    QStringList names;
    for (const auto& table : *database.TableDefs()) {
        if ((quint32(table->Attributes()) & 0x80000002u) == 0)
            names << table->Name();
    }
    return names;
}

std::optional<ErrorStorage> ReadOnlyRefusal(const Recordset* records, const cSetting* setting)
{
    if (records && records->Updatable())
        return std::nullopt;
    ErrorStorage error;
    error.Number = JetError::ReadOnly;
    error.Description = JetErrorDescription(JetError::ReadOnly);
    if (setting && IsAccessFile(setting->DatabaseFile()))
        error.Description += u' ' + LoadString(10629);
    else if (records && !records->ReadOnlyReason().isEmpty())
        error.Description += u' ' + records->ReadOnlyReason();
    error.Source = QStringLiteral("DAO.Recordset");
    return error;
}

QString DeleteQuestion(qsizetype count, const QString& firstText)
{
    return count > 1 ? FillPlaceholders(LoadString(10505), {QString::number(count)})
                     : FillPlaceholders(LoadString(10504), {firstText});
}

qint64 RowAfterDeletion(qint64 firstRow, qint64 rowsLeft)
{
    return std::min<qint64>(firstRow, rowsLeft - 1);
}

qint64 GoToRow(qint64 typed, qint64 rows)
{
    return std::clamp<qint64>(typed, 1, rows) - 1;
}
