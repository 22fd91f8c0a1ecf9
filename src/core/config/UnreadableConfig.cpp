#include "core/config/UnreadableConfig.h"

#include "core/files/AtomicFile.h"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <string>
#include <system_error>

namespace tarn::UnreadableConfig {

namespace {

namespace fs = std::filesystem;

// Far more than one start per second ever makes; beyond it something is wrong.
constexpr int maxNumberedNames = 1000;

std::string basicTime(TimePoint now) {
    std::string text;
    for (const char c : IsoDate::format(now)) {
        if (c != '-' && c != ':') text += c;
    }
    return text;
}

fs::path numbered(const fs::path& first, int number) {
    if (number == 1) return first;
    fs::path name = first;
    name += "-" + std::to_string(number);
    return name;
}

// An earlier copy with exactly these bytes, so that starting again and again with the
// same broken file does not fill the folder with copies.
std::optional<fs::path> identicalCopy(const fs::path& configURL, const std::string& bytes, std::size_t maxBytes) {
    const std::string stem = configURL.filename().string() + ".unreadable-";
    std::error_code error;
    for (const fs::directory_entry& entry : fs::directory_iterator(configURL.parent_path(), error)) {
        if (!entry.path().filename().string().starts_with(stem)) continue;
        std::error_code sizeError;
        if (!entry.is_regular_file(sizeError) || entry.file_size(sizeError) != bytes.size() || sizeError) continue;
        try {
            if (AtomicFile::readIfExists(entry.path(), maxBytes) == bytes) return entry.path();
        } catch (const fs::filesystem_error&) {
        }
    }
    return std::nullopt;
}

fs::path copyAside(const std::string& bytes, const fs::path& first) {
    for (int number = 1; number <= maxNumberedNames; ++number) {
        const fs::path target = numbered(first, number);
        if (AtomicFile::createNew(target, bytes)) return target;
    }
    throw fs::filesystem_error("Could not find a free name for the copy", first,
                               std::make_error_code(std::errc::file_exists));
}

// The rename refuses to replace an existing file, so no earlier copy is ever lost.
std::optional<fs::path> moveAside(const fs::path& configURL, const fs::path& first) {
    for (int number = 1; number <= maxNumberedNames; ++number) {
        const fs::path target = numbered(first, number);
        if (::renameat2(AT_FDCWD, configURL.c_str(), AT_FDCWD, target.c_str(), RENAME_NOREPLACE) == 0) return target;
        if (errno == ENOENT) return std::nullopt;
        if (errno != EEXIST) {
            throw fs::filesystem_error("Could not move the file aside", configURL, target,
                                       std::error_code(errno, std::generic_category()));
        }
    }
    throw fs::filesystem_error("Could not find a free name for the file", first,
                               std::make_error_code(std::errc::file_exists));
}

}  // namespace

std::optional<fs::path> keepAside(const fs::path& configURL, TimePoint now, std::size_t maxBytes) {
    fs::path first = configURL;
    first += ".unreadable-" + basicTime(now);
    std::optional<std::string> bytes;
    try {
        bytes = AtomicFile::readIfExists(configURL, maxBytes);
    } catch (const fs::filesystem_error&) {
        // Bytes that cannot be read cannot be copied; moving keeps them all the same,
        // and the next save then writes a new file in its place.
        return moveAside(configURL, first);
    }
    if (!bytes) return std::nullopt;
    if (std::optional<fs::path> earlier = identicalCopy(configURL, *bytes, maxBytes)) return earlier;
    return copyAside(*bytes, first);
}

}  // namespace tarn::UnreadableConfig
