#include "Database.h"

#include "mJetSql.h"

#include <QHash>
#include <QSet>

Database::Database(std::shared_ptr<cDatabaseDriver> driver) : m_driver(std::move(driver)) {}

// Recordsets and definitions share the connection: it ends with the last of them.
Database::~Database() = default;

QList<TableSchema> Database::TableSchemas() const
{
    return Driver().Tables();
}

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

bool Database::NamesObject(const QString& name)
{
    // Definitions already read answer; otherwise the names alone do, without reading every
    // table's fields (a server's catalogue may hold hundreds).
    const auto among = [&](const QStringList& names) { return names.contains(name, Qt::CaseInsensitive); };
    if (m_tableDefs ? m_tableDefs->IndexOf(name) >= 0 : among(Driver().TableNames()))
        return true;
    return m_queryDefs ? m_queryDefs->IndexOf(name) >= 0 : among(Driver().QueryNames());
}

std::shared_ptr<Recordset> Database::OpenRecordset(const QString& sql)
{
    Driver();
    // The name of a table or stored query alone opens all of its records.
    const QString name = sql.trimmed();
    const bool named = !name.isEmpty() && !name.contains(u'[') && !name.contains(u'"') && NamesObject(name);
    const QString source = named ? QStringLiteral("SELECT * FROM ") + JetBracketName(name) : sql;
    CheckRecordSource(source);
    return Recordset::Open(m_driver, source);
}

// A record source only reads. Not every backend can tell an action from a query before
// running it (a server runs a DELETE inside WITH as the query it seems to be), so an
// append, update, delete, make-table or data definition statement is refused here, also
// when it hides in a stored query the text draws on, however deep.
void Database::CheckRecordSource(const QString& sql)
{
    // Listing a server's views may take a while, and none of them is an action.
    QHash<QString, QString> stored;
    if (Driver().KeepsActionQueries()) {
        for (const auto& query : *QueryDefs())
            stored.insert(query->Name().toCaseFolded(), query->SQL());
    }
    QStringList pending{sql};
    QSet<QString> seen;
    for (bool given = true; !pending.isEmpty(); given = false) {
        const JetStatementShape shape = InspectJetStatement(pending.takeLast());
        if (given && shape.MoreStatements)
            RaiseJetError(JetError::TextAfterStatement, {}, QStringLiteral("DAO.Database"));
        if (shape.Action)
            RaiseJetError(JetError::InvalidOperation, {}, QStringLiteral("DAO.Database"));
        for (const QString& name : shape.Names) {
            const QString key = name.toCaseFolded();
            const auto query = stored.constFind(key);
            if (query != stored.cend() && !seen.contains(key)) {
                seen.insert(key);
                pending << *query;
            }
        }
    }
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
