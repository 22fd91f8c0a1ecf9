#include "core/preview/PreviewCache.h"

#include "core/crypto/Crypto.h"
#include "core/preview/ObjectPreview.h"

#include <algorithm>
#include <chrono>

namespace tarn::PreviewCache {

namespace {

constexpr std::size_t maxExtensionLength = 16;

std::string_view trimmed(std::string_view text, std::string_view characters) {
    const std::size_t first = text.find_first_not_of(characters);
    if (first == std::string_view::npos) return {};
    const std::size_t last = text.find_last_not_of(characters);
    return text.substr(first, last - first + 1);
}

// The key's extension when it is short plain ASCII; anything else could make an
// awkward or unsafe local file name.
std::optional<std::string> safeExtension(std::string_view key) {
    std::string extension = ObjectPreview::fileExtension(key);
    if (extension.empty() || extension.size() > maxExtensionLength) return std::nullopt;
    for (const char c : extension) {
        if (!((c >= 'a' && c <= 'z') || (c >= '0' && c <= '9'))) return std::nullopt;
    }
    return extension;
}

}  // namespace

std::string normalizedETag(const std::optional<std::string>& eTag) {
    if (!eTag) return {};
    std::string_view tag = trimmed(*eTag, " \t");
    if (tag.starts_with("W/")) tag.remove_prefix(2);
    return std::string(trimmed(tag, "\""));
}

std::string fileName(std::string_view key, std::int64_t size, std::optional<TimePoint> lastModified,
                     const std::optional<std::string>& eTag) {
    const std::string tag = normalizedETag(eTag);
    std::string version;
    if (!tag.empty()) {
        version = "etag:" + tag;
    } else {
        // floor, not truncation: a time before 1970 still names one second.
        const std::string seconds =
            lastModified ? std::to_string(
                               std::chrono::floor<std::chrono::seconds>(lastModified->time_since_epoch()).count())
                         : "-";
        version = "meta:" + std::to_string(size) + ":" + seconds;
    }
    std::string identity(key);
    identity += '\n';
    identity += version;

    std::string name = Crypto::hexLower(Crypto::sha256(identity));
    if (const auto extension = safeExtension(key)) name += "." + *extension;
    return name;
}

}  // namespace tarn::PreviewCache
