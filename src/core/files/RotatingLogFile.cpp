#include "core/files/RotatingLogFile.h"

#include "core/text/LogText.h"
#include "core/values/IsoDate.h"

#include <cerrno>
#include <chrono>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace tarn {

namespace {

// A file far over the cap (left by an older build, or grown by another process) is
// kept under a name of its own instead of replacing the previous generation.
constexpr std::int64_t kLegacySlack = 1048576;

bool pathExists(const std::string& path) {
    struct stat info {};
    return ::lstat(path.c_str(), &info) == 0;
}

void writeAll(int descriptor, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t written = ::write(descriptor, bytes.data(), bytes.size());
        if (written < 0) {
            if (errno == EINTR) continue;
            return;
        }
        bytes.remove_prefix(static_cast<std::size_t>(written));
    }
}

// A log left readable by others (made by an older build, which created it 0644) loses
// those permissions; one that only its owner can read stays as it is.
void keepPrivate(int descriptor) {
    struct stat info {};
    if (::fstat(descriptor, &info) != 0 || !S_ISREG(info.st_mode) || info.st_uid != ::geteuid()) return;
    if ((info.st_mode & 077) != 0) ::fchmod(descriptor, info.st_mode & 0700);
}

}  // namespace

RotatingLogFile::RotatingLogFile(std::filesystem::path path, std::int64_t maxBytes)
    : m_path(std::move(path)), m_maxBytes(maxBytes) {}

void RotatingLogFile::write(std::string_view message) {
    const std::lock_guard guard(m_lock);
    std::string line = "[" + IsoDate::format(std::chrono::system_clock::now()) + "] ";
    line += message;
    if (line.size() > maxLineBytes) line = LogText::truncated(line, maxLineBytes);
    line += '\n';

    rotateIfNeeded(line.size());
    // Requests, keys, bucket names and the servers' answers: for the user's eyes only.
    const int descriptor = ::open(m_path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0600);
    if (descriptor < 0) return;
    keepPrivate(descriptor);
    writeAll(descriptor, line);
    ::close(descriptor);
}

void RotatingLogFile::rotateIfNeeded(std::size_t adding) {
    struct stat info {};
    if (::stat(m_path.c_str(), &info) != 0) return;
    const std::int64_t size = info.st_size;
    if (size == 0 || size + static_cast<std::int64_t>(adding) <= m_maxBytes) return;

    const std::string path = m_path.string();
    std::string target;
    if (size > m_maxBytes + kLegacySlack) {
        target = path + ".legacy";
        for (int n = 1; pathExists(target); ++n) target = path + ".legacy." + std::to_string(n);
    } else {
        target = path + ".1";
    }
    // A failed rename leaves the file in place; the line then goes to it.
    ::rename(path.c_str(), target.c_str());
}

}  // namespace tarn
