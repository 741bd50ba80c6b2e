#include "QueryDef.h"

QueryDef::QueryDef(std::shared_ptr<cDatabaseDriver> driver, QuerySchema schema, bool stored)
    : m_driver(std::move(driver)), m_schema(std::move(schema)), m_stored(stored)
{
}

void QueryDef::Store(const QuerySchema& changed)
{
    if (m_stored)
        m_driver->AlterQuery(m_schema.Name, changed);
    m_schema = changed;
}

void QueryDef::setName(const QString& name)
{
    QuerySchema changed = m_schema;
    changed.Name = name;
    Store(changed);
}

void QueryDef::setSQL(const QString& sql)
{
    QuerySchema changed = m_schema;
    changed.Sql = sql;
    Store(changed);
}

QueryDefs::QueryDefs(std::shared_ptr<cDatabaseDriver> driver) : m_driver(std::move(driver))
{
    Refresh();
}

void QueryDefs::Append(const std::shared_ptr<QueryDef>& query)
{
    if (query->Stored())
        RaiseJetError(JetError::InvalidOperation, {}, QStringLiteral("DAO.QueryDefs"));
    m_driver->CreateQuery(query->Schema());
    query->MarkStored();
    Refresh();
}

void QueryDefs::Delete(const QString& name)
{
    if (IndexOf(name) < 0)
        RaiseJetError(JetError::ItemNotFound, {name}, QStringLiteral("DAO.QueryDefs"));
    m_driver->DropQuery(name);
    Refresh();
}

void QueryDefs::Refresh()
{
    m_items.clear();
    for (const QuerySchema& schema : m_driver->Queries())
        m_items << std::make_shared<QueryDef>(m_driver, schema, true);
}
