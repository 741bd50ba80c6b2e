#pragma once
// The application definition, read from the registry on each use; no widgets, no database opened here.
#include "cActions.h"
#include "cColumnDefinition.h"

#include <QString>

#include <memory>
#include <optional>

// The application definition: what the main window shows and how. Only the query is
// cached; everything else is read from the registry on each use, so a change a dialog
// wrote is seen by the next reader.
class cSetting {
public:
    static constexpr int kMaxColumns = 1000;

    const QString& DatabaseFile() const { return m_databaseFile; }
    void setDatabaseFile(const QString& value) { m_databaseFile = value; }
    const QString& SelectedTable() const { return m_selectedTable; }
    void setSelectedTable(const QString& value) { m_selectedTable = value; }

    // The database's file name, or the stored caption when there is none.
    QString Caption() const;
    // The connect text: the stored type trimmed, ending with ";".
    QString DatabaseType() const;

    QString Query();
    // Written to the registry at once; the empty text clears the stored query.
    void setQuery(const QString& value);

    cColumnDefinition GetColumnDef(qint32 index, const QString& defaultCaption) const;
    std::optional<cColumnDefinition> FindColumnDef(const QString& fieldName) const;
    void SetColumnDef(qint32 index, const cColumnDefinition& definition);

    // The actions as stored: Action1, Action2, … up to the first without a caption or a
    // command. Null when there is none.
    std::unique_ptr<cActions> Actions() const;

    QString AboutName() const;
    QString AboutComment() const;
    QString AboutVersion() const;
    QString AboutCopyright() const;

    static QString ColumnKey(qint32 index);

private:
    QString m_databaseFile;
    QString m_selectedTable;
    QString m_query;
};
