#pragma once
// Stored queries and their collection, kept through the driver; no widgets.
#include "DaoCollection.h"
#include "cDatabaseDriver.h"

#include <memory>

// A stored query. Once it is part of the database, a new name or SQL text is stored at once.
class QueryDef {
public:
    QueryDef(std::shared_ptr<cDatabaseDriver> driver, QuerySchema schema, bool stored);

    const QString& Name() const { return m_schema.Name; }
    void setName(const QString& name);
    // The text as the user wrote it.
    const QString& SQL() const { return m_schema.Sql; }
    void setSQL(const QString& sql);

    const QuerySchema& Schema() const { return m_schema; }
    bool Stored() const { return m_stored; }
    void MarkStored() { m_stored = true; }

private:
    void Store(const QuerySchema& changed);

    std::shared_ptr<cDatabaseDriver> m_driver;
    QuerySchema m_schema;
    bool m_stored;
};

class QueryDefs : public DaoCollection<QueryDef> {
public:
    explicit QueryDefs(std::shared_ptr<cDatabaseDriver> driver);

    void Append(const std::shared_ptr<QueryDef>& query);
    void Delete(const QString& name);
    void Refresh();

private:
    std::shared_ptr<cDatabaseDriver> m_driver;
};
