#include "app/state/AppState.h"

#include "app/state/Whitespace.h"
#include "app/text/L10n.h"
#include "app/transfers/TransferTask.h"
#include "core/config/BucketIdentity.h"

#include <algorithm>

namespace tarn {

namespace {

// Placeholder rows of the transfer queue belong to the bucket whose listing they
// join; two absent bucket IDs count as the same bucket.
bool sameBucket(const TransferTask& task, const std::optional<Uuid>& bucketID) { return task.bucketID == bucketID; }

std::optional<BucketConfig> bucketWithID(const std::vector<BucketConfig>& buckets, const Uuid& id) {
    const auto found = std::find_if(buckets.begin(), buckets.end(), [&](const BucketConfig& b) { return b.id == id; });
    return found == buckets.end() ? std::nullopt : std::optional(*found);
}

// The listed entries whose keys are among `keys`, in listing order. A few keys (a
// selection of some rows) are looked up one by one, so that selecting a row of a
// folder of 100,000 does not read the whole folder; many keys are cheaper to check
// in one pass. A listing whose first page repeated a key is read in a pass too:
// every entry with a selected key counts, not only the first.
template <class Entry>
std::vector<Entry> listedWithKeys(const ChunkedList<Entry>& listed, const ListingIndex<Entry>& index,
                                  const KeySet& keys) {
    std::vector<Entry> result;
    const std::size_t lookupCost = keys.size() * (index.tableCount() + 1);
    if (!index.hasRepeats() && index.size() == listed.size() && lookupCost < listed.size()) {
        std::vector<std::size_t> positions;
        positions.reserve(keys.size());
        for (const std::string& key : keys) {
            if (const std::optional<std::size_t> position = index.find(key, listed)) positions.push_back(*position);
        }
        std::sort(positions.begin(), positions.end());
        result.reserve(positions.size());
        for (const std::size_t position : positions) result.push_back(listed[position]);
        return result;
    }
    for (const Entry& entry : listed) {
        if (keys.contains(entry.id())) result.push_back(entry);
    }
    return result;
}

}  // namespace

std::vector<BucketConfig> AppState::buckets(const StorageProfile& profile) const {
    std::vector<BucketConfig> result;
    result.reserve(profile.bucketNames.size());
    for (const std::string& name : profile.bucketNames) {
        BucketConfig bucket;
        bucket.id = BucketIdentity::deterministicID(profile.endpoint, profile.region, profile.accessKeyID, name);
        bucket.displayName = name;
        bucket.bucketName = name;
        bucket.endpoint = profile.endpoint;
        bucket.region = profile.region;
        bucket.accessKeyID = profile.accessKeyID;
        if (const auto settings = m_config.bucketSettings.find(bucket.id.toString());
            settings != m_config.bucketSettings.end()) {
            if (settings->second.displayName) bucket.displayName = *settings->second.displayName;
            bucket.publicDomains = settings->second.publicDomains;
            if (!bucket.publicDomains.empty()) bucket.publicBaseURL = bucket.publicDomains.front().baseURL();
        }
        result.push_back(std::move(bucket));
    }
    return result;
}

std::vector<BucketConfig> AppState::allBuckets() const {
    std::vector<BucketConfig> result;
    for (const StorageProfile& profile : m_config.profiles) {
        std::vector<BucketConfig> ofProfile = buckets(profile);
        std::move(ofProfile.begin(), ofProfile.end(), std::back_inserter(result));
    }
    return result;
}

std::optional<BucketConfig> AppState::selectedBucket() const {
    if (!m_selectedBucketID) return std::nullopt;
    return bucketWithID(allBuckets(), *m_selectedBucketID);
}

std::vector<ObjectItem> AppState::selectedObjects() const {
    KeySet single;
    if (m_selectedObjectKeys.empty() && m_selectedObjectKey) single.insert(*m_selectedObjectKey);
    return objectsOfRows(m_selectedObjectKeys.empty() ? single : m_selectedObjectKeys);
}

std::vector<ObjectItem> AppState::objectsOfRows(const KeySet& keys) const {
    if (m_listingBucketID != m_selectedBucketID) return {};
    if (keys.empty()) return {};

    std::vector<ObjectItem> result = listedWithKeys(m_objects, m_objectIndex, keys);
    const std::vector<TransferTask>& tasks = transferTasks();
    for (const TransferTask& task : tasks) {
        if (sameBucket(task, m_selectedBucketID) && task.kind() == TransferKind::upload &&
            task.state == TransferState::succeeded && task.succeededObjectKey && keys.contains(task.placeholderKey())) {
            result.push_back({*task.succeededObjectKey, task.bytesTotal, task.completedAt, std::nullopt, std::nullopt});
        }
    }
    for (const TransferTask& task : tasks) {
        const auto* rename = task.spec.rename();
        if (sameBucket(task, m_selectedBucketID) && rename != nullptr && !task.isFolder &&
            task.state != TransferState::failed && task.state != TransferState::cancelled &&
            keys.contains(task.placeholderKey())) {
            result.push_back({rename->destination, task.bytesTotal, task.completedAt, std::nullopt, task.sourceETag});
        }
    }
    return result;
}

std::vector<ObjectPrefix> AppState::selectedPrefixes() const {
    if (m_listingBucketID != m_selectedBucketID) return {};
    const KeySet& keys = m_selectedObjectKeys;
    if (keys.empty()) return {};

    std::vector<ObjectPrefix> result = listedWithKeys(m_prefixes, m_prefixIndex, keys);
    // A finished folder upload or folder move stands for the folder it made.
    const std::vector<TransferTask>& tasks = transferTasks();
    for (const TransferKind kind : {TransferKind::upload, TransferKind::rename}) {
        for (const TransferTask& task : tasks) {
            const auto* rename = task.spec.rename();
            if (sameBucket(task, m_selectedBucketID) && task.kind() == kind && task.state == TransferState::succeeded &&
                task.isFolder && (rename == nullptr || rename->isFolder) && keys.contains(task.placeholderKey())) {
                result.push_back({*task.placeholderRealKey()});
            }
        }
    }
    return result;
}

std::optional<ObjectItem> AppState::inspectorObject() const {
    std::vector<ObjectItem> objects = selectedObjects();
    if (objects.size() != 1 || !selectedPrefixes().empty()) return std::nullopt;
    return std::move(objects.front());
}

std::optional<std::string> AppState::knownETag(const std::string& key) const {
    if (m_objectDetails && m_objectDetails->item.key == key && m_objectDetails->eTag) return m_objectDetails->eTag;
    if (const std::optional<std::size_t> listed = listedObject(key)) return m_objects[*listed].eTag;
    if (const std::optional<ObjectItem> inspected = inspectorObject(); inspected && inspected->key == key) {
        return inspected->eTag;
    }
    return std::nullopt;
}

std::optional<ObjectPrefix> AppState::inspectorPrefix() const {
    std::vector<ObjectPrefix> prefixes = selectedPrefixes();
    if (prefixes.size() != 1 || !selectedObjects().empty()) return std::nullopt;
    return std::move(prefixes.front());
}

bool AppState::isDisplayedObject(const ObjectItem& item) const {
    return item.key != m_currentPrefix && !item.key.ends_with('/');
}

std::vector<ObjectItem> AppState::displayedObjects() const {
    std::vector<ObjectItem> result;
    result.reserve(m_objects.size());
    std::copy_if(m_objects.begin(), m_objects.end(), std::back_inserter(result),
                 [this](const ObjectItem& item) { return isDisplayedObject(item); });
    return result;
}

bool AppState::isSearchingActive() const { return !Whitespace::trimmed(m_searchText).empty(); }

std::string AppState::effectivePrefix(const std::string& prefix) const {
    return prefix + std::string(Whitespace::trimmed(m_searchText));
}

QString AppState::deleteConfirmationMessage() const {
    const auto folders = static_cast<long long>(selectedPrefixes().size());
    const auto files = static_cast<long long>(selectedObjects().size());
    if (folders == 0) {
        return files <= 1 ? L10n::t(QStringLiteral("delete_file_message"))
                          : L10n::t(QStringLiteral("batch_delete_files_message"), files);
    }
    if (files == 0) {
        return folders == 1 ? L10n::t(QStringLiteral("delete_folder_message"))
                            : L10n::t(QStringLiteral("batch_delete_folders_message"), folders);
    }
    // Both counts are at least one; either can be exactly one.
    QString key = QStringLiteral("batch_delete_mixed_message");
    if (files == 1 && folders == 1) {
        key += QStringLiteral("_one_each");
    } else if (files == 1) {
        key += QStringLiteral("_one_file");
    } else if (folders == 1) {
        key += QStringLiteral("_one_folder");
    }
    return L10n::t(key, files + folders, files, folders);
}

std::vector<BucketConfig> AppState::favoriteBuckets() const {
    const std::vector<BucketConfig> known = allBuckets();
    std::vector<BucketConfig> result;
    for (const Uuid& id : m_config.favoriteBucketIDs) {
        if (auto bucket = bucketWithID(known, id)) result.push_back(std::move(*bucket));
    }
    return result;
}

std::vector<FavoriteDirectoryItem> AppState::favoriteDirectoryItems() const {
    const std::vector<BucketConfig> known = allBuckets();
    std::vector<FavoriteDirectoryItem> result;
    for (const FavoriteDirectory& favorite : m_config.favoriteDirectories) {
        if (auto bucket = bucketWithID(known, favorite.bucketID)) result.push_back({favorite, std::move(*bucket)});
    }
    return result;
}

std::vector<PathItem> AppState::pathItems() const {
    const std::optional<BucketConfig> bucket = selectedBucket();
    std::vector<PathItem> items{
        {bucket ? QString::fromStdString(bucket->displayName) : L10n::t(QStringLiteral("root")), std::string()}};
    std::string running;
    std::string_view rest = m_currentPrefix;
    while (!rest.empty()) {
        const std::size_t slash = rest.find('/');
        const std::string_view piece = rest.substr(0, slash);
        rest = slash == std::string_view::npos ? std::string_view() : rest.substr(slash + 1);
        if (piece.empty()) continue;
        running.append(piece).append("/");
        items.push_back({QString::fromUtf8(piece.data(), static_cast<qsizetype>(piece.size())), running});
    }
    return items;
}

}  // namespace tarn
