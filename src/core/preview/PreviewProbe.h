#pragma once

#include <cstddef>
#include <filesystem>
#include <string_view>

namespace tarn {

// Whether a local file is worth showing as text, judged from its first bytes only,
// so a file of any size is answered at once.
namespace PreviewProbe {

// How much of a file the probe reads.
inline constexpr std::size_t sniffLength = 8192;

// Reads at most `sniffLength` bytes from the start of the file and judges them
// with `looksLikeText`. A file that cannot be opened or read, and anything that is
// not a regular file (a folder, a pipe, a device), is not text.
bool isLikelyTextFile(const std::filesystem::path& file);

// No bytes are text; a zero byte never is; valid UTF-8 is; otherwise more than 85 %
// of the bytes must be tab, line feed, carriage return, printable ASCII or 128 and
// above (so Latin-1 text passes and control-heavy data does not).
bool looksLikeText(std::string_view bytes);

}  // namespace PreviewProbe

}  // namespace tarn
