#pragma once
// An open database as callers use it; everything goes through its driver, no widgets.
#include "QueryDef.h"
#include "Recordset.h"
#include "TableDef.h"
#include "cDatabaseDriver.h"

#include <memory>

class Database {
public:
    explicit Database(std::shared_ptr<cDatabaseDriver> driver);
    ~Database();

    // The full path of the file, or the connect text of a source.
    QString Name() const;
    bool ReadOnly() const;
    std::shared_ptr<class TableDefs> TableDefs();
    // Every table as the backend describes it, with the keys and indexes it knows.
    QList<TableSchema> TableSchemas() const;
    std::shared_ptr<class QueryDefs> QueryDefs();
    std::shared_ptr<TableDef> CreateTableDef(const QString& name = QString()) const;
    // With a name the query is stored at once; without one it waits for QueryDefs Append.
    std::shared_ptr<QueryDef> CreateQueryDef(const QString& name = QString(), const QString& sql = QString());
    std::shared_ptr<Recordset> OpenRecordset(const QString& sql);
    // Refuses, without running anything, a text no record source may be: more than one
    // statement (3142), or an action (3219), also one in a stored query the text draws on.
    void CheckRecordSource(const QString& sql);
    // Breaks into a call on this database running on another thread (it fails with 3059).
    void Interrupt() const;
    // Releases the file at once; objects taken from the database stop working. Without
    // it the file stays open as long as a recordset or definition taken from it lives.
    void Close();

    // The backend, for readers beside the recordsets (cRelationTexts); null once closed.
    std::shared_ptr<cDatabaseDriver> SharedDriver() const { return m_driver; }

private:
    cDatabaseDriver& Driver() const;
    // A table or stored query is named so.
    bool NamesObject(const QString& name);

    std::shared_ptr<cDatabaseDriver> m_driver;
    std::shared_ptr<class TableDefs> m_tableDefs;
    std::shared_ptr<class QueryDefs> m_queryDefs;
};
