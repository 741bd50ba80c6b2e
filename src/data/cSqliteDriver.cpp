#include "cSqliteDriver.h"

#include "cRuntimeError.h"
#include "cSqliteCursor.h"
#include "mConvert.h"
#include "mJetErrors.h"
#include "mJetSql.h"
#include "mNames.h"
#include "mSqliteQueries.h"
#include "mSqliteIndexes.h"
#include "mSqliteMapping.h"
#include "mSqliteRebuild.h"
#include "mSqliteRelations.h"
#include "mSqliteSchema.h"
#include "mSqliteTypes.h"
#include "mStringTable.h"
#include "cWorkControl.h"

#include <algorithm>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QRegularExpression>

#include <fcntl.h>
#include <unistd.h>

namespace {

const QString kFieldsTable = QStringLiteral("QSysFields");
const QString kDatabaseTable = QStringLiteral("QSysDatabase");
// Identifies the engine's own files among other SQLite files ("QRNL").
constexpr int kApplicationId = 0x51524E4C;

bool IsSystemName(const QString& name)
{
    return name.startsWith(QLatin1String("sqlite_"), Qt::CaseInsensitive) || SameName(name, kFieldsTable)
           || SameName(name, kSqliteQueriesTable) || SameName(name, kDatabaseTable);
}

// Names follow the engine's rules: not empty, no leading blank, none of . ! [ ] ` and no control characters.
void CheckName(const QString& name)
{
    static const QRegularExpression forbidden(QStringLiteral("[.!\\[\\]`\\x00-\\x1F]"));
    if (name.trimmed().isEmpty() || name.startsWith(u' ') || name.size() > 64 || forbidden.match(name).hasMatch())
        RaiseJetError(JetError::InvalidName, {name});
}

// The locale text's language decides the collation; anything else sorts by the root order.
QLocale LocaleOf(const QString& localeText)
{
    static const QRegularExpression langId(QStringLiteral("LANGID=0x([0-9A-Fa-f]+)"));
    const auto match = langId.match(localeText);
    if (!match.hasMatch())
        return QLocale::c();
    switch (match.captured(1).toInt(nullptr, 16)) {
    case 0x0405: return QLocale(QLocale::Czech, QLocale::Czechia);
    case 0x041B: return QLocale(QLocale::Slovak, QLocale::Slovakia);
    case 0x0407: return QLocale(QLocale::German, QLocale::Germany);
    case 0x0415: return QLocale(QLocale::Polish, QLocale::Poland);
    case 0x040E: return QLocale(QLocale::Hungarian, QLocale::Hungary);
    case 0x0409: return QLocale(QLocale::English, QLocale::UnitedStates);
    default: return QLocale::c();
    }
}

int CompareByLocale(void* collator, int length1, const void* text1, int length2, const void* text2)
{
    return static_cast<QCollator*>(collator)->compare(
        QStringView(static_cast<const char16_t*>(text1), length1 / 2),
        QStringView(static_cast<const char16_t*>(text2), length2 / 2));
}

int gCatalogueLimit = 10000;

// Every file is someone else's until proved otherwise, ours included: the schema cannot
// be rewritten through the connection, and what the schema names (views, triggers,
// defaults) may call only functions without side effects.
void Harden(sqlite3* db)
{
    sqlite3_db_config(db, SQLITE_DBCONFIG_DEFENSIVE, 1, nullptr);
    sqlite3_db_config(db, SQLITE_DBCONFIG_TRUSTED_SCHEMA, 0, nullptr);
    sqlite3_db_config(db, SQLITE_DBCONFIG_ENABLE_LOAD_EXTENSION, 0, nullptr);
    // A damaged page is found when it is read rather than when a bad offset is followed.
    sqlite3_exec(db, "PRAGMA cell_size_check = ON", nullptr, nullptr, nullptr);
}

} // namespace

cSqliteDriver::cSqliteDriver(sqlite3* db, QString path, bool readOnly)
    : m_path(std::move(path)), m_db(db), m_readOnly(readOnly)
{
    Harden(m_db);
    sqlite3_progress_handler(m_db, 10000, &cSqliteDriver::Progress, this);
}

void cSqliteDriver::SetCatalogueLimit(int milliseconds)
{
    gCatalogueLimit = milliseconds;
}

int cSqliteDriver::Progress(void* driver)
{
    auto* self = static_cast<cSqliteDriver*>(driver);
    const qint64 deadline = self->m_catalogueDeadline;
    if (deadline == 0 || SteadyMs() < deadline)
        return 0;
    self->m_catalogueTooLong = true;
    return 1; // the statement fails as interrupted
}

template <typename Work>
auto cSqliteDriver::ReadingCatalogue(Work work)
{
    struct Deadline {
        cSqliteDriver& Driver;
        explicit Deadline(cSqliteDriver& driver) : Driver(driver)
        {
            Driver.m_catalogueTooLong = false;
            Driver.m_catalogueDeadline = SteadyMs() + gCatalogueLimit;
        }
        ~Deadline() { Driver.m_catalogueDeadline = 0; }
    } deadline(*this);
    try {
        return work();
    } catch (const cRuntimeError&) {
        if (m_catalogueTooLong)
            RaiseJetError(JetError::NotADatabase, {m_path}, QStringLiteral("DAO.DBEngine"));
        throw;
    }
}

cSqliteDriver::~cSqliteDriver()
{
    Close();
}

bool cSqliteDriver::HasSignature(const QByteArray& head)
{
    return head.startsWith(QByteArray("SQLite format 3\0", 16));
}

std::shared_ptr<cSqliteDriver> cSqliteDriver::Open(const QString& path, bool readOnly)
{
    // A file or folder we may not write to is opened for reading: changes fail as read-only, not at a write.
    const QFileInfo info(path);
    const bool writable = !readOnly && ::access(QFile::encodeName(path).constData(), W_OK) == 0
                          && ::access(QFile::encodeName(info.absolutePath()).constData(), W_OK) == 0;
    sqlite3* db = nullptr;
    const int flags = (writable ? SQLITE_OPEN_READWRITE : SQLITE_OPEN_READONLY) | SQLITE_OPEN_NOMUTEX;
    const int rc = sqlite3_open_v2(QFile::encodeName(path).constData(), &db, flags, nullptr);
    if (rc != SQLITE_OK) {
        sqlite3_close_v2(db);
        RaiseJetError(JetError::FileLocked, {path}, QStringLiteral("DAO.DBEngine"));
    }
    sqlite3_extended_result_codes(db, 1);
    std::shared_ptr<cSqliteDriver> driver(new cSqliteDriver(db, path, !writable));
    try {
        driver->ReadingCatalogue([&] {
            // Reading the schema is where a damaged file shows itself.
            cSqliteStatement(db, QStringLiteral("SELECT count(*) FROM sqlite_master")).Run();
            driver->Prepare();
        });
    } catch (const cRuntimeError& e) {
        driver->Close();
        if (e.Number() == JetError::RecordLocked)
            RaiseJetError(JetError::FileLocked, {path}, QStringLiteral("DAO.DBEngine"));
        RaiseJetError(JetError::NotADatabase, {path}, QStringLiteral("DAO.DBEngine"));
    }
    return driver;
}

std::shared_ptr<cSqliteDriver> cSqliteDriver::Create(const QString& path, const QString& locale)
{
    // O_EXCL: an existing file is never touched, even one that appears meanwhile.
    const int fd = ::open(QFile::encodeName(path).constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0) {
        if (errno == EEXIST)
            RaiseJetError(JetError::DatabaseExists, {path}, QStringLiteral("DAO.DBEngine"));
        if (errno == ENOENT || errno == ENOTDIR || errno == EISDIR || errno == ENAMETOOLONG)
            RaiseJetError(JetError::InvalidPath, {path}, QStringLiteral("DAO.DBEngine"));
        RaiseJetError(JetError::FileLocked, {path}, QStringLiteral("DAO.DBEngine"));
    }
    ::close(fd);
    try {
        auto driver = Open(path, false);
        driver->InTransaction([&] {
            driver->EnsureMetadata();
            cSqliteStatement insert(driver->m_db, QStringLiteral("INSERT OR REPLACE INTO %1 VALUES ('Locale', ?)")
                                                      .arg(kDatabaseTable));
            insert.Bind(1, locale);
            insert.Run();
            ExecSql(driver->m_db, QStringLiteral("PRAGMA application_id = %1").arg(kApplicationId));
        });
        driver->Prepare();
        return driver;
    } catch (...) {
        QFile::remove(path);
        throw;
    }
}

std::shared_ptr<cSqliteDriver> cSqliteDriver::OpenMemory(const QString& locale)
{
    // An empty name is a temporary file SQLite removes itself, even when we crash: only
    // its page cache is held in memory, whatever the size of what is copied into it.
    sqlite3* db = nullptr;
    if (sqlite3_open_v2("", &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX, nullptr)
        != SQLITE_OK) {
        sqlite3_close_v2(db);
        RaiseJetError(JetError::FileLocked, {QStringLiteral(":memory:")}, QStringLiteral("DAO.DBEngine"));
    }
    sqlite3_extended_result_codes(db, 1);
    std::shared_ptr<cSqliteDriver> driver(new cSqliteDriver(db, QString(), true));
    driver->EnsureMetadata();
    cSqliteStatement insert(db, QStringLiteral("INSERT INTO %1 VALUES ('Locale', ?)").arg(kDatabaseTable));
    insert.Bind(1, locale);
    insert.Run();
    driver->Prepare();
    return driver;
}

void cSqliteDriver::Close()
{
    if (m_db) {
        sqlite3_close_v2(m_db); // statements still open keep it until they are finalised
        m_db = nullptr;
    }
}

sqlite3* cSqliteDriver::Handle() const
{
    if (!m_db)
        RaiseJetError(JetError::ObjectClosed);
    return m_db;
}

void cSqliteDriver::RequireWritable() const
{
    Handle();
    if (m_readOnly)
        RaiseJetError(JetError::ReadOnly);
}

void cSqliteDriver::Prepare()
{
    sqlite3_busy_timeout(m_db, 2000);
    // Jumps about a large record source read pages at random: keep more of them at hand.
    ExecSql(m_db, QStringLiteral("PRAGMA cache_size = -16384"));
    // A mapping spares copying every page: a count or a column reads in half the time.
    if (MayMapDatabaseFile(m_path))
        ExecSql(m_db, QStringLiteral("PRAGMA mmap_size = 1073741824"));
    ExecSql(m_db, QStringLiteral("PRAGMA foreign_keys = ON"));
    // A [name] that names nothing must fail (3061), not quietly become a text constant.
    sqlite3_db_config(m_db, SQLITE_DBCONFIG_DQS_DML, 0, nullptr);
    RegisterJetFunctions(m_db);
    QString locale;
    if (HasMetadata()) {
        cSqliteStatement read(m_db, QStringLiteral("SELECT Value FROM %1 WHERE Name = 'Locale'").arg(kDatabaseTable));
        if (read.Step())
            locale = read.Text(0);
    }
    m_collator = QCollator(LocaleOf(locale));
    m_collator.setCaseSensitivity(Qt::CaseInsensitive);
    for (const QByteArray& name : {QByteArray(kJetLocaleCollation), kSqliteLegacyCollation.toUtf8()})
        sqlite3_create_collation_v2(m_db, name.constData(), SQLITE_UTF16_ALIGNED, &m_collator, CompareByLocale, nullptr);
}

QString cSqliteDriver::Translate(const QString& jetSql)
{
    // Stored queries whose Jet text the file keeps; a view from elsewhere is read as it is.
    QHash<QString, QString> written;
    try {
        if (HasMetadata()) {
            ReadingCatalogue([&] {
                cSqliteStatement texts(Handle(), QStringLiteral("SELECT m.name, q.SQL FROM sqlite_master AS m JOIN %1 AS q "
                                                                "ON q.Name = m.name COLLATE NOCASE WHERE m.type = 'view'")
                                                     .arg(kSqliteQueriesTable));
                while (texts.Step())
                    written.insert(texts.Text(0).toCaseFolded(), texts.Text(1));
            });
        }
    } catch (const cRuntimeError&) {
        written.clear();
    }
    JetSqliteTarget target;
    target.Collation = QString::fromLatin1(kJetLocaleCollation);
    // Queries that name each other several times over would grow without bound: past these limits the views answer.
    int depth = 0;
    qsizetype budget = 1 << 20;
    target.StoredQuery = [&](const QString& name) {
        const auto text = written.constFind(name.toCaseFolded());
        if (text == written.cend() || depth > 16 || budget <= 0)
            return QString();
        ++depth;
        QString sql;
        try {
            sql = TranslateJetSql(*text, target);
        } catch (const cRuntimeError&) {
            sql.clear(); // the view then answers, or says what is wrong
        }
        --depth;
        budget -= sql.size();
        return budget >= 0 && AnalyseSelect(sql).IsSelect ? sql : QString();
    };
    const QString sql = TranslateJetSql(jetSql, target);
    const QString assisted = JetWithIndexTerms(m_db, jetSql, sql); // a LIKE the field's index can answer
    budget = 1 << 20;
    return assisted.isEmpty() ? sql : TranslateJetSql(assisted, target);
}

FieldIndexing cSqliteDriver::FieldIndex(const QString& table, const QString& field)
{
    return SqliteFieldIndexing(Handle(), table, field);
}

void cSqliteDriver::SetFieldIndex(const QString& table, const QString& field, FieldIndexing wanted, cWorkControl* control)
{
    RequireWritable();
    InTransaction([&] { SetSqliteFieldIndexing(m_db, table, field, wanted, control); });
}

bool cSqliteDriver::HasMetadata() const
{
    cSqliteStatement find(m_db, QStringLiteral("SELECT 1 FROM sqlite_master WHERE type = 'table' AND name = ?"));
    find.Bind(1, kDatabaseTable);
    return find.Step();
}

void cSqliteDriver::EnsureMetadata()
{
    ExecSql(m_db, QStringLiteral("CREATE TABLE IF NOT EXISTS %1 (Name TEXT PRIMARY KEY, Value TEXT)").arg(kDatabaseTable));
    ExecSql(m_db, QStringLiteral("CREATE TABLE IF NOT EXISTS %1 (TableName TEXT COLLATE NOCASE, FieldName TEXT "
                                 "COLLATE NOCASE, AllowZeroLength INTEGER, PRIMARY KEY (TableName, FieldName))")
                      .arg(kFieldsTable));
    ExecSql(m_db, QStringLiteral("CREATE TABLE IF NOT EXISTS %1 (Name TEXT PRIMARY KEY COLLATE NOCASE, SQL TEXT)")
                      .arg(kSqliteQueriesTable));
}

template <typename Work>
void cSqliteDriver::InTransaction(Work work)
{
    ExecSql(Handle(), QStringLiteral("SAVEPOINT quarnel"));
    try {
        work();
        ExecSql(m_db, QStringLiteral("RELEASE quarnel"));
    } catch (...) {
        sqlite3_exec(m_db, "ROLLBACK TO quarnel; RELEASE quarnel", nullptr, nullptr, nullptr);
        throw;
    }
}

// A table rebuilt in place drops and re-creates the table its relations point at;
// relations are checked again once it stands, however the change ends. The stop of a
// change that has just committed may break into switching them back on: a stop breaks
// in once, so the switch is simply made again.
template <typename Work>
void cSqliteDriver::WithoutForeignKeys(Work work)
{
    ExecSql(Handle(), QStringLiteral("PRAGMA foreign_keys = OFF"));
    struct Restore {
        sqlite3* Db;
        ~Restore()
        {
            for (int attempt = 0; attempt < 3; ++attempt) {
                if (sqlite3_exec(Db, "PRAGMA foreign_keys = ON", nullptr, nullptr, nullptr) != SQLITE_INTERRUPT)
                    break;
            }
        }
    } restore{m_db};
    work();
}

QString cSqliteDriver::ColumnDefinition(const FieldSchema& field) const
{
    QString definition = QuoteName(field.Name) + u' ' + SqliteDeclaredType(field);
    if (field.Required)
        definition += QLatin1String(" NOT NULL");
    if (!field.DefaultValue.trimmed().isEmpty())
        definition += QLatin1String(" DEFAULT ") + SqliteDefaultLiteral(field.DefaultValue);
    // Text fields get a collation every SQLite program has (the engine's own SQL compares
    // them by the database's locale); any other field keeps what it had.
    QString collation = field.Collation;
    if ((collation.isEmpty() && JetType::IsText(field.Type)) || SameName(collation, kSqliteLegacyCollation))
        collation = kSqlitePortableCollation;
    if (!collation.isEmpty() && collation.compare(QLatin1String("BINARY"), Qt::CaseInsensitive) != 0)
        definition += QLatin1String(" COLLATE ") + QuoteName(collation);
    return definition;
}

QList<TableSchema> cSqliteDriver::Tables()
{
    return ReadingCatalogue([&] {
        QList<TableSchema> tables;
        cSqliteStatement list(Handle(), QStringLiteral("SELECT name FROM sqlite_master WHERE type = 'table' ORDER BY rowid"));
        QStringList names;
        while (list.Step())
            names << list.Text(0);
        for (const QString& name : names)
            tables << ReadTable(name, IsSystemName(name) ? kSystemObject : 0);
        return tables;
    });
}

QList<RelationSchema> cSqliteDriver::Relations()
{
    return ReadingCatalogue([&] { return ReadSqliteRelations(Handle()); });
}

std::unique_ptr<cRowLookup> cSqliteDriver::PrepareLookup(const QString& table, const QString& keyField,
                                                         const QString& resultField, int keyType)
{
    Q_UNUSED(keyType) // the column's affinity converts the bound value as it converts stored ones
    std::weak_ptr<cSqliteDriver> self = weak_from_this();
    return PrepareSqliteLookup(
        [self] {
            const auto driver = self.lock();
            if (!driver)
                RaiseJetError(JetError::ObjectClosed);
            return driver->Handle();
        },
        table, keyField, resultField);
}

std::optional<TableSchema> cSqliteDriver::FindTable(const QString& name)
{
    cSqliteStatement find(Handle(), QStringLiteral("SELECT name FROM sqlite_master WHERE type = 'table' AND name = ? "
                                                   "COLLATE NOCASE"));
    find.Bind(1, name);
    if (!find.Step())
        return std::nullopt;
    const QString stored = find.Text(0);
    return ReadTable(stored, IsSystemName(stored) ? kSystemObject : 0);
}

TableSchema cSqliteDriver::ReadTable(const QString& name, qint32 attributes)
{
    TableSchema table;
    table.Name = name;
    table.Attributes = attributes;
    QHash<QString, bool> zeroLength;
    if (HasMetadata()) {
        cSqliteStatement rules(m_db, QStringLiteral("SELECT FieldName, AllowZeroLength FROM %1 WHERE TableName = ?")
                                         .arg(kFieldsTable));
        rules.Bind(1, name);
        while (rules.Step())
            zeroLength.insert(rules.Text(0).toCaseFolded(), rules.Int(1) != 0);
    }
    cSqliteStatement columns(m_db, QStringLiteral("PRAGMA table_xinfo(%1)").arg(QuoteName(name)));
    while (columns.Step()) {
        if (columns.Int(6) == 1) // hidden columns of virtual tables
            continue;
        FieldSchema field;
        field.Name = columns.Text(1);
        field.Type = JetTypeOfSqliteDeclared(columns.Text(2), field.Size);
        field.Required = columns.Int(3) != 0;
        field.DefaultValue = columns.IsNull(4) ? QString() : JetDefaultText(columns.Text(4));
        field.AllowZeroLength = JetType::IsText(field.Type) && zeroLength.value(field.Name.toCaseFolded(), true);
        field.SourceTable = name;
        field.SourceField = field.Name;
        const char* collation = nullptr;
        if (sqlite3_table_column_metadata(m_db, "main", name.toUtf8().constData(), field.Name.toUtf8().constData(),
                                          nullptr, &collation, nullptr, nullptr, nullptr) == SQLITE_OK && collation)
            field.Collation = QString::fromUtf8(collation);
        table.Fields << field;
    }
    return table;
}

bool cSqliteDriver::NameTaken(const QString& name)
{
    cSqliteStatement find(Handle(), QStringLiteral("SELECT 1 FROM sqlite_master WHERE type IN ('table', 'view') "
                                                   "AND name = ? COLLATE NOCASE"));
    find.Bind(1, name);
    return find.Step();
}

void cSqliteDriver::CheckNewField(const TableSchema& table, const FieldSchema& field, const QString& replacing) const
{
    CheckName(field.Name);
    for (const FieldSchema& other : table.Fields) {
        if (SameName(other.Name, field.Name) && !SameName(other.Name, replacing))
            RaiseJetError(JetError::DuplicateField, {field.Name});
    }
    SqliteDeclaredType(field); // refuses unknown types
    if (field.Type == JetType::Text && (field.Size <= 0 || field.Size > kJetMaxTextSize))
        RaiseJetError(JetError::InvalidSize, {field.Name});
}

void cSqliteDriver::SetZeroLengthRule(const QString& table, const FieldSchema& field)
{
    EnsureMetadata();
    cSqliteStatement write(m_db, QStringLiteral("INSERT OR REPLACE INTO %1 VALUES (?, ?, ?)").arg(kFieldsTable));
    write.Bind(1, table);
    write.Bind(2, field.Name);
    write.Bind(3, qint64(field.AllowZeroLength ? 1 : 0));
    write.Run();
}

void cSqliteDriver::CreateTable(const TableSchema& table)
{
    RequireWritable();
    CheckName(table.Name);
    if (NameTaken(table.Name))
        RaiseJetError(JetError::TableExists, {table.Name});
    if (table.Fields.isEmpty())
        RaiseJetError(JetError::NoFields, {table.Name});
    TableSchema seen;
    QStringList columns;
    for (const FieldSchema& field : table.Fields) {
        CheckNewField(seen, field, QString());
        seen.Fields << field;
        columns << ColumnDefinition(field);
    }
    // An index's keys: its fields, each as the table spells it, in their order.
    auto keysOf = [&](const IndexSchema& index) {
        QStringList keys;
        for (qsizetype k = 0; k < index.Fields.size(); ++k) {
            const auto field = std::find_if(table.Fields.begin(), table.Fields.end(), [&](const FieldSchema& f) {
                return SameName(f.Name, index.Fields[k]);
            });
            if (field == table.Fields.end())
                RaiseJetError(JetError::ItemNotFound, {index.Fields[k]});
            keys << QuoteName(field->Name) + (index.Descending.value(k) ? QLatin1String(" DESC") : QLatin1String(""));
        }
        if (keys.isEmpty())
            RaiseJetError(JetError::NoFields, {index.Name});
        return keys.join(QLatin1String(", "));
    };
    bool primary = false;
    for (const IndexSchema& index : table.Indexes) {
        if (index.Primary && !primary) {
            columns << QStringLiteral("PRIMARY KEY (%1)").arg(keysOf(index));
            primary = true;
        }
    }
    InTransaction([&] {
        ExecSql(m_db, QStringLiteral("CREATE TABLE %1 (%2)").arg(QuoteName(table.Name), columns.join(QLatin1String(", "))));
        for (const FieldSchema& field : table.Fields)
            SetZeroLengthRule(table.Name, field);
        // Index names are the table's own; the engine keeps one set for the whole file.
        for (const IndexSchema& index : table.Indexes) {
            if (index.Primary)
                continue;
            ExecSql(m_db, QStringLiteral("CREATE %1INDEX %2 ON %3 (%4)")
                              .arg(index.Unique ? QStringLiteral("UNIQUE ") : QString(),
                                   QuoteName(table.Name + u'.' + index.Name), QuoteName(table.Name), keysOf(index)));
        }
    });
}

void cSqliteDriver::DropTable(const QString& name)
{
    RequireWritable();
    const auto table = FindTable(name);
    if (!table)
        RaiseJetError(JetError::ItemNotFound, {name});
    // With relations checked, DROP TABLE first deletes every row: another table's rows
    // that refer to them would go (cascade), lose their reference, or be left dangling.
    for (const SqliteRelation& relation : SqliteRelations(m_db)) {
        if (SameName(relation.Parent, table->Name) && !SameName(relation.Child, table->Name))
            RaiseJetError(JetError::InRelation, {table->Name});
    }
    InTransaction([&] {
        ExecSql(m_db, QStringLiteral("DROP TABLE %1").arg(QuoteName(table->Name)));
        if (HasMetadata()) {
            cSqliteStatement forget(m_db, QStringLiteral("DELETE FROM %1 WHERE TableName = ?").arg(kFieldsTable));
            forget.Bind(1, table->Name);
            forget.Run();
        }
    });
}

void cSqliteDriver::AddField(const QString& tableName, const FieldSchema& field, int position, cWorkControl* control)
{
    RequireWritable();
    const auto table = FindTable(tableName);
    if (!table)
        RaiseJetError(JetError::ItemNotFound, {tableName});
    CheckNewField(*table, field, QString());
    const qsizetype count = table->Fields.size();
    const bool atEnd = position < 0 || position >= count;
    WithoutForeignKeys([&] {
        InTransaction([&] {
            cStructureProgress progress(m_db, control);
            MendLegacyCollation(m_db, *table, progress);
            if (atEnd && !field.Required) {
                ExecSql(m_db, QStringLiteral("ALTER TABLE %1 ADD COLUMN %2").arg(QuoteName(table->Name), ColumnDefinition(field)));
            } else {
                SqliteTableText text = SqliteTableTextOf(m_db, table->Name);
                text.Columns.insert(atEnd ? count : position, ColumnDefinition(field));
                RebuildSqliteTable(m_db, table->Name, text, field.Name, {}, progress);
            }
            SetZeroLengthRule(table->Name, field);
        });
    });
}

// A field that an index, a key, a relation (either way), a rule, a trigger or a stored
// query uses stays: SQLite refuses most of these itself, but not a relation from another
// table nor one declared on the field itself.
void cSqliteDriver::DropField(const QString& tableName, const QString& fieldName, cWorkControl* control)
{
    RequireWritable();
    const auto table = FindTable(tableName);
    if (!table)
        RaiseJetError(JetError::ItemNotFound, {tableName});
    const auto found = std::find_if(table->Fields.begin(), table->Fields.end(),
                                    [&](const FieldSchema& f) { return SameName(f.Name, fieldName); });
    if (found == table->Fields.end())
        RaiseJetError(JetError::ItemNotFound, {fieldName});
    for (const SqliteRelation& relation : SqliteRelations(m_db)) {
        if ((SameName(relation.Child, table->Name) && SameName(relation.ChildField, found->Name))
            || (SameName(relation.Parent, table->Name) && SameName(relation.ParentField, found->Name)))
            RaiseJetError(JetError::FieldInIndex, {found->Name});
    }
    InTransaction([&] {
        cStructureProgress progress(m_db, control);
        const int rc = sqlite3_exec(m_db, QStringLiteral("ALTER TABLE %1 DROP COLUMN %2")
                                              .arg(QuoteName(table->Name), QuoteName(found->Name)).toUtf8().constData(),
                                    nullptr, nullptr, nullptr);
        if (rc != SQLITE_OK) {
            const QString message = QString::fromUtf8(sqlite3_errmsg(m_db));
            if (message.startsWith(QLatin1String("cannot drop")) || message.contains(QLatin1String("after drop column")))
                RaiseJetError(JetError::FieldInIndex, {found->Name});
            ThrowSqliteError(m_db, rc);
        }
        if (HasMetadata()) {
            cSqliteStatement forget(m_db, QStringLiteral("DELETE FROM %1 WHERE TableName = ? AND FieldName = ?")
                                              .arg(kFieldsTable));
            forget.Bind(1, table->Name);
            forget.Bind(2, found->Name);
            forget.Run();
        }
    });
}

void cSqliteDriver::AlterField(const QString& tableName, const QString& fieldName, const FieldSchema& changed,
                               int position, cWorkControl* control)
{
    RequireWritable();
    auto table = FindTable(tableName);
    if (!table)
        RaiseJetError(JetError::ItemNotFound, {tableName});
    const qsizetype index = std::find_if(table->Fields.begin(), table->Fields.end(),
                                         [&](const FieldSchema& f) { return SameName(f.Name, fieldName); })
                            - table->Fields.begin();
    if (index >= table->Fields.size())
        RaiseJetError(JetError::ItemNotFound, {fieldName});
    CheckNewField(*table, changed, fieldName);
    const FieldSchema current = table->Fields[index];
    const bool moved = position >= 0 && position != index && position < table->Fields.size();
    const bool sized = changed.Type == JetType::Text || changed.Type == JetType::Binary;
    const bool retyped = current.Type != changed.Type || (sized && current.Size != changed.Size);
    const bool required = current.Required != changed.Required;
    const bool defaulted = current.DefaultValue.trimmed() != changed.DefaultValue.trimmed();
    WithoutForeignKeys([&] {
        InTransaction([&] {
            cStructureProgress progress(m_db, control);
            MendLegacyCollation(m_db, *table, progress);
            if (current.Name != changed.Name) {
                const QList<SqliteStoredQuery> queries = HasMetadata() ? SqliteStoredQueries(m_db) : QList<SqliteStoredQuery>();
                ExecSql(m_db, QStringLiteral("ALTER TABLE %1 RENAME COLUMN %2 TO %3")
                                  .arg(QuoteName(table->Name), QuoteName(current.Name), QuoteName(changed.Name)));
                FollowRenamedField(m_db, queries, current.Name, changed.Name);
                if (HasMetadata()) {
                    cSqliteStatement forget(m_db, QStringLiteral("DELETE FROM %1 WHERE TableName = ? AND FieldName = ?")
                                                      .arg(kFieldsTable));
                    forget.Bind(1, table->Name);
                    forget.Bind(2, current.Name);
                    forget.Run();
                }
                table->Fields[index].Name = changed.Name;
            }
            // Rows that the new rules would refuse stay as they are, and so does the field.
            const QString column = QuoteName(changed.Name);
            auto refuseIf = [&](const QString& condition, int error) {
                RefuseRowsWhere(m_db, table->Name, condition, error, changed.Name);
            };
            if (changed.Required && !current.Required)
                refuseIf(column + QLatin1String(" IS NULL"), JetError::Required);
            if (JetType::IsText(changed.Type) && !changed.AllowZeroLength && (current.AllowZeroLength || retyped))
                refuseIf(column + QLatin1String(" = '' COLLATE BINARY"), JetError::ZeroLength);
            if (changed.Type == JetType::Text && retyped && (current.Type != JetType::Text || changed.Size < current.Size))
                refuseIf(QStringLiteral("length(%1) > %2").arg(column, QString::number(changed.Size)), JetError::FieldTooSmall);
            if (moved || retyped || required || defaulted) {
                SqliteColumnChange change;
                change.Table = table->Name;
                change.Index = index;
                change.Position = moved ? position : -1;
                change.Changed = changed;
                change.Retyped = retyped;
                change.RequiredChanged = required;
                change.DefaultChanged = defaulted;
                if (retyped)
                    change.Type = SqliteDeclaredType(changed);
                if (defaulted && !changed.DefaultValue.trimmed().isEmpty())
                    change.Default = SqliteDefaultLiteral(changed.DefaultValue);
                ChangeSqliteColumn(m_db, change, progress);
            }
            SetZeroLengthRule(table->Name, changed);
        });
    });
}

void cSqliteDriver::MendLegacyCollations(cWorkControl* control)
{
    RequireWritable();
    for (const TableSchema& table : Tables()) {
        WithoutForeignKeys([&] {
            InTransaction([&] {
                cStructureProgress progress(m_db, control);
                MendLegacyCollation(m_db, table, progress);
            });
        });
    }
}

QList<QuerySchema> cSqliteDriver::Queries()
{
    QHash<QString, QString> written;
    if (HasMetadata()) {
        ReadingCatalogue([&] {
            cSqliteStatement texts(Handle(), QStringLiteral("SELECT Name, SQL FROM %1").arg(kSqliteQueriesTable));
            while (texts.Step())
                written.insert(texts.Text(0).toCaseFolded(), texts.Text(1));
        });
    }
    QList<QuerySchema> queries;
    cSqliteStatement views(Handle(), QStringLiteral("SELECT name, sql FROM sqlite_master WHERE type = 'view' ORDER BY rowid"));
    while (views.Step()) {
        QuerySchema query;
        query.Name = views.Text(0);
        const auto text = written.constFind(query.Name.toCaseFolded());
        query.Sql = text != written.cend() ? *text : SqliteViewBody(views.Text(1));
        queries << query;
    }
    return queries;
}

void cSqliteDriver::CreateQuery(const QuerySchema& query)
{
    RequireWritable();
    CheckName(query.Name);
    if (NameTaken(query.Name))
        RaiseJetError(JetError::ObjectExists, {query.Name});
    // The engine itself reads the query from its text.
    const QString sql = PortableTranslation(query.Sql);
    if (!AnalyseSelect(sql).IsSelect)
        RaiseJetError(JetError::InvalidOperation);
    InTransaction([&] {
        ExecSql(m_db, QStringLiteral("CREATE VIEW %1 AS %2").arg(QuoteName(query.Name), sql));
        // A view is checked only when read: read it now, so a bad text is refused here.
        cSqliteStatement(m_db, QStringLiteral("SELECT * FROM %1 LIMIT 0").arg(QuoteName(query.Name))).Run();
        EnsureMetadata();
        cSqliteStatement write(m_db, QStringLiteral("INSERT OR REPLACE INTO %1 VALUES (?, ?)").arg(kSqliteQueriesTable));
        write.Bind(1, query.Name);
        write.Bind(2, query.Sql);
        write.Run();
    });
}

void cSqliteDriver::DropQuery(const QString& name)
{
    RequireWritable();
    const auto queries = Queries();
    const auto found = std::find_if(queries.begin(), queries.end(), [&](const QuerySchema& q) { return SameName(q.Name, name); });
    if (found == queries.end())
        RaiseJetError(JetError::ItemNotFound, {name});
    InTransaction([&] {
        ExecSql(m_db, QStringLiteral("DROP VIEW %1").arg(QuoteName(found->Name)));
        if (HasMetadata()) {
            cSqliteStatement forget(m_db, QStringLiteral("DELETE FROM %1 WHERE Name = ?").arg(kSqliteQueriesTable));
            forget.Bind(1, found->Name);
            forget.Run();
        }
    });
}

void cSqliteDriver::AlterQuery(const QString& name, const QuerySchema& changed)
{
    RequireWritable();
    InTransaction([&] {
        DropQuery(name);
        CreateQuery(changed);
    });
}

std::unique_ptr<cCursor> cSqliteDriver::OpenCursor(const QString& sql)
{
    Handle();
    return std::make_unique<cSqliteCursor>(shared_from_this(), sql);
}
