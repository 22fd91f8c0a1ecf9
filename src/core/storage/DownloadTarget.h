#pragma once

#include <filesystem>
#include <string_view>

namespace tarn {

// Where an object lands when it is saved inside a local folder. Object keys come
// from the server and may hold anything, so a key is only ever placed below the
// folder, never beside or above it.
namespace DownloadTarget {

// The file `relativePath` ("/"-separated, as in object keys: "docs/2024/report.pdf")
// inside `folder`. Doubled "/" count as one. Throws std::invalid_argument, with a
// message that names the path, for a path that is empty, absolute, names a folder
// (ends in "/"), holds a "." or ".." piece or a zero byte.
std::filesystem::path inFolder(const std::filesystem::path& folder, std::string_view relativePath);

}  // namespace DownloadTarget

}  // namespace tarn
