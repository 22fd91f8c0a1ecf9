#include "ui/browser/BrowserRowBuilder.h"

#include "app/transfers/RenameRules.h"

#include <bit>
#include <functional>
#include <unordered_map>
#include <unordered_set>

namespace tarn::BrowserRowBuilder {
namespace {

constexpr std::string_view kParentKey = "..";
constexpr std::string_view kPlaceholderPrefix = "upload:";

std::string placeholderKeyOf(const Uuid& id)
{
    return std::string(kPlaceholderPrefix) + id.toString();
}

BrowserRow parentRow()
{
    BrowserRow row;
    row.kind = BrowserRow::Kind::parent;
    row.keyHash = hashOf(kParentKey);
    return row;
}

BrowserRow placeholderRow(const TransferTask& task)
{
    BrowserRow row;
    row.kind = BrowserRow::Kind::uploading;
    row.taskID = task.id;
    row.taskCompleted = task.completedAt.has_value();
    row.keyHash = hashOf(placeholderKeyOf(task.id));
    return row;
}

BrowserRow listedRow(BrowserRow::Kind kind, std::size_t position, std::string_view key)
{
    BrowserRow row;
    row.kind = kind;
    row.position = static_cast<std::uint32_t>(position);
    row.keyHash = hashOf(key);
    return row;
}

// Whether the rename `candidate` takes over what `identity` names: a folder task
// only with a folder rename of that folder, a file task only with a file rename.
bool continues(const TransferTask& candidate, const std::string& identity)
{
    const RenameSpec* rename = candidate.spec.rename();
    if (rename == nullptr) {
        return false;
    }
    if (candidate.isFolder) {
        return rename->isFolder && RenameRules::folderPrefix(rename->source) == identity;
    }
    return !rename->isFolder && rename->source == identity;
}

// The first rename that continues a finished upload: a rename of what the upload
// made, queued at or after the moment the upload finished.
const TransferTask* renameAfterUpload(const TransferTask& upload, std::span<const TransferTask* const> renames)
{
    const std::optional<std::string> made = upload.placeholderRealKey();
    if (!made) {
        return nullptr;
    }
    const TimePoint since = upload.finishedAt.value_or(upload.createdAt);
    for (const TransferTask* candidate : renames) {
        const RenameSpec* rename = candidate->spec.rename();
        if (rename == nullptr) {
            continue;
        }
        const bool sameSource = rename->isFolder ? RenameRules::folderPrefix(rename->source) == *made : rename->source == *made;
        if (sameSource && candidate->createdAt >= since) {
            return candidate;
        }
    }
    return nullptr;
}

struct UploadCandidate {
    const TransferTask* upload;
    const TransferTask* shown;
    std::string displayKey;
};

// Step 2 and 3 of the build: each upload with what it shows, one per display key
// (the newest; the first of equally new ones), in queue order.
std::vector<UploadCandidate> survivingUploads(const BrowserRowInputs& inputs)
{
    std::vector<UploadCandidate> candidates;
    candidates.reserve(inputs.uploads.size());
    for (const TransferTask* upload : inputs.uploads) {
        const std::string realKey = upload->placeholderRealKey().value_or(upload->id.toString());
        UploadCandidate candidate{upload, upload, realKey};
        if (upload->state == TransferState::succeeded) {
            if (const TransferTask* rename = renameAfterUpload(*upload, inputs.renames)) {
                candidate.shown = terminalRename(*rename, inputs.renames);
                candidate.displayKey = renameDestIdentity(*candidate.shown).value_or(realKey);
            }
        }
        candidates.push_back(std::move(candidate));
    }
    if (candidates.size() < 2) {
        return candidates;
    }
    std::unordered_map<std::string_view, std::size_t> newest;
    for (std::size_t i = 0; i < candidates.size(); ++i) {
        const auto [kept, inserted] = newest.try_emplace(candidates[i].displayKey, i);
        if (!inserted && candidates[i].upload->createdAt > candidates[kept->second].upload->createdAt) {
            kept->second = i;
        }
    }
    std::vector<UploadCandidate> survivors;
    survivors.reserve(newest.size());
    for (std::size_t i = 0; i < candidates.size(); ++i) {
        if (newest.at(candidates[i].displayKey) == i) {
            survivors.push_back(candidates[i]);
        }
    }
    return survivors;
}

// The first rename of each source, separately for folder renames (by prefix) and
// object renames (by key).
struct RenamesBySource {
    std::unordered_map<std::string, const TransferTask*> folders;
    std::unordered_map<std::string, const TransferTask*> objects;
};

RenamesBySource renamesBySource(std::span<const TransferTask* const> renames)
{
    RenamesBySource result;
    for (const TransferTask* task : renames) {
        const RenameSpec* rename = task->spec.rename();
        if (rename == nullptr) {
            continue;
        }
        if (rename->isFolder) {
            result.folders.try_emplace(RenameRules::folderPrefix(rename->source), task);
        } else {
            result.objects.try_emplace(rename->source, task);
        }
    }
    return result;
}

bool sameKey(const BrowserRow& a, const BrowserRow& b, const BrowserRowInputs& inputs)
{
    if (a.keyHash != b.keyHash) {
        return false;
    }
    const bool aPlaceholder = a.kind == BrowserRow::Kind::uploading;
    const bool bPlaceholder = b.kind == BrowserRow::Kind::uploading;
    if (aPlaceholder && bPlaceholder) {
        return a.taskID == b.taskID;
    }
    if (aPlaceholder || bPlaceholder) {
        return key(a, inputs) == key(b, inputs);
    }
    return listedKey(a, inputs) == listedKey(b, inputs);
}

// Keeps the first row of every key, in place. An open-addressing table of row
// positions keyed by the rows' hashes: no allocation per row, and a key string is
// compared only when two hashes meet.
void removeRepeatedKeys(std::vector<BrowserRow>& rows, const BrowserRowInputs& inputs, std::size_t& boundary)
{
    if (rows.size() < 2) {
        return;
    }
    std::size_t keptBeforeBoundary = 0;
    const std::size_t capacity = std::bit_ceil(rows.size() * 2);
    std::vector<std::uint32_t> positions(capacity, 0);  // kept position + 1; 0 is empty
    std::size_t kept = 0;
    for (std::size_t i = 0; i < rows.size(); ++i) {
        std::size_t slot = rows[i].keyHash & (capacity - 1);
        bool repeated = false;
        while (positions[slot] != 0) {
            if (sameKey(rows[positions[slot] - 1], rows[i], inputs)) {
                repeated = true;
                break;
            }
            slot = (slot + 1) & (capacity - 1);
        }
        if (repeated) {
            continue;
        }
        if (kept != i) {
            rows[kept] = rows[i];
        }
        if (i < boundary) {
            ++keptBeforeBoundary;
        }
        positions[slot] = static_cast<std::uint32_t>(kept + 1);
        ++kept;
    }
    rows.resize(kept);
    boundary = keptBeforeBoundary;
}

// What the tasks make of the listing: the uploads' rows (appended by taskEffects
// when asked), the entries replacing uploads hide, and the entries being renamed.
struct TaskEffects {
    std::unordered_set<std::string> hiddenFolders;
    std::unordered_set<std::string> hiddenObjects;
    RenamesBySource renamed;
    std::span<const TransferTask* const> renames;
};

TaskEffects taskEffects(const BrowserRowInputs& inputs, std::vector<BrowserRow>* uploadRows)
{
    TaskEffects effects;
    effects.renames = inputs.renames;
    for (const UploadCandidate& candidate : survivingUploads(inputs)) {
        if (uploadRows != nullptr) {
            uploadRows->push_back(placeholderRow(*candidate.shown));
        }
        // A replacing upload's row stands in for the folder or object it overwrites.
        const UploadSpec* upload = candidate.upload->spec.upload();
        if (upload != nullptr && upload->conflictMode == UploadConflictMode::replace) {
            if (std::optional<std::string> replaced = candidate.upload->placeholderRealKey()) {
                (candidate.upload->isFolder ? effects.hiddenFolders : effects.hiddenObjects)
                    .insert(std::move(*replaced));
            }
        }
    }
    effects.renamed = renamesBySource(inputs.renames);
    return effects;
}

void appendFolderRows(std::vector<BrowserRow>& rows, const BrowserRowInputs& inputs, const TaskEffects& effects,
                      std::size_t first)
{
    for (std::size_t i = first; i < inputs.prefixes.size(); ++i) {
        const std::string& prefix = inputs.prefixes[i].prefix;
        if (!effects.hiddenFolders.empty() && effects.hiddenFolders.contains(prefix)) {
            continue;
        }
        if (!effects.renamed.folders.empty()) {
            if (const auto rename = effects.renamed.folders.find(prefix); rename != effects.renamed.folders.end()) {
                rows.push_back(placeholderRow(*terminalRename(*rename->second, effects.renames)));
                continue;
            }
        }
        rows.push_back(listedRow(BrowserRow::Kind::folder, i, prefix));
    }
}

void appendObjectRows(std::vector<BrowserRow>& rows, const BrowserRowInputs& inputs, const TaskEffects& effects,
                      std::size_t first)
{
    for (std::size_t i = first; i < inputs.objects.size(); ++i) {
        const std::string& key = inputs.objects[i].key;
        // The folder's own marker object and the markers of folders below are no rows.
        if (key == inputs.currentPrefix || key.ends_with('/')) {
            continue;
        }
        if (!effects.hiddenObjects.empty() && effects.hiddenObjects.contains(key)) {
            continue;
        }
        if (!effects.renamed.objects.empty()) {
            if (const auto rename = effects.renamed.objects.find(key); rename != effects.renamed.objects.end()) {
                rows.push_back(placeholderRow(*terminalRename(*rename->second, effects.renames)));
                continue;
            }
        }
        rows.push_back(listedRow(BrowserRow::Kind::object, i, key));
    }
}

}  // namespace

std::size_t hashOf(std::string_view key)
{
    return std::hash<std::string_view>{}(key);
}

std::optional<std::string> renameDestIdentity(const TransferTask& task)
{
    if (!task.isFolder) {
        return task.placeholderRealKey();
    }
    const RenameSpec* rename = task.spec.rename();
    if (rename == nullptr || !rename->isFolder) {
        return std::nullopt;
    }
    return RenameRules::folderPrefix(rename->destination);
}

const TransferTask* terminalRename(const TransferTask& task, std::span<const TransferTask* const> renames)
{
    // The seen set ends the walk on a cycle (a renamed to b, then b back to a).
    std::unordered_set<Uuid> visited{task.id};
    const TransferTask* current = &task;
    while (true) {
        const std::optional<std::string> identity = renameDestIdentity(*current);
        if (!identity) {
            return current;
        }
        const TransferTask* next = nullptr;
        for (const TransferTask* candidate : renames) {
            if (!visited.contains(candidate->id) && continues(*candidate, *identity)) {
                next = candidate;
                break;
            }
        }
        if (next == nullptr) {
            return current;
        }
        visited.insert(next->id);
        current = next;
    }
}

std::vector<BrowserRow> build(const BrowserRowInputs& inputs, std::size_t* objectsStart)
{
    std::vector<BrowserRow> rows;
    rows.reserve(1 + inputs.uploads.size() + inputs.prefixes.size() + inputs.objects.size());
    if (!inputs.currentPrefix.empty()) {
        rows.push_back(parentRow());
    }
    const TaskEffects effects = taskEffects(inputs, &rows);
    appendFolderRows(rows, inputs, effects, 0);
    std::size_t start = rows.size();
    appendObjectRows(rows, inputs, effects, 0);
    removeRepeatedKeys(rows, inputs, start);
    if (objectsStart != nullptr) {
        *objectsStart = start;
    }
    return rows;
}

Extension extend(const BrowserRowInputs& inputs, std::size_t firstPrefix, std::size_t firstObject,
                 const std::unordered_set<Uuid>& shownTasks)
{
    const TaskEffects effects = taskEffects(inputs, nullptr);
    Extension extension;
    appendFolderRows(extension.folders, inputs, effects, firstPrefix);
    appendObjectRows(extension.objects, inputs, effects, firstObject);
    // A new entry being renamed may end in a task that a row shows already.
    std::unordered_set<Uuid> shown = shownTasks;
    for (std::vector<BrowserRow>* rows : {&extension.folders, &extension.objects}) {
        std::erase_if(*rows, [&](const BrowserRow& row) {
            return row.kind == BrowserRow::Kind::uploading && !shown.insert(row.taskID).second;
        });
    }
    return extension;
}

std::string_view listedKey(const BrowserRow& row, const BrowserRowInputs& inputs)
{
    switch (row.kind) {
    case BrowserRow::Kind::folder:
        return row.position < inputs.prefixes.size() ? std::string_view(inputs.prefixes[row.position].prefix)
                                                     : std::string_view();
    case BrowserRow::Kind::object:
        return row.position < inputs.objects.size() ? std::string_view(inputs.objects[row.position].key)
                                                    : std::string_view();
    case BrowserRow::Kind::parent:
        return kParentKey;
    case BrowserRow::Kind::uploading:
        break;
    }
    return {};
}

std::string key(const BrowserRow& row, const BrowserRowInputs& inputs)
{
    if (row.kind == BrowserRow::Kind::uploading) {
        return placeholderKeyOf(row.taskID);
    }
    return std::string(listedKey(row, inputs));
}

bool hasKey(const BrowserRow& row, std::string_view key, std::size_t keyHash, const BrowserRowInputs& inputs)
{
    if (row.keyHash != keyHash) {
        return false;
    }
    if (row.kind == BrowserRow::Kind::uploading) {
        return placeholderKeyOf(row.taskID) == key;
    }
    return listedKey(row, inputs) == key;
}

}  // namespace tarn::BrowserRowBuilder
