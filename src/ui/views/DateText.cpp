#include "ui/views/DateText.h"

#include "app/text/L10n.h"

#include <array>
#include <chrono>

namespace tarn::DateText {

QString absolute(TimePoint date)
{
    const std::time_t seconds = std::chrono::system_clock::to_time_t(date);
    std::tm local{};
    localtime_r(&seconds, &local);
    return absolute(local, L10n::isChinese());
}

QString absolute(const std::tm& local, bool chinese)
{
    // Built piece by piece, without the process locale or a format string to parse:
    // the table asks for it for every visible row. English month abbreviations
    // whatever the process locale.
    static constexpr std::array<const char16_t*, 12> kMonths{u"Jan", u"Feb", u"Mar", u"Apr", u"May", u"Jun",
                                                             u"Jul", u"Aug", u"Sep", u"Oct", u"Nov", u"Dec"};
    const int year = local.tm_year + 1900;
    QString text;
    text.reserve(20);
    if (chinese) {
        text += QString::number(year);
        text += QChar(u'年');
        text += QString::number(local.tm_mon + 1);
        text += QChar(u'月');
        text += QString::number(local.tm_mday);
        text += QChar(u'日');
    } else {
        text += QStringView(kMonths[static_cast<std::size_t>(local.tm_mon)]);
        text += QChar(u' ');
        text += QString::number(local.tm_mday);
        text += QStringLiteral(", ");
        text += QString::number(year);
    }
    const auto twoDigits = [&text](int value) {
        text += QChar(static_cast<char16_t>(u'0' + value / 10));
        text += QChar(static_cast<char16_t>(u'0' + value % 10));
    };
    text += QChar(u' ');
    twoDigits(local.tm_hour);
    text += QChar(u':');
    twoDigits(local.tm_min);
    return text;
}

}  // namespace tarn::DateText
