#include "core/ByteFormatter.h"

#include <array>
#include <charconv>
#include <cmath>
#include <limits>

namespace tarn::ByteFormatter {

namespace {

constexpr std::array<const char*, 4> units = {"KB", "MB", "GB", "TB"};

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

}  // namespace

std::string string(std::int64_t bytes) {
    if (bytes <= 1023) return std::to_string(bytes) + " B";
    // Dividing by powers of two is exact, so the unit steps exactly at each 1024.
    double value = static_cast<double>(bytes) / 1024.0;
    std::size_t unit = 0;
    while (value >= 1024.0 && unit + 1 < units.size()) {
        value /= 1024.0;
        ++unit;
    }
    return numberText(value) + " " + units[unit];
}

std::string progressString(std::int64_t sent, std::int64_t total) {
    if (total < 1024) return std::to_string(sent) + " / " + std::to_string(total) + " B";
    constexpr std::int64_t kb = 1024;
    const std::size_t unit = total < kb * kb ? 0 : total < kb * kb * kb ? 1 : total < kb * kb * kb * kb ? 2 : 3;
    double divisor = 1024.0;
    for (std::size_t i = 0; i < unit; ++i) divisor *= 1024.0;
    return numberText(static_cast<double>(sent) / divisor) + " / " + numberText(static_cast<double>(total) / divisor) +
           " " + units[unit];
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
