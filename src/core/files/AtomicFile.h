#pragma once

#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace tarn {

// Whole-file reads and writes that never leave a cut file behind: the bytes go to
// a temporary file in the target's folder, are flushed to disk, and only then take
// the target's name, after which the folder itself is flushed. A crash, a full disk
// or a failed write leaves either the old file or the new one.
//
// Failures throw std::filesystem::filesystem_error naming the path and the
// operating system's reason. New files are readable by their owner only.
namespace AtomicFile {

// The whole file; none when there is no file at that path. Only a regular file
// of at most `maxBytes` is read: a folder, a pipe or a device (which could block
// the caller for ever or never end) and a larger file fail, before anything is read.
std::optional<std::string> readIfExists(const std::filesystem::path& path, std::size_t maxBytes);

// Replaces the file at `target` (or creates it). The target's folder must exist.
void replace(const std::filesystem::path& target, std::string_view bytes);

// Creates `target` with the bytes unless a file of that name already exists, in
// which case it is left alone and false is returned. The check and the creation
// are one step, so a file written meanwhile by someone else is never replaced.
bool createNew(const std::filesystem::path& target, std::string_view bytes);

}  // namespace AtomicFile

}  // namespace tarn
