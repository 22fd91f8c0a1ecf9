#include "core/text/ByteFormatter.h"

#include <array>
#include <charconv>
#include <cmath>
#include <limits>

namespace tarn::ByteFormatter {

namespace {

constexpr std::array<const char*, 4> units = {"KB", "MB", "GB", "TB"};
constexpr std::int64_t kb = 1024;

// An integer for a whole value, else one decimal rounded as printf("%.1f") rounds.
// to_chars, unlike printf, ignores LC_NUMERIC. Callers pass counts divided by at
// least 1024, so a whole value always fits 64 bits.
std::string numberText(double value) {
    std::array<char, 64> buffer{};
    std::to_chars_result result{};
    if (std::trunc(value) == value) {
        result = std::to_chars(buffer.data(), buffer.data() + buffer.size(), static_cast<std::int64_t>(value));
    } else {
        result = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value, std::chars_format::fixed, 1);
    }
    return std::string(buffer.data(), result.ptr);
}

// The unit of a count of at least 1024 bytes: the next unit only once the count
// reaches 1024 of it, and nothing above TB.
std::size_t unitOf(std::int64_t bytes) {
    std::size_t unit = 0;
    for (std::int64_t next = kb * kb; unit + 1 < units.size() && bytes >= next; next *= kb) ++unit;
    return unit;
}

// Dividing by a power of two is exact, so the value steps exactly at each 1024.
double inUnit(std::int64_t bytes, std::size_t unit) {
    return std::ldexp(static_cast<double>(bytes), -10 * static_cast<int>(unit + 1));
}

}  // namespace

std::string string(std::int64_t bytes) {
    if (bytes < kb) return std::to_string(bytes) + " B";
    const std::size_t unit = unitOf(bytes);
    return numberText(inUnit(bytes, unit)) + " " + units[unit];
}

std::string progressString(std::int64_t sent, std::int64_t total) {
    if (total < kb) return std::to_string(sent) + " / " + std::to_string(total) + " B";
    const std::size_t unit = unitOf(total);
    return numberText(inUnit(sent, unit)) + " / " + numberText(inUnit(total, unit)) + " " + units[unit];
}

std::string speedString(double bytesPerSecond) {
    std::int64_t bytes = 0;
    // 2^63 is the first double outside the range; converting it (or infinity) would be undefined.
    constexpr double outOfRange = 9223372036854775808.0;
    if (bytesPerSecond >= outOfRange) {
        bytes = std::numeric_limits<std::int64_t>::max();
    } else if (bytesPerSecond >= 0) {  // false for NaN
        bytes = static_cast<std::int64_t>(bytesPerSecond);
    }
    return string(bytes) + "/s";
}

}  // namespace tarn::ByteFormatter
