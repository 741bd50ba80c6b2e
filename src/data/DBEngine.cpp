#include "DBEngine.h"

#include "cMdbDriver.h"
#include "cOdbcDriver.h"
#include "cRuntimeError.h"
#include "cSqliteDriver.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace {

const QString kSource = QStringLiteral("DAO.DBEngine");

// A file's connect text names no driver: ";" (or nothing) alone. Anything else there (a
// password, another ISAM) would be quietly ignored if the file were opened anyway.
bool IsPlainFileConnect(const QString& connect)
{
    for (const QStringView part : QStringView(connect).split(u';')) {
        if (!part.trimmed().isEmpty())
            return false;
    }
    return true;
}

} // namespace

DBEngine& DBEngine::Instance()
{
    static DBEngine engine;
    return engine;
}

DBEngine::DBEngine()
{
    RegisterFileBackend(&cSqliteDriver::HasSignature,
                        [](const QString& path, bool readOnly) { return cSqliteDriver::Open(path, readOnly); });
    RegisterFileBackend(&cMdbDriver::HasSignature,
                        [](const QString& path, bool readOnly) { return cMdbDriver::Open(path, readOnly); });
    RegisterOdbcBackend(&OpenOdbcSource);
}

void DBEngine::RegisterFileBackend(Recogniser recognise, FileOpener open)
{
    m_fileBackends << qMakePair(std::move(recognise), std::move(open));
}

void DBEngine::RegisterOdbcBackend(SourceOpener open)
{
    m_odbc = std::move(open);
}

std::shared_ptr<Database> DBEngine::OpenDatabase(const QString& name, bool options, bool readOnly,
                                                 const QString& connect)
{
    Q_UNUSED(options)
    if (connect.startsWith(QLatin1String("ODBC;"), Qt::CaseInsensitive)) {
        if (!m_odbc)
            RaiseJetError(JetError::NoInstallableIsam, {}, kSource);
        return std::make_shared<Database>(m_odbc(connect, readOnly));
    }
    if (!IsPlainFileConnect(connect))
        RaiseJetError(JetError::NoInstallableIsam, {}, kSource);
    const QFileInfo info(name);
    if (name.trimmed().isEmpty() || info.isDir())
        RaiseJetError(JetError::InvalidPath, {name}, kSource);
    if (!info.exists()) {
        RaiseJetError(info.absoluteDir().exists() ? JetError::FileNotFound : JetError::InvalidPath, {name}, kSource);
    }
    const QString path = info.absoluteFilePath();
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        RaiseJetError(JetError::FileLocked, {name}, kSource);
    const QByteArray head = file.read(100);
    file.close();
    for (auto it = m_fileBackends.crbegin(); it != m_fileBackends.crend(); ++it) {
        if (it->first(head))
            return std::make_shared<Database>(it->second(path, readOnly));
    }
    RaiseJetError(JetError::NotADatabase, {name}, kSource);
}

std::shared_ptr<Database> DBEngine::CreateDatabase(const QString& name, const QString& locale)
{
    const QFileInfo info(name);
    if (name.trimmed().isEmpty() || info.isDir())
        RaiseJetError(JetError::InvalidPath, {name}, kSource);
    return std::make_shared<Database>(cSqliteDriver::Create(info.absoluteFilePath(), locale));
}
