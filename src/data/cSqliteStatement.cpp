#include "cSqliteStatement.h"

#include "cCurrency.h"
#include "cRuntimeError.h"
#include "mJetErrors.h"

#include <QDateTime>
#include <QRegularExpression>
#include <QUuid>

namespace {

QString Quoted(const QString& message, const QString& prefix)
{
    return message.mid(prefix.size()).trimmed();
}

} // namespace

void ThrowSqliteError(sqlite3* db, int rc, const QString& sql)
{
    const int extended = db ? sqlite3_extended_errcode(db) : rc;
    const QString message = db ? QString::fromUtf8(sqlite3_errmsg(db)) : QString::fromUtf8(sqlite3_errstr(rc));
    const QString source = QStringLiteral("DAO.Database");
    switch (rc & 0xFF) {
    case SQLITE_CONSTRAINT:
        switch (extended) {
        case SQLITE_CONSTRAINT_UNIQUE:
        case SQLITE_CONSTRAINT_PRIMARYKEY:
        case SQLITE_CONSTRAINT_ROWID:
            RaiseJetError(JetError::DuplicateKey, {}, source);
        case SQLITE_CONSTRAINT_NOTNULL: {
            const QString field = message.section(u'.', -1).trimmed();
            RaiseJetError(JetError::Required, {field}, source);
        }
        case SQLITE_CONSTRAINT_FOREIGNKEY:
            RaiseJetError(JetError::RelatedRecords, {}, source);
        default:
            RaiseJetError(JetError::RuleViolated, {message}, source);
        }
    case SQLITE_READONLY:
        RaiseJetError(JetError::ReadOnly, {}, source);
    case SQLITE_INTERRUPT:
        RaiseJetError(JetError::Cancelled, {}, source);
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
        RaiseJetError(JetError::RecordLocked, {}, source);
    case SQLITE_CORRUPT:
    case SQLITE_NOTADB:
        RaiseJetError(JetError::NotADatabase, {db ? QString::fromUtf8(sqlite3_db_filename(db, "main")) : QString()},
                      source);
    case SQLITE_FULL:
        throw cRuntimeError(3026, QStringLiteral("Na disku není dost místa."), source);
    case SQLITE_IOERR:
        throw cRuntimeError(3043, QStringLiteral("Chyba disku nebo sítě."), source);
    case SQLITE_NOMEM:
        throw cRuntimeError(7, QStringLiteral("Nedostatek paměti."), source);
    case SQLITE_TOOBIG:
        RaiseJetError(JetError::FieldTooSmall, {QString()}, source);
    default:
        break;
    }
    if (message.startsWith(QLatin1String("no such table:")))
        RaiseJetError(JetError::NoSuchTable, {Quoted(message, QStringLiteral("no such table:")).section(u'.', -1)},
                      source);
    if (message.startsWith(QLatin1String("no such column:")))
        RaiseJetError(JetError::TooFewParameters, {Quoted(message, QStringLiteral("no such column:"))}, source);
    if (message.startsWith(QLatin1String("no such function:")))
        RaiseJetError(JetError::UndefinedFunction, {Quoted(message, QStringLiteral("no such function:"))}, source);
    if (message.contains(QLatin1String("already exists"))) {
        static const QRegularExpression name(QStringLiteral("(?:table|view|index) (.*) already exists"));
        RaiseJetError(JetError::TableExists, {name.match(message).captured(1)}, source);
    }
    if (message.startsWith(QLatin1String("duplicate column name:")))
        RaiseJetError(JetError::DuplicateField, {Quoted(message, QStringLiteral("duplicate column name:"))}, source);
    if (message.contains(QLatin1String("syntax error")) || message.startsWith(QLatin1String("unrecognized token"))
        || message.contains(QLatin1String("incomplete input")))
        RaiseJetError(JetError::SyntaxError, {sql.isEmpty() ? message : sql}, source);
    RaiseJetError(JetError::OdbcFailed, {message}, source);
}

cSqliteStatement::cSqliteStatement(sqlite3* db, const QString& sql) : m_db(db), m_sql(sql)
{
    // UTF-8, not UTF-16: SQLite's UTF-16 reader would pair a lone surrogate with the
    // character after it, a closing quote included.
    const QByteArray text = sql.toUtf8();
    const char* tail = nullptr;
    const int rc = sqlite3_prepare_v3(db, text.constData(), int(text.size()), SQLITE_PREPARE_PERSISTENT, &m_stmt,
                                      &tail);
    if (rc != SQLITE_OK) {
        sqlite3_finalize(m_stmt);
        m_stmt = nullptr;
        ThrowSqliteError(db, rc, sql);
    }
    if (!m_stmt) // only blanks, or a text longer than SQLite takes
        RaiseJetError(JetError::SyntaxError, {sql});
    // One text is one statement: a second one is refused, never run.
    const QByteArray rest = tail ? text.mid(tail - text.constData()) : QByteArray();
    if (!rest.trimmed().isEmpty()) {
        sqlite3_finalize(m_stmt);
        m_stmt = nullptr;
        RaiseJetError(JetError::TextAfterStatement);
    }
}

cSqliteStatement::~cSqliteStatement()
{
    sqlite3_finalize(m_stmt);
}

cSqliteStatement::cSqliteStatement(cSqliteStatement&& other) noexcept
    : m_db(other.m_db), m_stmt(std::exchange(other.m_stmt, nullptr)), m_sql(std::move(other.m_sql))
{
}

cSqliteStatement& cSqliteStatement::operator=(cSqliteStatement&& other) noexcept
{
    if (this != &other) {
        sqlite3_finalize(m_stmt);
        m_db = other.m_db;
        m_stmt = std::exchange(other.m_stmt, nullptr);
        m_sql = std::move(other.m_sql);
    }
    return *this;
}

bool cSqliteStatement::Step()
{
    const int rc = sqlite3_step(m_stmt);
    if (rc == SQLITE_ROW)
        return true;
    if (rc == SQLITE_DONE)
        return false;
    sqlite3_reset(m_stmt);
    ThrowSqliteError(m_db, rc, m_sql);
}

void cSqliteStatement::Reset()
{
    if (m_stmt) {
        sqlite3_reset(m_stmt);
        sqlite3_clear_bindings(m_stmt);
    }
}

void cSqliteStatement::Run()
{
    while (Step()) {
    }
    sqlite3_reset(m_stmt);
}

void cSqliteStatement::Bind(int index, qint64 value)
{
    sqlite3_bind_int64(m_stmt, index, value);
}

void cSqliteStatement::Bind(int index, const QVariant& value)
{
    if (!value.isValid() || value.isNull()) {
        sqlite3_bind_null(m_stmt, index);
        return;
    }
    switch (value.typeId()) {
    case QMetaType::Bool:
        sqlite3_bind_int64(m_stmt, index, value.toBool() ? -1 : 0);
        return;
    case QMetaType::Int:
    case QMetaType::Short:
    case QMetaType::UShort:
    case QMetaType::UChar:
    case QMetaType::SChar:
    case QMetaType::Char:
    case QMetaType::UInt:
    case QMetaType::Long:
    case QMetaType::LongLong:
        sqlite3_bind_int64(m_stmt, index, value.toLongLong());
        return;
    case QMetaType::ULong:
    case QMetaType::ULongLong:
        sqlite3_bind_double(m_stmt, index, value.toDouble());
        return;
    case QMetaType::Float:
    case QMetaType::Double:
        sqlite3_bind_double(m_stmt, index, value.toDouble());
        return;
    case QMetaType::QDateTime: {
        const QString text = value.toDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
        sqlite3_bind_text16(m_stmt, index, text.utf16(), int(text.size() * 2), SQLITE_TRANSIENT);
        return;
    }
    case QMetaType::QByteArray: {
        const QByteArray bytes = value.toByteArray();
        sqlite3_bind_blob64(m_stmt, index, bytes.constData(), sqlite3_uint64(bytes.size()), SQLITE_TRANSIENT);
        return;
    }
    case QMetaType::QUuid: {
        const QString text = value.toUuid().toString(QUuid::WithBraces).toUpper();
        sqlite3_bind_text16(m_stmt, index, text.utf16(), int(text.size() * 2), SQLITE_TRANSIENT);
        return;
    }
    default:
        break;
    }
    if (value.userType() == qMetaTypeId<cCurrency>()) {
        sqlite3_bind_double(m_stmt, index, value.value<cCurrency>().ToDouble());
        return;
    }
    const QString text = value.toString();
    sqlite3_bind_text16(m_stmt, index, text.utf16(), int(text.size() * 2), SQLITE_TRANSIENT);
}

QString cSqliteStatement::Text(int column) const
{
    const auto* text = static_cast<const QChar*>(sqlite3_column_text16(m_stmt, column));
    return text ? QString(text, sqlite3_column_bytes16(m_stmt, column) / 2) : QString();
}

void ExecSql(sqlite3* db, const QString& sql)
{
    cSqliteStatement(db, sql).Run();
}

QString QuoteName(const QString& name)
{
    QString quoted = name;
    quoted.replace(u'"', QLatin1String("\"\""));
    return u'"' + quoted + u'"';
}
