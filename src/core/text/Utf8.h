#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tarn {

// UTF-8 checks for text that arrives as raw bytes (response bodies, log lines).
namespace Utf8 {

bool isValid(std::string_view bytes);

// The bytes as valid UTF-8: each ill-formed sequence (its longest valid-looking
// start) becomes one U+FFFD, so a character cut at the end shows as one mark.
std::string repaired(std::string_view bytes);

// The first `count` characters of UTF-8 text (all of it when it is shorter), never
// cutting a character apart.
std::string_view prefix(std::string_view text, std::size_t count);

// The code points of the text, or none when the bytes are not valid UTF-8.
std::optional<std::vector<char32_t>> codePoints(std::string_view bytes);

}  // namespace Utf8

}  // namespace tarn
