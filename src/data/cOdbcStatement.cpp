#include "cOdbcStatement.h"

#include "cCurrency.h"
#include "cRuntimeError.h"
#include "mConvert.h"
#include "mJetErrors.h"
#include "mNames.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QUuid>

#include <chrono>
#include <cmath>
#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>
#include <cstddef>
#include <cstring>
#include <optional>

namespace {

const QString kSource = QStringLiteral("DAO.Database");

bool IsCharType(SQLSMALLINT type)
{
    switch (type) {
    case SQL_CHAR:
    case SQL_VARCHAR:
    case SQL_LONGVARCHAR:
    case SQL_WCHAR:
    case SQL_WVARCHAR:
    case SQL_WLONGVARCHAR: return true;
    default: return false;
    }
}

// A time of day without a date: ODBC 3 and ODBC 2 codes.
bool IsTimeType(SQLSMALLINT type)
{
    return type == SQL_TYPE_TIME || type == SQL_TIME;
}

bool IsDateType(SQLSMALLINT type)
{
    return type == SQL_TYPE_DATE || type == SQL_TYPE_TIME || type == SQL_TYPE_TIMESTAMP || type == SQL_DATE
           || type == SQL_TIME || type == SQL_TIMESTAMP;
}

// A number as the source writes it: digits, a point and a sign, whatever the locale.
std::optional<DecimalNumber> ParseSourceNumber(const QString& text)
{
    QString plain;
    for (QChar c : text) {
        if (c.isDigit() || c == u'.' || c == u'-' || c == u'e' || c == u'E' || c == u'+')
            plain += c;
    }
    bool ok = false;
    const double value = plain.toDouble(&ok);
    if (!ok)
        return std::nullopt;
    // Exact digits where the text has them: decimals and money must not drift.
    static const QRegularExpression exact(QStringLiteral("^(-?)(\\d+)(?:\\.(\\d+))?$"));
    const auto m = exact.match(plain);
    if (m.hasMatch() && m.captured(2).size() + m.captured(3).size() <= 18) {
        DecimalNumber number = DecimalNumber::FromInteger((m.captured(2) + m.captured(3)).toLongLong());
        number.Shift(-int(m.captured(3).size()));
        number.negative = !m.captured(1).isEmpty() && !number.IsZero();
        return number;
    }
    return DecimalNumber::FromDouble(value);
}

} // namespace

int JetTypeOfOdbc(SQLSMALLINT sqlType, SQLULEN size, const QString& typeName, qint32& jetSize)
{
    const QString name = typeName.toLower();
    if (name == QLatin1String("bool") || name == QLatin1String("boolean")) {
        jetSize = 1;
        return JetType::Boolean;
    }
    if (name == QLatin1String("money") || name == QLatin1String("smallmoney")) {
        jetSize = 8;
        return JetType::Currency;
    }
    switch (sqlType) {
    case SQL_BIT: jetSize = 1; return JetType::Boolean;
    case SQL_TINYINT: jetSize = 1; return JetType::Byte;
    case SQL_SMALLINT: jetSize = 2; return JetType::Integer;
    case SQL_INTEGER: jetSize = 4; return JetType::Long;
    case SQL_BIGINT: jetSize = 8; return JetType::BigInt;
    case SQL_REAL: jetSize = 4; return JetType::Single;
    case SQL_FLOAT:
    case SQL_DOUBLE: jetSize = 8; return JetType::Double;
    case SQL_NUMERIC:
    case SQL_DECIMAL: jetSize = 16; return JetType::Decimal;
    case SQL_GUID: jetSize = 16; return JetType::Guid;
    case SQL_BINARY:
    case SQL_VARBINARY:
        if (size > 0 && size <= 255) {
            jetSize = qint32(size);
            return JetType::Binary;
        }
        jetSize = 0;
        return JetType::LongBinary;
    case SQL_LONGVARBINARY: jetSize = 0; return JetType::LongBinary;
    case SQL_CHAR:
    case SQL_VARCHAR:
    case SQL_WCHAR:
    case SQL_WVARCHAR:
        if (size > 0 && size <= 255) {
            jetSize = qint32(size);
            return JetType::Text;
        }
        jetSize = 0;
        return JetType::Memo;
    default:
        if (IsDateType(sqlType)) {
            jetSize = 8;
            return JetType::Date;
        }
        // Long texts and whatever else the source has: read as text.
        jetSize = 0;
        return JetType::Memo;
    }
}

std::u16string OdbcText(const QString& text)
{
    return std::u16string(reinterpret_cast<const char16_t*>(text.utf16()), size_t(text.size()));
}

QString FromOdbcText(const SQLWCHAR* text, qsizetype length)
{
    static_assert(sizeof(SQLWCHAR) == sizeof(char16_t), "unixODBC with UTF-16 wide characters");
    return QString::fromUtf16(reinterpret_cast<const char16_t*>(text), length);
}

QString FromOdbcBuffer(const SQLWCHAR* buffer, qsizetype capacity)
{
    qsizetype length = 0;
    while (length < capacity && buffer[length] != 0)
        ++length;
    return FromOdbcText(buffer, length);
}

QString OdbcDiagnostics(SQLSMALLINT handleType, SQLHANDLE handle, QString* firstState)
{
    QStringList parts;
    for (SQLSMALLINT record = 1; record <= 10; ++record) {
        SQLWCHAR state[6] = {};
        SQLINTEGER native = 0;
        SQLWCHAR message[1024] = {};
        SQLSMALLINT length = 0;
        const SQLRETURN rc = SQLGetDiagRecW(handleType, handle, record, state, &native, message,
                                            SQLSMALLINT(std::size(message)), &length);
        if (!OdbcOk(rc))
            break;
        const QString code = FromOdbcText(state, 5);
        if (firstState && firstState->isEmpty())
            *firstState = code;
        QString text = FromOdbcBuffer(message, qsizetype(std::size(message)) - 1).trimmed();
        // Drop the driver manager's and driver's bracketed names; the words are what helps.
        while (text.startsWith(u'[')) {
            const qsizetype close = text.indexOf(u']');
            if (close < 0)
                break;
            text = text.mid(close + 1).trimmed();
        }
        parts << QStringLiteral("[%1] %2").arg(code, text);
    }
    return parts.join(QLatin1String("; "));
}

void ThrowOdbcError(SQLSMALLINT handleType, SQLHANDLE handle, const QString& source)
{
    QString state;
    const QString diagnostics = OdbcDiagnostics(handleType, handle, &state);
    const QString from = source.isEmpty() ? kSource : source;
    const QString lower = diagnostics.toLower();
    // A call broken into by a stop (the driver's own state, or the server's).
    if (state == QLatin1String("HY008") || state == QLatin1String("57014"))
        RaiseJetError(JetError::Cancelled, {}, from);
    if (state == QLatin1String("23503") || lower.contains(QLatin1String("foreign key")))
        RaiseJetError(JetError::RelatedRecords, {}, from);
    if (state.startsWith(QLatin1String("23")) && state != QLatin1String("23502"))
        RaiseJetError(JetError::DuplicateKey, {}, from);
    if (lower.contains(QLatin1String("unique constraint")) || lower.contains(QLatin1String("duplicate key"))
        || lower.contains(QLatin1String("not unique")))
        RaiseJetError(JetError::DuplicateKey, {}, from);
    throw cRuntimeError(JetError::OdbcFailed,
                        QStringLiteral("Volání ODBC se nezdařilo. %1")
                            .arg(diagnostics.isEmpty() ? QStringLiteral("Zdroj dat neuvedl důvod.") : diagnostics),
                        from);
}

QList<int> cOdbcWatchdog::OpenSockets()
{
    QList<int> sockets;
    const QDir fds(QStringLiteral("/proc/self/fd"));
    for (const QString& entry : fds.entryList(QDir::System | QDir::Files | QDir::NoDotAndDotDot)) {
        char target[64] = {};
        const QByteArray path = QFile::encodeName(fds.filePath(entry));
        const ssize_t length = ::readlink(path.constData(), target, sizeof(target) - 1);
        if (length > 0 && std::strncmp(target, "socket:", 7) == 0)
            sockets << entry.toInt();
    }
    return sockets;
}

QList<int> cOdbcWatchdog::ServerSockets(const QList<int>& appeared, const QString& connectText)
{
    static const QRegularExpression portKey(QStringLiteral("(?:^|;)\\s*Port\\s*=\\s*(\\d+)\\s*(?:;|$)"),
                                            QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch match = portKey.match(connectText);
    const int port = match.hasMatch() ? match.captured(1).toInt() : 0;
    if (port <= 0 || port > 65535)
        return appeared;
    QList<int> server;
    for (int socket : appeared) {
        sockaddr_storage peer{};
        socklen_t length = sizeof peer;
        if (::getpeername(socket, reinterpret_cast<sockaddr*>(&peer), &length) != 0)
            continue;
        bool leads = false;
        if (peer.ss_family == AF_INET)
            leads = ntohs(reinterpret_cast<const sockaddr_in&>(peer).sin_port) == port;
        else if (peer.ss_family == AF_INET6)
            leads = ntohs(reinterpret_cast<const sockaddr_in6&>(peer).sin6_port) == port;
        else if (peer.ss_family == AF_UNIX && length > offsetof(sockaddr_un, sun_path)) {
            // A server's socket file carries its port in its name (".s.PGSQL.5432").
            const auto& local = reinterpret_cast<const sockaddr_un&>(peer);
            const QByteArray path(local.sun_path, qstrnlen(local.sun_path, length - offsetof(sockaddr_un, sun_path)));
            leads = path.endsWith('.' + QByteArray::number(port));
        }
        if (leads)
            server << socket;
    }
    return server.isEmpty() ? appeared : server;
}

cOdbcWatchdog::~cOdbcWatchdog()
{
    Stop();
}

void cOdbcWatchdog::Guard(QList<int> sockets, int seconds)
{
    Stop();
    if (sockets.isEmpty() || seconds <= 0)
        return;
    // Descriptors of our own for the same sockets: a number the driver closes may be
    // given to the speech or Braille connection of another thread, and shutting that one
    // down would silence the user. Ours always mean the sockets seen at connecting.
    m_sockets.clear();
    for (int socket : sockets) {
        const int own = ::fcntl(socket, F_DUPFD_CLOEXEC, 0);
        if (own >= 0)
            m_sockets << own;
    }
    m_seconds = seconds;
    m_stop = false;
    m_thread = std::thread([this] { Run(); });
}

void cOdbcWatchdog::Stop()
{
    if (!m_thread.joinable())
        return;
    {
        std::lock_guard lock(m_mutex);
        m_stop = true;
    }
    m_wake.notify_all();
    m_thread.join();
    for (int own : std::as_const(m_sockets))
        ::close(own);
    m_sockets.clear();
}

void cOdbcWatchdog::Begin(SQLHSTMT statement)
{
    {
        std::lock_guard lock(m_activeMutex);
        m_active = statement;
        m_cancelled = statement == m_cancelledStatement;
    }
    if (m_seconds > 0)
        m_deadline = SteadyMs() + qint64(m_seconds) * 1000;
}

void cOdbcWatchdog::End()
{
    m_deadline = 0;
    std::lock_guard lock(m_activeMutex);
    m_active = SQL_NULL_HSTMT;
}

void cOdbcWatchdog::Cancel()
{
    // The statement cannot be freed meanwhile: End() waits for the lock.
    std::lock_guard lock(m_activeMutex);
    if (m_active != SQL_NULL_HSTMT) {
        m_cancelled = true;
        m_cancelledStatement = m_active;
        SQLCancel(m_active);
    }
}

void cOdbcWatchdog::Forget(SQLHSTMT statement)
{
    std::lock_guard lock(m_activeMutex);
    if (m_cancelledStatement == statement)
        m_cancelledStatement = SQL_NULL_HSTMT;
}

void cOdbcWatchdog::Run()
{
    std::unique_lock lock(m_mutex);
    while (!m_stop) {
        const qint64 deadline = m_deadline;
        if (deadline != 0 && SteadyMs() >= deadline && !m_fired) {
            // The waiting call then returns with the driver's communication error.
            for (int socket : std::as_const(m_sockets))
                ::shutdown(socket, SHUT_RDWR);
            m_fired = true;
        }
        m_wake.wait_for(lock, std::chrono::milliseconds(200));
    }
}

cOdbcStatement::cOdbcStatement(SQLHDBC dbc, int queryTimeout, std::shared_ptr<cOdbcWatchdog> watchdog)
    : m_watchdog(std::move(watchdog))
{
    if (!OdbcOk(SQLAllocHandle(SQL_HANDLE_STMT, dbc, &m_stmt))) {
        m_stmt = SQL_NULL_HSTMT;
        ThrowOdbcError(SQL_HANDLE_DBC, dbc);
    }
    if (queryTimeout > 0) {
        // Drivers without a timeout say so and go on; that is not an error.
        SQLSetStmtAttr(m_stmt, SQL_ATTR_QUERY_TIMEOUT, reinterpret_cast<SQLPOINTER>(SQLULEN(queryTimeout)), 0);
    }
}

cOdbcStatement::~cOdbcStatement()
{
    Free();
}

void cOdbcStatement::Free()
{
    // A recordset may outlive its database's Close; the disconnect freed this handle.
    if (m_stmt != SQL_NULL_HSTMT && m_watchdog)
        m_watchdog->Forget(m_stmt);
    if (m_stmt != SQL_NULL_HSTMT && !(m_watchdog && m_watchdog->Disconnected()))
        SQLFreeHandle(SQL_HANDLE_STMT, m_stmt);
    m_stmt = SQL_NULL_HSTMT;
}

cOdbcStatement::cOdbcStatement(cOdbcStatement&& other) noexcept
    : m_stmt(other.m_stmt), m_watchdog(std::move(other.m_watchdog)), m_parameters(std::move(other.m_parameters)),
      m_textDates(other.m_textDates)
{
    other.m_stmt = SQL_NULL_HSTMT;
}

cOdbcStatement& cOdbcStatement::operator=(cOdbcStatement&& other) noexcept
{
    if (this != &other) {
        Free();
        m_stmt = other.m_stmt;
        m_watchdog = std::move(other.m_watchdog);
        m_parameters = std::move(other.m_parameters);
        m_textDates = other.m_textDates;
        other.m_stmt = SQL_NULL_HSTMT;
    }
    return *this;
}

void cOdbcStatement::Fail() const
{
    // A call broken into by a stop fails as stopped, whatever state the driver reports.
    if (m_watchdog && m_watchdog->Cancelled())
        RaiseJetError(JetError::Cancelled, {}, kSource);
    if (m_watchdog && m_watchdog->Fired()) {
        throw cRuntimeError(JetError::OdbcFailed,
                            QStringLiteral("Volání ODBC se nezdařilo. Server neodpověděl do %1 s, spojení bylo přerušeno.")
                                .arg(m_watchdog->Seconds()),
                            kSource);
    }
    ThrowOdbcError(SQL_HANDLE_STMT, m_stmt);
}

void cOdbcStatement::Check(SQLRETURN rc) const
{
    if (!OdbcOk(rc) && rc != SQL_NO_DATA)
        Fail();
}

void cOdbcStatement::Prepare(const QString& sql)
{
    std::u16string text = OdbcText(sql);
    Check(Guarded([&] { return SQLPrepareW(m_stmt, reinterpret_cast<SQLWCHAR*>(text.data()), SQLINTEGER(text.size())); }));
}

void cOdbcStatement::ExecDirect(const QString& sql)
{
    std::u16string text = OdbcText(sql);
    Check(Guarded([&] { return SQLExecDirectW(m_stmt, reinterpret_cast<SQLWCHAR*>(text.data()), SQLINTEGER(text.size())); }));
}

void cOdbcStatement::Execute()
{
    Check(Guarded([&] { return SQLExecute(m_stmt); }));
}

bool cOdbcStatement::Fetch()
{
    const SQLRETURN rc = Guarded([&] { return SQLFetch(m_stmt); });
    if (rc == SQL_NO_DATA)
        return false;
    Check(rc);
    return true;
}

void cOdbcStatement::CloseCursor()
{
    if (m_stmt != SQL_NULL_HSTMT)
        SQLFreeStmt(m_stmt, SQL_CLOSE);
}

SQLLEN cOdbcStatement::RowCount()
{
    SQLLEN count = 0;
    Check(SQLRowCount(m_stmt, &count));
    return count;
}

SQLSMALLINT cOdbcStatement::ColumnCount()
{
    SQLSMALLINT count = 0;
    Check(SQLNumResultCols(m_stmt, &count));
    return count;
}

void cOdbcStatement::Describe(int column, QString& label, QString& baseColumn, OdbcColumn& type, QString& typeName)
{
    SQLWCHAR name[512] = {};
    SQLSMALLINT nameLength = 0;
    SQLSMALLINT nullable = 0;
    Check(SQLDescribeColW(m_stmt, SQLUSMALLINT(column), name, SQLSMALLINT(std::size(name)), &nameLength,
                          &type.SqlType, &type.Size, &type.Digits, &nullable));
    label = FromOdbcBuffer(name, qsizetype(std::size(name)) - 1);
    auto attribute = [&](SQLUSMALLINT field) {
        SQLWCHAR text[512] = {};
        SQLSMALLINT length = 0;
        if (!OdbcOk(SQLColAttributeW(m_stmt, SQLUSMALLINT(column), field, text, SQLSMALLINT(sizeof(text)), &length,
                                     nullptr)))
            return QString();
        return FromOdbcBuffer(text, qsizetype(std::size(text)) - 1);
    };
    baseColumn = attribute(SQL_DESC_BASE_COLUMN_NAME);
    typeName = attribute(SQL_DESC_TYPE_NAME);
    qint32 size = 0;
    type.JetType = JetTypeOfOdbc(type.SqlType, type.Size, typeName, size);
}

QByteArray cOdbcStatement::ReadAll(int column, SQLSMALLINT cType, bool& null)
{
    QByteArray out;
    char buffer[8192];
    const SQLLEN terminator = cType == SQL_C_WCHAR ? SQLLEN(sizeof(SQLWCHAR)) : cType == SQL_C_CHAR ? 1 : 0;
    const SQLLEN room = SQLLEN(sizeof(buffer)) - terminator;
    null = false;
    for (;;) {
        SQLLEN indicator = 0;
        const SQLRETURN rc = SQLGetData(m_stmt, SQLUSMALLINT(column), cType, buffer, SQLLEN(sizeof(buffer)), &indicator);
        if (rc == SQL_NO_DATA)
            break;
        Check(rc);
        if (indicator == SQL_NULL_DATA) {
            null = true;
            return {};
        }
        if (rc == SQL_SUCCESS_WITH_INFO && (indicator == SQL_NO_TOTAL || indicator > room)) {
            out.append(buffer, room);
            continue;
        }
        out.append(buffer, qMin(indicator, room));
        break;
    }
    return out;
}

QVariant cOdbcStatement::Get(int column, const OdbcColumn& type)
{
    const auto col = SQLUSMALLINT(column);
    auto text = [&]() -> std::optional<QString> {
        bool null = false;
        const QByteArray bytes = ReadAll(column, SQL_C_WCHAR, null);
        if (null)
            return std::nullopt;
        return FromOdbcText(reinterpret_cast<const SQLWCHAR*>(bytes.constData()),
                            bytes.size() / qsizetype(sizeof(SQLWCHAR)));
    };
    switch (type.JetType) {
    case JetType::Boolean: {
        const auto value = text();
        if (!value)
            return QVariant();
        const QString t = value->trimmed().toLower();
        return !(t.isEmpty() || t == QLatin1String("0") || t == QLatin1String("f") || t == QLatin1String("false")
                 || t == QLatin1String("n") || t == QLatin1String("no"));
    }
    case JetType::Byte:
    case JetType::Integer:
    case JetType::Long:
    case JetType::BigInt: {
        SQLBIGINT value = 0;
        SQLLEN indicator = 0;
        Check(SQLGetData(m_stmt, col, SQL_C_SBIGINT, &value, sizeof(value), &indicator));
        if (indicator == SQL_NULL_DATA)
            return QVariant();
        if (type.JetType == JetType::Byte && value >= 0 && value <= 255)
            return QVariant::fromValue(quint8(value));
        if (type.JetType != JetType::BigInt && value >= std::numeric_limits<qint32>::min()
            && value <= std::numeric_limits<qint32>::max())
            return int(value);
        return qint64(value);
    }
    case JetType::Single:
    case JetType::Double: {
        double value = 0;
        SQLLEN indicator = 0;
        Check(SQLGetData(m_stmt, col, SQL_C_DOUBLE, &value, sizeof(value), &indicator));
        if (indicator == SQL_NULL_DATA)
            return QVariant();
        return type.JetType == JetType::Single ? QVariant(float(value)) : QVariant(value);
    }
    case JetType::Currency:
    case JetType::Numeric:
    case JetType::Decimal: {
        const auto value = text();
        if (!value)
            return QVariant();
        const auto number = ParseSourceNumber(*value);
        if (!number)
            return *value;
        if (type.JetType == JetType::Currency) {
            if (const auto money = CurrencyFromDecimal(*number))
                return QVariant::fromValue(*money);
        }
        return number->ToDouble();
    }
    case JetType::Date: {
        SQLLEN indicator = 0;
        if (IsTimeType(type.SqlType)) {
            SQL_TIME_STRUCT t{};
            Check(SQLGetData(m_stmt, col, SQL_C_TYPE_TIME, &t, sizeof(t), &indicator));
            if (indicator == SQL_NULL_DATA)
                return QVariant();
            return QDateTime(ZeroDate(), QTime(t.hour, t.minute, t.second), Qt::UTC);
        }
        SQL_TIMESTAMP_STRUCT t{};
        Check(SQLGetData(m_stmt, col, SQL_C_TYPE_TIMESTAMP, &t, sizeof(t), &indicator));
        if (indicator == SQL_NULL_DATA)
            return QVariant();
        return QDateTime(QDate(t.year, t.month, t.day),
                         QTime(t.hour, t.minute, t.second, int(t.fraction / 1000000)), Qt::UTC);
    }
    case JetType::Binary:
    case JetType::LongBinary:
    case JetType::VarBinary: {
        bool null = false;
        QByteArray bytes = ReadAll(column, SQL_C_BINARY, null);
        return null ? QVariant() : QVariant(bytes);
    }
    case JetType::Guid: {
        const auto value = text();
        if (!value)
            return QVariant();
        const QUuid id = QUuid::fromString(value->trimmed());
        return id.isNull() && !value->trimmed().startsWith(QLatin1String("0000")) ? QVariant(*value) : QVariant(id);
    }
    default: {
        const auto value = text();
        return value ? QVariant(*value) : QVariant();
    }
    }
}

void cOdbcStatement::Bind(const QVariantList& values, const QList<OdbcColumn>& columns)
{
    SQLFreeStmt(m_stmt, SQL_RESET_PARAMS);
    m_parameters.clear();
    for (qsizetype i = 0; i < values.size(); ++i) {
        const QVariant& value = values[i];
        OdbcColumn column = columns.value(i, OdbcColumn{0, 0, 0, 0});
        Parameter& p = m_parameters.emplace_back();
        SQLSMALLINT cType = SQL_C_WCHAR;
        auto setText = [&](const QString& t) {
            cType = SQL_C_WCHAR;
            p.Buffer = QByteArray(reinterpret_cast<const char*>(t.utf16()), t.size() * qsizetype(sizeof(SQLWCHAR)));
            p.Indicator = SQLLEN(p.Buffer.size());
            p.Buffer.append(2, '\0'); // never a null pointer, even for the empty text
            if (column.SqlType == 0)
                column.SqlType = SQL_WVARCHAR;
            if (IsCharType(column.SqlType) || column.Size == 0)
                column.Size = SQLULEN(qMax<qsizetype>(t.size(), 1));
        };
        auto setPod = [&](SQLSMALLINT c, const void* data, size_t size, SQLSMALLINT sqlType) {
            cType = c;
            p.Buffer = QByteArray(static_cast<const char*>(data), qsizetype(size));
            p.Indicator = SQLLEN(size);
            if (column.SqlType == 0 || IsCharType(column.SqlType))
                column.SqlType = sqlType;
        };
        if (!value.isValid() || value.isNull()) {
            p.Indicator = SQL_NULL_DATA;
            if (column.SqlType == 0)
                column.SqlType = SQL_WVARCHAR;
            if (column.Size == 0)
                column.Size = 1;
            cType = SQL_C_DEFAULT;
        } else if (column.JetType == JetType::Boolean || value.typeId() == QMetaType::Bool) {
            const unsigned char bit = value.toBool() ? 1 : 0;
            setPod(SQL_C_BIT, &bit, sizeof(bit), SQL_BIT);
            if (column.JetType == JetType::Boolean)
                column.SqlType = SQL_BIT;
        } else if (value.userType() == qMetaTypeId<cCurrency>()) {
            const qint64 units = value.value<cCurrency>().Units();
            QString t = QString::number(std::llabs(units / cCurrency::kScale)) + u'.'
                        + QStringLiteral("%1").arg(std::llabs(units % cCurrency::kScale), 4, 10, QLatin1Char('0'));
            if (units < 0)
                t.prepend(u'-');
            setText(t);
        } else if (value.typeId() == QMetaType::QDateTime || value.typeId() == QMetaType::QDate) {
            const QDateTime when = value.typeId() == QMetaType::QDate ? QDateTime(value.toDate(), QTime(0, 0), Qt::UTC)
                                                                      : value.toDateTime();
            if (m_textDates) {
                const bool timeOnly = IsTimeType(column.SqlType);
                const bool dateOnly = column.SqlType == SQL_TYPE_DATE || column.SqlType == SQL_DATE;
                column.SqlType = SQL_WVARCHAR;
                column.Size = 0;
                setText(when.toString(timeOnly   ? QStringLiteral("HH:mm:ss")
                                      : dateOnly ? QStringLiteral("yyyy-MM-dd")
                                                 : QStringLiteral("yyyy-MM-dd HH:mm:ss")));
            } else if (IsTimeType(column.SqlType)) {
                SQL_TIME_STRUCT t{SQLUSMALLINT(when.time().hour()), SQLUSMALLINT(when.time().minute()),
                                  SQLUSMALLINT(when.time().second())};
                setPod(SQL_C_TYPE_TIME, &t, sizeof(t), SQL_TYPE_TIME);
                column.Size = 8;
            } else {
                SQL_TIMESTAMP_STRUCT t{SQLSMALLINT(when.date().year()), SQLUSMALLINT(when.date().month()),
                                       SQLUSMALLINT(when.date().day()), SQLUSMALLINT(when.time().hour()),
                                       SQLUSMALLINT(when.time().minute()), SQLUSMALLINT(when.time().second()), 0};
                setPod(SQL_C_TYPE_TIMESTAMP, &t, sizeof(t), SQL_TYPE_TIMESTAMP);
                if (!IsDateType(column.SqlType))
                    column.SqlType = SQL_TYPE_TIMESTAMP;
                if (column.SqlType == SQL_TYPE_TIMESTAMP || column.SqlType == SQL_TIMESTAMP) {
                    column.Size = 19;
                    column.Digits = 0;
                }
            }
        } else if (value.typeId() == QMetaType::QByteArray) {
            const QByteArray bytes = value.toByteArray();
            cType = SQL_C_BINARY;
            p.Buffer = bytes;
            p.Indicator = SQLLEN(bytes.size());
            p.Buffer.append(1, '\0');
            if (column.SqlType == 0 || IsCharType(column.SqlType))
                column.SqlType = SQL_VARBINARY;
            column.Size = SQLULEN(qMax<qsizetype>(bytes.size(), 1));
        } else if (value.typeId() == QMetaType::QUuid) {
            setText(value.toUuid().toString(QUuid::WithoutBraces));
        } else if (value.typeId() == QMetaType::Double || value.typeId() == QMetaType::Float) {
            const double number = value.toDouble();
            setPod(SQL_C_DOUBLE, &number, sizeof(number), SQL_DOUBLE);
        } else if (value.typeId() == QMetaType::QString) {
            setText(value.toString());
        } else if (value.canConvert<qlonglong>()) {
            const SQLBIGINT number = value.toLongLong();
            setPod(SQL_C_SBIGINT, &number, sizeof(number), SQL_BIGINT);
        } else {
            setText(value.toString());
        }
        Check(SQLBindParameter(m_stmt, SQLUSMALLINT(i + 1), SQL_PARAM_INPUT, cType == SQL_C_DEFAULT ? SQL_C_WCHAR : cType,
                               column.SqlType, column.Size, column.Digits,
                               p.Buffer.isEmpty() ? nullptr : p.Buffer.data(), p.Indicator < 0 ? 0 : p.Indicator, &p.Indicator));
    }
}
