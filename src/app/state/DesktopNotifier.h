#pragma once

#include <QDBusConnection>
#include <QString>

#include <QCoro/QCoroTask>

#include <optional>

namespace tarn {

// Desktop notifications through the freedesktop notification service on the session
// bus. Posting never blocks: the call is sent and its answer awaited by the returned
// task only. Without a bus or a service nothing is shown and nothing fails. Each post
// is a separate notification; none replaces another.
class DesktopNotifier {
public:
    static constexpr const char* defaultService = "org.freedesktop.Notifications";
    static constexpr const char* applicationName = "Tarn Manager";

    // The session bus is reached at the first post, not before: making the notifier
    // must not start a bus where there is none.
    explicit DesktopNotifier(QString service = QString::fromLatin1(defaultService));
    DesktopNotifier(QString service, QDBusConnection bus);

    // True once the service has shown the notification; false without a bus or a
    // service, or when it refused.
    QCoro::Task<bool> post(QString title, QString body) const;

private:
    QString m_service;
    std::optional<QDBusConnection> m_bus;
};

}  // namespace tarn
