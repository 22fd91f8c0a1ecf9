#pragma once

#include <QMimeType>

#include <filesystem>
#include <optional>

namespace tarn {

// Files the desktop might run, install or hand to an interpreter rather than show.
// Another platform marks a downloaded file and asks before it runs one; here a file
// opened from a bucket is judged by its type, as the desktop itself finds it (from
// its name and from its first bytes), and the user is asked first.
//
// Which program the desktop opens a type with is the user's (and every installed
// package's) to choose: a compatibility layer registers Windows scripts and links, a
// toolkit registers its own scripts, all under names no list here can know. So the
// rule is to know what is safe instead: a file opens at once only when the type the
// desktop opens it as belongs to a family whose programs show files (images, audio,
// video, page documents such as PDF, office files and e-books, and plain text in its
// usual data forms), and no type seen in it, by name or by contents, is or
// derives from one known to run or install. Anything else asks first: scripts of any
// language, programs, archives, unknown binaries and every type some program has
// claimed for itself.
namespace LaunchableFile {

// The type to name when `file` is to be opened only once the user agrees; none for a
// file that may open at once. Reads the start of the file: not on the interface thread.
std::optional<QMimeType> typeOf(const std::filesystem::path& file);

}  // namespace LaunchableFile

}  // namespace tarn
