#include "TestSupport.h"

#include <QFile>

ScopedRegistry::ScopedRegistry()
    : m_path(m_dir.filePath(QStringLiteral("HKCU.reg"))),
      m_previous(qgetenv("QUARNEL_REGISTRY")),
      m_hadPrevious(qEnvironmentVariableIsSet("QUARNEL_REGISTRY"))
{
    qputenv("QUARNEL_REGISTRY", m_path.toUtf8());
}

ScopedRegistry::~ScopedRegistry()
{
    if (m_hadPrevious)
        qputenv("QUARNEL_REGISTRY", m_previous);
    else
        qunsetenv("QUARNEL_REGISTRY");
}

QString ScopedRegistry::ReadFile() const
{
    QFile file(m_path);
    if (!file.open(QIODevice::ReadOnly))
        return QString();
    return QString::fromUtf8(file.readAll());
}

void ScopedRegistry::WriteFile(const QByteArray& content) const
{
    QFile file(m_path);
    if (file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        file.write(content);
}

ScopedLocale::ScopedLocale(const QString& name) : m_previous(QLocale())
{
    QLocale::setDefault(QLocale(name));
}

ScopedLocale::~ScopedLocale()
{
    QLocale::setDefault(m_previous);
}
