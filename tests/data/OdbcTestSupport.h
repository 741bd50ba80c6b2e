#pragma once

#include "cOdbcDriver.h"

#include <QString>
#include <QTemporaryDir>

#include <memory>

// unixODBC configured inside a private folder, so that no system-wide DSN or driver
// list is needed or touched, and the ODBC backend registered with the engine.
void PrepareOdbc();
// Adds a data source name to that private configuration.
void AddOdbcDsn(const QString& name, const QString& driverPath, const QString& database);

// The full path of an installed ODBC driver library, or empty.
QString OdbcDriverPath(const QString& library);

// Runs statements on a source outside the engine, to lay out test data.
void RunOdbcSql(const QString& connect, const QStringList& statements);

// A private PostgreSQL server listening only on a Unix socket in a folder of its own.
// As root it runs as the user "nobody", because PostgreSQL refuses to run as root.
class cPostgresServer {
public:
    cPostgresServer() = default;
    ~cPostgresServer();
    cPostgresServer(const cPostgresServer&) = delete;
    cPostgresServer& operator=(const cPostgresServer&) = delete;

    // False, with the reason in Error(), when the server cannot be made or started.
    bool Start();
    // Uses a server that another process started in folder and will stop, in a database of
    // this process's own; false when none runs there.
    bool Attach(const QString& folder);
    // Stops at once, as a crash or a pulled cable would.
    void Kill();
    // Freezes the server and its sessions (SIGSTOP), as a hung machine would, or thaws them.
    void Freeze(bool frozen);
    QString Error() const { return m_error; }
    QString SocketFolder() const { return m_dir ? m_dir->path() : m_attached; }
    // "ODBC;DRIVER=…" for the server's database as the superuser.
    QString Connect() const;

private:
    bool Run(const QString& program, const QStringList& arguments, int timeoutMs);

    std::unique_ptr<QTemporaryDir> m_dir;
    QString m_bin;
    bool m_running = false;
    QString m_attached;
    QString m_database = QStringLiteral("postgres");
    QString m_error;
};

// The one server of this test program: the server of the ctest run when there is one,
// else one started on first use and stopped at the program's end.
cPostgresServer* SharedPostgres();
