#include "cSqliteDriver.h"

#include "cRuntimeError.h"
#include "cSqliteCursor.h"
#include "mConvert.h"
#include "mJetErrors.h"
#include "mJetSql.h"
#include "mJetSqlTokens.h"
#include "mSqliteIdentity.h"
#include "mSqliteSchema.h"
#include "mStringTable.h"
#include "cWorkControl.h"

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
// Text fields of files written before every SQLite program could read them name this
// collation: it stays registered so that they open, and goes when their structure changes.
const QString kLegacyCollation = QStringLiteral("QUARNEL");
// Built into every SQLite, and ignoring case as Jet's text does.
const QString kPortableCollation = QStringLiteral("NOCASE");
const QString kRebuildTable = QStringLiteral("QSysRebuild");
const QString kConversionRule = QStringLiteral("QSysConversion");
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

// A stored query: the Jet text it was written in and the view it became.
struct StoredQuery {
    QString Name;
    QString Jet;
    QString View;
};

QList<StoredQuery> StoredQueries(sqlite3* db)
{
    QList<StoredQuery> queries;
    cSqliteStatement read(db, QStringLiteral("SELECT q.Name, q.SQL, m.sql FROM %1 AS q JOIN sqlite_master AS m "
                                             "ON m.type = 'view' AND m.name = q.Name COLLATE NOCASE")
                                  .arg(kQueriesTable));
    while (read.Step())
        queries.append({read.Text(0), read.Text(1), read.Text(2)});
    return queries;
}

// A stored query's view is for other programs too: no collation only the engine has.
QString PortableTranslation(const QString& jet)
{
    JetSqliteTarget portable;
    portable.Collation = kPortableCollation;
    return TranslateJetSql(jet, portable);
}

QString ViewText(const QString& name, const QString& jet)
{
    return QStringLiteral("CREATE VIEW %1 AS %2").arg(QuoteName(name), PortableTranslation(jet));
}

// SQLite has rewritten the views that use a renamed field; the Jet text each was made
// from follows it. A name in the text may be the field or another one spelt alike (a
// field of another table, an alias): SQLite knows which, so every choice among the names
// spelt alike is tried, and a text is written back only when it makes exactly the view
// SQLite now has. Any other text stays as it was.
void FollowRenamedField(sqlite3* db, const QList<StoredQuery>& before, const QString& from, const QString& to)
{
    constexpr size_t kMostAlike = 8;
    using JetTokens::Kind;
    for (const StoredQuery& query : before) {
        cSqliteStatement read(db, QStringLiteral("SELECT sql FROM sqlite_master WHERE type = 'view' AND name = ?"));
        read.Bind(1, query.Name);
        if (!read.Step() || read.Text(0) == query.View)
            continue;
        const QString now = read.Text(0);
        try {
            if (ViewText(query.Name, query.Jet) != query.View)
                continue; // not the view this text makes today
            const auto tokens = JetTokens::Tokenise(query.Jet);
            std::vector<size_t> alike;
            for (size_t i = 0; i < tokens.size(); ++i) {
                if ((tokens[i].kind == Kind::Word || tokens[i].kind == Kind::Name) && SameName(tokens[i].text, from))
                    alike.push_back(i);
            }
            if (alike.empty() || alike.size() > kMostAlike)
                continue;
            for (unsigned choice = 1; choice < (1u << alike.size()); ++choice) {
                QString jet;
                qsizetype copied = 0;
                for (size_t n = 0; n < alike.size(); ++n) {
                    if ((choice & (1u << n)) == 0)
                        continue;
                    const size_t i = alike[n];
                    jet += query.Jet.mid(copied, tokens[i].pos - copied) + JetBracketName(to);
                    copied = i + 1 < tokens.size() ? tokens[i + 1].pos : query.Jet.size();
                }
                jet += query.Jet.mid(copied);
                if (ViewText(query.Name, jet) == now) {
                    cSqliteStatement write(db, QStringLiteral("UPDATE %1 SET SQL = ? WHERE Name = ?").arg(kQueriesTable));
                    write.Bind(1, jet);
                    write.Bind(2, query.Name);
                    write.Run();
                    break;
                }
            }
        } catch (const cRuntimeError&) {
            // a text this engine cannot read any more stays as it was
        }
    }
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
    return JetQuoteText(value);
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

// Progress and stopping of one structure change, through SQLite's progress handler; it
// is gone before the caller's transaction is undone, which it would otherwise break into.
class cStructureProgress {
public:
    cStructureProgress(sqlite3* db, cWorkControl* control) : m_db(db), m_control(control)
    {
        if (m_control)
            sqlite3_progress_handler(m_db, 1000, &cStructureProgress::OnProgress, this);
    }
    ~cStructureProgress()
    {
        if (m_control)
            sqlite3_progress_handler(m_db, 0, nullptr, nullptr);
    }
    cStructureProgress(const cStructureProgress&) = delete;
    cStructureProgress& operator=(const cStructureProgress&) = delete;

    // The rows about to be copied are the whole of the work.
    void Copying(const QString& countSql)
    {
        if (!m_control)
            return;
        // A table too small for the handler to be called at all stops here.
        if (m_control->StopRequested())
            RaiseJetError(JetError::Cancelled);
        cSqliteStatement count(m_db, countSql);
        m_total = count.Step() ? count.Int(0) : -1;
        m_control->SetTotal(m_total);
        m_control->SetDone(0);
    }
    // A copy's rows read so far are its full-scan steps; the statement must not be
    // looked at once it is gone, finished or not.
    void Watch(sqlite3_stmt* copy) { m_copy = copy; }
    void Copied()
    {
        m_copy = nullptr;
        if (m_control && m_total >= 0)
            m_control->SetDone(m_total);
    }

private:
    static int OnProgress(void* context)
    {
        auto* self = static_cast<cStructureProgress*>(context);
        if (self->m_control->StopRequested())
            return 1;
        if (self->m_copy)
            self->m_control->SetDone(sqlite3_stmt_status(self->m_copy, SQLITE_STMTSTATUS_FULLSCAN_STEP, 0));
        return 0;
    }

    sqlite3* m_db;
    cWorkControl* m_control;
    sqlite3_stmt* m_copy = nullptr;
    qint64 m_total = -1;
};

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
    for (const QByteArray& name : {QByteArray(kJetLocaleCollation), kLegacyCollation.toUtf8()})
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
                                                     .arg(kQueriesTable));
                while (texts.Step())
                    written.insert(texts.Text(0).toCaseFolded(), texts.Text(1));
            });
        }
    } catch (const cRuntimeError&) {
        written.clear();
    }
    JetSqliteTarget target;
    target.Collation = QString::fromLatin1(kJetLocaleCollation);
    // Queries that name each other several times over would grow without bound: past
    // these limits the views answer.
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
    return TranslateJetSql(jetSql, target);
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
    // Text fields get a collation every SQLite program has (the engine's own SQL compares
    // them by the database's locale); any other field keeps what it had.
    QString collation = field.Collation;
    if ((collation.isEmpty() && JetType::IsText(field.Type)) || SameName(collation, kLegacyCollation))
        collation = kPortableCollation;
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
    // With relations checked, DROP TABLE first deletes every row: another table's rows
    // that refer to them would go (cascade), lose their reference, or be left dangling.
    for (const Relation& relation : Relations()) {
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

// The table's own CREATE TABLE text, taken apart; a text that cannot be taken apart
// safely, or whose columns are not the ones SQLite lists, refuses the change.
SqliteTableText cSqliteDriver::TableText(const TableSchema& table)
{
    cSqliteStatement read(m_db, QStringLiteral("SELECT sql FROM sqlite_master WHERE type = 'table' AND name = ?"));
    read.Bind(1, table.Name);
    std::optional<SqliteTableText> text;
    if (read.Step())
        text = SplitCreateTable(read.Text(0));
    // SQLite's own view of the columns: names, and which are generated (never copied).
    QList<QPair<QString, bool>> columns;
    {
        cSqliteStatement list(m_db, QStringLiteral("SELECT name, hidden IN (2, 3) FROM pragma_table_xinfo(?)"));
        list.Bind(1, table.Name);
        while (list.Step())
            columns.append({list.Text(0), list.Int(1) != 0});
    }
    bool fits = text && text->Columns.size() == columns.size();
    for (qsizetype i = 0; fits && i < columns.size(); ++i) {
        const auto column = SplitColumnDefinition(text->Columns[i]);
        fits = column && SameName(column->Name, columns[i].first)
               && column->Has(SqliteColumnText::Kind::Generated) == columns[i].second;
    }
    if (!fits)
        throw cRuntimeError(JetError::InvalidOperation, FillPlaceholders(LoadString(10780), {table.Name}),
                            QStringLiteral("DAO.Field"));
    return *text;
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
            MendCollations(*table, progress);
            if (atEnd && !field.Required) {
                ExecSql(m_db, QStringLiteral("ALTER TABLE %1 ADD COLUMN %2").arg(QuoteName(table->Name), ColumnDefinition(field)));
            } else {
                SqliteTableText text = TableText(*table);
                text.Columns.insert(atEnd ? count : position, ColumnDefinition(field));
                Rebuild(table->Name, text, field.Name, {}, progress);
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
    for (const Relation& relation : Relations()) {
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
            MendCollations(*table, progress);
            if (current.Name != changed.Name) {
                const QList<StoredQuery> queries = HasMetadata() ? StoredQueries(m_db) : QList<StoredQuery>();
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
                cSqliteStatement find(m_db, QStringLiteral("SELECT 1 FROM %1 WHERE %2 LIMIT 1")
                                                .arg(QuoteName(table->Name), condition));
                if (find.Step())
                    RaiseJetError(error, {changed.Name});
            };
            if (changed.Required && !current.Required)
                refuseIf(column + QLatin1String(" IS NULL"), JetError::Required);
            if (JetType::IsText(changed.Type) && !changed.AllowZeroLength && (current.AllowZeroLength || retyped))
                refuseIf(column + QLatin1String(" = '' COLLATE BINARY"), JetError::ZeroLength);
            if (changed.Type == JetType::Text && retyped && (current.Type != JetType::Text || changed.Size < current.Size))
                refuseIf(QStringLiteral("length(%1) > %2").arg(column, QString::number(changed.Size)), JetError::FieldTooSmall);
            if (moved || retyped || required || defaulted) {
                SqliteTableText text = TableText(*table);
                auto definition = SplitColumnDefinition(text.Columns[index]);
                using Kind = SqliteColumnText::Kind;
                auto drop = [&](std::initializer_list<Kind> kinds) {
                    definition->Constraints.removeIf([&](const SqliteColumnText::Constraint& c) {
                        return std::find(kinds.begin(), kinds.end(), c.What) != kinds.end();
                    });
                };
                const QString oldType = definition->Type;
                if (retyped)
                    definition->Type = DeclaredTypeOf(changed);
                if (required) {
                    drop({Kind::NotNull, Kind::Null});
                    if (changed.Required)
                        definition->Constraints.append({Kind::NotNull, QStringLiteral("NOT NULL")});
                }
                if (defaulted) {
                    drop({Kind::Default});
                    if (!changed.DefaultValue.trimmed().isEmpty())
                        definition->Constraints.append({Kind::Default, QLatin1String("DEFAULT ")
                                                                           + DefaultLiteral(changed.DefaultValue)});
                }
                // A new type of the same affinity, or a rule the rows were just checked
                // against, leaves every stored value as it is: only the text changes. A
                // default does not: rows older than their column read it as their value.
                const QString lossy = retyped ? ConversionLoss(changed) : QString();
                const bool inPlace = !moved && !defaulted && !text.Strict
                                     && (!retyped || (AffinityOf(oldType) == AffinityOf(definition->Type)
                                                      && !IsKeyColumn(table->Name, changed.Name)));
                text.Columns[index] = definition->Definition();
                if (moved)
                    text.Columns.move(index, position);
                if (inPlace && !lossy.isEmpty())
                    refuseIf(lossy, JetError::Conversion);
                if (!inPlace || !ReplaceDefinition(table->Name, text))
                    Rebuild(table->Name, text, QString(), lossy, progress);
            }
            SetZeroLengthRule(table->Name, changed);
        });
    });
}

// A condition on the field after a change of its type that finds the values the new type
// could not take as they were: SQLite would keep them in the column as they are, which
// the engine would then read as something else.
QString cSqliteDriver::ConversionLoss(const FieldSchema& field)
{
    const QString column = QuoteName(field.Name);
    // Only an integer equals its own cast to one: a fraction, a text or a blob does not.
    // Cheaper than typeof(), as it is evaluated for every row copied.
    auto integer = [&](qint64 low, qint64 high) {
        return QStringLiteral("NOT (%1 = CAST(%1 AS INTEGER) AND %1 BETWEEN %2 AND %3)")
            .arg(column, QString::number(low), QString::number(high));
    };
    switch (field.Type) {
    case JetType::Boolean: return integer(-1, 1);
    case JetType::Byte: return integer(0, 255);
    case JetType::Integer: return integer(-32768, 32767);
    case JetType::Long: return integer(-2147483648LL, 2147483647LL);
    case JetType::Currency:
    case JetType::Single:
    case JetType::Double: return QStringLiteral("typeof(%1) IN ('text', 'blob')").arg(column);
    case JetType::Date:
        return QStringLiteral("typeof(%1) NOT IN ('text', 'null') OR %1 NOT GLOB "
                              "'[0-9][0-9][0-9][0-9]-[0-9][0-9]-[0-9][0-9]*'")
            .arg(column);
    default: return QString();
    }
}

QList<cSqliteDriver::Relation> cSqliteDriver::Relations()
{
    QStringList tables;
    {
        cSqliteStatement list(m_db, QStringLiteral("SELECT name FROM sqlite_master WHERE type = 'table'"));
        while (list.Step())
            tables << list.Text(0);
    }
    QList<Relation> relations;
    for (const QString& child : tables) {
        cSqliteStatement keys(m_db, QStringLiteral("PRAGMA foreign_key_list(%1)").arg(QuoteName(child)));
        while (keys.Step()) {
            Relation relation{child, keys.Text(3), keys.Text(2), keys.Text(4)};
            if (keys.IsNull(4)) { // the parent's primary key
                cSqliteStatement parent(m_db, QStringLiteral("SELECT name FROM pragma_table_info(?) WHERE pk = ? + 1"));
                parent.Bind(1, relation.Parent);
                parent.Bind(2, keys.Int(1));
                if (parent.Step())
                    relation.ParentField = parent.Text(0);
            }
            relations << relation;
        }
    }
    return relations;
}

// Rows of the table, and of the tables that refer to it, whose relations do not hold;
// −1 when they cannot be checked (a relation to a key that is not unique).
qint64 cSqliteDriver::BrokenRelations(const QString& table)
{
    QStringList checked{table};
    for (const Relation& relation : Relations()) {
        if (SameName(relation.Parent, table) && !checked.contains(relation.Child, Qt::CaseInsensitive))
            checked << relation.Child;
    }
    qint64 broken = 0;
    try {
        for (const QString& name : checked) {
            cSqliteStatement check(m_db, QStringLiteral("PRAGMA foreign_key_check(%1)").arg(QuoteName(name)));
            while (check.Step())
                ++broken;
        }
    } catch (const cRuntimeError&) {
        return -1;
    }
    return broken;
}

bool cSqliteDriver::SchemaWritable() const
{
    int defensive = 0;
    sqlite3_db_config(m_db, SQLITE_DBCONFIG_DEFENSIVE, -1, &defensive);
    return defensive == 0;
}

bool cSqliteDriver::IsKeyColumn(const QString& table, const QString& column)
{
    cSqliteStatement key(m_db, QStringLiteral("SELECT pk FROM pragma_table_info(?) WHERE name = ?"));
    key.Bind(1, table);
    key.Bind(2, column);
    return key.Step() && key.Int(0) > 0;
}

// SQLite's way to change a table's rules without touching its rows: its definition text
// is replaced and the schema version moved on, so every connection reads it anew. False
// when the file does not allow its definitions to be written (defensive mode).
bool cSqliteDriver::ReplaceDefinition(const QString& table, const SqliteTableText& text)
{
    if (!SchemaWritable())
        return false;
    // A text SQLite would not take would leave the whole file unreadable: it makes a
    // table of its own first.
    ExecSql(m_db, QStringLiteral("DROP TABLE IF EXISTS %1").arg(QuoteName(kRebuildTable)));
    ExecSql(m_db, text.Create(QuoteName(kRebuildTable)));
    ExecSql(m_db, QStringLiteral("DROP TABLE %1").arg(QuoteName(kRebuildTable)));
    qint64 version = 0;
    {
        cSqliteStatement read(m_db, QStringLiteral("PRAGMA schema_version"));
        if (read.Step())
            version = read.Int(0);
    }
    ExecSql(m_db, QStringLiteral("PRAGMA writable_schema = ON"));
    bool written = false;
    try {
        try {
            cSqliteStatement write(m_db, QStringLiteral("UPDATE sqlite_master SET sql = ? WHERE type = 'table' AND name = ?"));
            write.Bind(1, text.Create(QuoteName(table)));
            write.Bind(2, table);
            write.Run();
            written = sqlite3_changes(m_db) == 1;
        } catch (const cRuntimeError&) {
            written = false;
        }
        if (written)
            ExecSql(m_db, QStringLiteral("PRAGMA schema_version = %1").arg(version + 1));
    } catch (...) {
        sqlite3_exec(m_db, "PRAGMA writable_schema = OFF", nullptr, nullptr, nullptr);
        throw;
    }
    ExecSql(m_db, QStringLiteral("PRAGMA writable_schema = OFF"));
    return written;
}

void cSqliteDriver::MendLegacyCollations(cWorkControl* control)
{
    RequireWritable();
    for (const TableSchema& table : Tables()) {
        WithoutForeignKeys([&] {
            InTransaction([&] {
                cStructureProgress progress(m_db, control);
                MendCollations(table, progress);
            });
        });
    }
}

// Text fields of an old file name a collation only the engine has: the first change of
// their table's structure gives them the portable one. The table is rebuilt, for its
// indexes must be built again in the new order. Runs as Rebuild does.
void cSqliteDriver::MendCollations(const TableSchema& table, cStructureProgress& progress)
{
    if (std::none_of(table.Fields.begin(), table.Fields.end(),
                     [](const FieldSchema& f) { return SameName(f.Collation, kLegacyCollation); }))
        return;
    std::optional<SqliteTableText> text;
    try {
        text = TableText(table);
    } catch (const cRuntimeError&) {
        return; // a text that cannot be taken apart is left as it is
    }
    static const QRegularExpression legacy(QStringLiteral("\\bCOLLATE\\s*[\"'`\\[]?QUARNEL[\"'`\\]]?\\s*$"),
                                           QRegularExpression::CaseInsensitiveOption);
    for (QString& definition : text->Columns) {
        auto column = SplitColumnDefinition(definition);
        if (!column)
            return;
        for (SqliteColumnText::Constraint& constraint : column->Constraints) {
            if (constraint.What == SqliteColumnText::Kind::Collate)
                constraint.Text.replace(legacy, QLatin1String("COLLATE ") + kPortableCollation);
        }
        definition = column->Definition();
    }
    Rebuild(table.Name, *text, QString(), QString(), progress);
}

// SQLite's way to change what ALTER TABLE cannot: a new table from the edited CREATE
// TABLE text, every row copied with its identity, the old table dropped, the new one
// renamed, its indexes and triggers made again from their own texts, the AUTOINCREMENT
// counter kept. added names the new column with no values; lossy finds values the copy
// could not keep. Runs inside the caller's transaction with relations switched off.
void cSqliteDriver::Rebuild(const QString& table, const SqliteTableText& text, const QString& added,
                            const QString& lossy, cStructureProgress& progress)
{
    QStringList dependents;
    {
        cSqliteStatement list(m_db, QStringLiteral("SELECT sql FROM sqlite_master WHERE tbl_name = ? AND type IN "
                                                   "('index', 'trigger') AND sql IS NOT NULL ORDER BY rowid"));
        list.Bind(1, table);
        while (list.Step())
            dependents << list.Text(0);
    }
    std::optional<qint64> sequence;
    if (cSqliteStatement(m_db, QStringLiteral("SELECT 1 FROM sqlite_master WHERE name = 'sqlite_sequence'")).Step()) {
        cSqliteStatement counter(m_db, QStringLiteral("SELECT seq FROM sqlite_sequence WHERE name = ?"));
        counter.Bind(1, table);
        if (counter.Step())
            sequence = counter.Int(0);
    }
    QStringList targets;
    QStringList columns;
    for (const QString& definition : text.Columns) {
        const auto column = SplitColumnDefinition(definition);
        columns << column->Name;
        if (!column->Has(SqliteColumnText::Kind::Generated) && !SameName(column->Name, added))
            targets << QuoteName(column->Name);
    }
    // Rows keep their identity under a name free in both tables: one the new table gives
    // a column would take the old identities as that column's values. An INTEGER PRIMARY
    // KEY carries the identity as a value of its own.
    QString identity;
    if (!text.WithoutRowid) {
        identity = SqliteRowIdentity(m_db, table, columns);
        if (identity.isEmpty())
            throw cRuntimeError(JetError::InvalidOperation, FillPlaceholders(LoadString(10797), {table}),
                                QStringLiteral("DAO.Field"));
        if (targets.contains(identity))
            identity.clear();
    }
    const QString copied = ((identity.isEmpty() ? QStringList() : QStringList{identity}) + targets).join(QLatin1String(", "));
    const qint64 brokenBefore = BrokenRelations(table);
    // Values the new type could not take are found as they are copied, by a rule of the
    // new table that goes once the table stands; where definitions may not be written,
    // by a search after the copy.
    const bool guarded = !lossy.isEmpty() && SchemaWritable();
    SqliteTableText created = text;
    if (guarded)
        created.Constraints << QStringLiteral("CONSTRAINT %1 CHECK (NOT (%2))").arg(QuoteName(kConversionRule), lossy);

    ExecSql(m_db, QStringLiteral("PRAGMA legacy_alter_table = ON"));
    try {
        ExecSql(m_db, QStringLiteral("DROP TABLE IF EXISTS %1").arg(QuoteName(kRebuildTable)));
        ExecSql(m_db, created.Create(QuoteName(kRebuildTable)));
        progress.Copying(QStringLiteral("SELECT count(*) FROM %1").arg(QuoteName(table)));
        {
            cSqliteStatement copy(m_db, QStringLiteral("INSERT INTO %1 (%2) SELECT %2 FROM %3")
                                            .arg(QuoteName(kRebuildTable), copied, QuoteName(table)));
            progress.Watch(copy.get());
            try {
                copy.Run();
            } catch (const cRuntimeError& e) {
                progress.Watch(nullptr);
                if (guarded && e.Number() == JetError::RuleViolated && e.Description().contains(kConversionRule))
                    RaiseJetError(JetError::Conversion);
                throw;
            } catch (...) {
                progress.Watch(nullptr);
                throw;
            }
            progress.Copied();
        }
        if (!lossy.isEmpty() && !guarded) {
            cSqliteStatement find(m_db, QStringLiteral("SELECT 1 FROM %1 WHERE %2 LIMIT 1").arg(QuoteName(kRebuildTable), lossy));
            if (find.Step())
                RaiseJetError(JetError::Conversion);
        }
        {
            // Wiping every page of the old table would cost more than copying it, and would
            // hide nothing: its values all stand in the new one.
            cSqliteStatement mode(m_db, QStringLiteral("PRAGMA secure_delete"));
            const qint64 secure = mode.Step() ? mode.Int(0) : 0;
            if (secure == 1)
                ExecSql(m_db, QStringLiteral("PRAGMA secure_delete = FAST"));
            try {
                ExecSql(m_db, QStringLiteral("DROP TABLE %1").arg(QuoteName(table)));
            } catch (...) {
                sqlite3_exec(m_db, QStringLiteral("PRAGMA secure_delete = %1").arg(secure).toUtf8().constData(), nullptr,
                             nullptr, nullptr);
                throw;
            }
            ExecSql(m_db, QStringLiteral("PRAGMA secure_delete = %1").arg(secure));
        }
        ExecSql(m_db, QStringLiteral("ALTER TABLE %1 RENAME TO %2").arg(QuoteName(kRebuildTable), QuoteName(table)));
        if (guarded && !ReplaceDefinition(table, text))
            RaiseJetError(JetError::InvalidOperation);
        for (const QString& sql : dependents)
            ExecSql(m_db, sql);
        if (sequence) {
            cSqliteStatement keep(m_db, QStringLiteral("UPDATE sqlite_sequence SET seq = max(seq, ?) WHERE name = ?"));
            keep.Bind(1, *sequence);
            keep.Bind(2, table);
            keep.Run();
            if (sqlite3_changes(m_db) == 0) {
                cSqliteStatement add(m_db, QStringLiteral("INSERT INTO sqlite_sequence (name, seq) VALUES (?, ?)"));
                add.Bind(1, table);
                add.Bind(2, *sequence);
                add.Run();
            }
        }
        ExecSql(m_db, QStringLiteral("PRAGMA legacy_alter_table = OFF"));
    } catch (...) {
        sqlite3_exec(m_db, "PRAGMA legacy_alter_table = OFF", nullptr, nullptr, nullptr);
        throw;
    }
    if (brokenBefore >= 0 && BrokenRelations(table) > brokenBefore)
        RaiseJetError(JetError::RelatedRecords);
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
    // The engine itself reads the query from its text.
    const QString sql = PortableTranslation(query.Sql);
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
