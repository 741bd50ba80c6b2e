#include "cSqliteDriver.h"

#include "cRuntimeError.h"
#include "cSqliteCursor.h"
#include "mConvert.h"
#include "mJetErrors.h"
#include "mJetSql.h"

#include <algorithm>
#include <chrono>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QRegularExpression>

#include <fcntl.h>
#include <unistd.h>

namespace {

const QString kFieldsTable = QStringLiteral("QSysFields");
const QString kQueriesTable = QStringLiteral("QSysQueries");
const QString kDatabaseTable = QStringLiteral("QSysDatabase");
const QString kCollation = QStringLiteral("QUARNEL");
const QString kRebuildTable = QStringLiteral("QSysRebuild");
constexpr qint32 kMaxTextSize = 255;
// Identifies the engine's own files among other SQLite files ("QRNL").
constexpr int kApplicationId = 0x51524E4C;

bool SameName(const QString& a, const QString& b)
{
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

bool IsSystemName(const QString& name)
{
    return name.startsWith(QLatin1String("sqlite_"), Qt::CaseInsensitive) || SameName(name, kFieldsTable)
           || SameName(name, kQueriesTable) || SameName(name, kDatabaseTable);
}

// Names follow the engine's rules: not empty, no leading blank, none of . ! [ ] ` and
// no control characters.
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

// A default value as an SQL literal: numbers as they are, anything else as text.
QString DefaultLiteral(const QString& text)
{
    QString value = text.trimmed();
    if (value.size() >= 2 && ((value.startsWith(u'"') && value.endsWith(u'"'))
                              || (value.startsWith(u'\'') && value.endsWith(u'\''))))
        value = value.mid(1, value.size() - 2);
    bool number = false;
    value.toDouble(&number);
    if (number && !value.isEmpty())
        return value;
    value.replace(u'\'', QLatin1String("''"));
    return u'\'' + value + u'\'';
}

// The default as the user sees it: an SQL literal without its quotes.
QString DefaultText(const QString& literal)
{
    if (literal.compare(QLatin1String("NULL"), Qt::CaseInsensitive) == 0)
        return QString();
    if (literal.size() >= 2 && literal.startsWith(u'\'') && literal.endsWith(u'\''))
        return literal.mid(1, literal.size() - 2).replace(QLatin1String("''"), QLatin1String("'"));
    return literal;
}

int gCatalogueLimit = 10000;

qint64 SteadyMs()
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

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
    // A file or folder we may not write to is opened for reading: changes then fail
    // with the read-only error rather than at the first write.
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

void cSqliteDriver::Interrupt()
{
    if (sqlite3* db = m_db)
        sqlite3_interrupt(db);
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
    sqlite3_create_collation_v2(m_db, kCollation.toUtf8().constData(), SQLITE_UTF16_ALIGNED, &m_collator,
                                CompareByLocale, nullptr);
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
                      .arg(kQueriesTable));
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
// relations are checked again once it stands.
template <typename Work>
void cSqliteDriver::WithoutForeignKeys(Work work)
{
    ExecSql(Handle(), QStringLiteral("PRAGMA foreign_keys = OFF"));
    try {
        work();
    } catch (...) {
        sqlite3_exec(m_db, "PRAGMA foreign_keys = ON", nullptr, nullptr, nullptr);
        throw;
    }
    ExecSql(m_db, QStringLiteral("PRAGMA foreign_keys = ON"));
}

int cSqliteDriver::JetTypeOfDeclared(const QString& declared, qint32& size)
{
    static const QRegularExpression shape(QStringLiteral("^\\s*([A-Za-z ]*?)\\s*(?:\\(\\s*(\\d+)[^)]*\\))?\\s*$"));
    const auto match = shape.match(declared);
    const QString word = (match.hasMatch() ? match.captured(1) : declared).trimmed().toUpper();
    const bool sized = match.hasMatch() && !match.captured(2).isEmpty();
    const qint32 length = sized ? qint32(qMin(match.captured(2).toLongLong(), qint64(1) << 30)) : 0;
    struct Named {
        const char* Word;
        int Type;
        qint32 Size;
    };
    static const Named exact[] = {
        {"BOOLEAN", JetType::Boolean, 1}, {"BOOL", JetType::Boolean, 1},      {"BIT", JetType::Boolean, 1},
        {"YESNO", JetType::Boolean, 1},   {"BYTE", JetType::Byte, 1},         {"TINYINT", JetType::Byte, 1},
        {"SMALLINT", JetType::Integer, 2}, {"SHORT", JetType::Integer, 2},    {"INTEGER", JetType::Long, 4},
        {"INT", JetType::Long, 4},        {"LONG", JetType::Long, 4},         {"COUNTER", JetType::Long, 4},
        {"CURRENCY", JetType::Currency, 8}, {"MONEY", JetType::Currency, 8}, {"SINGLE", JetType::Single, 4},
        {"FLOAT4", JetType::Single, 4},   {"DOUBLE", JetType::Double, 8},     {"FLOAT", JetType::Double, 8},
        {"REAL", JetType::Double, 8},     {"DATETIME", JetType::Date, 8},     {"DATE", JetType::Date, 8},
        {"TIME", JetType::Date, 8},       {"TIMESTAMP", JetType::Date, 8},    {"LONGTEXT", JetType::Memo, 0},
        {"MEMO", JetType::Memo, 0},       {"CLOB", JetType::Memo, 0},         {"BLOB", JetType::LongBinary, 0},
        {"LONGBINARY", JetType::LongBinary, 0}, {"GUID", JetType::Guid, 16},  {"UNIQUEIDENTIFIER", JetType::Guid, 16},
    };
    for (const Named& named : exact) {
        if (word == QLatin1String(named.Word)) {
            size = named.Size;
            return named.Type;
        }
    }
    if (word == QLatin1String("VARCHAR") || word == QLatin1String("CHAR") || word == QLatin1String("TEXT")
        || word == QLatin1String("NVARCHAR") || word == QLatin1String("NCHAR") || word == QLatin1String("CHARACTER")
        || word == QLatin1String("CHARACTER VARYING") || word == QLatin1String("VARYING CHARACTER")) {
        if (sized && length > 0 && length <= kMaxTextSize) {
            size = length;
            return JetType::Text;
        }
        size = 0;
        return JetType::Memo;
    }
    if (word == QLatin1String("VARBINARY") || word == QLatin1String("BINARY")) {
        size = length;
        return JetType::Binary;
    }
    // SQLite's own affinity rules for everything else.
    if (word.contains(QLatin1String("INT"))) {
        size = 4;
        return JetType::Long;
    }
    if (word.contains(QLatin1String("CHAR")) || word.contains(QLatin1String("CLOB")) || word.contains(QLatin1String("TEXT"))
        || word.isEmpty()) {
        size = 0;
        return JetType::Memo;
    }
    if (word.contains(QLatin1String("BLOB"))) {
        size = 0;
        return JetType::LongBinary;
    }
    size = 8;
    return JetType::Double;
}

QString cSqliteDriver::DeclaredTypeOf(const FieldSchema& field)
{
    switch (field.Type) {
    case JetType::Boolean: return QStringLiteral("BOOLEAN");
    case JetType::Byte: return QStringLiteral("BYTE");
    case JetType::Integer: return QStringLiteral("SMALLINT");
    case JetType::Long: return QStringLiteral("INTEGER");
    case JetType::Currency: return QStringLiteral("CURRENCY");
    case JetType::Single: return QStringLiteral("SINGLE");
    case JetType::Double: return QStringLiteral("DOUBLE");
    case JetType::Date: return QStringLiteral("DATETIME");
    case JetType::Binary: return QStringLiteral("VARBINARY(%1)").arg(field.Size > 0 ? field.Size : 255);
    case JetType::Text: return QStringLiteral("VARCHAR(%1)").arg(field.Size);
    case JetType::LongBinary: return QStringLiteral("LONGBINARY");
    case JetType::Memo: return QStringLiteral("LONGTEXT");
    case JetType::Guid: return QStringLiteral("GUID");
    default: RaiseJetError(JetError::InvalidFieldType, {field.Name});
    }
}

QString cSqliteDriver::ColumnDefinition(const FieldSchema& field) const
{
    QString definition = QuoteName(field.Name) + u' ' + DeclaredTypeOf(field);
    if (field.Required)
        definition += QLatin1String(" NOT NULL");
    if (!field.DefaultValue.trimmed().isEmpty())
        definition += QLatin1String(" DEFAULT ") + DefaultLiteral(field.DefaultValue);
    // New text fields compare by the database's locale; existing ones keep what they had,
    // so a table made by another program stays usable there.
    const QString collation = !field.Collation.isEmpty() ? field.Collation : JetType::IsText(field.Type) ? kCollation : QString();
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
        field.Type = JetTypeOfDeclared(columns.Text(2), field.Size);
        field.Required = columns.Int(3) != 0;
        field.DefaultValue = columns.IsNull(4) ? QString() : DefaultText(columns.Text(4));
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
    DeclaredTypeOf(field); // refuses unknown types
    if (field.Type == JetType::Text && (field.Size <= 0 || field.Size > kMaxTextSize))
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
                return f.Name.compare(index.Fields[k], Qt::CaseInsensitive) == 0;
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
    InTransaction([&] {
        ExecSql(m_db, QStringLiteral("DROP TABLE %1").arg(QuoteName(table->Name)));
        if (HasMetadata()) {
            cSqliteStatement forget(m_db, QStringLiteral("DELETE FROM %1 WHERE TableName = ?").arg(kFieldsTable));
            forget.Bind(1, table->Name);
            forget.Run();
        }
    });
}

void cSqliteDriver::AddField(const QString& tableName, const FieldSchema& field, int position)
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
        if (atEnd && !field.Required) {
            ExecSql(m_db, QStringLiteral("ALTER TABLE %1 ADD COLUMN %2").arg(QuoteName(table->Name), ColumnDefinition(field)));
        } else {
            QList<FieldSchema> fields = table->Fields;
            QStringList sources;
            for (const FieldSchema& existing : fields)
                sources << existing.Name;
            const qsizetype at = atEnd ? count : position;
            fields.insert(at, field);
            sources.insert(at, QString());
            Rebuild(*table, fields, sources);
        }
        SetZeroLengthRule(table->Name, field);
    });
    });
}

void cSqliteDriver::DropField(const QString& tableName, const QString& fieldName)
{
    RequireWritable();
    const auto table = FindTable(tableName);
    if (!table)
        RaiseJetError(JetError::ItemNotFound, {tableName});
    const auto found = std::find_if(table->Fields.begin(), table->Fields.end(),
                                    [&](const FieldSchema& f) { return SameName(f.Name, fieldName); });
    if (found == table->Fields.end())
        RaiseJetError(JetError::ItemNotFound, {fieldName});
    InTransaction([&] {
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
                               int position)
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
    WithoutForeignKeys([&] {
    InTransaction([&] {
        if (current.Name != changed.Name) {
            ExecSql(m_db, QStringLiteral("ALTER TABLE %1 RENAME COLUMN %2 TO %3")
                              .arg(QuoteName(table->Name), QuoteName(current.Name), QuoteName(changed.Name)));
            if (HasMetadata()) {
                cSqliteStatement forget(m_db, QStringLiteral("DELETE FROM %1 WHERE TableName = ? AND FieldName = ?")
                                                  .arg(kFieldsTable));
                forget.Bind(1, table->Name);
                forget.Bind(2, current.Name);
                forget.Run();
            }
            table->Fields[index].Name = changed.Name;
        }
        const bool moved = position >= 0 && position != index && position < table->Fields.size();
        const bool reshaped = current.Type != changed.Type || (changed.Type == JetType::Text && current.Size != changed.Size)
                              || current.Required != changed.Required
                              || current.DefaultValue.trimmed() != changed.DefaultValue.trimmed();
        if (moved || reshaped) {
            QList<FieldSchema> fields = table->Fields;
            QStringList sources;
            for (const FieldSchema& field : fields)
                sources << field.Name;
            fields[index] = changed;
            if (moved) {
                fields.move(index, position);
                sources.move(index, position);
            }
            Rebuild(*table, fields, sources);
        }
        SetZeroLengthRule(table->Name, changed);
    });
    });
}

// Rebuilds a table with new columns in place of the old ones, keeping every row with its
// identity, every index, trigger, key and relation. sources names the old column each
// new one is filled from (empty for a new column).
void cSqliteDriver::Rebuild(const TableSchema& table, const QList<FieldSchema>& fields, const QStringList& sources)
{
    // Indexes, triggers, keys and relations to carry over.
    QStringList dependents;
    {
        cSqliteStatement list(m_db, QStringLiteral("SELECT sql FROM sqlite_master WHERE tbl_name = ? AND type IN "
                                                   "('index', 'trigger') AND sql IS NOT NULL"));
        list.Bind(1, table.Name);
        while (list.Step())
            dependents << list.Text(0);
    }
    QString createSql;
    {
        cSqliteStatement read(m_db, QStringLiteral("SELECT sql FROM sqlite_master WHERE type = 'table' AND name = ?"));
        read.Bind(1, table.Name);
        if (read.Step())
            createSql = read.Text(0);
    }
    QList<QPair<int, QString>> keyColumns;
    {
        cSqliteStatement info(m_db, QStringLiteral("PRAGMA table_info(%1)").arg(QuoteName(table.Name)));
        while (info.Step()) {
            if (info.Int(5) > 0)
                keyColumns << qMakePair(int(info.Int(5)), info.Text(1));
        }
    }
    std::sort(keyColumns.begin(), keyColumns.end());
    QStringList definitions;
    QString rowidColumn;
    if (keyColumns.size() == 1) {
        const auto key = std::find_if(fields.begin(), fields.end(),
                                      [&](const FieldSchema& f) { return SameName(f.Name, keyColumns[0].second); });
        if (key != fields.end() && key->Type == JetType::Long)
            rowidColumn = key->Name;
    }
    for (const FieldSchema& field : fields) {
        QString definition = ColumnDefinition(field);
        if (SameName(field.Name, rowidColumn)) {
            definition = QuoteName(field.Name) + QLatin1String(" INTEGER PRIMARY KEY")
                         + (createSql.contains(QLatin1String("AUTOINCREMENT"), Qt::CaseInsensitive)
                                ? QLatin1String(" AUTOINCREMENT") : QLatin1String(""));
        }
        definitions << definition;
    }
    if (!keyColumns.isEmpty() && rowidColumn.isEmpty()) {
        QStringList names;
        for (const auto& key : keyColumns)
            names << QuoteName(key.second);
        definitions << QStringLiteral("PRIMARY KEY (%1)").arg(names.join(QLatin1String(", ")));
    }
    {
        cSqliteStatement indexes(m_db, QStringLiteral("PRAGMA index_list(%1)").arg(QuoteName(table.Name)));
        QStringList uniques;
        while (indexes.Step()) {
            if (indexes.Text(3) == QLatin1String("u"))
                uniques << indexes.Text(1);
        }
        for (const QString& index : uniques) {
            cSqliteStatement columns(m_db, QStringLiteral("PRAGMA index_info(%1)").arg(QuoteName(index)));
            QStringList names;
            while (columns.Step())
                names << QuoteName(columns.Text(2));
            definitions << QStringLiteral("UNIQUE (%1)").arg(names.join(QLatin1String(", ")));
        }
    }
    {
        cSqliteStatement keys(m_db, QStringLiteral("PRAGMA foreign_key_list(%1)").arg(QuoteName(table.Name)));
        QMap<qint64, QStringList> from, to;
        QMap<qint64, QString> target, onUpdate, onDelete;
        while (keys.Step()) {
            const qint64 id = keys.Int(0);
            target[id] = keys.Text(2);
            from[id] << QuoteName(keys.Text(3));
            if (!keys.IsNull(4))
                to[id] << QuoteName(keys.Text(4));
            onUpdate[id] = keys.Text(5);
            onDelete[id] = keys.Text(6);
        }
        for (auto it = from.cbegin(); it != from.cend(); ++it) {
            const qint64 id = it.key();
            definitions << QStringLiteral("FOREIGN KEY (%1) REFERENCES %2%3 ON UPDATE %4 ON DELETE %5")
                               .arg(it.value().join(QLatin1String(", ")), QuoteName(target[id]),
                                    to[id].isEmpty() ? QString() : u'(' + to[id].join(QLatin1String(", ")) + u')',
                                    onUpdate[id], onDelete[id]);
        }
    }
    QStringList targets{QStringLiteral("rowid")};
    QStringList values{QStringLiteral("rowid")};
    for (qsizetype i = 0; i < fields.size(); ++i) {
        if (!sources[i].isEmpty()) {
            targets << QuoteName(fields[i].Name);
            values << QuoteName(sources[i]);
        }
    }
    ExecSql(m_db, QStringLiteral("PRAGMA legacy_alter_table = ON"));
    try {
        ExecSql(m_db, QStringLiteral("DROP TABLE IF EXISTS %1").arg(QuoteName(kRebuildTable)));
        ExecSql(m_db, QStringLiteral("CREATE TABLE %1 (%2)").arg(QuoteName(kRebuildTable), definitions.join(QLatin1String(", "))));
        ExecSql(m_db, QStringLiteral("INSERT INTO %1 (%2) SELECT %3 FROM %4")
                          .arg(QuoteName(kRebuildTable), targets.join(QLatin1String(", ")),
                               values.join(QLatin1String(", ")), QuoteName(table.Name)));
        ExecSql(m_db, QStringLiteral("DROP TABLE %1").arg(QuoteName(table.Name)));
        ExecSql(m_db, QStringLiteral("ALTER TABLE %1 RENAME TO %2").arg(QuoteName(kRebuildTable), QuoteName(table.Name)));
        for (const QString& sql : dependents)
            ExecSql(m_db, sql);
        ExecSql(m_db, QStringLiteral("PRAGMA legacy_alter_table = OFF"));
    } catch (...) {
        sqlite3_exec(m_db, "PRAGMA legacy_alter_table = OFF", nullptr, nullptr, nullptr);
        throw;
    }
}

QList<QuerySchema> cSqliteDriver::Queries()
{
    QHash<QString, QString> written;
    if (HasMetadata()) {
        ReadingCatalogue([&] {
            cSqliteStatement texts(Handle(), QStringLiteral("SELECT Name, SQL FROM %1").arg(kQueriesTable));
            while (texts.Step())
                written.insert(texts.Text(0).toCaseFolded(), texts.Text(1));
        });
    }
    QList<QuerySchema> queries;
    cSqliteStatement views(Handle(), QStringLiteral("SELECT name, sql FROM sqlite_master WHERE type = 'view' ORDER BY rowid"));
    static const QRegularExpression body(QStringLiteral("^\\s*CREATE\\s+(?:TEMP\\w*\\s+)?VIEW\\s+.*?\\s+AS\\s+(.*)$"),
                                         QRegularExpression::CaseInsensitiveOption
                                             | QRegularExpression::DotMatchesEverythingOption);
    while (views.Step()) {
        QuerySchema query;
        query.Name = views.Text(0);
        const auto text = written.constFind(query.Name.toCaseFolded());
        query.Sql = text != written.cend() ? *text : body.match(views.Text(1)).captured(1);
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
    const QString sql = TranslateJetSql(query.Sql);
    if (!AnalyseSelect(sql).IsSelect)
        RaiseJetError(JetError::InvalidOperation);
    InTransaction([&] {
        ExecSql(m_db, QStringLiteral("CREATE VIEW %1 AS %2").arg(QuoteName(query.Name), sql));
        // A view is checked only when read: read it now, so a bad text is refused here.
        cSqliteStatement(m_db, QStringLiteral("SELECT * FROM %1 LIMIT 0").arg(QuoteName(query.Name))).Run();
        EnsureMetadata();
        cSqliteStatement write(m_db, QStringLiteral("INSERT OR REPLACE INTO %1 VALUES (?, ?)").arg(kQueriesTable));
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
            cSqliteStatement forget(m_db, QStringLiteral("DELETE FROM %1 WHERE Name = ?").arg(kQueriesTable));
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
