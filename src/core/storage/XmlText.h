#pragma once

#include "core/values/IsoDate.h"

#include <cstdint>
#include <optional>
#include <string_view>

namespace tarn {

// How the storage answers' element texts become values. Tolerant: a value that
// does not read is 0, absent or false, never an error.
namespace XmlText {

// Without the whitespace and line breaks at both ends.
std::string_view trimmed(std::string_view text);

// An optional "+" or "-" and decimal digits within the signed 64-bit range; anything
// else (empty, spaces inside, a decimal point, overflow) is 0.
std::int64_t integer(std::string_view text);

// An internet date-time with or without fractional seconds, "Z" or a "+HH:MM" offset.
std::optional<TimePoint> date(std::string_view text);

// True exactly for "true" in any letter case.
bool boolean(std::string_view text);

}  // namespace XmlText

}  // namespace tarn
