#include "cMdbDriver.h"

#include "cRuntimeError.h"
#include "cSqliteDriver.h"
#include "cSqliteStatement.h"
#include "mConvert.h"
#include "mJetErrors.h"
#include "mJetSql.h"
#include "mStringTable.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QMap>
#include <QFile>
#include <QRegularExpression>
#include <QtEndian>

#include <cerrno>
#include <chrono>
#include <cmath>
#include <limits>
#include <cstring>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

const QString kSource = QStringLiteral("DAO.Database");
constexpr int kTotalInWhere = 3096; // Jet's number for an aggregate in WHERE
int gHelperTimeout = 10000;
// A helper that trickles just under the stall timeout would otherwise hold the caller for
// ever: the catalogue and each table must come whole within this, plus 1 ms per KiB of file.
int gHelperDeadline = 60000;
// What the helper may send over the life of one open file. A genuine file's rows never
// come to many times its size (UTF-8 triples a byte at most; a null or a Yes/No stored in
// one bit is sent in four or five bytes, some thirty times its size in a row of nothing
// else); a damaged one can point many rows at the same memo chain and claim gigabytes.
qint64 gBudgetFloor = qint64(64) << 20;
constexpr qint64 kBudgetPerFileByte = 64;

// libmdb's type codes.
enum MdbType {
    kMdbBool = 1, kMdbByte = 2, kMdbInt = 3, kMdbLong = 4, kMdbMoney = 5, kMdbFloat = 6, kMdbDouble = 7,
    kMdbDate = 8, kMdbBinary = 9, kMdbText = 10, kMdbOle = 11, kMdbMemo = 12, kMdbGuid = 15, kMdbNumeric = 16,
    kMdbComplex = 18, kMdbExtendedDate = 20
};
constexpr int kMdbTableObject = 1;
// MSysObjects types.
constexpr int kTypeTable = 1;
constexpr int kTypeLinkedOdbc = 4;
constexpr int kTypeQuery = 5;
constexpr int kTypeLinked = 6;
constexpr quint32 kNull = 0xFFFFFFFFu;
constexpr quint32 kDamaged = 0xFFFFFFFEu;

int JetTypeOf(int mdbType)
{
    switch (mdbType) {
    case kMdbBool: return JetType::Boolean;
    case kMdbByte: return JetType::Byte;
    case kMdbInt: return JetType::Integer;
    case kMdbLong: return JetType::Long;
    case kMdbMoney: return JetType::Currency;
    case kMdbFloat: return JetType::Single;
    case kMdbDate:
    case kMdbExtendedDate: return JetType::Date;
    case kMdbBinary: return JetType::Binary;
    case kMdbText: return JetType::Text;
    case kMdbOle: return JetType::LongBinary;
    case kMdbMemo: return JetType::Memo;
    case kMdbGuid: return JetType::Guid;
    case kMdbDouble:
    case kMdbNumeric: return JetType::Double; // Decimal as its nearest the copy holds
    default: return JetType::Text; // attachments, multiple values, kinds to come: named, not read
    }
}

bool SameName(const QString& a, const QString& b)
{
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

// The helper's payloads, read with every length checked.
class cPayload {
public:
    explicit cPayload(QByteArrayView bytes) : m_bytes(bytes) {}
    bool AtEnd() const { return m_pos == m_bytes.size(); }
    bool U32(quint32& value)
    {
        if (m_bytes.size() - m_pos < 4)
            return false;
        value = qFromLittleEndian<quint32>(m_bytes.constData() + m_pos);
        m_pos += 4;
        return true;
    }
    bool U8(int& value)
    {
        if (m_pos >= m_bytes.size())
            return false;
        value = quint8(m_bytes[m_pos++]);
        return true;
    }
    // A length-prefixed value; null when the length is one of the markers.
    bool Bytes(const char*& data, quint32& length)
    {
        if (!U32(length))
            return false;
        if (length == kNull || length == kDamaged) {
            data = nullptr;
            return true;
        }
        if (quint64(m_bytes.size() - m_pos) < length)
            return false;
        data = m_bytes.constData() + m_pos;
        m_pos += length;
        return true;
    }
    bool Text(QString& text)
    {
        const char* data = nullptr;
        quint32 length = 0;
        if (!Bytes(data, length) || !data)
            return false;
        text = QString::fromUtf8(data, qsizetype(length));
        return true;
    }

private:
    QByteArrayView m_bytes;
    qsizetype m_pos = 0;
};

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

qint64 SteadyMs()
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

int FixedSize(int mdbType)
{
    switch (mdbType) {
    case kMdbByte: return 1;
    case kMdbInt: return 2;
    case kMdbLong:
    case kMdbComplex:
    case kMdbFloat: return 4;
    case kMdbMoney:
    case kMdbDouble:
    case kMdbDate: return 8;
    case kMdbGuid: return 16;
    default: return 0;
    }
}

// The SQL of a stored query, rebuilt from its rows of MSysQueries.
struct QueryRow {
    int Attribute = 0;
    int Flag = 0;
    QString Name1;
    QString Name2;
    QString Expression;
};

QString ParameterType(int type)
{
    switch (type) {
    case JetType::Boolean: return QStringLiteral("Bit");
    case JetType::Byte: return QStringLiteral("Byte");
    case JetType::Integer: return QStringLiteral("Short");
    case JetType::Long: return QStringLiteral("Long");
    case JetType::Currency: return QStringLiteral("Currency");
    case JetType::Single: return QStringLiteral("IEEESingle");
    case JetType::Double: return QStringLiteral("IEEEDouble");
    case JetType::Date: return QStringLiteral("DateTime");
    case JetType::Binary: return QStringLiteral("Binary");
    case JetType::LongBinary: return QStringLiteral("LongBinary");
    case JetType::Memo: return QStringLiteral("Memo");
    case JetType::Guid: return QStringLiteral("Guid");
    default: return QStringLiteral("Text");
    }
}

// MSysQueries' query types.
constexpr int kQueryCrosstab = 6;
constexpr int kQueryPassThrough = 8;

QString BuildQuerySql(const QList<QueryRow>& rows, cMdbDriver::Crosstab* crosstab = nullptr)
{
    int type = 1;
    int flags = 0;
    QString top, target, written;
    QStringList parameters, where, groupBy, having, orderBy, unionParts;
    struct Source {
        QString Text;
        QStringList Names;
        bool Joined = false;
    };
    QList<Source> sources;
    QList<const QueryRow*> joins;
    QList<const QueryRow*> columnRows;
    for (const QueryRow& row : rows) {
        switch (row.Attribute) {
        case 1:
            type = row.Flag;
            target = row.Name1;
            written = row.Expression;
            break;
        case 2: parameters << JetBracketName(row.Name1) + u' ' + ParameterType(row.Flag); break;
        case 3:
            flags = row.Flag;
            top = row.Name1;
            break;
        case 5:
            if (row.Name2.startsWith(QLatin1String("X7YZ_____"))) {
                unionParts << row.Expression.trimmed();
            } else {
                Source source;
                source.Text = row.Expression.isEmpty() ? JetBracketName(row.Name1) : u'(' + row.Expression + u')';
                if (!row.Name2.isEmpty())
                    source.Text += QLatin1String(" AS ") + JetBracketName(row.Name2);
                source.Names << (row.Name2.isEmpty() ? row.Name1 : row.Name2);
                sources << source;
            }
            break;
        case 6: columnRows << &row; break;
        case 7: joins << &row; break;
        case 8: where << row.Expression; break;
        case 9:
            if (!(type == kQueryCrosstab && row.Flag == 1)) // a crosstab's pivot is grouped by apart
                groupBy << row.Expression;
            break;
        case 10: having << row.Expression; break;
        case 11:
            orderBy << row.Expression + (row.Name1 == QLatin1String("D") ? QLatin1String(" DESC") : QLatin1String(""));
            break;
        default: break;
        }
    }
    for (const QueryRow* join : joins) {
        auto find = [&](const QString& name) {
            for (qsizetype i = 0; i < sources.size(); ++i) {
                for (const QString& known : sources[i].Names) {
                    if (SameName(known, name))
                        return i;
                }
            }
            return qsizetype(-1);
        };
        const qsizetype left = find(join->Name1);
        const qsizetype right = find(join->Name2);
        if (left < 0 || right < 0)
            continue;
        if (left == right) {
            sources[left].Text += QLatin1String(" AND ") + join->Expression;
            continue;
        }
        const char* kind = join->Flag == 2 ? " LEFT JOIN " : join->Flag == 3 ? " RIGHT JOIN " : " INNER JOIN ";
        auto operand = [](const Source& s) { return s.Joined ? u'(' + s.Text + u')' : s.Text; };
        Source joined;
        joined.Text = operand(sources[left]) + QLatin1String(kind) + operand(sources[right]) + QLatin1String(" ON ")
                      + join->Expression;
        joined.Names = sources[left].Names + sources[right].Names;
        joined.Joined = true;
        sources[left] = joined;
        sources.removeAt(right);
    }
    QStringList from;
    for (const Source& source : sources)
        from << source.Text;
    QString sql;
    if (!parameters.isEmpty())
        sql = QLatin1String("PARAMETERS ") + parameters.join(QLatin1String(", ")) + QLatin1String(";\n");
    // Data definition and pass-through queries keep their text as it was written (Access
    // stores it with its closing NUL).
    if (type == 7 || type == 8) {
        while (written.endsWith(QChar(0)))
            written.chop(1);
        return sql + written;
    }
    if (type == 9) {
        const QString glue = (flags & 0x02) ? QStringLiteral("\nUNION ") : QStringLiteral("\nUNION ALL ");
        sql += unionParts.join(glue);
        if (!orderBy.isEmpty())
            sql += QLatin1String("\nORDER BY ") + orderBy.join(QLatin1String(", "));
        return sql;
    }
    QStringList selectList;
    if (flags & 0x01)
        selectList << QStringLiteral("*");
    QStringList assignments, targets;
    QString value, valueName, pivot;
    for (const QueryRow* column : columnRows) {
        if (type == 4) {
            // Access keeps the field to set in Name2.
            assignments << (column->Name1.isEmpty() ? column->Name2 : column->Name1) + QLatin1String(" = ") + column->Expression;
            continue;
        }
        if (type == kQueryCrosstab && column->Flag != 2) {
            // 1 the pivot, 2 a row heading, anything else the value
            if (column->Flag == 1) {
                pivot = column->Expression;
            } else {
                value = column->Expression;
                valueName = column->Name1;
            }
            continue;
        }
        if (type == 3 && !column->Name2.isEmpty())
            targets << column->Name2;
        selectList << column->Expression + (column->Name1.isEmpty() ? QString() : QLatin1String(" AS ") + JetBracketName(column->Name1));
    }
    QString predicate;
    if (flags & 0x10)
        predicate = QLatin1String("TOP ") + top + ((flags & 0x20) ? QLatin1String(" PERCENT ") : QLatin1String(" "));
    if (flags & 0x08)
        predicate.prepend(QLatin1String("DISTINCTROW "));
    else if (flags & 0x02)
        predicate.prepend(QLatin1String("DISTINCT "));
    const QString fromText = from.join(QLatin1String(", "));
    if (type == kQueryCrosstab) {
        if (crosstab) {
            crosstab->Value = value;
            crosstab->Pivot = pivot;
            crosstab->Headings = selectList;
            crosstab->From = fromText;
            crosstab->Where = where.join(QLatin1String(" AND "));
            crosstab->GroupBy = groupBy.join(QLatin1String(", "));
            crosstab->Having = having.join(QLatin1String(" AND "));
            crosstab->OrderBy = orderBy.join(QLatin1String(", "));
        }
        sql += QLatin1String("TRANSFORM ") + value + (valueName.isEmpty() ? QString() : QLatin1String(" AS ") + JetBracketName(valueName)) + u'\n';
    }
    switch (type) {
    case 3:
        sql += QLatin1String("INSERT INTO ") + JetBracketName(target)
               + (targets.isEmpty() ? QString() : QLatin1String(" (") + targets.join(QLatin1String(", ")) + u')')
               + QLatin1String("\nSELECT ") + predicate + selectList.join(QLatin1String(", "));
        break;
    case 4: sql += QLatin1String("UPDATE ") + fromText + QLatin1String("\nSET ") + assignments.join(QLatin1String(", ")); break;
    case 5: sql += QLatin1String("DELETE ") + selectList.join(QLatin1String(", ")); break;
    default:
        sql += QLatin1String("SELECT ") + predicate + selectList.join(QLatin1String(", "));
        if (type == 2)
            sql += QLatin1String(" INTO ") + JetBracketName(target);
        break;
    }
    if (type != 4 && !fromText.isEmpty())
        sql += QLatin1String("\nFROM ") + fromText;
    if (!where.isEmpty())
        sql += QLatin1String("\nWHERE ") + where.join(QLatin1String(" AND "));
    if (!groupBy.isEmpty())
        sql += QLatin1String("\nGROUP BY ") + groupBy.join(QLatin1String(", "));
    if (!having.isEmpty())
        sql += QLatin1String("\nHAVING ") + having.join(QLatin1String(" AND "));
    if (!orderBy.isEmpty())
        sql += QLatin1String("\nORDER BY ") + orderBy.join(QLatin1String(", "));
    if (type == kQueryCrosstab)
        sql += QLatin1String("\nPIVOT ") + pivot;
    if (flags & 0x04)
        sql += QLatin1String("\nWITH OWNERACCESS OPTION");
    return sql;
}

// Whether a WHERE condition totals, which Jet refuses; the copy would only fail on it with
// a message of its own. A subquery may total, so a condition with one is left be.
bool TotalsInWhere(QString conditions)
{
    static const QRegularExpression total(QStringLiteral("(?<![\\w.\\]])(Avg|Count|Sum|Min|Max|First|Last|StDevP?|VarP?)\\s*\\("),
                                          QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression quoted(QStringLiteral("\"[^\"]*\"|'[^']*'|\\[[^\\]]*\\]"));
    conditions.remove(quoted);
    return total.match(conditions).hasMatch() && !conditions.contains(QLatin1String("SELECT"), Qt::CaseInsensitive);
}

// A crosstab's value for one pivot column: each total in it taken over the rows that
// belong to the column alone, and Null, as Jet leaves a cell, where none does (Count
// included). Empty when the value holds no total, or First or Last, whose rows the
// condition cannot pick out while keeping their order.
QString SpreadTotals(const QString& value, const QString& condition)
{
    static const QRegularExpression total(QStringLiteral("^(Avg|Count|Sum|Min|Max|First|Last|StDevP?|VarP?)\\s*\\("),
                                          QRegularExpression::CaseInsensitiveOption);
    // Past a text or bracketed name that starts at i, or -1 when it does not end.
    auto skip = [&](qsizetype i) {
        const QChar close = value[i] == u'[' ? QChar(u']') : value[i];
        const qsizetype at = value.indexOf(close, i + 1);
        return at < 0 ? -1 : at + 1;
    };
    const QString in = QLatin1String("IIf(") + condition + QLatin1String(", ");
    QString out;
    int totals = 0;
    for (qsizetype i = 0; i < value.size();) {
        const QChar c = value[i];
        if (c == u'"' || c == u'\'' || c == u'[') {
            const qsizetype next = skip(i);
            if (next < 0)
                return QString();
            out += value.mid(i, next - i);
            i = next;
            continue;
        }
        const bool wordStart = (c.isLetter() || c == u'_') && (i == 0 || !(value[i - 1].isLetterOrNumber() || value[i - 1] == u'_'
                                                                           || value[i - 1] == u'.' || value[i - 1] == u']'));
        const QRegularExpressionMatch call = wordStart ? total.match(value.mid(i)) : QRegularExpressionMatch();
        if (!call.hasMatch()) {
            out += c;
            ++i;
            continue;
        }
        const QString function = call.captured(1);
        if (function.compare(QLatin1String("First"), Qt::CaseInsensitive) == 0
            || function.compare(QLatin1String("Last"), Qt::CaseInsensitive) == 0)
            return QString();
        const qsizetype open = i + call.capturedLength(0);
        qsizetype at = open;
        for (int depth = 1; depth > 0; ) {
            if (at >= value.size())
                return QString();
            const QChar d = value[at];
            if (d == u'"' || d == u'\'' || d == u'[') {
                at = skip(at);
                if (at < 0)
                    return QString();
                continue;
            }
            depth += d == u'(' ? 1 : d == u')' ? -1 : 0;
            ++at;
        }
        QString argument = value.mid(open, at - 1 - open).trimmed();
        if (argument == u'*')
            argument = QStringLiteral("1");
        const QString spread = function + u'(' + in + argument + QLatin1String(", Null))");
        if (function.compare(QLatin1String("Count"), Qt::CaseInsensitive) == 0)
            out += QLatin1String("IIf(Sum(") + in + QLatin1String("1, 0)) = 0, Null, ") + spread + u')';
        else
            out += spread;
        ++totals;
        i = at;
    }
    return totals > 0 ? out : QString();
}

} // namespace

// The helper process and its frames. Any failure to get a whole, well-formed frame in
// time ends the process and counts as a damaged file. The process is the system's own (one
// socket for its standard input and output), not a Qt object, so that any thread may read
// from it and any thread may end it.
class cMdbHelper {
public:
    cMdbHelper(const QString& program, const QString& file, qint64 limit) : m_limit(limit)
    {
        int ends[2] = {-1, -1};
        if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, ends) != 0)
            return;
        const QByteArray path = QFile::encodeName(program);
        const QByteArray name = QFile::encodeName(file);
        char* const arguments[] = {const_cast<char*>(path.constData()), const_cast<char*>(name.constData()), nullptr};
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, ends[1], STDIN_FILENO);
        posix_spawn_file_actions_adddup2(&actions, ends[1], STDOUT_FILENO);
        posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
        pid_t pid = -1;
        const int failed = ::posix_spawnp(&pid, path.constData(), &actions, nullptr, arguments, environ);
        posix_spawn_file_actions_destroy(&actions);
        ::close(ends[1]);
        if (failed != 0) {
            ::close(ends[0]);
            return;
        }
        m_socket = ends[0];
        m_pid = pid;
    }
    ~cMdbHelper() { Stop(); }
    cMdbHelper(const cMdbHelper&) = delete;
    cMdbHelper& operator=(const cMdbHelper&) = delete;

    bool Started() const { return m_pid > 0; }

    void Stop()
    {
        if (m_pid <= 0)
            return;
        ::shutdown(m_socket, SHUT_WR); // the helper ends at the end of its commands
        bool ended = false;
        for (int i = 0; i < 20 && !ended; ++i) {
            ended = ::waitpid(m_pid, nullptr, WNOHANG) == m_pid;
            if (!ended)
                ::usleep(10000);
        }
        if (!ended) {
            ::kill(m_pid, SIGKILL);
            ::waitpid(m_pid, nullptr, 0);
        }
        ::close(m_socket);
        m_pid = -1;
        m_socket = -1;
    }

    // From any thread: a read waiting on the helper fails at once.
    void Kill()
    {
        if (const pid_t pid = m_pid; pid > 0)
            ::kill(pid, SIGKILL);
    }

    bool Send(const QByteArray& line)
    {
        for (qsizetype sent = 0; sent < line.size();) {
            const ssize_t n = ::send(m_socket, line.constData() + sent, size_t(line.size() - sent), MSG_NOSIGNAL);
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                return false;
            sent += n;
        }
        return true;
    }

    // Every Read until the next Begin must be done by then (steady milliseconds).
    void Begin(qint64 deadline) { m_deadline = deadline; }
    bool TimedOut() const { return m_timedOut; }

    // false when no whole frame came in time; the payload stays valid until the next Read.
    bool Read(char& tag, QByteArrayView& payload)
    {
        if (m_pos > (1 << 20)) {
            m_buffer.remove(0, m_pos);
            m_pos = 0;
        }
        while (true) {
            if (m_buffer.size() - m_pos >= 5) {
                const quint32 length = qFromLittleEndian<quint32>(m_buffer.constData() + m_pos + 1);
                if (length > m_limit)
                    return false;
                if (quint64(m_buffer.size() - m_pos - 5) >= length) {
                    tag = m_buffer[m_pos];
                    payload = QByteArrayView(m_buffer.constData() + m_pos + 5, qsizetype(length));
                    m_pos += 5 + qsizetype(length);
                    return true;
                }
            }
            const qint64 left = m_deadline - SteadyMs();
            if (left <= 0) {
                m_timedOut = true;
                return false;
            }
            pollfd ready{m_socket, POLLIN, 0};
            const int polled = ::poll(&ready, 1, int(qMin<qint64>(left, gHelperTimeout)));
            if (polled < 0 && errno == EINTR)
                continue;
            if (polled == 0)
                m_timedOut = true;
            if (polled <= 0)
                return false;
            char chunk[1 << 16];
            const ssize_t n = ::recv(m_socket, chunk, sizeof chunk, 0);
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                return false; // the helper ended
            m_buffer.append(chunk, n);
        }
    }

private:
    std::atomic<pid_t> m_pid{-1};
    int m_socket = -1;
    QByteArray m_buffer;
    qsizetype m_pos = 0;
    qint64 m_limit;
    qint64 m_deadline = std::numeric_limits<qint64>::max();
    bool m_timedOut = false;
};

bool cMdbDriver::HasSignature(const QByteArray& head)
{
    return head.size() >= 20 && (head.mid(4, 15) == "Standard Jet DB" || head.mid(4, 15) == "Standard ACE DB");
}

void cMdbDriver::SetHelperTimeout(int milliseconds)
{
    gHelperTimeout = milliseconds;
}

void cMdbDriver::SetHelperDeadline(int milliseconds)
{
    gHelperDeadline = milliseconds;
}

void cMdbDriver::SetByteBudgetFloor(qint64 bytes)
{
    gBudgetFloor = bytes;
}

qint64 cMdbDriver::ByteBudget(qint64 fileSize)
{
    return gBudgetFloor + kBudgetPerFileByte * qMax<qint64>(0, fileSize);
}

QString cMdbDriver::HelperPath()
{
    const QString configured = qEnvironmentVariable("QUARNEL_MDB_READER");
    if (!configured.isEmpty())
        return configured;
    const QString name = QStringLiteral("quarnel-mdb-reader");
    // Looked up once: Qt fills its cache of the program's path without a lock, and
    // files are opened from worker threads too.
    static const QString programFolder =
        QCoreApplication::instance() ? QCoreApplication::applicationDirPath() : QString();
    if (!programFolder.isEmpty()) {
        const QString beside = programFolder + u'/' + name;
        if (QFileInfo(beside).isExecutable())
            return beside;
#ifdef QUARNEL_LIBEXEC_FROM_BIN
        const QString installed = QDir::cleanPath(programFolder + QStringLiteral("/" QUARNEL_LIBEXEC_FROM_BIN "/") + name);
        if (QFileInfo(installed).isExecutable())
            return installed;
#endif
    }
    // Never looked up in the current folder or the search path: a file of that name there
    // is not ours.
#ifdef QUARNEL_MDB_READER
    return QStringLiteral(QUARNEL_MDB_READER);
#else
    return QStringLiteral("/nonexistent/") + name;
#endif
}

cMdbDriver::cMdbDriver(QString path) : m_path(std::move(path)) {}

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

void cMdbDriver::Damaged() const
{
    RaiseJetError(JetError::NotADatabase, {m_path}, QStringLiteral("DAO.DBEngine"));
}

void cMdbDriver::StartRequest()
{
    m_helper->Begin(SteadyMs() + gHelperDeadline + m_fileSize / 1024);
}

bool cMdbDriver::Receive(char& tag, QByteArrayView& payload)
{
    if (!m_helper->Read(tag, payload))
        return false;
    m_received += 5 + payload.size();
    if (m_received > m_budget) {
        m_overBudget = true;
        return false;
    }
    return true;
}

void cMdbDriver::HelperFailed()
{
    const bool slow = m_helper && m_helper->TimedOut();
    m_helper.reset(); // a helper that failed once is not trusted again
    // Both are still "not a database" to the callers; the text says what the file did.
    const QString source = QStringLiteral("DAO.DBEngine");
    if (m_overBudget) {
        const QString megabytes = QString::number(ByteBudget(m_fileSize) >> 20);
        throw cRuntimeError(JetError::NotADatabase, LoadString(10760).arg(m_path, megabytes), source);
    }
    if (slow)
        throw cRuntimeError(JetError::NotADatabase, LoadString(10761).arg(m_path), source);
    Damaged();
}

void cMdbDriver::RequireOpen() const
{
    if (m_closed)
        RaiseJetError(JetError::ObjectClosed, {}, kSource);
}

void cMdbDriver::Load()
{
    // A frame never holds more than the file could: three bytes of UTF-8 per stored byte.
    m_fileSize = QFileInfo(m_path).size();
    m_frameLimit = qMin<qint64>(m_fileSize * 3 + (1 << 20), 0x7FFFFFFF);
    m_budget = ByteBudget(m_fileSize);
    m_helper = std::make_unique<cMdbHelper>(HelperPath(), m_path, m_frameLimit);
    if (!m_helper->Started())
        RaiseJetError(JetError::FileLocked, {m_path}, QStringLiteral("DAO.DBEngine"));
    StartRequest();
    char tag = 0;
    QByteArrayView payload;
    if (!Receive(tag, payload))
        HelperFailed();
    if (tag != 'H')
        Damaged();
    {
        cPayload head(payload);
        quint32 codePage = 0, pages = 0;
        if (!head.U32(m_jetVersion) || !head.U32(m_langId) || !head.U32(codePage) || !head.U32(pages))
            Damaged();
    }
    while (true) {
        if (!Receive(tag, payload))
            HelperFailed();
        if (tag == 'E')
            break;
        cPayload read(payload);
        if (tag == 'O') {
            Object object;
            quint32 type = 0, flags = 0;
            if (!read.U32(object.Index) || !read.U32(type) || !read.U32(flags) || !read.Text(object.Name))
                Damaged();
            object.Type = int(type);
            object.Flags = qint32(flags);
            m_objects << object;
        } else if (tag == 'C' && !m_objects.isEmpty()) {
            quint32 count = 0;
            if (!read.U32(count) || count > 4096)
                Damaged();
            for (quint32 i = 0; i < count; ++i) {
                Column column;
                quint32 type = 0, columnSize = 0;
                if (!read.Text(column.Name) || !read.U32(type) || !read.U32(columnSize) || !read.U8(column.Required)
                    || !read.U8(column.AllowZeroLength) || !read.Text(column.DefaultValue))
                    Damaged();
                int calculated = 0;
                if (!read.U8(calculated))
                    Damaged();
                column.Calculated = calculated == 1;
                column.MdbType = int(type);
                column.Size = int(columnSize);
                m_objects.last().Columns << column;
            }
        } else if (tag == 'I' && !m_objects.isEmpty()) {
            Object& table = m_objects.last();
            quint32 count = 0;
            if (!read.U32(count) || count > 4096)
                Damaged();
            for (quint32 i = 0; i < count; ++i) {
                IndexSchema index;
                int primary = 0, unique = 0;
                quint32 keys = 0;
                if (!read.Text(index.Name) || !read.U8(primary) || !read.U8(unique) || !read.U32(keys) || keys > 64)
                    Damaged();
                index.Primary = primary == 1;
                index.Unique = unique == 1 || index.Primary;
                for (quint32 k = 0; k < keys; ++k) {
                    quint32 column = 0;
                    int descending = 0;
                    if (!read.U32(column) || !read.U8(descending) || column >= quint32(table.Columns.size()))
                        Damaged();
                    index.Fields << table.Columns[qsizetype(column)].Name;
                    index.Descending << (descending == 1);
                }
                table.Indexes << index;
            }
        } else {
            Damaged();
        }
    }
    // MSysObjects tells what libmdb's catalogue does not: the object types as stored,
    // and the connection of linked tables.
    const Object* objects = FindTableObject(QStringLiteral("MSysObjects"));
    if (!objects)
        Damaged();
    QHash<QString, int> column;
    for (int i = 0; i < objects->Columns.size(); ++i)
        column.insert(objects->Columns[i].Name.toCaseFolded(), i);
    const int id = column.value(QStringLiteral("id"), -1), name = column.value(QStringLiteral("name"), -1),
              type = column.value(QStringLiteral("type"), -1), flags = column.value(QStringLiteral("flags"), -1),
              database = column.value(QStringLiteral("database"), -1), connect = column.value(QStringLiteral("connect"), -1);
    if (name < 0 || type < 0)
        Damaged();
    auto integer = [](const QByteArray& value) {
        return value.size() == 4 ? qFromLittleEndian<qint32>(value.constData())
               : value.size() == 2 ? qint32(qFromLittleEndian<qint16>(value.constData())) : 0;
    };
    auto text = [](const QList<QByteArray>& values, const QList<bool>& nulls, int at) {
        return at < 0 || nulls[at] ? QString() : QString::fromUtf8(values[at]);
    };
    QList<QPair<qint32, QString>> queries;
    QHash<qint32, QString> objectNames;
    ReadRows(*objects, [&](const QList<QByteArray>& values, const QList<bool>& nulls) {
        const int objectType = integer(values[type]); // forms and reports are negative
        const QString objectName = text(values, nulls, name);
        if (id >= 0 && !nulls[id])
            objectNames.insert(integer(values[id]), objectName);
        const qint32 objectFlags = flags >= 0 ? integer(values[flags]) : 0;
        if (objectType == kTypeQuery) {
            if (!objectName.startsWith(u'~')) // the hidden record sources of forms and reports
                queries << qMakePair(id >= 0 ? integer(values[id]) : 0, objectName);
            return;
        }
        if (objectType != kTypeTable && objectType != kTypeLinked && objectType != kTypeLinkedOdbc)
            return;
        TableSchema table;
        table.Name = objectName;
        if (objectType == kTypeTable) {
            const Object* stored = FindTableObject(objectName);
            if (!stored)
                return;
            const bool system = objectName.startsWith(QLatin1String("MSys"), Qt::CaseInsensitive)
                                || (objectFlags & kSystemObject) != 0;
            table.Attributes = system ? kSystemObject : 0;
            for (const Column& c : stored->Columns) {
                FieldSchema field;
                field.Name = c.Name;
                field.Type = JetTypeOf(c.MdbType);
                field.Size = c.MdbType == kMdbText ? (m_jetVersion > 0 ? c.Size / 2 : c.Size)
                           : c.MdbType == kMdbMemo || c.MdbType == kMdbOle ? 0
                           : c.MdbType == kMdbBool ? 1 : c.MdbType == kMdbNumeric ? 16 : FixedSize(c.MdbType);
                if (c.MdbType == kMdbBinary)
                    field.Size = c.Size;
                if (c.Calculated) {
                    field.Type = JetType::Text; // the stand-in text, not the stored result
                    field.Size = 255;
                } else if (field.Type == JetType::Text && c.MdbType != kMdbText) {
                    field.Size = 255;
                } else if (c.MdbType == kMdbExtendedDate) {
                    field.Size = 8;
                }
                field.Required = c.Required == 1;
                field.AllowZeroLength = (field.Type == JetType::Text || field.Type == JetType::Memo) && c.AllowZeroLength != 0;
                field.DefaultValue = c.DefaultValue;
                field.SourceTable = objectName;
                field.SourceField = c.Name;
                table.Fields << field;
            }
            table.Indexes = stored->Indexes;
        } else {
            const QString connection = text(values, nulls, connect);
            const QString file = text(values, nulls, database);
            table.Connect = file.isEmpty() ? connection : connection + QLatin1String(";DATABASE=") + file;
            table.Attributes = objectType == kTypeLinkedOdbc ? kAttachedOdbc : kAttachedTable;
        }
        m_tables << table;
    });
    std::sort(queries.begin(), queries.end(), [](const auto& a, const auto& b) {
        return a.second.compare(b.second, Qt::CaseInsensitive) < 0;
    });
    for (const auto& query : queries)
        m_queries << QuerySchema{query.second, QString()};
    // The query texts need MSysQueries, read when first asked for.
    for (const auto& query : queries)
        m_queryIds.insert(query.second, query.first);
    ReadComplexKinds(objectNames);
}

// ACE keeps an attachment or a field of several values in tables of its own; the field's
// row holds only a key. MSysComplexColumns tells which kind each such field is.
void cMdbDriver::ReadComplexKinds(const QHash<qint32, QString>& objectNames)
{
    const Object* complex = FindTableObject(QStringLiteral("MSysComplexColumns"));
    if (!complex)
        return;
    QHash<QString, int> column;
    for (int i = 0; i < complex->Columns.size(); ++i)
        column.insert(complex->Columns[i].Name.toCaseFolded(), i);
    const int name = column.value(QStringLiteral("columnname"), -1), kind = column.value(QStringLiteral("complextypeobjectid"), -1),
              table = column.value(QStringLiteral("conceptualtableid"), -1);
    if (name < 0 || kind < 0 || table < 0)
        return;
    auto integer = [](const QByteArray& value) { return value.size() == 4 ? qFromLittleEndian<qint32>(value.constData()) : 0; };
    ReadRows(*complex, [&](const QList<QByteArray>& values, const QList<bool>& nulls) {
        if (nulls[name] || nulls[kind] || nulls[table])
            return;
        const QString kindName = objectNames.value(integer(values[kind]));
        const bool attachment = kindName.compare(QLatin1String("MSysComplexType_Attachment"), Qt::CaseInsensitive) == 0;
        m_complexKinds.insert((objectNames.value(integer(values[table])) + u'\n' + QString::fromUtf8(values[name])).toCaseFolded(),
                              LoadString(attachment ? 10720 : 10721));
    });
}

QString cMdbDriver::StandIn(const Object& table, int column) const
{
    const Column& c = table.Columns[column];
    if (c.Calculated)
        return LoadString(10722);
    switch (c.MdbType) {
    case kMdbBool: case kMdbByte: case kMdbInt: case kMdbLong: case kMdbMoney: case kMdbFloat: case kMdbDouble:
    case kMdbDate: case kMdbBinary: case kMdbText: case kMdbOle: case kMdbMemo: case kMdbGuid: case kMdbNumeric:
        return QString();
    case kMdbComplex:
        return m_complexKinds.value((table.Name + u'\n' + c.Name).toCaseFolded(), LoadString(10721));
    case kMdbExtendedDate: return LoadString(10723);
    default: return LoadString(10724);
    }
}

const cMdbDriver::Object* cMdbDriver::FindTableObject(const QString& name) const
{
    for (const Object& object : m_objects) {
        if (object.Type == kMdbTableObject && SameName(object.Name, name))
            return &object;
    }
    return nullptr;
}

void cMdbDriver::ReadRows(const Object& table,
                          const std::function<void(const QList<QByteArray>&, const QList<bool>&)>& onRow)
{
    if (!m_helper && m_restartHelper)
        RestartHelper();
    if (!m_helper)
        Damaged();
    StartRequest();
    if (!m_helper->Send(QByteArray("R ") + QByteArray::number(table.Index) + '\n'))
        HelperFailed();
    // While the rows come, a stop from another thread ends the helper.
    struct Reading {
        cMdbDriver& Driver;
        explicit Reading(cMdbDriver& driver, cMdbHelper& helper) : Driver(driver) { Driver.SetReading(&helper); }
        ~Reading() { Driver.SetReading(nullptr); }
    } reading(*this, *m_helper);
    const qsizetype columns = table.Columns.size();
    QList<QByteArray> values(columns);
    QList<bool> nulls(columns);
    char tag = 0;
    QByteArrayView payload;
    while (true) {
        if (!Receive(tag, payload)) {
            SetReading(nullptr);
            if (m_interrupted.exchange(false) && !m_overBudget) {
                m_helper.reset();
                m_restartHelper = true; // it was stopped, not broken
                RaiseJetError(JetError::Cancelled, {}, kSource);
            }
            HelperFailed();
        }
        if (tag == 'Z')
            return;
        if (tag != 'R') {
            m_helper.reset();
            Damaged();
        }
        cPayload read(payload);
        for (qsizetype i = 0; i < columns; ++i) {
            const char* data = nullptr;
            quint32 length = 0;
            if (!read.Bytes(data, length)) {
                m_helper.reset();
                Damaged();
            }
            nulls[i] = data == nullptr;
            values[i] = data ? QByteArray::fromRawData(data, qsizetype(length)) : QByteArray();
            const int fixed = FixedSize(table.Columns[i].MdbType);
            const bool wrongSize = data && ((fixed > 0 && int(length) != fixed) || (table.Columns[i].MdbType == kMdbBool && length != 1));
            if (wrongSize) {
                m_helper.reset();
                Damaged();
            }
        }
        if (!read.AtEnd()) {
            m_helper.reset();
            Damaged();
        }
        onRow(values, nulls);
    }
}

cSqliteDriver& cMdbDriver::Memory()
{
    if (!m_memory) {
        m_memory = cSqliteDriver::OpenMemory(QStringLiteral(";LANGID=0x%1;").arg(m_langId, 4, 16, QLatin1Char('0')));
        m_interruptible = m_memory.get();
    }
    return *m_memory;
}

void cMdbDriver::CopyTable(const Object& table)
{
    const TableSchema* schema = nullptr;
    for (const TableSchema& t : m_tables) {
        if (SameName(t.Name, table.Name) && t.Connect.isEmpty())
            schema = &t;
    }
    sqlite3* db = Memory().Handle();
    QStringList definitions, marks;
    QList<QByteArray> standIns;
    for (qsizetype i = 0; i < table.Columns.size(); ++i) {
        standIns << StandIn(table, int(i)).toUtf8();
        FieldSchema field;
        field.Type = schema && i < schema->Fields.size() ? schema->Fields[i].Type : JetTypeOf(table.Columns[i].MdbType);
        field.Size = schema && i < schema->Fields.size() ? schema->Fields[i].Size : 255;
        if (field.Type == JetType::Text && (field.Size <= 0 || field.Size > 255))
            field.Type = JetType::Memo;
        const bool text = field.Type == JetType::Text || field.Type == JetType::Memo;
        definitions << QuoteName(table.Columns[i].Name) + u' ' + cSqliteDriver::DeclaredTypeOf(field)
                           + (text ? QLatin1String(" COLLATE NOCASE") : QLatin1String(""));
        marks << QStringLiteral("?");
    }
    if (definitions.isEmpty())
        Damaged();
    ExecSql(db, QStringLiteral("SAVEPOINT copy"));
    try {
        ExecSql(db, QStringLiteral("CREATE TABLE %1 (%2)").arg(QuoteName(table.Name), definitions.join(QLatin1String(", "))));
        cSqliteStatement insert(db, QStringLiteral("INSERT INTO %1 VALUES (%2)").arg(QuoteName(table.Name), marks.join(u',')));
        sqlite3_stmt* statement = insert.get();
        ReadRows(table, [&](const QList<QByteArray>& values, const QList<bool>& nulls) {
            for (qsizetype i = 0; i < values.size(); ++i) {
                const int at = int(i) + 1;
                const QByteArray& v = values[i];
                const auto* b = reinterpret_cast<const unsigned char*>(v.constData());
                if (nulls[i]) {
                    sqlite3_bind_null(statement, at);
                    continue;
                }
                if (!standIns[i].isEmpty()) {
                    sqlite3_bind_text(statement, at, standIns[i].constData(), int(standIns[i].size()), SQLITE_STATIC);
                    continue;
                }
                switch (table.Columns[i].MdbType) {
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
            insert.Step();
            insert.Reset();
        });
        ExecSql(db, QStringLiteral("RELEASE copy"));
    } catch (const cRuntimeError& e) {
        sqlite3_exec(db, "ROLLBACK TO copy; RELEASE copy", nullptr, nullptr, nullptr);
        if (e.Number() == JetError::NotADatabase)
            throw;
        Damaged(); // names or values the copy refuses: the file is not what it claims
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
    for (const TableSchema& table : std::as_const(m_tables)) {
        const QString key = table.Name.toCaseFolded();
        if (!words.contains(key) || m_copied.contains(key) || !table.Connect.isEmpty())
            continue;
        if (const Object* object = FindTableObject(table.Name))
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
    if (SpreadTotals(crosstab.Value, QStringLiteral("True")).isEmpty() || crosstab.Pivot.isEmpty() || crosstab.From.isEmpty())
        return QString();
    QStringList columns = crosstab.Headings;
    auto add = [&](const QString& condition, const QString& name) {
        columns << SpreadTotals(crosstab.Value, condition) + QLatin1String(" AS ") + JetBracketName(name);
    };
    auto select = [&] {
        QString sql = QLatin1String("SELECT ") + columns.join(QLatin1String(", ")) + QLatin1String(" FROM ") + crosstab.From;
        if (!crosstab.Where.isEmpty())
            sql += QLatin1String(" WHERE ") + crosstab.Where;
        if (!crosstab.GroupBy.isEmpty())
            sql += QLatin1String(" GROUP BY ") + crosstab.GroupBy;
        if (!crosstab.Having.isEmpty())
            sql += QLatin1String(" HAVING ") + crosstab.Having;
        if (!crosstab.OrderBy.isEmpty())
            sql += QLatin1String(" ORDER BY ") + crosstab.OrderBy;
        return sql;
    };
    // "PIVOT x In (a, b)" names its columns itself, in its own order, whether or not rows have them.
    static const QRegularExpression fixed(QStringLiteral("^(.*\\S)\\s+In\\s*\\(([^()]*)\\)\\s*$"),
                                          QRegularExpression::CaseInsensitiveOption | QRegularExpression::DotMatchesEverythingOption);
    const QRegularExpressionMatch headed = fixed.match(crosstab.Pivot);
    if (headed.hasMatch()) {
        static const QRegularExpression item(QStringLiteral("\\s*(\"[^\"]*\"|'[^']*'|[^,]+?)\\s*(,|$)"));
        const QString pivot = headed.captured(1);
        for (auto it = item.globalMatch(headed.captured(2)); it.hasNext();) {
            const QString literal = it.next().captured(1);
            if (literal.isEmpty())
                continue;
            const bool quoted = literal.startsWith(u'"') || literal.startsWith(u'\'');
            add(u'(' + pivot + QLatin1String(") = ") + literal, quoted ? literal.mid(1, literal.size() - 2) : literal);
        }
        return select();
    }
    // The pivot's values, in the order Jet gives its columns.
    QString values = QLatin1String("SELECT DISTINCT ") + crosstab.Pivot + QLatin1String(" FROM ") + crosstab.From;
    if (!crosstab.Where.isEmpty())
        values += QLatin1String(" WHERE ") + crosstab.Where;
    values += QLatin1String(" ORDER BY 1");
    cSqliteStatement statement(Memory().Handle(), Memory().Translate(values));
    while (statement.Step()) {
        QString condition, name;
        switch (sqlite3_column_type(statement.get(), 0)) {
        case SQLITE_NULL:
            condition = u'(' + crosstab.Pivot + QLatin1String(") Is Null");
            name = QStringLiteral("<>");
            break;
        case SQLITE_INTEGER:
            name = QString::number(statement.Int(0));
            condition = u'(' + crosstab.Pivot + QLatin1String(") = ") + name;
            break;
        case SQLITE_FLOAT: {
            const double number = sqlite3_column_double(statement.get(), 0);
            name = QString::number(number, 'g', 17);
            condition = u'(' + crosstab.Pivot + QLatin1String(") = ") + name;
            break;
        }
        case SQLITE_TEXT: {
            name = statement.Text(0);
            condition = u'(' + crosstab.Pivot + QLatin1String(") = ") + JetQuoteText(name);
            break;
        }
        default: return QString(); // a binary value names no column
        }
        add(condition, name);
    }
    return select();
}

QList<TableSchema> cMdbDriver::Tables()
{
    RequireOpen();
    return m_tables;
}

QList<QuerySchema> cMdbDriver::Queries()
{
    RequireOpen();
    if (m_queriesRead || m_queries.isEmpty())
        return m_queries;
    m_queriesRead = true;
    const Object* table = FindTableObject(QStringLiteral("MSysQueries"));
    if (!table)
        return m_queries;
    QHash<QString, int> column;
    for (int i = 0; i < table->Columns.size(); ++i)
        column.insert(table->Columns[i].Name.toCaseFolded(), i);
    const int objectId = column.value(QStringLiteral("objectid"), -1), attribute = column.value(QStringLiteral("attribute"), -1),
              flag = column.value(QStringLiteral("flag"), -1), name1 = column.value(QStringLiteral("name1"), -1),
              name2 = column.value(QStringLiteral("name2"), -1), expression = column.value(QStringLiteral("expression"), -1);
    if (objectId < 0 || attribute < 0)
        return m_queries;
    auto number = [](const QByteArray& v) {
        return v.size() == 4 ? qFromLittleEndian<qint32>(v.constData())
               : v.size() == 2 ? qint32(qFromLittleEndian<qint16>(v.constData()))
               : v.size() == 1 ? qint32(quint8(v[0])) : 0;
    };
    QMap<qint32, QList<QueryRow>> rows;
    ReadRows(*table, [&](const QList<QByteArray>& values, const QList<bool>& nulls) {
        auto text = [&](int at) { return at < 0 || nulls[at] ? QString() : QString::fromUtf8(values[at]); };
        QueryRow row;
        row.Attribute = number(values[attribute]);
        row.Flag = flag >= 0 && !nulls[flag] ? number(values[flag]) : 0;
        row.Name1 = text(name1);
        row.Name2 = text(name2);
        row.Expression = text(expression);
        rows[number(values[objectId])] << row;
    });
    for (QuerySchema& query : m_queries) {
        const QList<QueryRow> parts = rows.value(m_queryIds.value(query.Name));
        int type = 0;
        QStringList where;
        for (const QueryRow& row : parts) {
            if (row.Attribute == 1)
                type = row.Flag;
            else if (row.Attribute == 8)
                where << row.Expression;
        }
        if (TotalsInWhere(where.join(u' ')))
            m_totalsInWhere.insert(query.Name.toCaseFolded(), where.join(QLatin1String(" AND ")));
        Crosstab crosstab;
        query.Sql = BuildQuerySql(parts, &crosstab);
        if (type == kQueryCrosstab)
            m_crosstabs.insert(query.Name.toCaseFolded(), crosstab);
        else if (type == kQueryPassThrough)
            m_passThrough.insert(query.Name.toCaseFolded());
    }
    return m_queries;
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

void cMdbDriver::Interrupt()
{
    std::lock_guard lock(m_interruptMutex);
    if (cMdbHelper* helper = m_reading) {
        m_interrupted = true;
        helper->Kill();
    }
    if (cSqliteDriver* memory = m_interruptible)
        memory->Interrupt();
}

void cMdbDriver::SetReading(cMdbHelper* helper)
{
    std::lock_guard lock(m_interruptMutex); // Interrupt never kills a helper being let go
    m_reading = helper;
}

void cMdbDriver::RestartHelper()
{
    m_restartHelper = false;
    m_helper = std::make_unique<cMdbHelper>(HelperPath(), m_path, m_frameLimit);
    if (!m_helper->Started())
        RaiseJetError(JetError::FileLocked, {m_path}, QStringLiteral("DAO.DBEngine"));
    // The catalogue was read by the first helper; this one's is passed over.
    StartRequest();
    char tag = 0;
    QByteArrayView payload;
    do {
        if (!Receive(tag, payload))
            HelperFailed();
    } while (tag != 'E');
}

void cMdbDriver::Close()
{
    m_closed = true;
    m_helper.reset();
    m_interruptible = nullptr;
    if (m_memory)
        m_memory->Close();
    m_memory.reset();
    m_copied.clear();
}
