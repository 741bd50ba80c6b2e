#include "OdbcTestSupport.h"

#include "DBEngine.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QVersionNumber>

#include <csignal>
#include <cstdlib>
#include <pwd.h>
#include <unistd.h>

#include <gtest/gtest.h>

namespace {

const QString kUser = QStringLiteral("quarnel");

} // namespace

namespace {

QTemporaryDir& ConfigFolder()
{
    static QTemporaryDir config;
    return config;
}

} // namespace

void AddOdbcDsn(const QString& name, const QString& driverPath, const QString& database)
{
    PrepareOdbc();
    QFile ini(ConfigFolder().filePath(QStringLiteral("odbc.ini")));
    ASSERT_TRUE(ini.open(QIODevice::Append));
    ini.write(QStringLiteral("[%1]\nDriver=%2\nDatabase=%3\n\n").arg(name, driverPath, database).toUtf8());
}

void PrepareOdbc()
{
    QTemporaryDir& config = ConfigFolder();
    static bool done = false;
    if (!done) {
        QFile(config.filePath(QStringLiteral("odbcinst.ini"))).open(QIODevice::WriteOnly);
        QFile(config.filePath(QStringLiteral("odbc.ini"))).open(QIODevice::WriteOnly);
        qputenv("ODBCSYSINI", QFile::encodeName(config.path()));
        qputenv("ODBCINI", QFile::encodeName(config.filePath(QStringLiteral("odbc.ini"))));
        DBEngine::Instance().RegisterOdbcBackend(&OpenOdbcSource);
        done = true;
    }
}

QString OdbcDriverPath(const QString& library)
{
    const QDir lib(QStringLiteral("/usr/lib"));
    QStringList folders{QStringLiteral("/usr/lib/odbc")};
    for (const QString& arch : lib.entryList({QStringLiteral("*-linux-gnu*")}, QDir::Dirs))
        folders << lib.filePath(arch + QStringLiteral("/odbc"));
    for (const QString& folder : folders) {
        const QString path = QDir(folder).filePath(library);
        if (QFile::exists(path))
            return path;
    }
    return QString();
}

void RunOdbcSql(const QString& connect, const QStringList& statements)
{
    auto driver = cOdbcDriver::Open(connect, false);
    for (const QString& sql : statements) {
        cOdbcStatement statement = driver->NewStatement();
        statement.ExecDirect(sql);
    }
}

cPostgresServer::~cPostgresServer()
{
    Kill();
}

bool cPostgresServer::Run(const QString& program, const QStringList& arguments, int timeoutMs)
{
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    QStringList command{QDir(m_bin).filePath(program)};
    command << arguments;
    if (::geteuid() == 0)
        command = QStringList{QStringLiteral("runuser"), QStringLiteral("-u"), QStringLiteral("nobody"), QStringLiteral("--")}
                  + command;
    process.start(command.first(), command.mid(1));
    if (!process.waitForFinished(timeoutMs) || process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0) {
        process.kill();
        process.waitForFinished(2000);
        m_error = QStringLiteral("%1: %2").arg(command.join(u' '), QString::fromLocal8Bit(process.readAll()));
        return false;
    }
    return true;
}

bool cPostgresServer::Start()
{
    QStringList versions = QDir(QStringLiteral("/usr/lib/postgresql")).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    std::sort(versions.begin(), versions.end(), [](const QString& a, const QString& b) {
        return QVersionNumber::fromString(a) < QVersionNumber::fromString(b);
    });
    if (versions.isEmpty()) {
        m_error = QStringLiteral("PostgreSQL is not installed (/usr/lib/postgresql).");
        return false;
    }
    m_bin = QStringLiteral("/usr/lib/postgresql/%1/bin").arg(versions.last());
    m_dir = std::make_unique<QTemporaryDir>(QDir::temp().filePath(QStringLiteral("qpg-XXXXXX")));
    if (!m_dir->isValid()) {
        m_error = QStringLiteral("No temporary folder.");
        return false;
    }
    if (::geteuid() == 0) {
        const passwd* nobody = ::getpwnam("nobody");
        if (!nobody || ::chown(QFile::encodeName(m_dir->path()).constData(), nobody->pw_uid, nobody->pw_gid) != 0) {
            m_error = QStringLiteral("Cannot hand the folder to the user nobody.");
            return false;
        }
    }
    const QString data = m_dir->filePath(QStringLiteral("data"));
    if (!Run(QStringLiteral("initdb"),
             {QStringLiteral("-D"), data, QStringLiteral("-U"), kUser, QStringLiteral("--auth=trust"),
              QStringLiteral("--no-sync"), QStringLiteral("-E"), QStringLiteral("UTF8"), QStringLiteral("--locale=C.UTF-8")},
             120000))
        return false;
    m_running = Run(QStringLiteral("pg_ctl"),
                    {QStringLiteral("-D"), data, QStringLiteral("-l"), m_dir->filePath(QStringLiteral("log")),
                     QStringLiteral("-o"),
                     QStringLiteral("-c listen_addresses='' -k %1 -F -c max_connections=20 -c shared_buffers=16MB")
                         .arg(m_dir->path()),
                     QStringLiteral("-w"), QStringLiteral("-t"), QStringLiteral("60"), QStringLiteral("-s"),
                     QStringLiteral("start")},
                    90000);
    return m_running;
}

bool cPostgresServer::Attach(const QString& folder)
{
    if (!QFile::exists(QDir(folder).filePath(QStringLiteral(".s.PGSQL.5432"))))
        return false;
    m_attached = folder;
    // Test programs run side by side: each lays out its tables in a database of its own.
    const QString database = QStringLiteral("p%1").arg(::getpid());
    RunOdbcSql(Connect(), {QStringLiteral("DROP DATABASE IF EXISTS %1").arg(database),
                           QStringLiteral("CREATE DATABASE %1").arg(database)});
    m_database = database;
    return true;
}

void cPostgresServer::Kill()
{
    if (!m_running)
        return;
    m_running = false;
    Run(QStringLiteral("pg_ctl"),
        {QStringLiteral("-D"), m_dir->filePath(QStringLiteral("data")), QStringLiteral("-m"), QStringLiteral("immediate"),
         QStringLiteral("-w"), QStringLiteral("-s"), QStringLiteral("stop")},
        60000);
}

void cPostgresServer::Freeze(bool frozen)
{
    QFile pidFile(m_dir->filePath(QStringLiteral("data/postmaster.pid")));
    if (!pidFile.open(QIODevice::ReadOnly))
        return;
    const QByteArray postmaster = pidFile.readLine().trimmed();
    QList<pid_t> pids{pid_t(postmaster.toInt())};
    // Its children: every process whose parent is the postmaster.
    for (const QString& entry : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        QFile stat(QStringLiteral("/proc/%1/stat").arg(entry));
        if (!stat.open(QIODevice::ReadOnly))
            continue;
        const QByteArray line = stat.readAll();
        const QList<QByteArray> after = line.mid(line.lastIndexOf(')') + 2).split(' ');
        if (after.size() > 1 && after[1] == postmaster)
            pids << pid_t(entry.toInt());
    }
    for (pid_t pid : pids)
        ::kill(pid, frozen ? SIGSTOP : SIGCONT);
}

QString cPostgresServer::Connect() const
{
    return QStringLiteral("ODBC;DRIVER=%1;Servername=%2;Port=5432;Database=%3;Username=%4")
        .arg(OdbcDriverPath(QStringLiteral("psqlodbcw.so")), SocketFolder(), m_database, kUser);
}

cPostgresServer* SharedPostgres()
{
    static std::unique_ptr<cPostgresServer> server;
    static bool tried = false;
    if (!tried) {
        tried = true;
        server = std::make_unique<cPostgresServer>();
#ifdef QUARNEL_SHARED_POSTGRES
        if (server->Attach(QStringLiteral(QUARNEL_SHARED_POSTGRES)))
            return server.get();
#endif
        if (!server->Start()) {
            ADD_FAILURE() << server->Error().toStdString();
        } else {
            // Stopped when the program ends, whichever way its tests went.
            std::atexit([] { server.reset(); });
        }
    }
    return server->SocketFolder().isEmpty() ? nullptr : server.get();
}
