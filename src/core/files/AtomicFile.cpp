#include "core/files/AtomicFile.h"

#include "core/files/FileDescriptor.h"
#include "core/storage/StagedFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <system_error>

namespace tarn::AtomicFile {

namespace {

namespace fs = std::filesystem;

[[noreturn]] void fail(const std::string& what, const fs::path& path, int error) {
    throw fs::filesystem_error(what, path, std::error_code(error, std::generic_category()));
}

}  // namespace

std::optional<std::string> readIfExists(const fs::path& path, std::size_t maxBytes) {
    // Without O_NONBLOCK, opening a pipe waits for a writer that may never come.
    FileDescriptor fd(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
    if (fd.get() < 0) {
        if (errno == ENOENT || errno == ENOTDIR) return std::nullopt;
        fail("Could not open the file", path, errno);
    }
    struct stat status {};
    if (::fstat(fd.get(), &status) != 0) fail("Could not read the file", path, errno);
    if (S_ISDIR(status.st_mode)) fail("Could not read the file: it is a folder", path, EISDIR);
    if (!S_ISREG(status.st_mode)) {
        fail("Could not read the file: it is not a regular file but a pipe, socket or device", path, EINVAL);
    }
    const auto tooLarge = [&] {
        fail("Could not read the file: it is larger than " + std::to_string(maxBytes) + " bytes", path, EFBIG);
    };
    if (static_cast<std::uintmax_t>(status.st_size) > maxBytes) tooLarge();

    std::string bytes;
    char buffer[65536];
    for (;;) {
        const ssize_t count = ::read(fd.get(), buffer, sizeof buffer);
        if (count < 0) {
            if (errno == EINTR) continue;
            fail("Could not read the file", path, errno);
        }
        if (count == 0) break;
        // It may have grown since it was measured.
        if (static_cast<std::size_t>(count) > maxBytes - bytes.size()) tooLarge();
        bytes.append(buffer, static_cast<std::size_t>(count));
    }
    return bytes;
}

void replace(const fs::path& target, std::string_view bytes) {
    StagedFile file(target, StagedFile::Access::ownerOnly);
    file.write(bytes);
    file.commit();
}

bool createNew(const fs::path& target, std::string_view bytes) {
    StagedFile file(target, StagedFile::Access::ownerOnly);
    file.write(bytes);
    return file.commitIfAbsent();
}

}  // namespace tarn::AtomicFile
