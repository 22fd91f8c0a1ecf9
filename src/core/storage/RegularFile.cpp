#include "core/storage/RegularFile.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <cerrno>
#include <string>
#include <system_error>
#include <vector>

namespace tarn {

namespace {

namespace fs = std::filesystem;

[[noreturn]] void fail(const std::string& what, const fs::path& path, int error) {
    throw fs::filesystem_error(what, path, std::error_code(error, std::generic_category()));
}

// The path with "." and ".." resolved as text and no closing "/", as the scan that
// found the file names it.
fs::path withoutClosingSlash(const fs::path& path) {
    fs::path normal = path.lexically_normal();
    if (!normal.has_filename() && normal.has_relative_path()) normal = normal.parent_path();
    return normal;
}

}  // namespace

RegularFile RegularFile::openForReading(const LocalFile& file) {
    const fs::path& path = file.path;
    int folder = AT_FDCWD;
    std::string name = path.native();
    FileDescriptor opened(-1);
    if (!file.root.empty()) {
        const fs::path below = withoutClosingSlash(path).lexically_relative(withoutClosingSlash(file.root));
        std::vector<std::string> pieces;
        for (const fs::path& piece : below) pieces.push_back(piece.native());
        if (pieces.empty() || pieces.front() == ".." || pieces.front() == "." || pieces.back().empty()) {
            fail("The file does not lie in the folder chosen for the upload", path, EINVAL);
        }
        opened = FileDescriptor(::open(file.root.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
        if (opened.get() < 0) fail("Could not open the folder chosen for the upload", file.root, errno);
        fs::path reached = file.root;
        for (std::size_t i = 0; i + 1 < pieces.size(); ++i) {
            reached /= pieces[i];
            const int next = ::openat(opened.get(), pieces[i].c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
            if (next < 0) {
                const int error = errno;
                struct stat status {};
                if ((error == ELOOP || error == ENOTDIR) &&
                    ::fstatat(opened.get(), pieces[i].c_str(), &status, AT_SYMLINK_NOFOLLOW) == 0 &&
                    S_ISLNK(status.st_mode)) {
                    fail("A folder on the way to the file was replaced by a symbolic link, which is not followed",
                         reached, ELOOP);
                }
                fail("Could not open the folder", reached, error);
            }
            opened = FileDescriptor(next);
        }
        folder = opened.get();
        name = pieces.back();
    }
    // Without O_NONBLOCK, opening a FIFO would wait for a writer, for ever.
    const int fd = ::openat(folder, name.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY | O_NOFOLLOW);
    if (fd < 0) {
        if (errno == ELOOP) fail("The file was replaced by a symbolic link, which is not uploaded", path, ELOOP);
        fail("Could not open the file", path, errno);
    }
    RegularFile result{FileDescriptor(fd), 0};
    struct stat status {};
    if (::fstat(fd, &status) != 0) fail("Could not read the file", path, errno);
    if (!S_ISREG(status.st_mode)) {
        fail("Only regular files can be uploaded", path, S_ISDIR(status.st_mode) ? EISDIR : EINVAL);
    }
    // Some network file systems honour O_NONBLOCK on regular files too; the reads
    // are meant to wait for the data.
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    result.size = status.st_size;
    return result;
}

}  // namespace tarn
