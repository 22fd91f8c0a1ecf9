#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace tarn {

// Bounds the size of what goes into the debug log (response bodies, whole lines).
namespace LogText {

// `text` unchanged when it has at most `limit` bytes. Otherwise its first `limit`
// bytes, with a character cut at the end (or any other ill-formed UTF-8) shown as
// U+FFFD, followed by the marker "…（已截断，共 N bytes）" where N is the size of the
// whole text.
std::string truncated(std::string_view text, std::size_t limit);

// The marker truncated() ends a cut text with: "…（已截断，共 N bytes）", N = `total`.
std::string cutMarker(std::size_t total);

}  // namespace LogText

}  // namespace tarn
