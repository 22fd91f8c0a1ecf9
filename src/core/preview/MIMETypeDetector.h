#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace tarn {

// Content types by file name extension, from a table compiled into the program
// rather than the machine's type database, so an upload carries the same
// Content-Type wherever it runs.
namespace MIMETypeDetector {

// The registered type of a lower-case extension without its dot, if any: the
// overlay's (MIMETypeOverlay) where it has one, else the generated table's.
std::optional<std::string_view> registeredType(std::string_view extension);

// The Content-Type to upload a local file with: the registered type of its
// extension (case does not matter), else a small built-in fallback, else
// "application/octet-stream". Only the name is looked at; the file is not opened.
std::string contentType(const std::filesystem::path& file);

}  // namespace MIMETypeDetector

}  // namespace tarn
