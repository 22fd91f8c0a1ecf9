#pragma once

#include <string_view>

namespace tarn {

// White space as people type it: the Unicode White_Space characters, line breaks and
// the ideographic space of Chinese input methods included.
namespace Whitespace {

bool isWhitespace(char32_t codePoint);

// UTF-8 text without white space at either end; a view into `text`.
std::string_view trimmed(std::string_view text);

}  // namespace Whitespace

}  // namespace tarn
