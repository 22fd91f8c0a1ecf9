#pragma once

#include "core/files/FileDescriptor.h"
#include "core/storage/LocalFile.h"

#include <cstdint>
#include <filesystem>

namespace tarn {

// A local file open for an upload to read. The scan that queued it refused links, but
// whoever can write into the folder may swap the file for a link (to a key, a
// password store) before its turn comes: so the upload opens the name again without
// following a link, and takes only what then proves to be a regular file.
struct RegularFile {
    FileDescriptor descriptor;
    std::int64_t size = 0;

    // Throws std::filesystem::filesystem_error when the file cannot be opened, is a
    // symbolic link (ELOOP), or is no regular file (a folder: EISDIR; a pipe or a
    // device: EINVAL, refused without waiting for a writer). A file below a chosen
    // folder is reached from that folder one piece at a time: a piece that is a
    // symbolic link throws ELOOP, one that is no folder ENOTDIR, and a path that does
    // not lie below the folder EINVAL.
    static RegularFile openForReading(const LocalFile& file);
};

}  // namespace tarn
