#include "cScreenReaderWatch.h"

#include "mScreenReader.h"

#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusVariant>

namespace {

constexpr int kCallTimeoutMs = 1000;
const QString kBusName = QStringLiteral("quarnel-screen-reader-watch");

QDBusMessage Ask(const QDBusConnection& bus, QDBusMessage call)
{
    return bus.call(call, QDBus::Block, kCallTimeoutMs);
}

// The accessibility bus, connected once and again after it was lost (its address changes
// when the desktop's accessibility restarts).
std::optional<QDBusConnection> AccessibilityBus()
{
    QDBusConnection existing(kBusName);
    if (existing.isConnected())
        return existing;
    QDBusConnection::disconnectFromBus(kBusName);
    const QDBusConnection session = QDBusConnection::sessionBus();
    if (!session.isConnected())
        return std::nullopt;
    const QDBusMessage address = Ask(session, QDBusMessage::createMethodCall(
        QStringLiteral("org.a11y.Bus"), QStringLiteral("/org/a11y/bus"), QStringLiteral("org.a11y.Bus"),
        QStringLiteral("GetAddress")));
    if (address.type() != QDBusMessage::ReplyMessage || address.arguments().isEmpty())
        return std::nullopt;
    const QString where = address.arguments().constFirst().toString();
    if (where.isEmpty())
        return std::nullopt;
    QDBusConnection bus = QDBusConnection::connectToBus(where, kBusName);
    if (!bus.isConnected())
        return std::nullopt;
    return bus;
}

bool OrcaRegistered()
{
    const std::optional<QDBusConnection> bus = AccessibilityBus();
    if (!bus)
        return false;
    const QDBusMessage children = Ask(*bus, QDBusMessage::createMethodCall(
        QStringLiteral("org.a11y.atspi.Registry"), QStringLiteral("/org/a11y/atspi/accessible/root"),
        QStringLiteral("org.a11y.atspi.Accessible"), QStringLiteral("GetChildren")));
    if (children.type() != QDBusMessage::ReplyMessage || children.arguments().isEmpty())
        return false;
    // a(so): each registered application's bus name and the path of its root.
    QList<std::pair<QString, QString>> applications;
    const QDBusArgument list = children.arguments().constFirst().value<QDBusArgument>();
    list.beginArray();
    while (!list.atEnd()) {
        QString service;
        QDBusObjectPath path;
        list.beginStructure();
        list >> service >> path;
        list.endStructure();
        applications.append({service, path.path()});
    }
    list.endArray();
    for (const auto& [service, path] : applications) {
        QDBusMessage get = QDBusMessage::createMethodCall(service, path, QStringLiteral("org.freedesktop.DBus.Properties"),
                                                          QStringLiteral("Get"));
        get << QStringLiteral("org.a11y.atspi.Accessible") << QStringLiteral("Name");
        const QDBusMessage name = Ask(*bus, get);
        if (name.type() == QDBusMessage::ReplyMessage && !name.arguments().isEmpty()
            && name.arguments().constFirst().value<QDBusVariant>().variant().toString().compare(
                   QLatin1String("orca"), Qt::CaseInsensitive) == 0)
            return true;
    }
    return false;
}

} // namespace

cScreenReaderWatch::cScreenReaderWatch(QObject* parent) : QObject(parent) {}

cScreenReaderWatch::~cScreenReaderWatch()
{
    {
        std::lock_guard lock(m_mutex);
        m_quit = true;
    }
    m_wake.notify_all();
    if (m_thread.joinable())
        m_thread.join();
}

std::optional<bool> cScreenReaderWatch::FixedAnswer()
{
    const QString fixed = qEnvironmentVariable("QUARNEL_SCREEN_READER").trimmed().toLower();
    if (fixed == QLatin1String("on"))
        return true;
    if (fixed == QLatin1String("off"))
        return false;
    return std::nullopt;
}

void cScreenReaderWatch::Start(int intervalMs, int firstWaitMs)
{
    if (const std::optional<bool> fixed = FixedAnswer()) {
        SetScreenReaderRunning(*fixed);
        return;
    }
    if (m_thread.joinable())
        return;
    m_thread = std::thread([this, intervalMs] { Run(intervalMs); });
    WaitForFirstLook(firstWaitMs);
}

void cScreenReaderWatch::WaitForFirstLook(int waitMs)
{
    if (!m_thread.joinable() || waitMs <= 0)
        return;
    std::unique_lock lock(m_mutex);
    m_wake.wait_for(lock, std::chrono::milliseconds(waitMs), [this] { return m_firstDone; });
}

void cScreenReaderWatch::Run(int intervalMs)
{
    for (bool first = true;; first = false) {
        // Read where speech is decided, on the window's thread: an atomic, nothing to send.
        SetScreenReaderRunning(OrcaRegistered());
        std::unique_lock lock(m_mutex);
        if (first) {
            m_firstDone = true;
            m_wake.notify_all();
        }
        if (m_wake.wait_for(lock, std::chrono::milliseconds(intervalMs), [this] { return m_quit; }))
            break;
    }
    QDBusConnection::disconnectFromBus(kBusName);
}
