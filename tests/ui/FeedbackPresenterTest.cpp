#include "ui/ContentFixture.h"
#include "ui/UiTestSupport.h"

#include "app/text/L10n.h"
#include "ui/browser/ObjectBrowserView.h"
#include "ui/browser/StatusDotView.h"
#include "ui/views/DotBubbleView.h"
#include "ui/views/ToastPresenter.h"
#include "ui/views/ToastView.h"
#include "ui/window/FeedbackPresenter.h"
#include "ui/window/TripleSplitView.h"

#include <QPointer>

#include <gtest/gtest.h>

namespace tarn {
namespace {

class FeedbackPresenterTest : public test::ContentFixture {
protected:
    FeedbackPresenter& feedback() { return *content().feedback(); }

    QList<DotBubbleView*> bubbles()
    {
        return window().findChildren<DotBubbleView*>(QString(), Qt::FindDirectChildrenOnly);
    }

    // A rectangle of a widget in the window's coordinates.
    QRect inWindow(const QWidget* widget)
    {
        return {widget->mapTo(&window(), QPoint(0, 0)), widget->size()};
    }
};

TEST_F(FeedbackPresenterTest, SixToastsFromTheStateLeaveTheNewestFourOverTheBrowser)
{
    for (int i = 1; i <= 6; ++i) {
        state().sendToast({QStringLiteral("message %1").arg(i), i % 2 == 0 ? ToastKind::error : ToastKind::info});
    }
    settle();
    QStringList texts;
    for (const ToastView* toast : feedback().toasts()->toasts()) {
        texts.append(toast->text());
    }
    EXPECT_EQ(texts, (QStringList{QStringLiteral("message 3"), QStringLiteral("message 4"),
                                  QStringLiteral("message 5"), QStringLiteral("message 6")}));
    const QRect stack = inWindow(feedback().toasts()->container());
    const QRect browser = inWindow(content().browser());
    EXPECT_GE(stack.left(), browser.left());
    EXPECT_LE(stack.right(), browser.right());
    EXPECT_LE(stack.bottom(), window().height() - 28);
}

TEST_F(FeedbackPresenterTest, TheBubbleStandsAboveTheStatusDotsPlaceAndASecondReplacesTheFirst)
{
    QWidget* anchor = feedback().bubbleAnchor();
    ASSERT_NE(anchor, nullptr);
    // The browser hands over its status dot, in its bottom-left corner.
    auto* browserView = qobject_cast<ObjectBrowserView*>(content().browser());
    ASSERT_NE(browserView, nullptr);
    EXPECT_EQ(anchor, browserView->statusDot());
    const QRect dot = inWindow(anchor);
    const QRect browser = inWindow(content().browser());
    EXPECT_TRUE(browser.contains(dot));
    EXPECT_LE(dot.left() - browser.left(), 2 * FeedbackPresenter::anchorInset);
    EXPECT_LE(browser.bottom() - dot.bottom(), 2 * FeedbackPresenter::anchorInset);

    state().sendBubble(QStringLiteral("Copied"));
    ASSERT_EQ(bubbles().size(), 1);
    EXPECT_EQ(bubbles().first()->geometry().bottom() + 1, dot.top() - 6);
    state().sendBubble(QStringLiteral("Link copied"));
    settle();
    ASSERT_EQ(bubbles().size(), 1);
    EXPECT_EQ(bubbles().first()->text(), QStringLiteral("Link copied"));

    // The browser's own dot takes over from the stand-in.
    auto* statusDot = new QWidget(content().browser());
    statusDot->setGeometry(300, 200, 10, 10);
    statusDot->show();
    feedback().setBubbleAnchor(statusDot);
    settle();
    EXPECT_EQ(content().browser()->findChild<QWidget*>(QStringLiteral("statusDotStandIn")), nullptr);
    state().sendBubble(QStringLiteral("Copied"));
    EXPECT_EQ(bubbles().first()->geometry().bottom() + 1, inWindow(statusDot).top() - 6);
}

TEST_F(FeedbackPresenterTest, ARebuiltContentTakesTheOldToastsAwayAndShowsNewOnesInAStackOfItsOwn)
{
    state().sendToast({QStringLiteral("before"), ToastKind::info});
    const QPointer<QWidget> oldStack = feedback().toasts()->container();
    ASSERT_FALSE(oldStack.isNull());
    build(QStringLiteral("zh"));
    EXPECT_TRUE(oldStack.isNull());

    state().sendToast({QStringLiteral("after"), ToastKind::info});
    ASSERT_EQ(feedback().toasts()->toasts().size(), 1);
    EXPECT_EQ(feedback().toasts()->toasts().first()->text(), QStringLiteral("after"));
    EXPECT_EQ(window().findChildren<ToastView*>().size(), 1);
}

TEST_F(FeedbackPresenterTest, GrabsOfToastsInTheWindow)
{
    for (const QString& language : {QStringLiteral("en"), QStringLiteral("zh")}) {
        build(language);
        useConfig(test::sampleAccounts(true).config);
        state().sendToast({L10n::t(QStringLiteral("connection_ok")), ToastKind::info});
        state().sendToast({L10n::t(QStringLiteral("upload_failed_reason"), 2, QStringLiteral("IMG_0412.HEIC"),
                                   QStringLiteral("HTTP 403 AccessDenied: the access key has no permission to write "
                                                  "to this bucket, or the bucket policy denies PutObject")),
                           ToastKind::error});
        state().sendToast({L10n::t(QStringLiteral("copied")), ToastKind::info});
        state().sendBubble(L10n::t(QStringLiteral("copied")));
        settle();
        test::saveGrab(&window(), language);
        EXPECT_EQ(feedback().toasts()->toasts().size(), 3);
    }
}

}  // namespace
}  // namespace tarn
