#include "core/storage/PartRetryPolicy.h"

#include "core/storage/PartStalledError.h"
#include "core/storage/TransientErrors.h"
#include "core/storage/TransportError.h"
#include "core/values/IsoDate.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <charconv>
#include <span>
#include <string_view>
#include <system_error>

namespace tarn {

namespace {

std::string_view trimmedSpacesAndTabs(std::string_view text) {
    const std::size_t first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos) return {};
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

// Digits with at most one decimal point among them, after an optional sign.
bool isDecimalNumber(std::string_view text) {
    if (!text.empty() && (text.front() == '+' || text.front() == '-')) text.remove_prefix(1);
    bool digits = false;
    bool point = false;
    for (const char c : text) {
        if (isDigit(c)) {
            digits = true;
        } else if (c == '.' && !point) {
            point = true;
        } else {
            return false;
        }
    }
    return digits;
}

std::optional<int> fixedNumber(std::string_view text) {
    if (text.empty()) return std::nullopt;
    int value = 0;
    for (const char c : text) {
        if (!isDigit(c)) return std::nullopt;
        value = value * 10 + (c - '0');
    }
    return value;
}

std::optional<int> indexOf(std::string_view name, std::span<const std::string_view> names) {
    for (std::size_t i = 0; i < names.size(); ++i) {
        if (names[i] == name) return static_cast<int>(i);
    }
    return std::nullopt;
}

// "EEE, dd MMM yyyy HH:mm:ss zzz" in English, in GMT (the one form servers send).
std::optional<TimePoint> parseHttpDate(std::string_view text) {
    static constexpr std::array<std::string_view, 7> kDays = {"Mon", "Tue", "Wed", "Thu", "Fri", "Sat", "Sun"};
    static constexpr std::array<std::string_view, 12> kMonths = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                                                 "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    // "Wed, 21 Oct 2015 07:28:00 GMT": 29 characters, fields at fixed places.
    if (text.size() != 29 || text.substr(3, 2) != ", " || text[7] != ' ' || text[11] != ' ' || text[16] != ' ' ||
        text[19] != ':' || text[22] != ':' || text[25] != ' ') {
        return std::nullopt;
    }
    const std::string_view zone = text.substr(26);
    if (!indexOf(text.substr(0, 3), kDays) || (zone != "GMT" && zone != "UTC")) return std::nullopt;
    const std::optional<int> month = indexOf(text.substr(8, 3), kMonths);
    const std::optional<int> day = fixedNumber(text.substr(5, 2));
    const std::optional<int> year = fixedNumber(text.substr(12, 4));
    const std::optional<int> hour = fixedNumber(text.substr(17, 2));
    const std::optional<int> minute = fixedNumber(text.substr(20, 2));
    const std::optional<int> second = fixedNumber(text.substr(23, 2));
    if (!month || !day || !year || !hour || !minute || !second) return std::nullopt;
    const auto monthDays = static_cast<int>(IsoDate::daysInMonth(*year, static_cast<unsigned>(*month + 1)));
    if (*day < 1 || *day > monthDays || *hour > 23 || *minute > 59 || *second > 60) return std::nullopt;

    const std::int64_t days = IsoDate::daysFromCivil(*year, static_cast<unsigned>(*month + 1), static_cast<unsigned>(*day));
    const std::int64_t seconds = days * 86400 + *hour * 3600 + *minute * 60 + *second;
    return TimePoint(std::chrono::seconds(seconds));
}

}  // namespace

double PartRetryPolicy::delay(int afterAttempt, std::optional<double> retryAfter, double random) const {
    const double factor = 1.0 + random * jitter;
    if (retryAfter) return std::min(retryAfterCap, std::max(*retryAfter, 0.0) * factor);
    if (baseDelays.empty()) return 0;
    const std::size_t index = static_cast<std::size_t>(std::max(afterAttempt, 1) - 1);
    return baseDelays[std::min(baseDelays.size() - 1, index)] * factor;
}

bool PartRetryPolicy::isRetryableStatus(int statusCode) {
    // 499: a proxy or load balancer in front of the store gave up on the client.
    return statusCode == 408 || statusCode == 429 || statusCode == 499 || (statusCode >= 500 && statusCode <= 599);
}

bool PartRetryPolicy::isRetryable(const std::exception_ptr& error) {
    if (!error) return false;
    try {
        std::rethrow_exception(error);
    } catch (const PartStalledError&) {
        return true;
    } catch (const TransportError& transport) {
        return TransientErrors::isTransient(transport);
    } catch (const std::system_error& system) {
        const std::error_category& category = system.code().category();
        return (category == std::generic_category() || category == std::system_category()) &&
               TransientErrors::isTransientErrno(system.code().value());
    } catch (...) {
        return false;
    }
}

std::optional<double> PartRetryPolicy::parseRetryAfter(const std::optional<std::string>& header, TimePoint now) {
    if (!header) return std::nullopt;
    std::string_view text = trimmedSpacesAndTabs(*header);
    if (text.empty()) return std::nullopt;
    if (isDecimalNumber(text)) {
        // from_chars reads "." whatever the process locale says; it takes no "+".
        if (text.front() == '+') text.remove_prefix(1);
        double seconds = 0;
        const std::from_chars_result read = std::from_chars(text.data(), text.data() + text.size(), seconds);
        // A negative wait is nonsense, not a hint to read the text as a date.
        if (read.ec != std::errc() || !std::isfinite(seconds) || seconds < 0) return std::nullopt;
        return seconds;
    }
    const std::optional<TimePoint> date = parseHttpDate(text);
    if (!date) return std::nullopt;
    return std::max(0.0, std::chrono::duration<double>(*date - now).count());
}

}  // namespace tarn
