#include "cMdbDriver.h"

#include "cRuntimeError.h"
#include "cSqliteDriver.h"
#include "cSqliteStatement.h"
#include "mConvert.h"
#include "mJetErrors.h"
#include "mJetSql.h"
#include "mMdbFrames.h"
#include "mNames.h"
#include "mSqliteTypes.h"
#include "mStringTable.h"

#include <QDate>
#include <QTime>
#include <QtEndian>

#include <cmath>
#include <cstring>

namespace {

const QString kSource = QStringLiteral("DAO.Database");
constexpr int kTotalInWhere = 3096; // Jet's number for an aggregate in WHERE

// A Jet date (days since 1899-12-30, the fraction the time of day even before that day)
// as the engine stores dates; empty when it is not a date Jet can hold.
QByteArray DateText(double value)
{
    if (!std::isfinite(value) || value < -657434.0 || value > 2958466.0)
        return QByteArray();
    const double day = std::trunc(value);
    qint64 seconds = std::llround(std::fabs(value - day) * 86400.0);
    qint64 days = qint64(day);
    if (seconds >= 86400) {
        seconds -= 86400;
        ++days; // midnight of the next day, before 1899 as after: the time counts forwards
        if (days > 2958465) { // the last second of 9999 rounded up: no later day to carry into
            days = 2958465;
            seconds = 86399;
        }
    }
    const QDate date = QDate(1899, 12, 30).addDays(days);
    if (!date.isValid() || date.year() < 100 || date.year() > 9999)
        return QByteArray();
    const QTime time = QTime(0, 0).addSecs(int(seconds));
    return (date.toString(QStringLiteral("yyyy-MM-dd")) + u' ' + time.toString(QStringLiteral("HH:mm:ss"))).toLatin1();
}

QString GuidText(const unsigned char* b)
{
    return QString::asprintf("{%02X%02X%02X%02X-%02X%02X-%02X%02X-%02X%02X-%02X%02X%02X%02X%02X%02X}", b[3], b[2], b[1],
                             b[0], b[5], b[4], b[7], b[6], b[8], b[9], b[10], b[11], b[12], b[13], b[14], b[15]);
}

// One value as the reader sent it, bound as the copy keeps its kind.
void BindStored(sqlite3_stmt* statement, int at, int mdbType, const QByteArray& v)
{
    const auto* b = reinterpret_cast<const unsigned char*>(v.constData());
    switch (mdbType) {
    case kMdbBool: sqlite3_bind_int64(statement, at, b[0] ? -1 : 0); break;
    case kMdbByte: sqlite3_bind_int64(statement, at, b[0]); break;
    case kMdbInt: sqlite3_bind_int64(statement, at, qFromLittleEndian<qint16>(b)); break;
    case kMdbLong: sqlite3_bind_int64(statement, at, qFromLittleEndian<qint32>(b)); break;
    case kMdbMoney: sqlite3_bind_double(statement, at, double(qFromLittleEndian<qint64>(b)) / 10000.0); break;
    case kMdbFloat: {
        float value = 0;
        std::memcpy(&value, b, 4);
        sqlite3_bind_double(statement, at, double(qFromLittleEndian(value)));
        break;
    }
    case kMdbDouble: {
        double value = 0;
        std::memcpy(&value, b, 8);
        sqlite3_bind_double(statement, at, qFromLittleEndian(value));
        break;
    }
    case kMdbNumeric: sqlite3_bind_double(statement, at, v.toDouble()); break;
    case kMdbDate: {
        double value = 0;
        std::memcpy(&value, b, 8);
        QByteArray date = DateText(qFromLittleEndian(value));
        if (date.isEmpty())
            date = LoadString(10723).toUtf8(); // never a wrong date, never a Null that is not one
        sqlite3_bind_text(statement, at, date.constData(), int(date.size()), SQLITE_TRANSIENT);
        break;
    }
    case kMdbGuid: {
        const QByteArray guid = GuidText(b).toLatin1();
        sqlite3_bind_text(statement, at, guid.constData(), int(guid.size()), SQLITE_TRANSIENT);
        break;
    }
    case kMdbText:
    case kMdbMemo: sqlite3_bind_text(statement, at, v.constData(), int(v.size()), SQLITE_STATIC); break;
    case kMdbBinary:
    case kMdbOle: sqlite3_bind_blob(statement, at, v.constData(), int(v.size()), SQLITE_STATIC); break;
    default: sqlite3_bind_null(statement, at); break;
    }
}

} // namespace

bool cMdbDriver::HasSignature(const QByteArray& head)
{
    return head.size() >= 20 && (head.mid(4, 15) == "Standard Jet DB" || head.mid(4, 15) == "Standard ACE DB");
}

void cMdbDriver::SetHelperTimeout(int milliseconds)
{
    cMdbReader::SetTimeout(milliseconds);
}

void cMdbDriver::SetHelperDeadline(int milliseconds)
{
    cMdbReader::SetDeadline(milliseconds);
}

void cMdbDriver::SetByteBudgetFloor(qint64 bytes)
{
    cMdbReader::SetByteBudgetFloor(bytes);
}

qint64 cMdbDriver::ByteBudget(qint64 fileSize)
{
    return cMdbReader::ByteBudget(fileSize);
}

QString cMdbDriver::HelperPath()
{
    return cMdbReader::HelperPath();
}

cMdbDriver::cMdbDriver(QString path) : m_path(std::move(path)), m_reader(std::make_unique<cMdbReader>(m_path)) {}

cMdbDriver::~cMdbDriver()
{
    Close();
}

std::shared_ptr<cMdbDriver> cMdbDriver::Open(const QString& path, bool readOnly)
{
    Q_UNUSED(readOnly) // always read-only
    std::shared_ptr<cMdbDriver> driver(new cMdbDriver(path));
    driver->Load();
    return driver;
}

void cMdbDriver::RequireOpen() const
{
    if (m_closed)
        RaiseJetError(JetError::ObjectClosed, {}, kSource);
}

void cMdbDriver::Load()
{
    m_reader->Start();
    m_catalog = ReadMdbCatalog(*m_reader);
}

cSqliteDriver& cMdbDriver::Memory()
{
    if (!m_memory) {
        m_memory = cSqliteDriver::OpenMemory(QStringLiteral(";LANGID=0x%1;").arg(m_reader->LangId(), 4, 16, QLatin1Char('0')));
        m_interruptible = m_memory.get();
    }
    return *m_memory;
}

void cMdbDriver::CopyTable(const cMdbReader::Object& table)
{
    const TableSchema* schema = nullptr;
    for (const TableSchema& t : m_catalog.Tables) {
        if (SameName(t.Name, table.Name) && t.Connect.isEmpty())
            schema = &t;
    }
    sqlite3* db = Memory().Handle();
    QStringList definitions, marks;
    QList<QByteArray> standIns;
    for (qsizetype i = 0; i < table.Columns.size(); ++i) {
        standIns << MdbStandIn(m_catalog, table, int(i)).toUtf8();
        FieldSchema field;
        field.Type = schema && i < schema->Fields.size() ? schema->Fields[i].Type : JetTypeOfMdb(table.Columns[i].MdbType);
        field.Size = schema && i < schema->Fields.size() ? schema->Fields[i].Size : 255;
        if (field.Type == JetType::Text && (field.Size <= 0 || field.Size > 255))
            field.Type = JetType::Memo;
        const bool text = field.Type == JetType::Text || field.Type == JetType::Memo;
        definitions << QuoteName(table.Columns[i].Name) + u' ' + SqliteDeclaredType(field)
                           + (text ? QLatin1String(" COLLATE NOCASE") : QLatin1String(""));
        marks << QStringLiteral("?");
    }
    if (definitions.isEmpty())
        m_reader->Damaged();
    ExecSql(db, QStringLiteral("SAVEPOINT copy"));
    try {
        ExecSql(db, QStringLiteral("CREATE TABLE %1 (%2)").arg(QuoteName(table.Name), definitions.join(QLatin1String(", "))));
        cSqliteStatement insert(db, QStringLiteral("INSERT INTO %1 VALUES (%2)").arg(QuoteName(table.Name), marks.join(u',')));
        sqlite3_stmt* statement = insert.get();
        m_reader->ReadRows(table, [&](const QList<QByteArray>& values, const QList<bool>& nulls) {
            for (qsizetype i = 0; i < values.size(); ++i) {
                const int at = int(i) + 1;
                if (nulls[i])
                    sqlite3_bind_null(statement, at);
                else if (!standIns[i].isEmpty())
                    sqlite3_bind_text(statement, at, standIns[i].constData(), int(standIns[i].size()), SQLITE_STATIC);
                else
                    BindStored(statement, at, table.Columns[i].MdbType, values[i]);
            }
            insert.Step();
            insert.Reset();
        });
        ExecSql(db, QStringLiteral("RELEASE copy"));
    } catch (const cRuntimeError& e) {
        sqlite3_exec(db, "ROLLBACK TO copy; RELEASE copy", nullptr, nullptr, nullptr);
        if (e.Number() == JetError::NotADatabase)
            throw;
        m_reader->Damaged(); // names or values the copy refuses: the file is not what it claims
    }
    m_copied.insert(table.Name.toCaseFolded());
}

// Every table or stored query the text may name is made ready in the copy; a word that
// only looks like one costs a needless copy, never a wrong result.
QPair<int, QString> cMdbDriver::CopyWhatIsNamed(const QString& jetSql, int depth)
{
    QSet<QString> words;
    try {
        for (const QString& name : NamesInJetSql(jetSql))
            words.insert(name.toCaseFolded());
    } catch (const cRuntimeError& e) {
        // What Jet cannot read runs on no backend: the translation says why.
        if (depth == 0)
            throw;
        return qMakePair(e.Number(), e.Description());
    }
    for (const TableSchema& table : std::as_const(m_catalog.Tables)) {
        const QString key = table.Name.toCaseFolded();
        if (!words.contains(key) || m_copied.contains(key) || !table.Connect.isEmpty())
            continue;
        if (const cMdbReader::Object* object = m_reader->FindTable(table.Name))
            CopyTable(*object);
    }
    QPair<int, QString> failure(0, QString());
    if (depth > 16)
        return failure;
    for (const QuerySchema& query : Queries()) {
        const QString key = query.Name.toCaseFolded();
        if (!words.contains(key))
            continue;
        if (!m_copied.contains(key)) {
            m_copied.insert(key);
            const QPair<int, QString> inner = CopyWhatIsNamed(query.Sql, depth + 1);
            // A declared parameter the query uses fails below as an unknown name (3061):
            // the copy has no way to ask for its value.
            if (inner.first != 0) {
                m_broken.insert(key, inner);
            } else {
                try {
                    if (m_passThrough.contains(key))
                        throw cRuntimeError(JetError::InvalidOperation, LoadString(10725).arg(query.Name), kSource);
                    if (m_totalsInWhere.contains(key))
                        throw cRuntimeError(kTotalInWhere, LoadString(10728).arg(m_totalsInWhere.value(key)), kSource);
                    QString select = query.Sql;
                    if (m_crosstabs.contains(key)) {
                        select = CrosstabSelect(m_crosstabs.value(key));
                        if (select.isEmpty())
                            throw cRuntimeError(JetError::InvalidOperation, LoadString(10726).arg(query.Name), kSource);
                    }
                    // The copy's views are the engine's alone: they compare by the file's locale.
                    JetSqliteTarget local;
                    local.Collation = QString::fromLatin1(kJetLocaleCollation);
                    ExecSql(Memory().Handle(), QStringLiteral("CREATE VIEW %1 AS %2")
                                                   .arg(QuoteName(query.Name), TranslateJetSql(select, local)));
                    cSqliteStatement(Memory().Handle(), QStringLiteral("SELECT * FROM %1 LIMIT 0").arg(QuoteName(query.Name)));
                } catch (const cRuntimeError& e) {
                    m_broken.insert(key, qMakePair(e.Number(), e.Description()));
                    sqlite3_exec(Memory().Handle(), QStringLiteral("DROP VIEW IF EXISTS %1").arg(QuoteName(query.Name)).toUtf8().constData(),
                                 nullptr, nullptr, nullptr);
                }
            }
        }
        if (failure.first == 0 && m_broken.contains(key))
            failure = m_broken.value(key);
    }
    return failure;
}

QString cMdbDriver::CrosstabSelect(const Crosstab& crosstab)
{
    return MdbCrosstabSelect(crosstab, [&](const QString& jetSql, const std::function<bool(const QVariant&)>& onValue) {
        cSqliteStatement statement(Memory().Handle(), Memory().Translate(jetSql));
        while (statement.Step()) {
            QVariant value;
            switch (sqlite3_column_type(statement.get(), 0)) {
            case SQLITE_NULL: break;
            case SQLITE_INTEGER: value = statement.Int(0); break;
            case SQLITE_FLOAT: value = sqlite3_column_double(statement.get(), 0); break;
            case SQLITE_TEXT: value = statement.Text(0); break;
            default: value = QByteArray(); break;
            }
            if (!onValue(value))
                return;
        }
    });
}

QList<TableSchema> cMdbDriver::Tables()
{
    RequireOpen();
    return m_catalog.Tables;
}

QList<QuerySchema> cMdbDriver::Queries()
{
    RequireOpen();
    if (m_queriesRead || m_catalog.Queries.isEmpty())
        return m_catalog.Queries;
    m_queriesRead = true;
    const auto rows = ReadMdbQueryRows(*m_reader);
    if (!rows)
        return m_catalog.Queries;
    for (QuerySchema& query : m_catalog.Queries) {
        const MdbStoredQuery stored = RebuildMdbQuery(rows->value(m_catalog.QueryIds.value(query.Name)));
        const QString key = query.Name.toCaseFolded();
        if (!stored.TotalsInWhere.isEmpty())
            m_totalsInWhere.insert(key, stored.TotalsInWhere);
        query.Sql = stored.Sql;
        if (stored.Type == kMdbQueryCrosstab)
            m_crosstabs.insert(key, stored.Crosstab);
        else if (stored.Type == kMdbQueryPassThrough)
            m_passThrough.insert(key);
    }
    return m_catalog.Queries;
}

void cMdbDriver::CreateTable(const TableSchema&) { RaiseJetError(JetError::ReadOnly, {}, kSource); }
void cMdbDriver::DropTable(const QString&) { RaiseJetError(JetError::ReadOnly, {}, kSource); }
void cMdbDriver::AddField(const QString&, const FieldSchema&, int, cWorkControl*) { RaiseJetError(JetError::ReadOnly, {}, kSource); }
void cMdbDriver::DropField(const QString&, const QString&, cWorkControl*) { RaiseJetError(JetError::ReadOnly, {}, kSource); }
void cMdbDriver::AlterField(const QString&, const QString&, const FieldSchema&, int, cWorkControl*)
{
    RaiseJetError(JetError::ReadOnly, {}, kSource);
}
void cMdbDriver::CreateQuery(const QuerySchema&) { RaiseJetError(JetError::ReadOnly, {}, kSource); }
void cMdbDriver::DropQuery(const QString&) { RaiseJetError(JetError::ReadOnly, {}, kSource); }
void cMdbDriver::AlterQuery(const QString&, const QuerySchema&) { RaiseJetError(JetError::ReadOnly, {}, kSource); }

std::unique_ptr<cCursor> cMdbDriver::OpenCursor(const QString& sql)
{
    RequireOpen();
    // A crosstab's own text is not SQL the copy knows; the stored query of that text is.
    const QString text = sql.trimmed();
    if (text.startsWith(QLatin1String("TRANSFORM"), Qt::CaseInsensitive)) {
        for (const QuerySchema& query : Queries()) {
            if (m_crosstabs.contains(query.Name.toCaseFolded()) && query.Sql.trimmed() == text)
                return OpenCursor(QLatin1String("SELECT * FROM ") + JetBracketName(query.Name));
        }
        throw cRuntimeError(JetError::InvalidOperation, LoadString(10727), kSource);
    }
    const QPair<int, QString> broken = CopyWhatIsNamed(sql, 0);
    try {
        return Memory().OpenCursor(sql);
    } catch (const cRuntimeError& e) {
        // Not "no such table" for a stored query that is there but cannot run here.
        if (broken.first != 0 && e.Number() == JetError::NoSuchTable)
            throw cRuntimeError(broken.first, broken.second, e.Source());
        throw;
    }
}

QList<RelationSchema> cMdbDriver::Relations()
{
    RequireOpen();
    if (!m_relations)
        m_relations = ReadMdbRelations(*m_reader);
    return *m_relations;
}

std::unique_ptr<cRowLookup> cMdbDriver::PrepareLookup(const QString& table, const QString& keyField,
                                                      const QString& resultField, int keyType)
{
    RequireOpen();
    CopyWhatIsNamed(JetBracketName(table), 0);
    return Memory().PrepareLookup(table, keyField, resultField, keyType);
}

void cMdbDriver::Interrupt()
{
    m_reader->Interrupt();
    if (cSqliteDriver* memory = m_interruptible)
        memory->Interrupt();
}

void cMdbDriver::Close()
{
    m_closed = true;
    m_reader->Stop();
    m_interruptible = nullptr;
    if (m_memory)
        m_memory->Close();
    m_memory.reset();
    m_copied.clear();
}
