#include "ui/browser/DragOutStaging.h"

#include "core/files/PrivateFolder.h"

#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <set>
#include <system_error>
#include <thread>

namespace tarn {
namespace {

namespace fs = std::filesystem;

constexpr std::size_t kNameMax = 255;

// `text` cut to at most `limit` bytes without splitting a UTF-8 sequence.
std::string cutUtf8(std::string text, std::size_t limit)
{
    if (text.size() <= limit) {
        return text;
    }
    std::size_t end = limit;
    while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) {
        --end;
    }
    text.resize(end);
    return text;
}

}  // namespace

std::string DragOutStaging::fileName(std::string_view keyOrPrefix, std::string_view fallback)
{
    std::string_view trimmed = keyOrPrefix;
    while (!trimmed.empty() && trimmed.back() == '/') {
        trimmed.remove_suffix(1);
    }
    const std::size_t slash = trimmed.rfind('/');
    std::string name(slash == std::string_view::npos ? trimmed : trimmed.substr(slash + 1));
    for (char& c : name) {
        if (c == '\0') {
            c = '_';
        }
    }
    if (name.empty() || name == "." || name == "..") {
        name = fallback;
    }
    return cutUtf8(std::move(name), kNameMax);
}

std::vector<std::string> DragOutStaging::uniqueNames(const std::vector<Entry>& entries)
{
    std::set<std::string> taken;
    std::vector<std::string> names;
    names.reserve(entries.size());
    for (const Entry& entry : entries) {
        std::string name = entry.name;
        if (taken.contains(name)) {
            // A file keeps its extension after the number; a leading dot is no extension.
            const std::size_t dot = entry.isFolder ? std::string::npos : entry.name.rfind('.');
            const bool hasExtension = dot != std::string::npos && dot > 0;
            const std::string stem = hasExtension ? entry.name.substr(0, dot) : entry.name;
            const std::string extension = hasExtension ? entry.name.substr(dot) : std::string();
            for (int number = 2; taken.contains(name); ++number) {
                const std::string suffix = " (" + std::to_string(number) + ")" + extension;
                name = cutUtf8(stem, kNameMax - std::min(kNameMax, suffix.size())) + suffix;
            }
        }
        taken.insert(name);
        names.push_back(std::move(name));
    }
    return names;
}

fs::path DragOutStaging::makeFolder(const PrivateFolder& folder)
{
    std::string pattern = (folder.dragOutFolder() / "XXXXXX").native();
    if (::mkdtemp(pattern.data()) == nullptr) {
        throw fs::filesystem_error("cannot create the folder", fs::path(pattern),
                                   std::error_code(errno, std::generic_category()));
    }
    return fs::path(pattern);
}

bool DragOutStaging::setAside(const PrivateFolder& folder) noexcept
{
    try {
        const fs::path staged = folder.dragOutFolder();
        if (fs::is_empty(staged)) {
            return false;
        }
        std::string aside = (folder.discardedFolder() / "XXXXXX").native();
        if (::mkdtemp(aside.data()) == nullptr) {
            return false;
        }
        // Onto the new, empty folder: a rename replaces it in one step.
        if (std::rename(staged.c_str(), aside.c_str()) != 0) {
            ::rmdir(aside.c_str());
            return false;
        }
        return true;
    } catch (...) {
        // A folder that is not private (or cannot be made) is left as it is.
        return false;
    }
}

void DragOutStaging::removeSetAside(const PrivateFolder& folder) noexcept
{
    try {
        const fs::path discarded = folder.discardedFolder();
        std::error_code error;
        std::vector<fs::path> entries;
        for (fs::directory_iterator it(discarded, error), end; !error && it != end; it.increment(error)) {
            entries.push_back(it->path());
        }
        for (const fs::path& entry : entries) {
            fs::remove_all(entry, error);
        }
    } catch (...) {
        // A folder that is not private (or cannot be made) is left as it is.
    }
}

void DragOutStaging::cleanInBackground(const PrivateFolder& folder) noexcept
{
    setAside(folder);
    try {
        // Also what an earlier run set aside and had not removed by its end.
        std::thread([folder] { removeSetAside(folder); }).detach();
    } catch (const std::system_error&) {
        // No thread to spare: the next start tries again.
    }
}

}  // namespace tarn
