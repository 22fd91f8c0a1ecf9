#include "FinishWithin.h"
#include "RecordingNotifications.h"

#include "app/state/ApplicationId.h"
#include "app/state/DesktopNotifier.h"

#include <QDBusConnection>

#include <gtest/gtest.h>

using namespace std::chrono_literals;
using tarn::test::finishWithin;

namespace tarn {
namespace {

class DesktopNotifierTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!m_bus.isConnected()) GTEST_SKIP() << "no session bus; run scripts/test";
    }

    QDBusConnection m_bus = QDBusConnection::sessionBus();
};

TEST_F(DesktopNotifierTest, EachPostIsASeparateNotification) {
    test::RecordingNotifications server(m_bus);
    ASSERT_TRUE(server.isServing());
    const DesktopNotifier notifier(server.service(), m_bus);

    EXPECT_EQ(finishWithin(notifier.post(QStringLiteral("Upload"), QStringLiteral("All files uploaded"))), true);
    EXPECT_EQ(finishWithin(notifier.post(QStringLiteral("下载"), QStringLiteral("完成"))), true);

    ASSERT_EQ(server.received.size(), 2);
    EXPECT_EQ(server.received[0].appName, QStringLiteral("Tarn Manager"));
    EXPECT_EQ(server.received[0].summary, QStringLiteral("Upload"));
    EXPECT_EQ(server.received[0].body, QStringLiteral("All files uploaded"));
    EXPECT_EQ(server.received[1].summary, QStringLiteral("下载"));
    EXPECT_EQ(server.received[0].replacesId, 0u);
    EXPECT_EQ(server.received[1].replacesId, 0u);
}

// The notification server finds the program's name and icon through its installed
// desktop entry, and shows its icon even where it does not look the entry up.
TEST_F(DesktopNotifierTest, NotificationsNameTheDesktopEntryAndItsIcon) {
    test::RecordingNotifications server(m_bus);
    ASSERT_TRUE(server.isServing());
    const DesktopNotifier notifier(server.service(), m_bus);

    EXPECT_EQ(finishWithin(notifier.post(QStringLiteral("Upload"), QStringLiteral("All files uploaded"))), true);

    ASSERT_EQ(server.received.size(), 1);
    const std::string id = applicationId().toStdString();
    EXPECT_EQ(server.received[0].hints.value(QStringLiteral("desktop-entry")).toString().toStdString(), id);
    EXPECT_EQ(server.received[0].appIcon.toStdString(), id);
    EXPECT_EQ(id, "app.tarnmanager.TarnManager");
}

TEST_F(DesktopNotifierTest, WithoutAServiceNothingHangsAndNothingFails) {
    const DesktopNotifier nobody(test::uniqueNotificationServiceName(), m_bus);
    EXPECT_EQ(finishWithin(nobody.post(QStringLiteral("t"), QStringLiteral("b")), 5s), false);

    const DesktopNotifier noBus(QString::fromLatin1(DesktopNotifier::defaultService),
                                QDBusConnection(QStringLiteral("never connected")));
    EXPECT_EQ(finishWithin(noBus.post(QStringLiteral("t"), QStringLiteral("b")), 1s), false);
}

}  // namespace
}  // namespace tarn
