#include "FinishWithin.h"

#include "app/state/DesktopNotifier.h"

#include <QDBusConnection>
#include <QObject>
#include <QStringList>
#include <QVariantMap>

#include <gtest/gtest.h>

#include <unistd.h>

#include <atomic>

using namespace std::chrono_literals;
using tarn::test::finishWithin;

namespace tarn {
namespace {

// A notification server that only writes down what it is asked to show. It serves
// under a bus name of its own, so parallel test processes never meet.
class RecordingNotifications : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")

public:
    struct Notification {
        QString appName;
        uint replacesId = 0;
        QString summary;
        QString body;
    };
    QList<Notification> received;

public slots:
    uint Notify(const QString& appName, uint replacesId, const QString& /*appIcon*/, const QString& summary,
                const QString& body, const QStringList& /*actions*/, const QVariantMap& /*hints*/,
                int /*expireTimeout*/) {
        received.push_back({appName, replacesId, summary, body});
        return static_cast<uint>(received.size());
    }
};

QString uniqueServiceName() {
    static std::atomic<int> counter = 0;
    return QStringLiteral("org.tarnmanager.test.Notifications.p%1_%2").arg(::getpid()).arg(++counter);
}

class DesktopNotifierTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!m_bus.isConnected()) GTEST_SKIP() << "no session bus; run scripts/test";
    }

    QDBusConnection m_bus = QDBusConnection::sessionBus();
};

TEST_F(DesktopNotifierTest, EachPostIsASeparateNotification) {
    RecordingNotifications server;
    const QString service = uniqueServiceName();
    ASSERT_TRUE(m_bus.registerService(service));
    ASSERT_TRUE(m_bus.registerObject(QStringLiteral("/org/freedesktop/Notifications"), &server,
                                     QDBusConnection::ExportAllSlots));
    const DesktopNotifier notifier(service, m_bus);

    EXPECT_EQ(finishWithin(notifier.post(QStringLiteral("Upload"), QStringLiteral("All files uploaded"))), true);
    EXPECT_EQ(finishWithin(notifier.post(QStringLiteral("下载"), QStringLiteral("完成"))), true);

    ASSERT_EQ(server.received.size(), 2);
    EXPECT_EQ(server.received[0].appName, QStringLiteral("Tarn Manager"));
    EXPECT_EQ(server.received[0].summary, QStringLiteral("Upload"));
    EXPECT_EQ(server.received[0].body, QStringLiteral("All files uploaded"));
    EXPECT_EQ(server.received[1].summary, QStringLiteral("下载"));
    EXPECT_EQ(server.received[0].replacesId, 0u);
    EXPECT_EQ(server.received[1].replacesId, 0u);
    m_bus.unregisterObject(QStringLiteral("/org/freedesktop/Notifications"));
    m_bus.unregisterService(service);
}

TEST_F(DesktopNotifierTest, WithoutAServiceNothingHangsAndNothingFails) {
    const DesktopNotifier nobody(uniqueServiceName(), m_bus);
    EXPECT_EQ(finishWithin(nobody.post(QStringLiteral("t"), QStringLiteral("b")), 5s), false);

    const DesktopNotifier noBus(QString::fromLatin1(DesktopNotifier::defaultService),
                                QDBusConnection(QStringLiteral("never connected")));
    EXPECT_EQ(finishWithin(noBus.post(QStringLiteral("t"), QStringLiteral("b")), 1s), false);
}

}  // namespace
}  // namespace tarn

#include "DesktopNotifierTest.moc"
