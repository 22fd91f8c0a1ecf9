#include "core/values/IsoDate.h"

#include <cstdint>
#include <cstdio>

namespace tarn::IsoDate {

namespace {

struct CivilDate {
    std::int64_t year;
    unsigned month;
    unsigned day;
};

// Howard Hinnant's algorithms: exact for every date, independent of time_t limits.
CivilDate civilFromDays(std::int64_t days) {
    days += 719468;
    const std::int64_t era = (days >= 0 ? days : days - 146096) / 146097;
    const auto dayOfEra = static_cast<std::uint64_t>(days - era * 146097);
    const std::uint64_t yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    const std::int64_t year = static_cast<std::int64_t>(yearOfEra) + era * 400;
    const std::uint64_t dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    const std::uint64_t monthIndex = (5 * dayOfYear + 2) / 153;
    const auto day = static_cast<unsigned>(dayOfYear - (153 * monthIndex + 2) / 5 + 1);
    const auto month = static_cast<unsigned>(monthIndex < 10 ? monthIndex + 3 : monthIndex - 9);
    return {month <= 2 ? year + 1 : year, month, day};
}

// Reads exactly `count` decimal digits at `pos`.
std::optional<int> digits(std::string_view text, std::size_t pos, std::size_t count) {
    if (pos + count > text.size()) return std::nullopt;
    int value = 0;
    for (std::size_t i = pos; i < pos + count; ++i) {
        if (text[i] < '0' || text[i] > '9') return std::nullopt;
        value = value * 10 + (text[i] - '0');
    }
    return value;
}

bool isLeapYear(std::int64_t year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

}  // namespace

std::int64_t daysFromCivil(std::int64_t year, unsigned month, unsigned day) {
    year -= month <= 2 ? 1 : 0;
    const std::int64_t era = (year >= 0 ? year : year - 399) / 400;
    const auto yearOfEra = static_cast<std::uint64_t>(year - era * 400);
    const std::uint64_t dayOfYear = (153 * (month > 2 ? month - 3 : month + 9) + 2) / 5 + day - 1;
    const std::uint64_t dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    return era * 146097 + static_cast<std::int64_t>(dayOfEra) - 719468;
}

unsigned daysInMonth(std::int64_t year, unsigned month) {
    static constexpr unsigned kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return month == 2 && isLeapYear(year) ? 29 : kDays[month - 1];
}

std::string format(TimePoint time) {
    const auto seconds = std::chrono::floor<std::chrono::seconds>(time).time_since_epoch().count();
    std::int64_t days = seconds / 86400;
    std::int64_t secondOfDay = seconds % 86400;
    if (secondOfDay < 0) {
        secondOfDay += 86400;
        --days;
    }
    const CivilDate date = civilFromDays(days);
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%04lld-%02u-%02uT%02d:%02d:%02dZ", static_cast<long long>(date.year),
                  date.month, date.day, static_cast<int>(secondOfDay / 3600),
                  static_cast<int>(secondOfDay / 60 % 60), static_cast<int>(secondOfDay % 60));
    return buffer;
}

std::optional<TimePoint> parse(std::string_view text, Fractions fractions) {
    const auto year = digits(text, 0, 4);
    const auto month = digits(text, 5, 2);
    const auto day = digits(text, 8, 2);
    const auto hour = digits(text, 11, 2);
    const auto minute = digits(text, 14, 2);
    const auto second = digits(text, 17, 2);
    if (!year || !month || !day || !hour || !minute || !second) return std::nullopt;
    if (text[4] != '-' || text[7] != '-' || (text[10] != 'T' && text[10] != 't') || text[13] != ':' ||
        text[16] != ':') {
        return std::nullopt;
    }
    if (*month < 1 || *month > 12 || *day < 1 ||
        static_cast<unsigned>(*day) > daysInMonth(*year, static_cast<unsigned>(*month)) || *hour > 23 ||
        *minute > 59 || *second > 59) {
        return std::nullopt;
    }

    std::size_t pos = 19;
    std::chrono::nanoseconds fraction{0};
    if (pos < text.size() && text[pos] == '.') {
        if (fractions == Fractions::reject) return std::nullopt;
        ++pos;
        const std::size_t start = pos;
        std::int64_t nanos = 0;
        int scale = 0;
        while (pos < text.size() && text[pos] >= '0' && text[pos] <= '9') {
            if (scale < 9) {
                nanos = nanos * 10 + (text[pos] - '0');
                ++scale;
            }
            ++pos;
        }
        if (pos == start) return std::nullopt;
        for (; scale < 9; ++scale) nanos *= 10;
        fraction = std::chrono::nanoseconds(nanos);
    }

    std::int64_t offsetSeconds = 0;
    if (pos < text.size() && (text[pos] == 'Z' || text[pos] == 'z')) {
        ++pos;
    } else if (pos < text.size() && (text[pos] == '+' || text[pos] == '-')) {
        const auto offsetHours = digits(text, pos + 1, 2);
        const auto offsetMinutes = digits(text, pos + 4, 2);
        if (!offsetHours || !offsetMinutes || pos + 3 >= text.size() || text[pos + 3] != ':' || *offsetHours > 23 ||
            *offsetMinutes > 59) {
            return std::nullopt;
        }
        offsetSeconds = (*offsetHours * 3600 + *offsetMinutes * 60) * (text[pos] == '-' ? -1 : 1);
        pos += 6;
    } else {
        return std::nullopt;
    }
    if (pos != text.size()) return std::nullopt;

    const std::int64_t days = daysFromCivil(*year, static_cast<unsigned>(*month), static_cast<unsigned>(*day));
    const std::int64_t seconds = days * 86400 + *hour * 3600 + *minute * 60 + *second - offsetSeconds;
    return TimePoint(std::chrono::duration_cast<TimePoint::duration>(std::chrono::seconds(seconds) + fraction));
}

}  // namespace tarn::IsoDate
