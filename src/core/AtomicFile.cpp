#include "core/AtomicFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <system_error>
#include <vector>

namespace tarn::AtomicFile {

namespace {

namespace fs = std::filesystem;

[[noreturn]] void fail(const std::string& what, const fs::path& path, int error) {
    throw fs::filesystem_error(what, path, std::error_code(error, std::generic_category()));
}

class FileDescriptor {
public:
    explicit FileDescriptor(int fd) : m_fd(fd) {}
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    ~FileDescriptor() {
        if (m_fd >= 0) ::close(m_fd);
    }
    int get() const { return m_fd; }
    // Closing can report a failed write-back, so it is checked where that matters.
    int close() {
        const int result = ::close(m_fd);
        m_fd = -1;
        return result;
    }

private:
    int m_fd;
};

// A flushed temporary file beside the target that removes itself unless it has
// been given its final name.
class TemporaryFile {
public:
    TemporaryFile(const fs::path& target, std::string_view bytes) {
        const fs::path folder = target.has_parent_path() ? target.parent_path() : fs::path(".");
        std::string pattern = (folder / ("." + target.filename().string() + ".tmp-XXXXXX")).string();
        std::vector<char> name(pattern.begin(), pattern.end());
        name.push_back('\0');
        FileDescriptor fd(::mkostemp(name.data(), O_CLOEXEC));
        if (fd.get() < 0) fail("Could not create a temporary file", target, errno);
        m_path = name.data();
        // A constructor that throws runs no destructor, so the file is removed here.
        try {
            writeAll(fd.get(), bytes, target);
            if (::fsync(fd.get()) != 0) fail("Could not flush the file to disk", target, errno);
            if (fd.close() != 0) fail("Could not write the file", target, errno);
        } catch (...) {
            ::unlink(m_path.c_str());
            throw;
        }
    }
    TemporaryFile(const TemporaryFile&) = delete;
    TemporaryFile& operator=(const TemporaryFile&) = delete;
    ~TemporaryFile() {
        if (!m_path.empty()) ::unlink(m_path.c_str());
    }

    const std::string& path() const { return m_path; }
    void renamed() { m_path.clear(); }

private:
    static void writeAll(int fd, std::string_view bytes, const fs::path& target) {
        while (!bytes.empty()) {
            const ssize_t written = ::write(fd, bytes.data(), bytes.size());
            if (written < 0) {
                if (errno == EINTR) continue;
                fail("Could not write the file", target, errno);
            }
            bytes.remove_prefix(static_cast<std::size_t>(written));
        }
    }

    std::string m_path;
};

// Makes the new name itself durable; without it a crash can lose the rename.
void syncFolderOf(const fs::path& target) {
    const fs::path folder = target.has_parent_path() ? target.parent_path() : fs::path(".");
    FileDescriptor fd(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (fd.get() < 0) fail("Could not open the folder to flush it", folder, errno);
    // Some file systems cannot flush a folder at all (EINVAL); there is nothing more to do there.
    if (::fsync(fd.get()) != 0 && errno != EINVAL) fail("Could not flush the folder to disk", folder, errno);
}

}  // namespace

std::optional<std::string> readIfExists(const fs::path& path) {
    FileDescriptor fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (fd.get() < 0) {
        if (errno == ENOENT || errno == ENOTDIR) return std::nullopt;
        fail("Could not open the file", path, errno);
    }
    std::string bytes;
    char buffer[65536];
    for (;;) {
        const ssize_t count = ::read(fd.get(), buffer, sizeof buffer);
        if (count < 0) {
            if (errno == EINTR) continue;
            fail("Could not read the file", path, errno);
        }
        if (count == 0) break;
        bytes.append(buffer, static_cast<std::size_t>(count));
    }
    return bytes;
}

void replace(const fs::path& target, std::string_view bytes) {
    TemporaryFile temporary(target, bytes);
    if (::rename(temporary.path().c_str(), target.c_str()) != 0) fail("Could not replace the file", target, errno);
    temporary.renamed();
    syncFolderOf(target);
}

bool createNew(const fs::path& target, std::string_view bytes) {
    TemporaryFile temporary(target, bytes);
    // A hard link fails when the name is taken, where a rename would replace it.
    if (::link(temporary.path().c_str(), target.c_str()) != 0) {
        if (errno == EEXIST) return false;
        fail("Could not create the file", target, errno);
    }
    syncFolderOf(target);
    return true;
}

}  // namespace tarn::AtomicFile
