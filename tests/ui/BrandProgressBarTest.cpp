#include "ui/UiTestSupport.h"
#include "ui/theme/TarnTheme.h"
#include "ui/views/BrandProgressBar.h"
#include "ui/views/TintedBlurView.h"

#include <QGridLayout>
#include <QLabel>

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace tarn {
namespace {

TEST(BrandProgressBar, FractionsAreClampedForDrawing)
{
    const double inf = std::numeric_limits<double>::infinity();
    const std::vector<std::pair<double, double>> cases{
        {-0.2, 0}, {0, 0}, {0.25, 0.25}, {0.999, 0.999}, {1, 1}, {1.5, 1}, {-inf, 0}, {inf, 1},
        {std::numeric_limits<double>::quiet_NaN(), 1},
    };
    for (const auto& [given, drawn] : cases) {
        EXPECT_DOUBLE_EQ(BrandProgressBar::clamp(given), drawn) << given;
    }
}

TEST(BrandProgressBar, DrawsFullBeyondOneAndEmptyBelowZero)
{
    TintedBlurView panel(0.9);
    panel.resize(220, 14);
    auto* bar = new BrandProgressBar(&panel);
    bar->setGeometry(10, 0, 200, 14);
    panel.show();
    EXPECT_EQ(bar->sizeHint().height(), 14);
    EXPECT_EQ(bar->trackRect(), QRectF(0, 5, 200, 4));

    const QColor surface = panel.surfaceColor();
    const QColor brand = TarnTheme::brand();
    auto centreAt = [&](int x) { return panel.grab().toImage().pixelColor(10 + x, 7); };
    auto sameColor = [](const QColor& a, const QColor& b) { return test::sameColor(a, b); };

    bar->setFraction(1.5);
    EXPECT_DOUBLE_EQ(bar->fraction(), 1.5);  // kept as given
    EXPECT_EQ(bar->barRect().width(), 200);
    EXPECT_PRED2(sameColor, centreAt(197), brand);
    EXPECT_PRED2(sameColor, centreAt(100), brand);

    bar->setFraction(-0.2);
    EXPECT_EQ(bar->barRect().width(), 0);
    EXPECT_PRED2(sameColor, centreAt(100), surface);
    EXPECT_PRED2(sameColor, centreAt(3), surface);

    bar->setFraction(0.5);
    EXPECT_EQ(bar->barRect().width(), 100);
    EXPECT_PRED2(sameColor, centreAt(50), brand);
    EXPECT_PRED2(sameColor, centreAt(150), surface);
}

TEST(BrandProgressBar, LookAtSeveralFractions)
{
    TintedBlurView panel(0.92);
    auto* grid = new QGridLayout(&panel);
    grid->setContentsMargins(16, 12, 16, 12);
    grid->setHorizontalSpacing(12);
    const std::vector<double> fractions{-0.2, 0.0, 0.03, 0.35, 0.7, 1.0, 1.5};
    for (int row = 0; row < static_cast<int>(fractions.size()); ++row) {
        auto* label = new QLabel(QString::number(fractions[static_cast<std::size_t>(row)]), &panel);
        label->setFont(TarnTheme::font(11));
        grid->addWidget(label, row, 0);
        auto* bar = new BrandProgressBar(&panel);
        bar->setFraction(fractions[static_cast<std::size_t>(row)]);
        grid->addWidget(bar, row, 1);
    }
    panel.resize(360, panel.sizeHint().height());
    panel.show();
    test::saveGrab(&panel);
    test::saveGrab(&panel, QStringLiteral("2x"), 2.0);
}

}  // namespace
}  // namespace tarn
