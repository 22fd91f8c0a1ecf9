#include "ui/UiTestSupport.h"
#include "ui/theme/TarnTheme.h"
#include "ui/views/SkeletonListView.h"
#include "ui/views/TintedBlurView.h"

#include <QTest>
#include <QVBoxLayout>

#include <gtest/gtest.h>

namespace tarn {
namespace {

TEST(SkeletonListView, BarsRepeatTheirWidthsEverySixRows)
{
    SkeletonListView empty(0, 26, 10);
    empty.resize(400, 100);
    EXPECT_TRUE(empty.barRects().isEmpty());

    SkeletonListView list(7, 26, 10);
    list.resize(400, list.sizeHint().height());
    const QList<QRectF> bars = list.barRects();
    ASSERT_EQ(bars.size(), 7);
    const std::array<qreal, 7> fractions{0.92, 0.78, 0.85, 0.60, 0.88, 0.70, 0.92};
    for (int i = 0; i < 7; ++i) {
        EXPECT_DOUBLE_EQ(bars[i].width(), 400 * fractions[static_cast<std::size_t>(i)]) << i;
        EXPECT_DOUBLE_EQ(bars[i].height(), 18);
        EXPECT_DOUBLE_EQ(bars[i].left(), 0);
    }
    EXPECT_DOUBLE_EQ(bars[0].top(), 6);
    EXPECT_DOUBLE_EQ(bars[1].top() - bars[0].bottom(), 10);
    EXPECT_GE(list.sizeHint().height(), static_cast<int>(bars.last().bottom()));
}

TEST(SkeletonListView, Breathes)
{
    test::ScopedAnimations on(true);
    SkeletonListView list(3, 26, 10);
    list.resize(300, 100);
    list.show();
    qreal lowest = 1;
    qreal highest = 0;
    const bool brightened = QTest::qWaitFor([&] {
        lowest = std::min(lowest, list.breath());
        highest = std::max(highest, list.breath());
        return highest > 0.9;
    }, 2000);
    EXPECT_TRUE(brightened);
    EXPECT_GE(lowest, 0.55);
    EXPECT_LT(lowest, 0.7);
    EXPECT_GT(highest, 0.9);
    EXPECT_LE(highest, 1.0);
}

TEST(SkeletonListView, LookInASheet)
{
    TintedBlurView sheet(0.9);
    sheet.setCornerRadius(14);
    sheet.setBorderColor(TarnTheme::color(ThemeColor::sheetBorder));
    auto* layout = new QVBoxLayout(&sheet);
    layout->setContentsMargins(24, 24, 24, 24);
    layout->addWidget(new SkeletonListView(6, 26, 10, &sheet));
    layout->addStretch();
    sheet.resize(460, 260);
    sheet.show();
    test::saveGrab(&sheet);
}

}  // namespace
}  // namespace tarn
