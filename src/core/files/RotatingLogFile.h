#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <mutex>
#include <string_view>

namespace tarn {

// Appends time-stamped lines to one file and renames the file aside before a line
// would take it past the size cap. Callable from any thread; never reports a
// failure: a line that cannot be written is lost. No file is held open between
// lines, so moving or deleting the file from outside is harmless.
class RotatingLogFile {
public:
    static constexpr std::int64_t defaultMaxBytes = 20971520;  // 20 MiB
    // Longer lines are cut, so one logged response body cannot flood the file.
    static constexpr std::size_t maxLineBytes = 65536;

    explicit RotatingLogFile(std::filesystem::path path, std::int64_t maxBytes = defaultMaxBytes);

    // Appends "[<UTC time to the second>] <message>" and a line feed.
    void write(std::string_view message);

    const std::filesystem::path& path() const { return m_path; }
    std::int64_t maxBytes() const { return m_maxBytes; }

private:
    void rotateIfNeeded(std::size_t adding);

    const std::filesystem::path m_path;
    const std::int64_t m_maxBytes;
    std::mutex m_lock;
};

}  // namespace tarn
