#pragma once

#include <QDBusConnection>
#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QVariantMap>

namespace tarn::test {

// A notification server that only writes down what it is asked to show. It serves
// under a bus name of its own, so parallel test processes never meet; the name and
// the object are registered while it exists.
class RecordingNotifications : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")

public:
    struct Notification {
        QString appName;
        uint replacesId = 0;
        QString appIcon;
        QString summary;
        QString body;
        QVariantMap hints;
    };
    QList<Notification> received;

    explicit RecordingNotifications(QDBusConnection bus = QDBusConnection::sessionBus());
    ~RecordingNotifications() override;

    // The bus name it serves under.
    const QString& service() const { return m_service; }
    // Whether the name and the object could be registered.
    bool isServing() const { return m_serving; }

public slots:
    uint Notify(const QString& appName, uint replacesId, const QString& appIcon, const QString& summary,
                const QString& body, const QStringList& actions, const QVariantMap& hints, int expireTimeout);

private:
    QDBusConnection m_bus;
    QString m_service;
    bool m_serving = false;
};

// A bus name for a notification server that no other test uses.
QString uniqueNotificationServiceName();

}  // namespace tarn::test
