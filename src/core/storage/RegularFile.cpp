#include "core/storage/RegularFile.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <cerrno>
#include <system_error>

namespace tarn {

namespace {

namespace fs = std::filesystem;

[[noreturn]] void fail(const std::string& what, const fs::path& path, int error) {
    throw fs::filesystem_error(what, path, std::error_code(error, std::generic_category()));
}

}  // namespace

RegularFile RegularFile::openForReading(const fs::path& path) {
    // Without O_NONBLOCK, opening a FIFO would wait for a writer, for ever.
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY | O_NOFOLLOW);
    if (fd < 0) {
        if (errno == ELOOP) fail("The file was replaced by a symbolic link, which is not uploaded", path, ELOOP);
        fail("Could not open the file", path, errno);
    }
    RegularFile file{FileDescriptor(fd), 0};
    struct stat status {};
    if (::fstat(fd, &status) != 0) fail("Could not read the file", path, errno);
    if (!S_ISREG(status.st_mode)) {
        fail("Only regular files can be uploaded", path, S_ISDIR(status.st_mode) ? EISDIR : EINVAL);
    }
    // Some network file systems honour O_NONBLOCK on regular files too; the reads
    // are meant to wait for the data.
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    file.size = status.st_size;
    return file;
}

}  // namespace tarn
