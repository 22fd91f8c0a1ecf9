#pragma once

#include <QMimeType>

#include <filesystem>
#include <optional>

namespace tarn {

// Files the desktop would run or install rather than show: desktop entries, scripts,
// Java archives, executables and installers. Another platform marks a downloaded file
// and asks before it runs one; here a file opened from a bucket is checked by its
// type, as the desktop itself finds it (from its name and from its first bytes), and
// the user asked first.
namespace LaunchableFile {

// The type of `file` when it is such a file, by its name or by its contents; none for
// any other. Reads the start of the file: not on the interface thread.
std::optional<QMimeType> typeOf(const std::filesystem::path& file);

}  // namespace LaunchableFile

}  // namespace tarn
