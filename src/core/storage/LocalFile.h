#pragma once

#include <filesystem>

namespace tarn {

// A local file an upload reads, and the folder the user chose that holds it. The
// chosen folder is the user's and is taken as it is, links and all; everything below
// it is reached one piece at a time without following a link, so a folder on the way
// that is swapped for a link (to a key store, another user's files) after the scan
// cannot carry the upload out of the chosen folder. Without a chosen folder (a file
// handed on its own) only the file itself must not be a link.
struct LocalFile {
    // A file handed on its own.
    LocalFile(std::filesystem::path file) : path(std::move(file)) {}  // NOLINT: a path is one
    LocalFile(const char* file) : path(file) {}                        // NOLINT: so is its text
    // `file` below the chosen folder `folder`; an empty folder is none.
    LocalFile(std::filesystem::path file, std::filesystem::path folder)
        : path(std::move(file)), root(std::move(folder)) {}

    std::filesystem::path path;
    std::filesystem::path root;
};

}  // namespace tarn
