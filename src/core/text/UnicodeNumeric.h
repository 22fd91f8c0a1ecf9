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

}  // namespace UnicodeNumeric

}  // namespace tarn
