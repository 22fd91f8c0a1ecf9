#pragma once

#include <string>
#include <string_view>

namespace tarn {

// UTF-8 checks for text that arrives as raw bytes (response bodies, log lines).
namespace Utf8 {

bool isValid(std::string_view bytes);

// The bytes as valid UTF-8: each ill-formed sequence (its longest valid-looking
// start) becomes one U+FFFD, so a character cut at the end shows as one mark.
std::string repaired(std::string_view bytes);

}  // namespace Utf8

}  // namespace tarn
