#include "ui/UiTestSupport.h"
#include "ui/browser/RelativeDate.h"

#include "app/text/L10n.h"

#include <gtest/gtest.h>

#include <chrono>

namespace tarn {
namespace {

using namespace std::chrono_literals;

class RelativeDateTest : public ::testing::Test {
protected:
    ~RelativeDateTest() override { L10n::setLanguageCode(QStringLiteral("zh")); }
};

TEST_F(RelativeDateTest, DatesInBothLanguages)
{
    const TimePoint now = test::localTime(2026, 3, 12, 0, 30);
    struct Case {
        const char* name;
        std::optional<TimePoint> date;
        const char* chinese;
        const char* english;
    };
    const std::vector<Case> cases{
        {"no date", std::nullopt, "-", "-"},
        {"30 seconds in the future", now + 30s, "刚刚", "Just now"},
        {"59 seconds ago", now - 59s, "刚刚", "Just now"},
        {"59 minutes 59 seconds ago", now - 59min - 59s, "59 分钟前", "59 min ago"},
        {"yesterday 23:59, 31 minutes ago", test::localTime(2026, 3, 11, 23, 59), "31 分钟前", "31 min ago"},
        {"yesterday 22:00 across midnight", test::localTime(2026, 3, 11, 22, 0), "昨天 22点00分", "Yesterday 22:00"},
        {"exactly an hour ago", now - 1h, "昨天 23点30分", "Yesterday 23:30"},
        {"two days back", test::localTime(2026, 3, 10, 9, 5), "前天 09点05分", "Mar 10, 2026 09:05"},
        {"three days back", test::localTime(2026, 3, 9, 18, 45), "2026年3月9日 18:45", "Mar 9, 2026 18:45"},
        {"last year", test::localTime(2025, 12, 31, 7, 3), "2025年12月31日 07:03", "Dec 31, 2025 07:03"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        L10n::setLanguageCode(QStringLiteral("zh"));
        EXPECT_EQ(RelativeDate::format(c.date, now), QString::fromUtf8(c.chinese));
        L10n::setLanguageCode(QStringLiteral("en"));
        EXPECT_EQ(RelativeDate::format(c.date, now), QString::fromUtf8(c.english));
    }
}

TEST_F(RelativeDateTest, TodayShowsTheClock)
{
    const TimePoint now = test::localTime(2026, 7, 1, 15, 0);
    L10n::setLanguageCode(QStringLiteral("en"));
    EXPECT_EQ(RelativeDate::format(test::localTime(2026, 7, 1, 8, 7), now), QStringLiteral("Today 08:07"));
    L10n::setLanguageCode(QStringLiteral("zh"));
    EXPECT_EQ(RelativeDate::format(test::localTime(2026, 7, 1, 8, 7), now), QStringLiteral("今天 08点07分"));
}

}  // namespace
}  // namespace tarn
