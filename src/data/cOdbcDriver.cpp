#include "cOdbcDriver.h"

#include "cOdbcCursor.h"
#include "cRuntimeError.h"
#include "mConvert.h"
#include "mJetErrors.h"
#include "mJetSql.h"
#include "mNames.h"
#include "mSqliteSchema.h"
#include "mStringTable.h"

#include <QHash>
#include <QRegularExpression>
#include <QScopeGuard>

#include <algorithm>
#include <atomic>
#include <vector>

namespace {

const QString kEngine = QStringLiteral("DAO.DBEngine");
constexpr int kConnectFailed = 3151;
std::atomic<int> gLoginTimeout{5};
std::atomic<int> gQueryTimeout{60};
// psqlODBC's own attributes: reading through a server cursor, and the rows a trip brings.
constexpr SQLINTEGER kPgUseDeclareFetch = 65539;
constexpr SQLINTEGER kPgFetch = 65541;
constexpr SQLLEN kPiece = 1000;

// The connect text without its password, fit to be shown and spoken.
QString WithoutPassword(const QString& connect)
{
    static const QRegularExpression password(QStringLiteral("(^|;)\\s*(PWD|PASSWORD)\\s*=\\s*(\\{[^}]*\\}|[^;]*)"),
                                             QRegularExpression::CaseInsensitiveOption);
    QString shown = connect;
    shown.replace(password, QStringLiteral("\\1"));
    shown.replace(QRegularExpression(QStringLiteral(";{2,}")), QStringLiteral(";"));
    return shown;
}

// A default as the user would type it: 'text'::type is text, NULL none.
QString DefaultText(const QString& written)
{
    const QString text = written.trimmed();
    if (text.isEmpty() || SameName(text, QStringLiteral("NULL")) || text.startsWith(QLatin1String("NULL::"), Qt::CaseInsensitive))
        return QString();
    static const QRegularExpression quoted(QStringLiteral("^'((?:[^']|'')*)'(?:::[\\w\\s\"]+)?$"));
    const auto m = quoted.match(text);
    if (m.hasMatch())
        return m.captured(1).replace(QLatin1String("''"), QLatin1String("'"));
    static const QRegularExpression castNumber(QStringLiteral("^\\(?(-?[\\d.]+)\\)?::[\\w\\s\"]+$"));
    const auto n = castNumber.match(text);
    return n.hasMatch() ? n.captured(1) : text;
}

// A catalogue argument: null for "any", else the exact text.
struct CatalogArgument {
    std::u16string text;
    bool null;
    explicit CatalogArgument(const QString& value) : text(OdbcText(value)), null(value.isEmpty()) {}
    SQLWCHAR* data() { return null ? nullptr : reinterpret_cast<SQLWCHAR*>(text.data()); }
    SQLSMALLINT size() const { return null ? 0 : SQLSMALLINT(text.size()); }
};

OdbcColumn TextColumn()
{
    return OdbcColumn{SQL_WVARCHAR, 0, 0, JetType::Memo};
}

OdbcColumn NumberColumn()
{
    return OdbcColumn{SQL_INTEGER, 0, 0, JetType::Long};
}

// Starts the catalogue's list of its objects of the given types, as SQLTables gives it.
void ListCatalogue(cOdbcStatement& list, const QString& types)
{
    CatalogArgument kinds(types);
    if (!OdbcOk(list.Guarded([&] { return SQLTablesW(list.get(), nullptr, 0, nullptr, 0, nullptr, 0, kinds.data(), kinds.size()); })))
        list.Fail();
}

// A table the catalogue listed, named as shown, before its columns are read (the entry's
// type is private to the driver).
OdbcTable ListedTable(const auto& listed)
{
    OdbcTable table;
    table.Schema.Name = listed.Shown;
    table.Schema.Attributes = listed.Attributes;
    table.Catalog = listed.Catalog;
    table.Owner = listed.Owner;
    table.Table = listed.Table;
    return table;
}

// One field by another through a statement prepared once; the result is closed after
// each value so that the connection stays free for other statements.
class cOdbcRowLookup : public cRowLookup {
public:
    cOdbcRowLookup(std::weak_ptr<cOdbcDriver> driver, cOdbcStatement statement, OdbcColumn key, OdbcColumn result)
        : m_driver(std::move(driver)), m_statement(std::move(statement)), m_key(key), m_result(result)
    {
    }

    bool Find(const QVariant& key, QVariant& value) override
    {
        const auto driver = m_driver.lock();
        if (!driver)
            RaiseJetError(JetError::ObjectClosed);
        driver->Handle();
        m_statement.Bind({key}, {m_key});
        m_statement.Execute();
        struct Close {
            cOdbcStatement& Statement;
            ~Close() { Statement.CloseCursor(); }
        } close{m_statement};
        if (!m_statement.Fetch())
            return false;
        value = m_statement.Get(1, m_result);
        return true;
    }

private:
    std::weak_ptr<cOdbcDriver> m_driver;
    cOdbcStatement m_statement;
    OdbcColumn m_key, m_result;
};

} // namespace

std::shared_ptr<cDatabaseDriver> OpenOdbcSource(const QString& connect, bool readOnly)
{
    return cOdbcDriver::Open(connect, readOnly);
}

void cOdbcDriver::SetTimeouts(int loginSeconds, int querySeconds)
{
    gLoginTimeout = loginSeconds;
    gQueryTimeout = querySeconds;
}

cOdbcDriver::cOdbcDriver(QString name, bool readOnly) : m_name(std::move(name)), m_readOnly(readOnly) {}

cOdbcDriver::~cOdbcDriver()
{
    Close();
}

std::shared_ptr<cOdbcDriver> cOdbcDriver::Open(const QString& connect, bool readOnly)
{
    QString text = connect.trimmed();
    if (text.startsWith(QLatin1String("ODBC;"), Qt::CaseInsensitive))
        text = text.mid(5);
    std::shared_ptr<cOdbcDriver> driver(new cOdbcDriver(QLatin1String("ODBC;") + WithoutPassword(text), readOnly));
    driver->Connect(text);
    return driver;
}

void cOdbcDriver::Connect(const QString& connectText)
{
    auto fail = [&](SQLSMALLINT type, SQLHANDLE handle) {
        const QString diagnostics = handle ? OdbcDiagnostics(type, handle) : QString();
        Close();
        throw cRuntimeError(kConnectFailed,
                            QStringLiteral("Připojení ODBC ke zdroji '%1' se nezdařilo. %2")
                                .arg(m_name.mid(5), diagnostics.isEmpty() ? QStringLiteral("Zdroj dat neuvedl důvod.")
                                                                          : diagnostics),
                            kEngine);
    };
    if (!OdbcOk(SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &m_env))) {
        m_env = SQL_NULL_HENV;
        fail(SQL_HANDLE_ENV, SQL_NULL_HANDLE);
    }
    SQLSetEnvAttr(m_env, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0);
    if (!OdbcOk(SQLAllocHandle(SQL_HANDLE_DBC, m_env, &m_dbc))) {
        m_dbc = SQL_NULL_HDBC;
        fail(SQL_HANDLE_ENV, m_env);
    }
    // A dead server must not hold the program: connecting and every later request give up.
    const auto login = SQLULEN(qMax(1, gLoginTimeout.load()));
    const auto request = SQLULEN(qMax(0, gQueryTimeout.load()));
    SQLSetConnectAttr(m_dbc, SQL_ATTR_LOGIN_TIMEOUT, reinterpret_cast<SQLPOINTER>(login), 0);
    SQLSetConnectAttr(m_dbc, SQL_ATTR_CONNECTION_TIMEOUT, reinterpret_cast<SQLPOINTER>(request), 0);
    if (m_readOnly)
        SQLSetConnectAttr(m_dbc, SQL_ATTR_ACCESS_MODE, reinterpret_cast<SQLPOINTER>(SQL_MODE_READ_ONLY), 0);
    const QList<int> socketsBefore = cOdbcWatchdog::OpenSockets();
    std::u16string text = OdbcText(connectText);
    SQLWCHAR completed[2048] = {};
    SQLSMALLINT completedLength = 0;
    const SQLRETURN rc = SQLDriverConnectW(m_dbc, nullptr, reinterpret_cast<SQLWCHAR*>(text.data()),
                                           SQLSMALLINT(text.size()), completed, SQLSMALLINT(std::size(completed)),
                                           &completedLength, SQL_DRIVER_NOPROMPT);
    if (!OdbcOk(rc))
        fail(SQL_HANDLE_DBC, m_dbc);
    QList<int> sockets = cOdbcWatchdog::OpenSockets();
    sockets.removeIf([&](int socket) { return socketsBefore.contains(socket); });
    sockets = cOdbcWatchdog::ServerSockets(sockets, connectText);
    // The server's own timeout runs first; the watchdog is for a server that stopped.
    if (gQueryTimeout > 0)
        m_watchdog->Guard(sockets, gQueryTimeout + 3);

    const QString quote = InfoText(SQL_IDENTIFIER_QUOTE_CHAR).trimmed();
    m_dialect.Quote = quote.isEmpty() ? QChar(u' ') : quote[0];
    m_dbms = InfoText(SQL_DBMS_NAME);
    m_user = InfoText(SQL_USER_NAME);
    if (InfoText(SQL_DATA_SOURCE_READ_ONLY) == QLatin1String("Y"))
        m_readOnly = true;
    if (m_dbms.startsWith(QLatin1String("PostgreSQL"), Qt::CaseInsensitive)) {
        m_dialect.BooleanWords = true;
        m_dialect.CaseInsensitiveLike = true;
        m_dialect.LikeClasses = OdbcDialect::Classes::Regex;
        // psqlODBC reads the whole result at once and SQLRowCount gives its size (-1 when a
        // data source fetches in pieces, and then the keys are counted).
        m_dialect.CountsResults = true;
        // A query may be read in pieces (a server cursor), unless the connect text chose so.
        SQLINTEGER inPieces = -1;
        m_readsInPieces = OdbcOk(SQLGetConnectAttr(m_dbc, kPgUseDeclareFetch, &inPieces, 0, nullptr)) && inPieces == 0
                          && OdbcOk(SQLSetConnectAttr(m_dbc, kPgFetch, reinterpret_cast<SQLPOINTER>(kPiece), 0));
        // Any query may switch standard_conforming_strings (set_config), so what the server
        // said at connection is no guide: E'…' reads a backslash alike under either setting.
        m_dialect.EscapeStrings = true;
    } else if (m_dbms.startsWith(QLatin1String("SQLite"), Qt::CaseInsensitive)) {
        m_dialect.LikeClasses = OdbcDialect::Classes::Glob;
        m_dialect.BackslashEscapes = false;
        // Its driver writes a bound date with milliseconds, which then never equals a date
        // literal nor a date other programs wrote.
        m_dialect.TextDates = true;
    } else if (m_dbms.contains(QLatin1String("SQL Server"), Qt::CaseInsensitive)) {
        m_dialect.Concat = QStringLiteral("+");
        m_dialect.BackslashEscapes = false;
        m_dialect.Limit = false;
        m_dialect.UnseparatedStatements = true;
    }
}

QString cOdbcDriver::InfoText(SQLUSMALLINT item) const
{
    SQLWCHAR value[256] = {};
    SQLSMALLINT length = 0;
    if (!OdbcOk(SQLGetInfoW(m_dbc, item, value, SQLSMALLINT(sizeof(value)), &length)))
        return QString();
    return FromOdbcBuffer(value, qsizetype(std::size(value)) - 1);
}

void cOdbcDriver::Close()
{
    m_watchdog->Stop();
    if (m_dbc != SQL_NULL_HDBC) {
        if (OdbcOk(SQLDisconnect(m_dbc)))
            m_watchdog->MarkDisconnected();
        SQLFreeHandle(SQL_HANDLE_DBC, m_dbc);
        m_dbc = SQL_NULL_HDBC;
    }
    if (m_env != SQL_NULL_HENV) {
        SQLFreeHandle(SQL_HANDLE_ENV, m_env);
        m_env = SQL_NULL_HENV;
    }
}

SQLHDBC cOdbcDriver::Handle() const
{
    if (m_dbc == SQL_NULL_HDBC)
        RaiseJetError(JetError::ObjectClosed);
    return m_dbc;
}

bool cOdbcDriver::ExecuteInPieces(cOdbcStatement& statement, const QString& sql) const
{
    // The driver decides when a statement runs; the connection goes back at once.
    const auto set = [this](SQLLEN value) {
        return m_readsInPieces
               && OdbcOk(SQLSetConnectAttr(m_dbc, kPgUseDeclareFetch, reinterpret_cast<SQLPOINTER>(value), 0));
    };
    const bool inPieces = set(1);
    const auto restore = qScopeGuard([&] {
        if (inPieces)
            set(0);
    });
    statement.ExecDirect(sql);
    return inPieces;
}

cOdbcStatement cOdbcDriver::NewStatement() const
{
    cOdbcStatement statement(Handle(), gQueryTimeout.load(), m_watchdog);
    statement.SetTextDates(m_dialect.TextDates);
    return statement;
}

QString cOdbcDriver::Translate(const QString& jetSql)
{
    if (!jetSql.contains(u'['))
        return TranslateJetSqlForOdbc(jetSql, m_dialect);
    const QStringList mentioned = NamesInJetSql(jetSql);
    if (!m_listedValid)
        ListTables();
    // Case-folded name to every spelling of it among the tables named and their fields.
    QHash<QString, QStringList> spellings;
    // A table outside the default schema is shown as owner.table: the source needs two names.
    QHash<QString, QStringList> qualified;
    auto add = [&](const QString& name) {
        QStringList& known = spellings[name.toCaseFolded()];
        if (!known.contains(name))
            known << name;
    };
    for (const Listed& listed : std::as_const(m_listed)) {
        if (!mentioned.contains(listed.Table, Qt::CaseInsensitive) && !mentioned.contains(listed.Shown, Qt::CaseInsensitive))
            continue;
        add(listed.Table);
        if (listed.Shown != listed.Table && mentioned.contains(listed.Shown, Qt::CaseInsensitive))
            qualified.insert(listed.Shown.toCaseFolded(), {listed.Owner, listed.Table});
        OdbcTable table = ListedTable(listed);
        ReadColumns(table);
        for (const FieldSchema& field : std::as_const(table.Schema.Fields))
            add(field.Name);
    }
    return TranslateJetSqlForOdbc(jetSql, m_dialect, [&](const QString& name) {
        if (const auto parts = qualified.constFind(name.toCaseFolded()); parts != qualified.cend())
            return *parts;
        const QStringList known = spellings.value(name.toCaseFolded());
        // Kept as written when it is spelt so, unknown, or ambiguous.
        return known.contains(name) ? QStringList{name} : known.size() == 1 ? QStringList{known.first()} : QStringList();
    });
}

void cOdbcDriver::RequireWritable() const
{
    Handle();
    if (m_readOnly)
        RaiseJetError(JetError::ReadOnly);
}

// Tables of the schemas a bare name reaches keep their bare name; others are qualified.
QString cOdbcDriver::ShownName(const QString& owner, const QString& table) const
{
    if (owner.isEmpty() || SameName(owner, QStringLiteral("public")) || SameName(owner, QStringLiteral("dbo"))
        || SameName(owner, QStringLiteral("main")) || SameName(owner, m_user))
        return table;
    return owner + u'.' + table;
}

void cOdbcDriver::ListTables()
{
    m_listed.clear();
    m_listedValid = false;
    cOdbcStatement list = NewStatement();
    ListCatalogue(list, QStringLiteral("TABLE,SYSTEM TABLE"));
    QStringList seen;
    while (list.Fetch()) {
        Listed table;
        table.Catalog = list.Get(1, TextColumn()).toString();
        table.Owner = list.Get(2, TextColumn()).toString();
        table.Table = list.Get(3, TextColumn()).toString();
        const QString type = list.Get(4, TextColumn()).toString();
        table.Shown = ShownName(table.Owner, table.Table);
        if (seen.contains(table.Shown, Qt::CaseInsensitive))
            table.Shown = table.Owner + u'.' + table.Table;
        seen << table.Shown;
        if (SameName(type, QStringLiteral("SYSTEM TABLE")) || table.Table.startsWith(QLatin1String("sqlite_")))
            table.Attributes = kSystemObject;
        m_listed << table;
    }
    m_listedValid = true;
}

void cOdbcDriver::ReadColumns(OdbcTable& table)
{
    cOdbcStatement columns = NewStatement();
    CatalogArgument catalog(table.Catalog), owner(table.Owner), name(table.Table);
    if (!OdbcOk(columns.Guarded([&] {
            return SQLColumnsW(columns.get(), catalog.data(), catalog.size(), owner.data(), owner.size(), name.data(),
                               name.size(), nullptr, 0);
        })))
        columns.Fail();
    while (columns.Fetch()) {
        // Names are patterns to the catalogue: "a_b" also finds "axb".
        if (columns.Get(3, TextColumn()).toString() != table.Table
            || columns.Get(2, TextColumn()).toString() != table.Owner)
            continue;
        FieldSchema field;
        field.Name = columns.Get(4, TextColumn()).toString();
        OdbcColumn column;
        column.SqlType = SQLSMALLINT(columns.Get(5, NumberColumn()).toInt());
        const QString typeName = columns.Get(6, TextColumn()).toString();
        column.Size = SQLULEN(qMax(0LL, columns.Get(7, NumberColumn()).toLongLong()));
        column.Digits = SQLSMALLINT(columns.Get(9, NumberColumn()).toInt());
        field.Required = columns.Get(11, NumberColumn()).toInt() == SQL_NO_NULLS;
        field.DefaultValue = DefaultText(columns.Get(13, TextColumn()).toString());
        column.JetType = JetTypeOfOdbc(column.SqlType, column.Size, typeName, field.Size);
        field.Type = column.JetType;
        field.AllowZeroLength = true;
        field.SourceTable = table.Schema.Name;
        field.SourceField = field.Name;
        table.Schema.Fields << field;
        table.Columns << column;
    }
}

QStringList cOdbcDriver::ReadKey(const OdbcTable& table)
{
    cOdbcStatement keys = NewStatement();
    CatalogArgument catalog(table.Catalog), owner(table.Owner), name(table.Table);
    if (!OdbcOk(keys.Guarded([&] {
            return SQLPrimaryKeysW(keys.get(), catalog.data(), catalog.size(), owner.data(), owner.size(), name.data(),
                                   name.size());
        })))
        return {};
    QMap<int, QString> ordered;
    while (keys.Fetch()) {
        const QString column = keys.Get(4, TextColumn()).toString();
        ordered.insert(keys.Get(5, NumberColumn()).toInt(), column);
    }
    QStringList key = ordered.values();
    // A key the fields do not show cannot identify a record.
    for (const QString& column : key) {
        if (std::none_of(table.Schema.Fields.begin(), table.Schema.Fields.end(),
                         [&](const FieldSchema& f) { return f.Name == column; }))
            return {};
    }
    return key;
}

QList<TableSchema> cOdbcDriver::Tables()
{
    ListTables();
    QList<TableSchema> tables;
    for (const Listed& listed : std::as_const(m_listed)) {
        OdbcTable table = ListedTable(listed);
        ReadColumns(table);
        tables << table.Schema;
    }
    return tables;
}

std::optional<OdbcTable> cOdbcDriver::FindTable(const QString& name)
{
    for (int attempt = 0; attempt < 2; ++attempt) {
        if (!m_listedValid || attempt == 1)
            ListTables();
        const Listed* found = nullptr;
        for (const Listed& listed : std::as_const(m_listed)) {
            if (listed.Shown == name) {
                found = &listed;
                break;
            }
            if (!found && SameName(listed.Shown, name))
                found = &listed;
        }
        if (found) {
            OdbcTable table = ListedTable(*found);
            ReadColumns(table);
            table.Key = ReadKey(table);
            return table;
        }
    }
    return std::nullopt;
}

QList<RelationSchema> cOdbcDriver::Relations()
{
    Handle();
    ListTables();
    // A referred table by the catalogue's own names, as the engine shows it.
    QHash<QString, QString> shown, folded;
    for (const Listed& listed : std::as_const(m_listed)) {
        shown.insert(listed.Owner + u'\n' + listed.Table, listed.Shown);
        folded.insert((listed.Owner + u'\n' + listed.Table).toCaseFolded(), listed.Shown);
    }
    // Some drivers (SQLite's) hand the parent on as the key declared it, in its case.
    const auto shownAs = [&](const QString& owner, const QString& table) {
        const QString name = owner + u'\n' + table;
        return shown.value(name, folded.value(name.toCaseFolded()));
    };
    QList<RelationSchema> relations;
    for (const Listed& listed : std::as_const(m_listed)) {
        if (listed.Attributes & kSystemObject)
            continue;
        cOdbcStatement keys = NewStatement();
        CatalogArgument catalog(listed.Catalog), owner(listed.Owner), name(listed.Table);
        if (!OdbcOk(keys.Guarded([&] {
                return SQLForeignKeysW(keys.get(), nullptr, 0, nullptr, 0, nullptr, 0, catalog.data(), catalog.size(),
                                       owner.data(), owner.size(), name.data(), name.size());
            })))
            continue; // the source keeps no relations, or will not tell them
        // Rows come ordered by the referred table, then by place: the places of two
        // relations to one table alternate, and only their names keep them apart.
        QHash<QString, qsizetype> named;
        const qsizetype before = relations.size();
        try {
            while (keys.Fetch()) {
                const QString parent = shownAs(keys.Get(2, TextColumn()).toString(), keys.Get(3, TextColumn()).toString());
                const QString referred = keys.Get(4, TextColumn()).toString();
                const QString field = keys.Get(8, TextColumn()).toString();
                const int place = keys.Get(9, NumberColumn()).toInt();
                const QString relationName = keys.Get(12, TextColumn()).toString();
                qsizetype at = relations.size() - 1;
                if (!relationName.isEmpty()) {
                    at = named.value(parent + u'\n' + relationName, -1);
                    if (at < 0) {
                        relations << RelationSchema{listed.Shown, {}, parent, {}, relationName};
                        at = relations.size() - 1;
                        named.insert(parent + u'\n' + relationName, at);
                    }
                } else if (place <= 1 || at < 0 || relations[at].Table != listed.Shown
                           || relations[at].ReferredTable != parent || !relations[at].Name.isEmpty()) {
                    relations << RelationSchema{listed.Shown, {}, parent, {}, QString()};
                    at = relations.size() - 1;
                }
                relations[at].Fields << field;
                relations[at].ReferredFields << referred;
            }
        } catch (const cRuntimeError&) {
            relations.resize(before); // a relation read halfway could pass for one of fewer fields
        }
    }
    // A relation to a table the engine does not list leads nowhere it could follow.
    relations.removeIf([](const RelationSchema& r) { return r.ReferredTable.isEmpty(); });
    // A key that names no referred fields refers to the parent's primary key.
    for (RelationSchema& relation : relations) {
        if (!relation.ReferredFields.contains(QString()))
            continue;
        try {
            const auto parent = FindTable(relation.ReferredTable);
            relation.ReferredFields = parent ? parent->Key : QStringList();
        } catch (const cRuntimeError&) {
            relation.ReferredFields.clear();
        }
    }
    relations.removeIf([](const RelationSchema& r) { return r.ReferredFields.size() != r.Fields.size(); });
    return relations;
}

std::unique_ptr<cRowLookup> cOdbcDriver::PrepareLookup(const QString& table, const QString& keyField,
                                                       const QString& resultField, int keyType)
{
    Q_UNUSED(keyType) // the parameter takes the key column's own type
    const auto found = FindTable(table);
    if (!found)
        RaiseJetError(JetError::NoSuchTable, {table});
    const auto column = [&](const QString& name) {
        for (qsizetype i = 0; i < found->Schema.Fields.size(); ++i) {
            if (SameName(found->Schema.Fields[i].Name, name))
                return i;
        }
        RaiseJetError(JetError::ItemNotFound, {name});
    };
    const qsizetype key = column(keyField), result = column(resultField);
    cOdbcStatement statement = NewStatement();
    statement.Prepare(QStringLiteral("SELECT %1 FROM %2 WHERE %3 = ?")
                          .arg(QuoteOdbcName(found->Schema.Fields[result].Name, m_dialect.Quote), TableReference(*found),
                               QuoteOdbcName(found->Schema.Fields[key].Name, m_dialect.Quote)));
    return std::make_unique<cOdbcRowLookup>(weak_from_this(), std::move(statement), found->Columns.value(key),
                                            found->Columns.value(result));
}

QList<cOdbcDriver::View> cOdbcDriver::ListViews()
{
    cOdbcStatement list = NewStatement();
    ListCatalogue(list, QStringLiteral("VIEW"));
    QList<View> views;
    while (list.Fetch()) {
        View view;
        view.Owner = list.Get(2, TextColumn()).toString();
        view.Name = list.Get(3, TextColumn()).toString();
        view.Shown = ShownName(view.Owner, view.Name);
        // The catalogue's own views are no user's queries.
        if (SameName(view.Owner, QStringLiteral("pg_catalog")) || SameName(view.Owner, QStringLiteral("information_schema")))
            continue;
        views << view;
    }
    return views;
}

QStringList cOdbcDriver::QueryNames()
{
    QStringList names;
    for (const View& view : ListViews())
        names << view.Shown;
    return names;
}

QStringList cOdbcDriver::TableNames()
{
    ListTables();
    QStringList names;
    for (const Listed& listed : std::as_const(m_listed))
        names << listed.Shown;
    return names;
}

QList<QuerySchema> cOdbcDriver::Queries()
{
    const QList<View> views = ListViews();
    const bool postgres = m_dbms.startsWith(QLatin1String("PostgreSQL"), Qt::CaseInsensitive);
    const bool sqlite = m_dbms.startsWith(QLatin1String("SQLite"), Qt::CaseInsensitive);
    QList<QuerySchema> queries;
    for (const View& view : std::as_const(views)) {
        QuerySchema query{view.Shown, QString()};
        try {
            if (postgres || sqlite) {
                cOdbcStatement read = NewStatement();
                read.Prepare(postgres ? QStringLiteral("SELECT view_definition FROM information_schema.views "
                                                       "WHERE table_schema = ? AND table_name = ?")
                                      : QStringLiteral("SELECT sql FROM sqlite_master WHERE type = 'view' AND name = ?"));
                read.Bind(postgres ? QVariantList{view.Owner, view.Name} : QVariantList{view.Name}, {});
                read.Execute();
                if (read.Fetch()) {
                    QString sql = read.Get(1, TextColumn()).toString().trimmed();
                    if (sqlite)
                        sql = SqliteViewBody(sql);
                    if (sql.endsWith(u';'))
                        sql.chop(1);
                    query.Sql = sql;
                }
            }
        } catch (const cRuntimeError&) {
            // a definition the source keeps to itself: the query is listed without text
        }
        queries << query;
    }
    return queries;
}

// A table's rows, keys and relations are the server's to keep: what it can do in place
// (a new table, a field added at the end, a field dropped or renamed) is asked of it, and
// its own message tells what it refuses. What would need the table rebuilt here is refused.
QString cOdbcDriver::TableReference(const OdbcTable& table) const
{
    QString reference = QuoteOdbcName(table.Table, m_dialect.Quote);
    if (!table.Owner.isEmpty() && table.Schema.Name.contains(u'.'))
        reference.prepend(QuoteOdbcName(table.Owner, m_dialect.Quote) + u'.');
    return reference;
}

OdbcTable cOdbcDriver::RequireTable(const QString& name)
{
    RequireWritable();
    auto table = FindTable(name);
    if (!table)
        RaiseJetError(JetError::NoSuchTable, {name}, QStringLiteral("DAO.TableDefs"));
    return *table;
}

// The source's own name of a type, from its catalogue of types, with the size where the
// type takes one.
QString cOdbcDriver::ServerType(const FieldSchema& field)
{
    std::vector<SQLSMALLINT> wanted;
    switch (field.Type) {
    case JetType::Boolean: wanted = {SQL_BIT, SQL_SMALLINT}; break;
    case JetType::Byte: wanted = {SQL_TINYINT, SQL_SMALLINT}; break;
    case JetType::Integer: wanted = {SQL_SMALLINT, SQL_INTEGER}; break;
    case JetType::Long: wanted = {SQL_INTEGER}; break;
    case JetType::BigInt: wanted = {SQL_BIGINT}; break;
    case JetType::Currency: wanted = {SQL_DECIMAL, SQL_NUMERIC}; break;
    case JetType::Single: wanted = {SQL_REAL, SQL_DOUBLE}; break;
    case JetType::Double: wanted = {SQL_DOUBLE, SQL_FLOAT}; break;
    case JetType::Date: wanted = {SQL_TYPE_TIMESTAMP}; break;
    case JetType::Text: wanted = {SQL_WVARCHAR, SQL_VARCHAR}; break;
    case JetType::Memo: wanted = {SQL_WLONGVARCHAR, SQL_LONGVARCHAR}; break;
    case JetType::Binary: wanted = {SQL_VARBINARY, SQL_BINARY}; break;
    case JetType::LongBinary: wanted = {SQL_LONGVARBINARY}; break;
    case JetType::Guid: wanted = {SQL_GUID}; break;
    default: break;
    }
    for (const SQLSMALLINT sqlType : wanted) {
        cOdbcStatement info = NewStatement();
        if (!OdbcOk(info.Guarded([&] { return SQLGetTypeInfoW(info.get(), sqlType); })))
            continue;
        while (info.Fetch()) {
            // Types that number rows themselves (serial, identity) are not asked for.
            if (info.Get(12, NumberColumn()).toInt() == SQL_TRUE)
                continue;
            QString name = info.Get(1, TextColumn()).toString();
            const QString params = info.Get(6, TextColumn()).toString().toLower();
            if (field.Type == JetType::Currency && params.contains(QLatin1String("precision")))
                name += QLatin1String("(19,4)");
            else if ((field.Type == JetType::Text || field.Type == JetType::Binary) && params.contains(QLatin1String("length")))
                name += QStringLiteral("(%1)").arg(field.Size > 0 ? field.Size : 255);
            if (!name.isEmpty())
                return name;
        }
    }
    RaiseJetError(JetError::InvalidFieldType, {}, QStringLiteral("DAO.Field"));
}

QString cOdbcDriver::ColumnDefinition(const FieldSchema& field)
{
    return QuoteOdbcName(field.Name, m_dialect.Quote) + u' ' + ServerType(field)
           + (field.Required ? QLatin1String(" NOT NULL") : QLatin1String(""));
}

void cOdbcDriver::ExecuteStructureChange(const QString& sql)
{
    cOdbcStatement change = NewStatement();
    try {
        change.ExecDirect(sql);
    } catch (...) {
        m_listedValid = false;
        throw;
    }
    m_listedValid = false;
}

void cOdbcDriver::CreateTable(const TableSchema& table)
{
    RequireWritable();
    if (FindTable(table.Name))
        RaiseJetError(JetError::TableExists, {table.Name}, QStringLiteral("DAO.TableDefs"));
    QStringList parts;
    for (const FieldSchema& field : table.Fields)
        parts << ColumnDefinition(field);
    for (const IndexSchema& index : table.Indexes) {
        if (!index.Primary)
            continue;
        QStringList key;
        for (const QString& field : index.Fields)
            key << QuoteOdbcName(field, m_dialect.Quote);
        parts << QLatin1String("PRIMARY KEY (") + key.join(QLatin1String(", ")) + u')';
        break;
    }
    ExecuteStructureChange(QStringLiteral("CREATE TABLE %1 (%2)")
                               .arg(QuoteOdbcName(table.Name, m_dialect.Quote), parts.join(QLatin1String(", "))));
}

void cOdbcDriver::DropTable(const QString& name)
{
    ExecuteStructureChange(QLatin1String("DROP TABLE ") + TableReference(RequireTable(name)));
}

void cOdbcDriver::AddField(const QString& table, const FieldSchema& field, int position, cWorkControl*)
{
    const OdbcTable found = RequireTable(table);
    if (position >= 0 && position < found.Schema.Fields.size())
        throw cRuntimeError(JetError::InvalidOperation, LoadString(10800), QStringLiteral("DAO.Fields"));
    ExecuteStructureChange(QStringLiteral("ALTER TABLE %1 ADD %2").arg(TableReference(found), ColumnDefinition(field)));
}

void cOdbcDriver::DropField(const QString& table, const QString& field, cWorkControl*)
{
    const OdbcTable found = RequireTable(table);
    ExecuteStructureChange(QStringLiteral("ALTER TABLE %1 DROP COLUMN %2")
                               .arg(TableReference(found), QuoteOdbcName(field, m_dialect.Quote)));
}

void cOdbcDriver::AlterField(const QString& table, const QString& field, const FieldSchema& changed, int position,
                             cWorkControl*)
{
    const OdbcTable found = RequireTable(table);
    const auto current = std::find_if(found.Schema.Fields.begin(), found.Schema.Fields.end(),
                                      [&](const FieldSchema& f) { return f.Name == field; });
    if (current == found.Schema.Fields.end())
        RaiseJetError(JetError::ItemNotFound, {field}, QStringLiteral("DAO.Fields"));
    const qint64 at = current - found.Schema.Fields.begin();
    FieldSchema renamed = *current;
    renamed.Name = changed.Name;
    // Only a new name is the server's to give; anything else would rebuild its table.
    const bool onlyName = changed.Type == renamed.Type && changed.Size == renamed.Size
                          && changed.Required == renamed.Required && changed.AllowZeroLength == renamed.AllowZeroLength
                          && changed.DefaultValue == renamed.DefaultValue
                          && (position < 0 || position == at);
    if (!onlyName)
        throw cRuntimeError(JetError::InvalidOperation, LoadString(10801), QStringLiteral("DAO.Field"));
    if (changed.Name == field)
        return;
    ExecuteStructureChange(QStringLiteral("ALTER TABLE %1 RENAME COLUMN %2 TO %3")
                               .arg(TableReference(found), QuoteOdbcName(field, m_dialect.Quote),
                                    QuoteOdbcName(changed.Name, m_dialect.Quote)));
}

void cOdbcDriver::CreateQuery(const QuerySchema&)
{
    RequireWritable();
    RaiseJetError(JetError::InvalidOperation);
}

void cOdbcDriver::DropQuery(const QString&)
{
    RequireWritable();
    RaiseJetError(JetError::InvalidOperation);
}

void cOdbcDriver::AlterQuery(const QString&, const QuerySchema&)
{
    RequireWritable();
    RaiseJetError(JetError::InvalidOperation);
}

void cOdbcDriver::Interrupt()
{
    m_watchdog->Cancel();
}

std::unique_ptr<cCursor> cOdbcDriver::OpenCursor(const QString& sql)
{
    Handle();
    return std::make_unique<cOdbcCursor>(shared_from_this(), sql);
}
