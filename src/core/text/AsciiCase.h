#pragma once

#include <string>
#include <string_view>

namespace tarn {

// Letter case of protocol texts (header names, host names), where only A-Z and a-z
// are letters; other bytes, UTF-8 included, are left as they are.
namespace AsciiCase {

char lowered(char c);
std::string lowercased(std::string_view text);
bool equalsIgnoringCase(std::string_view a, std::string_view b);
bool startsWith(std::string_view text, std::string_view prefix);

}  // namespace AsciiCase

}  // namespace tarn
