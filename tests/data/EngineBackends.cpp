#include "EngineBackends.h"

#include "DataTestSupport.h"
#include "OdbcTestSupport.h"
#include "mJetErrors.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

namespace {

const QString kNwind = QStringLiteral(QUARNEL_TESTDATA "/nwind.mdb");
const QStringList kNorthwindTables = {QStringLiteral("Shippers"), QStringLiteral("Employees"), QStringLiteral("Products"),
                                      QStringLiteral("Orders")};

// In memory where the system has such a folder: the copies are laid out record by record
// through the engine, and waiting for the disk on each would take seconds.
QTemporaryDir& ProgramFolder()
{
    static QTemporaryDir folder(QFileInfo(QStringLiteral("/dev/shm")).isWritable()
                                    ? QStringLiteral("/dev/shm/quarnel-XXXXXX")
                                    : QDir::temp().filePath(QStringLiteral("quarnel-XXXXXX")));
    return folder;
}

std::shared_ptr<Database> OpenNwind()
{
    return DBEngine::Instance().OpenDatabase(kNwind);
}

// Every record of the Northwind tables, added through the engine.
void CopyNorthwindRows(Database& target, const std::function<QString(const QString&)>& nameOf)
{
    auto source = OpenNwind();
    for (const QString& table : kNorthwindTables) {
        auto from = source->OpenRecordset(QStringLiteral("SELECT * FROM [%1]").arg(table));
        auto to = target.OpenRecordset(QStringLiteral("SELECT * FROM [%1]").arg(nameOf(table)));
        const int fields = from->Fields()->Count();
        for (; !from->Eof(); from->MoveNext()) {
            to->AddNew();
            for (int i = 0; i < fields; ++i) {
                const QVariant value = from->Fields()->Item(i)->Value();
                if (value.isValid())
                    to->Fields()->Item(i)->setValue(value);
            }
            to->Update();
        }
    }
}

class cSqliteFileBackend : public cEngineBackend {
public:
    std::string Name() const override { return "SqliteFile"; }
    std::shared_ptr<Database> Northwind() override
    {
        if (!m_northwind) {
            m_path = ProgramFolder().filePath(QStringLiteral("northwind.db"));
            auto db = DBEngine::Instance().CreateDatabase(m_path, QStringLiteral(";LANGID=0x0409;CP=1252;COUNTRY=0"));
            auto source = OpenNwind();
            for (const QString& name : kNorthwindTables) {
                auto table = db->CreateTableDef(name);
                for (const auto& field : *source->TableDefs()->Item(name)->Fields()) {
                    auto copy = table->CreateField(field->Name(), field->Type(), field->Size());
                    copy->setRequired(field->Required());
                    copy->setAllowZeroLength(field->AllowZeroLength());
                    table->Fields()->Append(copy);
                }
                db->TableDefs()->Append(table);
            }
            CopyNorthwindRows(*db, [](const QString& table) { return table; });
            m_northwind = db;
        }
        return m_northwind;
    }
    QString NorthwindFile() const override { return m_path; }
    std::shared_ptr<Database> People(const QString& folder) override
    {
        return CreateOsobyFile(folder + QStringLiteral("/osoby.db"));
    }
    std::shared_ptr<Database> WithUniqueId(std::shared_ptr<Database> db) override
    {
        // An index made outside the engine, as other programs' files have them.
        const QString path = db->Name();
        db->Close();
        RawExec(path, "CREATE UNIQUE INDEX OsobyId ON Osoby(Id)");
        return DBEngine::Instance().OpenDatabase(path);
    }

private:
    std::shared_ptr<Database> m_northwind;
    QString m_path;
};

class cAccessFileBackend : public cEngineBackend {
public:
    std::string Name() const override { return "AccessFile"; }
    QString Missing() const override
    {
        return QFile::exists(kNwind) ? QString() : QStringLiteral("%1 is missing").arg(kNwind);
    }
    bool ReadOnly() const override { return true; }
    std::shared_ptr<Database> Northwind() override
    {
        if (!m_northwind)
            m_northwind = OpenNwind();
        return m_northwind;
    }
    QString NorthwindFile() const override { return kNwind; }
    std::shared_ptr<Database> People(const QString&) override { return nullptr; }

private:
    std::shared_ptr<Database> m_northwind;
};

// A genuine Jet 4 or ACE file with Table1 and no Northwind tables.
class cKindsFileBackend : public cEngineBackend {
public:
    cKindsFileBackend(std::string name, const char* file) : m_name(std::move(name)), m_file(QStringLiteral(QUARNEL_TESTDATA "/") + QLatin1String(file)) {}
    std::string Name() const override { return m_name; }
    QString Missing() const override { return QFile::exists(m_file) ? QString() : QStringLiteral("%1 is missing").arg(m_file); }
    bool ReadOnly() const override { return true; }
    std::shared_ptr<Database> Northwind() override { return nullptr; }
    std::shared_ptr<Database> Kinds() override
    {
        if (!m_kinds)
            m_kinds = DBEngine::Instance().OpenDatabase(m_file);
        return m_kinds;
    }
    QString KindsFile() const override { return m_file; }
    std::shared_ptr<Database> People(const QString&) override { return nullptr; }

private:
    std::string m_name;
    QString m_file;
    std::shared_ptr<Database> m_kinds;
};

// A source through unixODBC; the tables are laid out in the source's own SQL.
class cOdbcBackend : public cEngineBackend {
public:
    bool JetDialect() const override { return false; }
    // A text column has no zero-length rule on a source.
    bool KeepsZeroLengthRule() const override { return false; }
    bool ChangesStructure() const override { return false; }

    std::shared_ptr<Database> Northwind() override
    {
        if (!m_northwind) {
            const QString connect = NorthwindConnect();
            auto source = OpenNwind();
            QStringList ddl;
            for (const QString& name : kNorthwindTables) {
                QStringList columns;
                for (const auto& field : *source->TableDefs()->Item(name)->Fields())
                    columns << QStringLiteral("%1 %2%3").arg(Quoted(field->Name()), TypeOf(field->Type(), field->Size()),
                                                              field->Required() ? QStringLiteral(" NOT NULL") : QString());
                // The first field numbers the records: the key that makes the table writable.
                columns[0] += QStringLiteral(" PRIMARY KEY");
                ddl << QStringLiteral("DROP TABLE IF EXISTS %1").arg(Quoted(name))
                    << QStringLiteral("CREATE TABLE %1 (%2)").arg(Quoted(name), columns.join(QStringLiteral(", ")));
            }
            RunOdbcSql(connect, ddl);
            auto db = DBEngine::Instance().OpenDatabase(QString(), false, false, connect);
            CopyNorthwindRows(*db, [this](const QString& table) { return Shown(table); });
            m_northwind = db;
        }
        return m_northwind;
    }

    std::shared_ptr<Database> People(const QString& folder) override
    {
        const QString connect = PeopleConnect(folder);
        RunOdbcSql(connect, {QStringLiteral("DROP TABLE IF EXISTS %1%2").arg(Quoted(QStringLiteral("Osoby")), DropDependents()),
                             QStringLiteral("CREATE TABLE %1 (%2 INTEGER NOT NULL PRIMARY KEY, %3 VARCHAR(20) NOT NULL, "
                                            "%4 VARCHAR(50), %5 %6, %7 %8, %9 BOOLEAN, %10 %11)")
                                 .arg(Quoted(QStringLiteral("Osoby")), Quoted(QStringLiteral("Id")),
                                      Quoted(QStringLiteral("Jméno")), Quoted(QStringLiteral("Příjmení")),
                                      Quoted(QStringLiteral("Narozen")), TypeOf(JetType::Date, 0),
                                      Quoted(QStringLiteral("Plat")), TypeOf(JetType::Currency, 0),
                                      Quoted(QStringLiteral("Aktivní")), Quoted(QStringLiteral("Poznámka")),
                                      TypeOf(JetType::Memo, 0))});
        return DBEngine::Instance().OpenDatabase(QString(), false, false, connect);
    }

protected:
    virtual QString NorthwindConnect() = 0;
    virtual QString PeopleConnect(const QString& folder) = 0;
    virtual QString Shown(const QString& name) const { return name; }
    virtual QString TypeOf(int jetType, qint32 size) const = 0;
    // Views another test left on the table go with it, where the source keeps them apart.
    virtual QString DropDependents() const { return QString(); }
    QString Quoted(const QString& name) const { return QStringLiteral("\"%1\"").arg(Shown(name)); }

    std::shared_ptr<Database> m_northwind;
};

class cOdbcSqliteBackend : public cOdbcBackend {
public:
    std::string Name() const override { return "OdbcSqlite"; }
    QString Missing() const override
    {
        return OdbcDriverPath(QStringLiteral("libsqlite3odbc.so")).isEmpty() ? QStringLiteral("libsqliteodbc is not installed")
                                                                             : QString();
    }

protected:
    static QString Connect(const QString& file)
    {
        PrepareOdbc();
        return QStringLiteral("ODBC;DRIVER=%1;Database=%2")
            .arg(OdbcDriverPath(QStringLiteral("libsqlite3odbc.so")), file);
    }
    QString NorthwindConnect() override { return Connect(ProgramFolder().filePath(QStringLiteral("northwind-odbc.db"))); }
    QString PeopleConnect(const QString& folder) override { return Connect(folder + QStringLiteral("/osoby-odbc.db")); }
    QString TypeOf(int jetType, qint32 size) const override
    {
        switch (jetType) {
        case JetType::Boolean: return QStringLiteral("BOOLEAN");
        case JetType::Byte:
        case JetType::Integer: return QStringLiteral("SMALLINT");
        case JetType::Long: return QStringLiteral("INTEGER");
        case JetType::Currency: return QStringLiteral("NUMERIC(19,4)");
        case JetType::Single: return QStringLiteral("REAL");
        case JetType::Double: return QStringLiteral("DOUBLE");
        case JetType::Date: return QStringLiteral("TIMESTAMP");
        case JetType::Text: return QStringLiteral("VARCHAR(%1)").arg(size);
        case JetType::Memo: return QStringLiteral("TEXT");
        default: return QStringLiteral("BLOB");
        }
    }
};

class cPostgresBackend : public cOdbcBackend {
public:
    std::string Name() const override { return "OdbcPostgres"; }
    QString Missing() const override
    {
        if (OdbcDriverPath(QStringLiteral("psqlodbcw.so")).isEmpty())
            return QStringLiteral("odbc-postgresql is not installed");
        PrepareOdbc();
        return SharedPostgres() ? QString() : QStringLiteral("the PostgreSQL server did not start");
    }

protected:
    QString NorthwindConnect() override { return SharedPostgres()->Connect(); }
    QString PeopleConnect(const QString&) override { return SharedPostgres()->Connect(); }
    // Names in lower case, as PostgreSQL keeps unquoted ones, so that Jet SQL reaches them
    // whatever case the caller writes.
    QString Shown(const QString& name) const override { return name.toLower(); }
    QString DropDependents() const override { return QStringLiteral(" CASCADE"); }
    QString TypeOf(int jetType, qint32 size) const override
    {
        switch (jetType) {
        case JetType::Boolean: return QStringLiteral("BOOLEAN");
        case JetType::Byte:
        case JetType::Integer: return QStringLiteral("SMALLINT");
        case JetType::Long: return QStringLiteral("INTEGER");
        case JetType::Currency: return QStringLiteral("NUMERIC(19,4)");
        case JetType::Single: return QStringLiteral("REAL");
        case JetType::Double: return QStringLiteral("DOUBLE PRECISION");
        case JetType::Date: return QStringLiteral("TIMESTAMP");
        case JetType::Text: return QStringLiteral("VARCHAR(%1)").arg(size);
        case JetType::Memo: return QStringLiteral("TEXT");
        case JetType::Guid: return QStringLiteral("UUID");
        default: return QStringLiteral("BYTEA");
        }
    }
};

} // namespace

int cEngineBackend::StructureRefusal() const
{
    return ReadOnly() ? JetError::ReadOnly : JetError::InvalidOperation;
}

int cEngineBackend::ErrorFor(int jet) const
{
    // The source's own parser finds what the engine finds in Jet SQL: a failed call.
    return JetDialect() ? jet : JetError::OdbcFailed;
}

std::vector<cEngineBackend*> EngineBackends()
{
    static cSqliteFileBackend sqlite;
    static cAccessFileBackend access;
    static cOdbcSqliteBackend odbcSqlite;
    static cPostgresBackend postgres;
    return {&sqlite, &access, &odbcSqlite, &postgres};
}

std::vector<cEngineBackend*> KindsBackends()
{
    static cKindsFileBackend jet4("AccessJet4", "testV2000.mdb");
    static cKindsFileBackend ace2007("AccessAce2007", "testV2007.accdb");
    static cKindsFileBackend ace2010("AccessAce2010", "testV2010.accdb");
    return {&jet4, &ace2007, &ace2010};
}

std::shared_ptr<Database> CreateOsobyFile(const QString& path)
{
    auto db = DBEngine::Instance().CreateDatabase(path, QStringLiteral(";LANGID=0x0405;CP=1250;COUNTRY=0"));
    auto table = db->CreateTableDef(QStringLiteral("Osoby"));
    auto add = [&](const QString& name, int type, int size, bool required, bool zeroLength) {
        auto field = table->CreateField(name, type, size);
        field->setRequired(required);
        field->setAllowZeroLength(zeroLength);
        table->Fields()->Append(field);
    };
    add(QStringLiteral("Id"), JetType::Long, 0, true, false);
    add(QStringLiteral("Jméno"), JetType::Text, 20, true, false);
    add(QStringLiteral("Příjmení"), JetType::Text, 50, false, true);
    add(QStringLiteral("Narozen"), JetType::Date, 0, false, false);
    add(QStringLiteral("Plat"), JetType::Currency, 0, false, false);
    add(QStringLiteral("Aktivní"), JetType::Boolean, 0, false, false);
    add(QStringLiteral("Poznámka"), JetType::Memo, 0, false, true);
    db->TableDefs()->Append(table);
    return db;
}

void EngineTest::SetUp()
{
    // The test machine has every backend; a missing one is a fault of the machine.
    const QString missing = Backend().Missing();
    ASSERT_TRUE(missing.isEmpty()) << missing.toStdString();
}

std::string EngineBackendName(const ::testing::TestParamInfo<cEngineBackend*>& info)
{
    return info.param->Name();
}

void PrintTo(cEngineBackend* backend, std::ostream* os)
{
    *os << backend->Name();
}
