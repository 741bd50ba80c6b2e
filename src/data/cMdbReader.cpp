#include "cMdbReader.h"

#include "cRuntimeError.h"
#include "mJetErrors.h"
#include "mMdbFrames.h"
#include "mNames.h"
#include "mStringTable.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QtEndian>

#include <cerrno>
#include <limits>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

const QString kSource = QStringLiteral("DAO.Database");
const QString kEngineSource = QStringLiteral("DAO.DBEngine");
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
constexpr int kMdbTableObject = 1;

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
        if (length == kMdbNullValue || length == kMdbDamagedValue) {
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

void cMdbReader::SetTimeout(int milliseconds)
{
    gHelperTimeout = milliseconds;
}

void cMdbReader::SetDeadline(int milliseconds)
{
    gHelperDeadline = milliseconds;
}

void cMdbReader::SetByteBudgetFloor(qint64 bytes)
{
    gBudgetFloor = bytes;
}

qint64 cMdbReader::ByteBudget(qint64 fileSize)
{
    return gBudgetFloor + kBudgetPerFileByte * qMax<qint64>(0, fileSize);
}

QString cMdbReader::HelperPath()
{
    const QString configured = qEnvironmentVariable("QUARNEL_MDB_READER");
    if (!configured.isEmpty())
        return configured;
    const QString name = QStringLiteral("quarnel-mdb-reader");
    // The kernel's link, not the toolkit's: a file named on the command line is opened
    // while the application object is still being built, and the answer is kept for good.
    static const QString programFolder = [] {
        const QString program = QFileInfo(QStringLiteral("/proc/self/exe")).symLinkTarget();
        return program.isEmpty() ? QString() : QFileInfo(program).path();
    }();
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

cMdbReader::cMdbReader(QString path) : m_path(std::move(path)) {}

cMdbReader::~cMdbReader() = default;

void cMdbReader::Damaged() const
{
    RaiseJetError(JetError::NotADatabase, {m_path}, kEngineSource);
}

void cMdbReader::StartRequest()
{
    m_helper->Begin(SteadyMs() + gHelperDeadline + m_fileSize / 1024);
}

bool cMdbReader::Receive(char& tag, QByteArrayView& payload)
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

void cMdbReader::HelperFailed()
{
    const bool slow = m_helper && m_helper->TimedOut();
    m_helper.reset(); // a helper that failed once is not trusted again
    // Both are still "not a database" to the callers; the text says what the file did.
    if (m_overBudget) {
        const QString megabytes = QString::number(ByteBudget(m_fileSize) >> 20);
        throw cRuntimeError(JetError::NotADatabase, LoadString(10760).arg(m_path, megabytes), kEngineSource);
    }
    if (slow)
        throw cRuntimeError(JetError::NotADatabase, LoadString(10761).arg(m_path), kEngineSource);
    Damaged();
}

void cMdbReader::Start()
{
    // A frame never holds more than the file could: three bytes of UTF-8 per stored byte.
    m_fileSize = QFileInfo(m_path).size();
    m_frameLimit = qMin<qint64>(m_fileSize * 3 + (1 << 20), 0x7FFFFFFF);
    m_budget = ByteBudget(m_fileSize);
    StartHelper();
    StartRequest();
    ReadCatalogFrames();
}

void cMdbReader::StartHelper()
{
    m_helper = std::make_unique<cMdbHelper>(HelperPath(), m_path, m_frameLimit);
    if (!m_helper->Started())
        RaiseJetError(JetError::FileLocked, {m_path}, kEngineSource);
}

namespace {

// The columns of the table just announced.
bool ReadColumns(cPayload& read, cMdbReader::Object& table)
{
    quint32 count = 0;
    if (!read.U32(count) || count > 4096)
        return false;
    for (quint32 i = 0; i < count; ++i) {
        cMdbReader::Column column;
        quint32 type = 0, columnSize = 0;
        if (!read.Text(column.Name) || !read.U32(type) || !read.U32(columnSize) || !read.U8(column.Required)
            || !read.U8(column.AllowZeroLength) || !read.Text(column.DefaultValue))
            return false;
        int calculated = 0;
        if (!read.U8(calculated))
            return false;
        column.Calculated = calculated == 1;
        column.MdbType = int(type);
        column.Size = int(columnSize);
        table.Columns << column;
    }
    return true;
}

// The indexes of the table just announced, their keys named by its columns.
bool ReadIndexes(cPayload& read, cMdbReader::Object& table)
{
    quint32 count = 0;
    if (!read.U32(count) || count > 4096)
        return false;
    for (quint32 i = 0; i < count; ++i) {
        IndexSchema index;
        int primary = 0, unique = 0;
        quint32 keys = 0;
        if (!read.Text(index.Name) || !read.U8(primary) || !read.U8(unique) || !read.U32(keys) || keys > 64)
            return false;
        index.Primary = primary == 1;
        index.Unique = unique == 1 || index.Primary;
        for (quint32 k = 0; k < keys; ++k) {
            quint32 column = 0;
            int descending = 0;
            if (!read.U32(column) || !read.U8(descending) || column >= quint32(table.Columns.size()))
                return false;
            index.Fields << table.Columns[qsizetype(column)].Name;
            index.Descending << (descending == 1);
        }
        table.Indexes << index;
    }
    return true;
}

} // namespace

void cMdbReader::ReadCatalogFrames()
{
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
            if (!ReadColumns(read, m_objects.last()))
                Damaged();
        } else if (tag == 'I' && !m_objects.isEmpty()) {
            if (!ReadIndexes(read, m_objects.last()))
                Damaged();
        } else {
            Damaged();
        }
    }
}

const cMdbReader::Object* cMdbReader::FindTable(const QString& name) const
{
    for (const Object& object : m_objects) {
        if (object.Type == kMdbTableObject && SameName(object.Name, name))
            return &object;
    }
    return nullptr;
}

void cMdbReader::ReadRows(const Object& table, const RowHandler& onRow)
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
        cMdbReader& Reader;
        explicit Reading(cMdbReader& reader, cMdbHelper& helper) : Reader(reader) { Reader.SetReading(&helper); }
        ~Reading() { Reader.SetReading(nullptr); }
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

void cMdbReader::Interrupt()
{
    std::lock_guard lock(m_interruptMutex);
    if (cMdbHelper* helper = m_reading) {
        m_interrupted = true;
        helper->Kill();
    }
}

void cMdbReader::SetReading(cMdbHelper* helper)
{
    std::lock_guard lock(m_interruptMutex); // Interrupt never kills a helper being let go
    m_reading = helper;
}

void cMdbReader::RestartHelper()
{
    m_restartHelper = false;
    StartHelper();
    // The catalogue was read by the first helper; this one's is passed over.
    StartRequest();
    char tag = 0;
    QByteArrayView payload;
    do {
        if (!Receive(tag, payload))
            HelperFailed();
    } while (tag != 'E');
}

void cMdbReader::Stop()
{
    m_helper.reset();
}
