#include "ui/browser/RelativeDate.h"

#include "app/text/L10n.h"
#include "ui/views/DateText.h"

#include <array>
#include <chrono>
#include <ctime>

namespace tarn {
namespace {

std::tm localTime(TimePoint time)
{
    const std::time_t seconds = std::chrono::system_clock::to_time_t(time);
    std::tm local{};
    localtime_r(&seconds, &local);
    return local;
}

// The local calendar day as a day count, so that two days subtract across months,
// years and daylight-saving changes.
long long dayNumber(const std::tm& local)
{
    const std::chrono::year_month_day day{std::chrono::year(local.tm_year + 1900),
                                          std::chrono::month(static_cast<unsigned>(local.tm_mon + 1)),
                                          std::chrono::day(static_cast<unsigned>(local.tm_mday))};
    return std::chrono::sys_days(day).time_since_epoch().count();
}

void appendNumber(QString& text, long long value)
{
    if (value < 0) {
        text += QChar(u'-');
        value = -value;
    }
    char16_t digits[20];
    int count = 0;
    do {
        digits[count++] = static_cast<char16_t>(u'0' + value % 10);
        value /= 10;
    } while (value > 0);
    while (count > 0) {
        text += QChar(digits[--count]);
    }
}

void appendTwoDigits(QString& text, int value)
{
    text += QChar(u'0' + value / 10);
    text += QChar(u'0' + value % 10);
}

// "HH:mm" or "HH点mm分".
void appendClock(QString& text, const std::tm& local, bool chinese)
{
    appendTwoDigits(text, local.tm_hour);
    text += chinese ? QChar(u'点') : QChar(u':');
    appendTwoDigits(text, local.tm_min);
    if (chinese) {
        text += QChar(u'分');
    }
}

}  // namespace

QString RelativeDate::format(const std::optional<TimePoint>& date, TimePoint now)
{
    if (!date) {
        return QStringLiteral("-");
    }
    const auto elapsed = std::chrono::duration_cast<std::chrono::seconds>(now - *date).count();
    if (elapsed < 60) {
        return L10n::t(QStringLiteral("time_just_now"));
    }
    if (elapsed < 3600) {
        // The pattern's one "%d" filled in place (L10n::t with arguments would build
        // a list of texts for it first).
        const QString pattern = L10n::t(QStringLiteral("time_minutes_ago"));
        const qsizetype slot = pattern.indexOf(QStringLiteral("%d"));
        if (slot < 0) {
            return pattern;
        }
        QString text;
        text.reserve(pattern.size() + 2);
        text += QStringView(pattern).left(slot);
        appendNumber(text, elapsed / 60);
        text += QStringView(pattern).mid(slot + 2);
        return text;
    }
    const std::tm local = localTime(*date);
    const long long days = dayNumber(localTime(now)) - dayNumber(local);
    const bool chinese = L10n::isChinese();

    QString text;
    text.reserve(24);
    if (days == 0 || days == 1 || (days == 2 && chinese)) {
        static const std::array<QString, 3> kDayKeys{QStringLiteral("time_today"), QStringLiteral("time_yesterday"),
                                                     QStringLiteral("time_before_yesterday")};
        text += L10n::t(kDayKeys[static_cast<std::size_t>(days)]);
        text += QChar(u' ');
        appendClock(text, local, chinese);
        return text;
    }
    return DateText::absolute(local, chinese);
}

}  // namespace tarn
