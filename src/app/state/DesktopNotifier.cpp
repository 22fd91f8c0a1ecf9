#include "app/state/DesktopNotifier.h"

#include "app/state/ApplicationId.h"

#include <QDBusMessage>
#include <QDBusPendingCall>
#include <QStringList>
#include <QVariantMap>

#include <QCoro/QCoroDBusPendingCall>

namespace tarn {

namespace {

// A service that takes longer than this has hung; the notification is dropped.
constexpr int replyTimeoutMs = 10000;

}  // namespace

DesktopNotifier::DesktopNotifier(QString service) : m_service(std::move(service)) {}

DesktopNotifier::DesktopNotifier(QString service, QDBusConnection bus)
    : m_service(std::move(service)), m_bus(std::move(bus)) {}

QCoro::Task<bool> DesktopNotifier::post(QString title, QString body) const {
    // Copied before the first wait: the notifier may be gone when the answer comes.
    QDBusConnection bus = m_bus ? *m_bus : QDBusConnection::sessionBus();
    if (!bus.isConnected()) co_return false;
    QDBusMessage call = QDBusMessage::createMethodCall(m_service, QStringLiteral("/org/freedesktop/Notifications"),
                                                      QStringLiteral("org.freedesktop.Notifications"),
                                                      QStringLiteral("Notify"));
    // app_name, replaces_id (0: a new notification), app_icon, summary, body,
    // actions, hints, expire_timeout (-1: the server's default). The desktop entry
    // lets the server show the installed program's name and icon and group its
    // notifications; the icon, named as installed, serves the servers that do not
    // look the entry up.
    const QVariantMap hints{{QStringLiteral("desktop-entry"), applicationId()}};
    call << QString::fromLatin1(applicationName) << 0u << applicationId() << title << body << QStringList() << hints
         << -1;
    const QDBusPendingCall pending = bus.asyncCall(call, replyTimeoutMs);
    const QDBusMessage reply = co_await pending;
    co_return reply.type() == QDBusMessage::ReplyMessage;
}

}  // namespace tarn
