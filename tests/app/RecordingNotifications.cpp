#include "RecordingNotifications.h"

#include <unistd.h>

#include <atomic>

namespace tarn::test {

namespace {

const QString kObjectPath = QStringLiteral("/org/freedesktop/Notifications");

}  // namespace

QString uniqueNotificationServiceName() {
    static std::atomic<int> counter = 0;
    return QStringLiteral("org.tarnmanager.test.Notifications.p%1_%2").arg(::getpid()).arg(++counter);
}

RecordingNotifications::RecordingNotifications(QDBusConnection bus)
    : m_bus(std::move(bus)), m_service(uniqueNotificationServiceName()) {
    m_serving = m_bus.isConnected() && m_bus.registerService(m_service) &&
                m_bus.registerObject(kObjectPath, this, QDBusConnection::ExportAllSlots);
}

RecordingNotifications::~RecordingNotifications() {
    if (!m_bus.isConnected()) return;
    m_bus.unregisterObject(kObjectPath);
    m_bus.unregisterService(m_service);
}

uint RecordingNotifications::Notify(const QString& appName, uint replacesId, const QString& appIcon,
                                    const QString& summary, const QString& body, const QStringList& /*actions*/,
                                    const QVariantMap& hints, int /*expireTimeout*/) {
    received.push_back({appName, replacesId, appIcon, summary, body, hints});
    return static_cast<uint>(received.size());
}

}  // namespace tarn::test
