#pragma once

#include <string_view>

namespace tarn {

// White space as people type it: the Unicode White_Space characters, line breaks and
// the ideographic space of Chinese input methods included.
namespace Whitespace {

bool isWhitespace(char32_t codePoint);
// The white space that ends a line: U+000A to U+000D, U+0085, U+2028 and U+2029.
bool isLineBreak(char32_t codePoint);

// UTF-8 text without white space at either end; a view into `text`.
std::string_view trimmed(std::string_view text);
// The same, but line breaks at either end stay: only the spaces and tabs of a line
// go (the space separators, the no-break and ideographic spaces among them).
std::string_view trimmedWithinLine(std::string_view text);

}  // namespace Whitespace

}  // namespace tarn
