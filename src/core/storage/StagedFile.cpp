#include "core/storage/StagedFile.h"

#include "core/config/Uuid.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <system_error>

namespace tarn {

namespace {

namespace fs = std::filesystem;

// Room left in a 255-byte file name for the dot and the temporary suffix.
constexpr std::size_t kKeptNameBytes = 200;
// Collisions of random names only happen by accident; a few tries are plenty.
constexpr int kNameAttempts = 16;

[[noreturn]] void fail(const std::string& what, const fs::path& path, int error) {
    throw fs::filesystem_error(what, path, std::error_code(error, std::generic_category()));
}

fs::path folderOf(const fs::path& target) {
    return target.has_parent_path() ? target.parent_path() : fs::path(".");
}

// ".name.tmp-1A2B3C4D": hidden, beside the target, and never longer than a name
// may be, however long the target's own name is.
std::string temporaryName(std::string_view targetName) {
    std::string name(targetName);
    if (name.size() > kKeptNameBytes) {
        std::size_t end = kKeptNameBytes;
        // Cut before a whole UTF-8 sequence, not inside one.
        while (end > 0 && (static_cast<unsigned char>(name[end]) & 0xC0) == 0x80) --end;
        name.resize(end);
    }
    name.insert(0, 1, '.');
    name += ".tmp-";
    name += Uuid::random().toString().substr(0, 8);
    return name;
}

}  // namespace

StagedFile::StagedFile(fs::path target, Access access) : m_folder(-1), m_target(std::move(target)) {
    if (!m_target.has_filename()) fail("A file needs a name", m_target, EINVAL);
    m_name = m_target.filename().string();
    const fs::path folder = folderOf(m_target);
    m_folder = FileDescriptor(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (m_folder.get() < 0) fail("Could not open the folder", folder, errno);
    create(access);
}

StagedFile::StagedFile(FileDescriptor folder, std::string name, fs::path target, Access access)
    : m_folder(std::move(folder)), m_name(std::move(name)), m_target(std::move(target)) {
    if (m_folder.get() < 0) fail("Could not open the folder", folderOf(m_target), EBADF);
    if (m_name.empty() || m_name == "." || m_name == ".." || m_name.find('/') != std::string::npos) {
        fail("A file needs a name", m_target, EINVAL);
    }
    create(access);
}

void StagedFile::create(Access access) {
    const mode_t mode = access == Access::ownerOnly ? 0600 : 0666;
    for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
        std::string candidate = temporaryName(m_name);
        // The kernel applies the umask to the mode, as for any new file.
        const int fd = ::openat(m_folder.get(), candidate.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
        if (fd >= 0) {
            m_fd = fd;
            m_temporary = folderOf(m_target) / candidate;
            m_temporaryName = std::move(candidate);
            return;
        }
        if (errno != EEXIST) fail("Could not create a temporary file", m_target, errno);
    }
    fail("Could not create a temporary file", m_target, EEXIST);
}

StagedFile::~StagedFile() {
    discard();
}

void StagedFile::write(std::string_view bytes) {
    if (m_fd < 0) fail("Could not write the file", m_target, EBADF);
    while (!bytes.empty()) {
        const ssize_t written = ::write(m_fd, bytes.data(), bytes.size());
        if (written < 0) {
            if (errno == EINTR) continue;
            fail("Could not write the file", m_target, errno);
        }
        bytes.remove_prefix(static_cast<std::size_t>(written));
        m_size += written;
    }
}

void StagedFile::write(std::span<const std::uint8_t> bytes) {
    write(std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
}

void StagedFile::commit() {
    finishWriting();
    if (::renameat(m_folder.get(), m_temporaryName.c_str(), m_folder.get(), m_name.c_str()) != 0) {
        fail("Could not replace the file", m_target, errno);
    }
    m_temporaryName.clear();
    m_temporary.clear();
    syncFolder();
}

bool StagedFile::commitIfAbsent() {
    finishWriting();
    // A hard link fails when the name is taken, where a rename would replace it.
    if (::linkat(m_folder.get(), m_temporaryName.c_str(), m_folder.get(), m_name.c_str(), 0) != 0) {
        if (errno == EEXIST) {
            discard();
            return false;
        }
        fail("Could not create the file", m_target, errno);
    }
    discard();
    syncFolder();
    return true;
}

void StagedFile::finishWriting() {
    if (m_fd < 0) fail("Could not write the file", m_target, EBADF);
    if (::fsync(m_fd) != 0) fail("Could not flush the file to disk", m_target, errno);
    const int fd = m_fd;
    m_fd = -1;
    // Closing can report a failed write-back.
    if (::close(fd) != 0) fail("Could not write the file", m_target, errno);
}

// Makes the new name itself durable; without it a crash can lose the rename.
void StagedFile::syncFolder() const {
    // Some file systems cannot flush a folder at all (EINVAL); there is nothing more to do there.
    if (::fsync(m_folder.get()) != 0 && errno != EINVAL) {
        fail("Could not flush the folder to disk", folderOf(m_target), errno);
    }
}

void StagedFile::discard() noexcept {
    if (m_fd >= 0) {
        ::close(m_fd);
        m_fd = -1;
    }
    if (!m_temporaryName.empty()) {
        ::unlinkat(m_folder.get(), m_temporaryName.c_str(), 0);
        m_temporaryName.clear();
        m_temporary.clear();
    }
}

}  // namespace tarn
