#pragma once

#include "app/state/UploadConflictMode.h"
#include "app/transfers/TransferKind.h"
#include "core/values/IsoDate.h"

#include <filesystem>
#include <optional>
#include <string>
#include <variant>
#include <vector>

namespace tarn {

// The payloads of the four kinds of transfer (see TransferSpec).

// A dropped local file or folder into the folder `directory` ("" for the root).
struct UploadSpec {
    std::filesystem::path sourceURL;
    std::string directory;
    UploadConflictMode conflictMode = UploadConflictMode::ask;
    bool operator==(const UploadSpec&) const = default;
};

// An object, or a folder prefix when `isFolder`, to the local `destination`.
struct DownloadSpec {
    std::string remoteKey;
    std::filesystem::path destination;
    bool isFolder = false;
    // An object's date as listed when it was queued: a local file of its size is
    // taken for it only when not older. (A folder's files carry their own dates.)
    std::optional<TimePoint> lastModified;
    bool operator==(const DownloadSpec&) const = default;
};

// Keys to delete, and folder prefixes whose whole content is deleted.
struct DeleteSpec {
    std::vector<std::string> objectKeys;
    std::vector<std::string> folderPrefixes;
    bool operator==(const DeleteSpec&) const = default;
};

// A rename or move of one object, or of a folder prefix when `isFolder`.
struct RenameSpec {
    std::string source;
    std::string destination;
    bool isFolder = false;
    bool operator==(const RenameSpec&) const = default;
};

// What one transfer task is to do; its case is the task's kind.
struct TransferSpec {
    using Upload = UploadSpec;
    using Download = DownloadSpec;
    using Delete = DeleteSpec;
    using Rename = RenameSpec;

    std::variant<Upload, Download, Delete, Rename> value;

    TransferKind kind() const { return static_cast<TransferKind>(value.index()); }
    const Upload* upload() const { return std::get_if<Upload>(&value); }
    const Download* download() const { return std::get_if<Download>(&value); }
    const Delete* deletion() const { return std::get_if<Delete>(&value); }
    const Rename* rename() const { return std::get_if<Rename>(&value); }

    bool operator==(const TransferSpec&) const = default;
};

}  // namespace tarn
