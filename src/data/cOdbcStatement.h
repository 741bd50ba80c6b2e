#pragma once
// ODBC handles, diagnostics, texts and the watchdog on a frozen server, which the ODBC units share.
#include <QList>
#include <QString>
#include <QVariant>

#include <sql.h>
#include <sqlext.h>

#include <atomic>
#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>

// What a column of a table or a result holds, as the source describes it.
struct OdbcColumn {
    SQLSMALLINT SqlType = SQL_WVARCHAR;
    SQLULEN Size = 0;
    SQLSMALLINT Digits = 0;
    int JetType = 10;
};

// The engine's data type for a source's column type; typeName decides where the SQL type
// alone does not (a boolean reported as text, money reported as a decimal).
int JetTypeOfOdbc(SQLSMALLINT sqlType, SQLULEN size, const QString& typeName, qint32& jetSize);

// The source's diagnostics of a handle as one text ("[SQLSTATE] message; …") and the
// first SQLSTATE.
QString OdbcDiagnostics(SQLSMALLINT handleType, SQLHANDLE handle, QString* firstState = nullptr);

// The engine's error for a failed call: 3022 for a duplicate key, 3200 for a broken
// relation, else 3146 with the source's words.
[[noreturn]] void ThrowOdbcError(SQLSMALLINT handleType, SQLHANDLE handle, const QString& source = QString());

inline bool OdbcOk(SQLRETURN rc)
{
    return rc == SQL_SUCCESS || rc == SQL_SUCCESS_WITH_INFO;
}

// SQLWCHAR text of a QString, kept alive by the caller.
std::u16string OdbcText(const QString& text);
QString FromOdbcText(const SQLWCHAR* text, qsizetype length);
// A zero-filled buffer's text up to its terminator: drivers do not agree whether the
// lengths they report count characters or bytes.
QString FromOdbcBuffer(const SQLWCHAR* buffer, qsizetype capacity);

// Breaks a connection whose server stops answering in the middle of a call: a driver
// whose query timeout is kept by the server itself would wait on a frozen one for ever.
class cOdbcWatchdog {
public:
    cOdbcWatchdog() = default;
    ~cOdbcWatchdog();
    cOdbcWatchdog(const cOdbcWatchdog&) = delete;
    cOdbcWatchdog& operator=(const cOdbcWatchdog&) = delete;

    // The process's open sockets; those new after connecting are the connection's.
    static QList<int> OpenSockets();
    // Of the sockets that appeared while connecting, those that lead to the server the
    // connect text names by its port: other threads (speech, Braille) open sockets too.
    // All of them when the text names no port or none matches.
    static QList<int> ServerSockets(const QList<int>& appeared, const QString& connectText);
    // Starts watching; a call lasting longer than seconds shuts the sockets down: the
    // sockets these descriptors were at this moment, whatever the numbers are later.
    void Guard(QList<int> sockets, int seconds);
    void Stop();
    // A call on statement starts or ends; Cancel breaks into the one running (any thread).
    // A cancelled statement stays so until Forget: a cancel landing between two of its
    // calls (prepare, execute) leaves the next one failing with a driver state error.
    void Begin(SQLHSTMT statement);
    void End();
    void Cancel();
    void Forget(SQLHSTMT statement);
    // The statement of the last call was broken into by Cancel.
    bool Cancelled() const { return m_cancelled; }
    bool Fired() const { return m_fired; }
    // The connection is gone, and with it every statement the driver allocated on it: a
    // statement that outlives it must not be freed again.
    void MarkDisconnected() { m_disconnected = true; }
    bool Disconnected() const { return m_disconnected; }
    int Seconds() const { return m_seconds; }

private:
    void Run();

    std::thread m_thread;
    std::mutex m_mutex;
    std::condition_variable m_wake;
    bool m_stop = false;
    QList<int> m_sockets;
    int m_seconds = 0;
    std::atomic<qint64> m_deadline{0}; // steady milliseconds; 0 while no call waits
    std::atomic<bool> m_disconnected{false};
    std::atomic<bool> m_fired{false};
    std::mutex m_activeMutex;
    SQLHSTMT m_active = SQL_NULL_HSTMT;
    SQLHSTMT m_cancelledStatement = SQL_NULL_HSTMT;
    std::atomic<bool> m_cancelled{false};
};

// One statement handle of a connection, freed with its owner.
class cOdbcStatement {
public:
    cOdbcStatement() = default;
    // queryTimeout in seconds; 0 leaves the source's own.
    cOdbcStatement(SQLHDBC dbc, int queryTimeout, std::shared_ptr<cOdbcWatchdog> watchdog = {});
    ~cOdbcStatement();
    cOdbcStatement(cOdbcStatement&& other) noexcept;
    cOdbcStatement& operator=(cOdbcStatement&& other) noexcept;
    cOdbcStatement(const cOdbcStatement&) = delete;
    cOdbcStatement& operator=(const cOdbcStatement&) = delete;

    explicit operator bool() const { return m_stmt != SQL_NULL_HSTMT; }
    SQLHSTMT get() const { return m_stmt; }

    void Prepare(const QString& sql);
    // Dates and times go to the source as "YYYY-MM-DD HH:MM:SS" texts, for sources that
    // keep them as texts and compare them so (SQLite).
    void SetTextDates(bool textDates) { m_textDates = textDates; }
    // Parameters for the next Execute, each as the column it is compared with or written to.
    void Bind(const QVariantList& values, const QList<OdbcColumn>& columns);
    void Execute();
    void ExecDirect(const QString& sql);
    // True for a row, false at the end.
    bool Fetch();
    // Ends the current result, keeping the prepared text.
    void CloseCursor();
    SQLLEN RowCount();

    SQLSMALLINT ColumnCount();
    // A result column: its label, base column (where the source tells it) and type.
    void Describe(int column, QString& label, QString& baseColumn, OdbcColumn& type, QString& typeName);
    // A value of the current row (columns from 1), as the engine carries values.
    QVariant Get(int column, const OdbcColumn& type);

    // Diagnostics as the engine's error.
    [[noreturn]] void Fail() const;
    // Runs a call that may wait on the server under the watchdog.
    template <typename Call>
    SQLRETURN Guarded(Call call)
    {
        if (m_watchdog)
            m_watchdog->Begin(m_stmt);
        const SQLRETURN rc = call();
        if (m_watchdog)
            m_watchdog->End();
        return rc;
    }

private:
    void Check(SQLRETURN rc) const;
    void Free();
    QByteArray ReadAll(int column, SQLSMALLINT cType, bool& null);

    SQLHSTMT m_stmt = SQL_NULL_HSTMT;
    std::shared_ptr<cOdbcWatchdog> m_watchdog;
    struct Parameter {
        QByteArray Buffer;
        SQLLEN Indicator = 0;
    };
    std::deque<Parameter> m_parameters; // stable addresses while bound
    bool m_textDates = false;
};
