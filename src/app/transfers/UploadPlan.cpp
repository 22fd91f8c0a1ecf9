#include "app/transfers/UploadPlan.h"

#include "app/transfers/UploadScanner.h"

#include <sys/stat.h>

#include <algorithm>
#include <optional>
#include <string>

namespace tarn {

namespace {

namespace fs = std::filesystem;

// What every name UniqueKeyResolver may choose for `key` begins with: the key
// without its last extension (a little more is left out for a hidden name, which
// only widens the set kept).
std::string_view stemOf(std::string_view key) {
    const std::size_t slash = key.rfind('/');
    const std::size_t dot = key.rfind('.');
    if (dot != std::string_view::npos && (slash == std::string_view::npos || dot > slash)) return key.substr(0, dot);
    return key;
}

std::string_view commonStem(const std::vector<UploadItem>& items) {
    std::string_view shared = stemOf(items.front().key);
    for (const UploadItem& item : items) {
        const std::string_view stem = stemOf(item.key);
        const auto differ = std::mismatch(shared.begin(), shared.end(), stem.begin(), stem.end());
        shared = shared.substr(0, static_cast<std::size_t>(differ.first - shared.begin()));
    }
    return shared;
}

// The existing keys sorted once, so the keys below one prefix are one range.
class SortedKeys {
public:
    explicit SortedKeys(const KeySet& keys) : m_keys(keys.begin(), keys.end()) { std::sort(m_keys.begin(), m_keys.end()); }

    KeySet startingWith(std::string_view prefix) const {
        KeySet result;
        for (auto key = std::lower_bound(m_keys.begin(), m_keys.end(), prefix);
             key != m_keys.end() && key->starts_with(prefix); ++key) {
            result.emplace(*key);
        }
        return result;
    }

private:
    std::vector<std::string_view> m_keys;
};

bool isDirectory(const fs::path& path) {
    struct stat status {};
    return ::lstat(path.c_str(), &status) == 0 && S_ISDIR(status.st_mode);
}

}  // namespace

UploadPlan UploadPlan::make(const std::vector<fs::path>& urls, std::string_view directory, UploadConflictMode mode,
                            const KeySet& existingKeys) {
    UploadPlan plan;
    std::optional<SortedKeys> sorted;
    for (std::size_t index = 0; index < urls.size(); ++index) {
        const fs::path path = UploadScanner::handedPath(urls[index]);
        std::vector<UploadItem> items = UploadScanner::items(path, directory);
        if (items.empty()) continue;
        const auto exists = [&existingKeys](const UploadItem& item) { return existingKeys.contains(item.key); };
        if (std::any_of(items.begin(), items.end(), exists)) plan.conflictSeen = true;
        if (mode == UploadConflictMode::skip) plan.skipped += static_cast<int>(std::erase_if(items, exists));
        if (items.empty()) continue;

        Entry entry;
        entry.index = index;
        entry.url = path;
        entry.isFolder = isDirectory(path);
        entry.fileCount = static_cast<int>(items.size());
        entry.bytes = UploadScanner::totalBytes(items);
        if (!existingKeys.empty()) {
            if (!sorted) sorted.emplace(existingKeys);
            entry.existingKeys = sorted->startingWith(commonStem(items));
        }
        plan.entries.push_back(std::move(entry));
    }
    return plan;
}

}  // namespace tarn
