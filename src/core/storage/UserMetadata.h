#pragma once

#include <map>
#include <string>
#include <string_view>

namespace tarn {

// User metadata travels as "x-amz-meta-NAME: VALUE" headers, so names and values
// must survive as HTTP header text unchanged.
namespace UserMetadata {

inline constexpr std::string_view headerPrefix = "x-amz-meta-";

// A name is an HTTP token: at least one of the letters, digits and
// !#$%&'*+-.^_`|~ (no spaces, colons, slashes or non-ASCII letters).
bool isValidName(std::string_view name);
// A value is printable ASCII: characters 32 to 126, spaces included.
bool isValidValue(std::string_view value);

// Throws RefusedInputError (a std::invalid_argument), naming the entry and what is
// wrong with it, for the first name or value that could not be sent as it stands,
// and for two names that differ only in letter case (header names do not, so the
// server would merge them).
void check(const std::map<std::string, std::string>& metadata);

}  // namespace UserMetadata

}  // namespace tarn
