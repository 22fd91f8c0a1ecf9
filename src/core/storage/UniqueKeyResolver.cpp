#include "core/storage/UniqueKeyResolver.h"

#include <cstdint>

namespace tarn::UniqueKeyResolver {

std::string availableKey(std::string_view key, const std::unordered_set<std::string>& existingKeys) {
    return availableKey(key, [&existingKeys](const std::string& candidate) { return existingKeys.contains(candidate); });
}

std::string availableKey(std::string_view key, const std::function<bool(const std::string&)>& isTaken) {
    std::string candidate(key);
    if (!isTaken(candidate)) return candidate;

    const std::size_t stemEnd = key.find_last_not_of('/') + 1;  // 0 when the key is all slashes
    const std::string_view tail = key.substr(stemEnd);
    const std::string_view stem = key.substr(0, stemEnd);
    const std::size_t lastSlash = stem.rfind('/');
    const std::size_t nameStart = lastSlash == std::string_view::npos ? 0 : lastSlash + 1;
    const std::string_view directory = stem.substr(0, nameStart);
    const std::string_view name = stem.substr(nameStart);

    // A dot that opens the name marks a hidden name, and a closing dot no extension.
    std::string_view base = name;
    std::string_view extension;
    const std::size_t dot = name.rfind('.');
    if (dot != std::string_view::npos && dot > 0 && dot + 1 < name.size()) {
        base = name.substr(0, dot);
        extension = name.substr(dot + 1);
    }

    // The keys taken are finite, so a free number comes long before the counter could wrap.
    for (std::uint64_t n = 2;; ++n) {
        candidate.assign(directory);
        candidate += base;
        candidate += ' ';
        candidate += std::to_string(n);
        if (!extension.empty()) {
            candidate += '.';
            candidate += extension;
        }
        candidate += tail;
        if (!isTaken(candidate)) return candidate;
    }
}

}  // namespace tarn::UniqueKeyResolver
