#include "Database.h"

#include "mJetSql.h"

Database::Database(std::shared_ptr<cDatabaseDriver> driver) : m_driver(std::move(driver)) {}

// Recordsets and definitions share the connection: it ends with the last of them.
Database::~Database() = default;

cDatabaseDriver& Database::Driver() const
{
    if (!m_driver)
        RaiseJetError(JetError::ObjectClosed, {}, QStringLiteral("DAO.Database"));
    return *m_driver;
}

QString Database::Name() const
{
    return Driver().Name();
}

bool Database::ReadOnly() const
{
    return Driver().ReadOnly();
}

std::shared_ptr<TableDefs> Database::TableDefs()
{
    Driver();
    if (!m_tableDefs)
        m_tableDefs = std::make_shared<class TableDefs>(m_driver);
    return m_tableDefs;
}

std::shared_ptr<QueryDefs> Database::QueryDefs()
{
    Driver();
    if (!m_queryDefs)
        m_queryDefs = std::make_shared<class QueryDefs>(m_driver);
    return m_queryDefs;
}

std::shared_ptr<TableDef> Database::CreateTableDef(const QString& name) const
{
    Driver();
    return std::make_shared<TableDef>(name);
}

std::shared_ptr<QueryDef> Database::CreateQueryDef(const QString& name, const QString& sql)
{
    auto query = std::make_shared<QueryDef>(m_driver, QuerySchema{name, sql}, false);
    if (!name.isEmpty())
        QueryDefs()->Append(query);
    return query;
}

std::shared_ptr<Recordset> Database::OpenRecordset(const QString& sql)
{
    Driver();
    // The name of a table or stored query alone opens all of its records.
    const QString name = sql.trimmed();
    if (!name.isEmpty() && !name.contains(u'[') && !name.contains(u'"')
        && (TableDefs()->IndexOf(name) >= 0 || QueryDefs()->IndexOf(name) >= 0))
        return Recordset::Open(m_driver, QStringLiteral("SELECT * FROM ") + JetBracketName(name));
    return Recordset::Open(m_driver, sql);
}

void Database::Close()
{
    if (m_driver)
        m_driver->Close();
    m_driver.reset();
    m_tableDefs.reset();
    m_queryDefs.reset();
}

void Database::Interrupt() const
{
    if (m_driver)
        m_driver->Interrupt();
}
