#include "ui/UiTestSupport.h"
#include "ui/theme/Animations.h"
#include "ui/theme/TarnTheme.h"
#include "ui/views/ToastPresenter.h"
#include "ui/views/ToastView.h"
#include "ui/views/WrappingLabel.h"

#include <QAbstractButton>
#include <QTest>
#include <QVBoxLayout>

#include <gtest/gtest.h>

#include <memory>

namespace tarn {
namespace {

class ToastPresenterTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_window = std::make_unique<QWidget>();
        m_window->resize(720, 420);
        m_owner = new QWidget(m_window.get());
        auto* layout = new QVBoxLayout(m_window.get());
        layout->addWidget(m_owner);
        m_window->show();
        m_presenter = new ToastPresenter(m_owner);
    }

    QStringList texts() const
    {
        QStringList result;
        for (const ToastView* toast : m_presenter->toasts()) {
            result.append(toast->text());
        }
        return result;
    }

    std::unique_ptr<QWidget> m_window;
    QWidget* m_owner = nullptr;
    ToastPresenter* m_presenter = nullptr;
};

TEST_F(ToastPresenterTest, SixToastsLeaveTheNewestFour)
{
    for (int i = 1; i <= 6; ++i) {
        m_presenter->show({QStringLiteral("message %1").arg(i), ToastKind::info});
    }
    EXPECT_EQ(texts(), (QStringList{QStringLiteral("message 3"), QStringLiteral("message 4"),
                                    QStringLiteral("message 5"), QStringLiteral("message 6")}));
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(m_presenter->container()->findChildren<ToastView*>().size(), 4);
    // Oldest on top, newest lowest, all above the window's bottom edge.
    const QList<ToastView*> toasts = m_presenter->toasts();
    for (qsizetype i = 1; i < toasts.size(); ++i) {
        EXPECT_GT(toasts[i]->y(), toasts[i - 1]->y());
    }
    EXPECT_LE(m_presenter->container()->geometry().bottom(), m_window->height() - 28);
}

TEST_F(ToastPresenterTest, AFifthToastFadesTheOldestWhileTheOthersStay)
{
    test::ScopedAnimations on(true);
    for (int i = 1; i <= 5; ++i) {
        m_presenter->show({QStringLiteral("message %1").arg(i), ToastKind::info});
    }
    const QList<ToastView*> shown = m_presenter->toasts();
    ASSERT_EQ(shown.size(), 5);  // the oldest is still fading out
    EXPECT_TRUE(shown[0]->isDismissed());
    for (qsizetype i = 1; i < shown.size(); ++i) {
        EXPECT_FALSE(shown[i]->isDismissed());
    }
    EXPECT_TRUE(QTest::qWaitFor([&] { return m_presenter->toasts().size() == 4; }, 2000));
    EXPECT_EQ(texts().first(), QStringLiteral("message 2"));
}

TEST_F(ToastPresenterTest, AToastLeavesAfterItsTime)
{
    m_presenter->show({QStringLiteral("saved"), ToastKind::info});
    ASSERT_EQ(m_presenter->toasts().size(), 1);
    EXPECT_TRUE(QTest::qWaitFor([&] { return m_presenter->toasts().isEmpty(); }, 4000));
    // The stack stays, empty, for the next toast.
    EXPECT_NE(m_presenter->container(), nullptr);
}

// An error is read, not glanced at: it stays at least 5 seconds, or until dismissed.
TEST_F(ToastPresenterTest, AnErrorStaysLongerThanANote)
{
    m_presenter->show({QStringLiteral("Upload failed: the server refused the key"), ToastKind::error});
    m_presenter->show({QStringLiteral("Copied"), ToastKind::info});
    const QList<ToastView*> shown = m_presenter->toasts();
    ASSERT_EQ(shown.size(), 2);
    EXPECT_GE(shown[0]->stayMs(), 5000);
    EXPECT_EQ(shown[1]->stayMs(), ToastView::lifetimeMs);
    // The note leaves; the error is still up.
    EXPECT_TRUE(QTest::qWaitFor([&] { return m_presenter->toasts().size() == 1; }, 4000));
    ASSERT_EQ(m_presenter->toasts().size(), 1);
    EXPECT_EQ(m_presenter->toasts().constFirst(), shown[0]);
    EXPECT_FALSE(shown[0]->isDismissed());
    // Its close button ends it at once.
    shown[0]->closeButton()->click();
    EXPECT_TRUE(QTest::qWaitFor([&] { return m_presenter->toasts().isEmpty(); }, 2000));
}

TEST_F(ToastPresenterTest, APressAndThenTheCloseButtonDuringTheFadeDismissOnce)
{
    test::ScopedAnimations on(true);
    int gone = 0;
    auto* toast = new ToastView({QStringLiteral("once"), ToastKind::error}, [&](ToastView*) { ++gone; }, m_window.get());
    toast->adjustSize();
    toast->show();
    toast->appear();
    QTest::mouseClick(toast, Qt::LeftButton, {}, QPoint(4, 4));
    EXPECT_TRUE(toast->isDismissed());
    toast->closeButton()->click();
    EXPECT_TRUE(QTest::qWaitFor([&] { return gone > 0; }, 2000));
    QTest::qWait(250);
    EXPECT_EQ(gone, 1);
}

TEST_F(ToastPresenterTest, LongTextWrapsToThreeLinesWithinTheWidthLimits)
{
    const QString longText =
        QStringLiteral("The upload of \"photos/2024/summer/very-long-folder-name/IMG_0001.HEIC\" failed: the server "
                       "closed the connection before the request was complete, and every retry failed the same way, "
                       "so the file was left out of this upload.");
    m_presenter->show({longText, ToastKind::error});
    ToastView* toast = m_presenter->toasts().constFirst();
    EXPECT_LE(toast->width(), ToastView::maximumWidth);
    const auto* label = toast->findChild<WrappingLabel*>();
    const QStringList lines = label->visibleLines(label->width());
    ASSERT_EQ(lines.size(), 3);
    EXPECT_TRUE(lines.last().endsWith(QChar(0x2026))) << lines.last().toStdString();
    for (const QString& line : lines) {
        EXPECT_LE(label->fontMetrics().horizontalAdvance(line), label->width());
    }
    test::saveGrab(m_window.get());

    m_window->resize(300, 420);
    QCoreApplication::processEvents();
    EXPECT_LE(m_presenter->container()->width(), 300 - 40);
    EXPECT_LE(toast->width(), 300 - 40);
    test::saveGrab(m_window.get(), QStringLiteral("narrow"));
}

TEST_F(ToastPresenterTest, ANewWindowContentGetsANewStack)
{
    m_presenter->show({QStringLiteral("first"), ToastKind::info});
    QWidget* firstStack = m_presenter->container();
    ASSERT_EQ(firstStack->parentWidget(), m_window.get());

    QWidget otherWindow;
    otherWindow.resize(500, 300);
    m_owner->setParent(&otherWindow);
    otherWindow.show();
    m_presenter->show({QStringLiteral("second"), ToastKind::info});
    EXPECT_EQ(m_presenter->container()->parentWidget(), &otherWindow);
    EXPECT_EQ(texts(), QStringList{QStringLiteral("second")});
    m_owner->setParent(m_window.get());
}

TEST_F(ToastPresenterTest, MessagesWithoutAnOwnerAreDropped)
{
    auto presenter = std::make_unique<ToastPresenter>(nullptr);
    presenter->show({QStringLiteral("lost"), ToastKind::info});
    EXPECT_TRUE(presenter->toasts().isEmpty());
}

// Errors and information, in English and in Chinese, as a user sees them.
TEST_F(ToastPresenterTest, LookOfBothKindsInBothLanguages)
{
    m_presenter->show({QStringLiteral("Connection succeeded"), ToastKind::info});
    m_presenter->show({QStringLiteral("Upload failed: the server did not answer in time."), ToastKind::error});
    m_presenter->show({QStringLiteral("连接成功"), ToastKind::info});
    m_presenter->show({QStringLiteral("上传失败：服务器在规定时间内没有响应，请检查网络连接后重试。"), ToastKind::error});
    test::saveGrab(m_window.get());
    test::saveGrab(m_window.get(), QStringLiteral("2x"), 2.0);
}

}  // namespace
}  // namespace tarn
