#pragma once
// The ODBC backend: a source's catalogue, records and structure changes; no widgets.
#include "cDatabaseDriver.h"
#include "cOdbcStatement.h"
#include "mOdbcSql.h"


#include <memory>
#include <optional>

// A table as the source's catalogue names it, with what a keyset needs.
struct OdbcTable {
    TableSchema Schema;
    QString Catalog;
    QString Owner;        // the source's schema
    QString Table;        // the bare name
    QList<OdbcColumn> Columns; // in field order
    QStringList Key;      // the primary key's columns, empty without one
};

// A data source reached through unixODBC ("ODBC;DSN=…" or "ODBC;DRIVER=…"). Tables
// and views come from the catalogue; records of one table with a primary key can be
// changed through it, everything else reads only. Structure changes the server makes in
// place are asked of it; others are refused (3219).
class cOdbcDriver : public cDatabaseDriver, public std::enable_shared_from_this<cOdbcDriver> {
public:
    static constexpr qint32 kSystemObject = qint32(0x80000002u);

    // connect is the text with or without its leading "ODBC;". A source that cannot be
    // reached fails with 3151 within the login timeout.
    static std::shared_ptr<cOdbcDriver> Open(const QString& connect, bool readOnly);
    // Seconds for connecting and for one statement; the defaults are 5 and 60.
    static void SetTimeouts(int loginSeconds, int querySeconds);
    ~cOdbcDriver() override;

    QString Name() const override { return m_name; }
    bool ReadOnly() const override { return m_readOnly; }
    void Close() override;
    void Interrupt() override;

    QList<TableSchema> Tables() override;
    // A server's indexes are not read: the field's state is not told, nor changed.
    FieldIndexing FieldIndex(const QString&, const QString&) override { return FieldIndexing::Unknown; }
    QList<QuerySchema> Queries() override;
    QStringList TableNames() override;
    QStringList QueryNames() override;
    void CreateTable(const TableSchema& table) override;
    void DropTable(const QString& name) override;
    void AddField(const QString& table, const FieldSchema& field, int position, cWorkControl* control) override;
    void DropField(const QString& table, const QString& field, cWorkControl* control) override;
    void AlterField(const QString& table, const QString& field, const FieldSchema& changed, int position,
                    cWorkControl* control) override;
    void CreateQuery(const QuerySchema& query) override;
    void DropQuery(const QString& name) override;
    void AlterQuery(const QString& name, const QuerySchema& changed) override;
    std::unique_ptr<cCursor> OpenCursor(const QString& sql) override;
    // SQLForeignKeys of each table; a source that does not answer has none.
    QList<RelationSchema> Relations() override;
    // A prepared statement with the key as a parameter.
    std::unique_ptr<cRowLookup> PrepareLookup(const QString& table, const QString& keyField, const QString& resultField,
                                              int keyType) override;

    // The open connection; 3420 once closed.
    SQLHDBC Handle() const;
    cOdbcStatement NewStatement() const;
    // Runs a query whose rows are read one after another: where the driver would otherwise
    // read the whole result before the first row (psqlODBC), it is read in pieces. True
    // when it was, and the driver then cannot tell the result's size.
    bool ExecuteInPieces(cOdbcStatement& statement, const QString& sql) const;
    const OdbcDialect& Dialect() const { return m_dialect; }
    QString DbmsName() const { return m_dbms; }
    // A table by the name the engine shows ("name" or "schema.name"), with its key.
    std::optional<OdbcTable> FindTable(const QString& name);
    void RequireWritable() const;
    // The table as the source names it: with its schema where the engine shows one.
    QString TableReference(const OdbcTable& table) const;
    // A Jet text for the source: its [names] as the catalogue spells the tables it names
    // and their fields.
    QString Translate(const QString& jetSql);

private:
    cOdbcDriver(QString name, bool readOnly);
    void Connect(const QString& connectText);
    QString InfoText(SQLUSMALLINT item) const;
    QString ShownName(const QString& owner, const QString& table) const;
    void ListTables();
    void ReadColumns(OdbcTable& table);
    OdbcTable RequireTable(const QString& name);
    QString ServerType(const FieldSchema& field);
    QString ColumnDefinition(const FieldSchema& field);
    void ExecuteStructureChange(const QString& sql);
    QStringList ReadKey(const OdbcTable& table);
    struct View {
        QString Owner, Name, Shown;
    };
    // The user's views, without their definitions.
    QList<View> ListViews();

    QString m_name;
    bool m_readOnly = false;
    std::shared_ptr<cOdbcWatchdog> m_watchdog = std::make_shared<cOdbcWatchdog>();
    SQLHENV m_env = SQL_NULL_HENV;
    SQLHDBC m_dbc = SQL_NULL_HDBC;
    OdbcDialect m_dialect;
    QString m_dbms;
    QString m_user;
    struct Listed {
        QString Shown, Catalog, Owner, Table;
        qint32 Attributes = 0;
    };
    QList<Listed> m_listed; // tables in catalogue order, read once per Tables()
    bool m_listedValid = false;
    bool m_readsInPieces = false; // ExecuteInPieces switches the driver's own reading
};

// The engine's backend for "ODBC;" connect texts, as DBEngine::RegisterOdbcBackend takes it.
std::shared_ptr<cDatabaseDriver> OpenOdbcSource(const QString& connect, bool readOnly);
