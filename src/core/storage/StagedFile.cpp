#include "core/storage/StagedFile.h"

#include "core/values/Uuid.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <chrono>
#include <climits>
#include <ctime>
#include <map>
#include <mutex>
#include <optional>
#include <system_error>
#include <tuple>

namespace tarn {

namespace {

namespace fs = std::filesystem;

// Room left in a 255-byte file name for the dot and the temporary suffix.
constexpr std::size_t kKeptNameBytes = 200;
// Collisions of random names only happen by accident; a few tries are plenty.
constexpr int kNameAttempts = 16;
constexpr std::string_view kTemporaryMark = ".tmp-";
// A temporary file untouched for this long has no writer left, whoever wrote it.
constexpr std::time_t kStaleAfterSeconds = 24 * 60 * 60;
// A folder is looked through for stale files at most this often, so writing many
// files into one large folder does not read the folder again for each of them.
constexpr auto kSweepInterval = std::chrono::hours(1);
constexpr std::size_t kRememberedFolders = 1024;

[[noreturn]] void fail(const std::string& what, const fs::path& path, int error) {
    throw fs::filesystem_error(what, path, std::error_code(error, std::generic_category()));
}

fs::path folderOf(const fs::path& target) {
    return target.has_parent_path() ? target.parent_path() : fs::path(".");
}

// Tells this machine and process namespace apart from others that share a folder:
// a pid means something only where it was taken.
const std::string& hostTag() {
    static const std::string tag = [] {
        char host[256] = {};
        ::gethostname(host, sizeof host - 1);
        struct stat ns {};
        const auto namespaceId = ::stat("/proc/self/ns/pid", &ns) == 0 ? static_cast<std::uint64_t>(ns.st_ino) : 0;
        const std::string identity = std::string(host) + '\0' + std::to_string(namespaceId);
        std::uint32_t hash = 2166136261u;  // FNV-1a
        for (const char c : identity) hash = (hash ^ static_cast<unsigned char>(c)) * 16777619u;
        static constexpr char digits[] = "0123456789ABCDEF";
        std::string text(8, '0');
        for (int i = 7; i >= 0; --i, hash >>= 4) text[static_cast<std::size_t>(i)] = digits[hash & 0xF];
        return text;
    }();
    return tag;
}

bool isUpperHex(std::string_view text) {
    return text.size() == 8 && text.find_first_not_of("0123456789ABCDEF") == std::string_view::npos;
}

struct Writer {
    pid_t pid = 0;
    std::string_view host;
};

// The writer recorded in a temporary name of ours; none for any other name.
std::optional<Writer> writerOf(std::string_view name) {
    if (name.size() < 2 || name.front() != '.') return std::nullopt;
    const std::size_t mark = name.rfind(kTemporaryMark);
    if (mark == std::string_view::npos || mark < 2) return std::nullopt;
    std::string_view rest = name.substr(mark + kTemporaryMark.size());
    // PID-HOST-RANDOM
    const std::size_t dash = rest.find('-');
    if (dash == std::string_view::npos || rest.size() != dash + 1 + 8 + 1 + 8 || rest[dash + 9] != '-') {
        return std::nullopt;
    }
    Writer writer;
    const auto [end, error] = std::from_chars(rest.data(), rest.data() + dash, writer.pid);
    if (error != std::errc() || end != rest.data() + dash || writer.pid <= 0) return std::nullopt;
    writer.host = rest.substr(dash + 1, 8);
    if (!isUpperHex(writer.host) || !isUpperHex(rest.substr(dash + 10))) return std::nullopt;
    return writer;
}

bool isStale(int folder, const char* name, const Writer& writer, std::time_t now) {
    struct stat status {};
    if (::fstatat(folder, name, &status, AT_SYMLINK_NOFOLLOW) != 0) return false;
    // Another user's files in a shared folder are theirs to clean up.
    if (!S_ISREG(status.st_mode) || status.st_uid != ::geteuid()) return false;
    if (now - status.st_mtime > kStaleAfterSeconds) return true;
    if (writer.host != hostTag() || writer.pid == ::getpid()) return false;
    return ::kill(writer.pid, 0) != 0 && errno == ESRCH;
}

// Whether the folder is due for a look; remembers that it had one now.
bool claimSweep(int folder, const fs::path& path) {
    struct stat status {};
    if (::fstat(folder, &status) != 0) return false;
    using Key = std::tuple<dev_t, ino_t, std::string>;
    static std::mutex mutex;
    static std::map<Key, std::chrono::steady_clock::time_point> swept;
    const auto now = std::chrono::steady_clock::now();
    const std::lock_guard lock(mutex);
    if (swept.size() >= kRememberedFolders) swept.clear();
    auto [entry, added] = swept.try_emplace(Key{status.st_dev, status.st_ino, path.native()}, now);
    if (!added) {
        if (now - entry->second < kSweepInterval) return false;
        entry->second = now;
    }
    return true;
}

// Best effort: a folder that cannot be read is simply not cleaned.
void removeStaleTemporaries(int folder, const fs::path& path) {
    if (!claimSweep(folder, path)) return;
    const int listing = ::openat(folder, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (listing < 0) return;
    DIR* entries = ::fdopendir(listing);
    if (entries == nullptr) {
        ::close(listing);
        return;
    }
    const std::time_t now = std::time(nullptr);
    while (const dirent* entry = ::readdir(entries)) {
        const auto writer = writerOf(entry->d_name);
        if (writer && isStale(folder, entry->d_name, *writer, now)) ::unlinkat(folder, entry->d_name, 0);
    }
    ::closedir(entries);
}

}  // namespace

std::string StagedFile::temporaryName(std::string_view targetName, int writer) {
    std::string name(targetName);
    if (name.size() > kKeptNameBytes) {
        std::size_t end = kKeptNameBytes;
        // Cut before a whole UTF-8 sequence, not inside one.
        while (end > 0 && (static_cast<unsigned char>(name[end]) & 0xC0) == 0x80) --end;
        name.resize(end);
    }
    name.insert(0, 1, '.');
    name += kTemporaryMark;
    name += std::to_string(writer);
    name += '-';
    name += hostTag();
    name += '-';
    name += Uuid::random().toString().substr(0, 8);
    return name;
}

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
    removeStaleTemporaries(m_folder.get(), folderOf(m_target));
    const mode_t mode = access == Access::ownerOnly ? 0600 : 0666;
    for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
        std::string candidate = temporaryName(m_name, ::getpid());
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
