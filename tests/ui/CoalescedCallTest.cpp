#include "ui/WindowFixture.h"
#include "ui/window/CoalescedCall.h"

#include <QObject>

#include <gtest/gtest.h>

#include <memory>

namespace tarn {
namespace {

TEST(CoalescedCall, RunsOncePerBurstOnALaterTurnAndNeverAfterItsContext)
{
    int calls = 0;
    auto context = std::make_unique<QObject>();
    CoalescedCall call(context.get(), [&calls] { ++calls; });
    call.request();
    call.request();
    call.request();
    EXPECT_EQ(calls, 0);
    EXPECT_TRUE(call.isPending());
    test::settle();
    EXPECT_EQ(calls, 1);
    EXPECT_FALSE(call.isPending());

    call.request();
    test::settle();
    EXPECT_EQ(calls, 2);

    call.request();
    context.reset();
    test::settle();
    EXPECT_EQ(calls, 2);
}

}  // namespace
}  // namespace tarn
