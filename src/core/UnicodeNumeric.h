#pragma once

#include <optional>
#include <string_view>
#include <vector>

namespace tarn {

// The little Unicode knowledge that text rules need without pulling in ICU.
namespace UnicodeNumeric {

// True for every code point with a numeric value: decimal digits of any script,
// full-width digits, circled and Roman numerals, fractions, CJK numerals.
bool isNumeric(char32_t codePoint);

// The code points of UTF-8 text, or none when the bytes are not valid UTF-8.
std::optional<std::vector<char32_t>> decodeUtf8(std::string_view text);

}  // namespace UnicodeNumeric

}  // namespace tarn
