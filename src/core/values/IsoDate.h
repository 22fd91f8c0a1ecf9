#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <string_view>

namespace tarn {

using TimePoint = std::chrono::system_clock::time_point;

// ISO-8601 internet dates in UTC ("2024-05-01T08:30:00Z"), the one date form of the
// configuration file, the log and the storage listings.
namespace IsoDate {

// Whole seconds, rounded down (also before 1970), with a trailing "Z".
std::string format(TimePoint time);

enum class Fractions { reject, accept };

// "YYYY-MM-DDTHH:MM:SS" followed by "Z" or a "+HH:MM"/"-HH:MM" offset. Fractional
// seconds are accepted only when asked for (listings carry them, the configuration
// file must not).
std::optional<TimePoint> parse(std::string_view text, Fractions fractions = Fractions::reject);

// Days since 1970-01-01 of a proleptic Gregorian date, for callers that assemble
// dates from other formats (HTTP dates).
std::int64_t daysFromCivil(std::int64_t year, unsigned month, unsigned day);
// Days of a month (1-12) of a proleptic Gregorian year.
unsigned daysInMonth(std::int64_t year, unsigned month);

}  // namespace IsoDate

}  // namespace tarn
