#pragma once

#include "app/state/KeySet.h"
#include "app/transfers/TransferKind.h"
#include "app/transfers/TransferSpec.h"
#include "app/transfers/TransferState.h"
#include "core/storage/MultipartSession.h"
#include "core/storage/UploadPart.h"
#include "core/values/IsoDate.h"
#include "core/values/Uuid.h"

#include <QString>

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tarn {

// One long operation in the transfer queue: what it does, where it stands, its
// progress and what a retry needs to resume. A plain value; the queue keeps the
// tasks and changes them in place on the main thread, always finding them by `id`.
struct TransferTask {
    Uuid id;
    std::string title;   // file, object or folder name; uploads build keys from it
    QString subtitle;    // second line of the row
    bool isFolder = false;
    TransferSpec spec;   // fixed at creation; its case is the kind
    TransferState state = TransferState::waiting;
    int unitsDone = 0;
    int unitsTotal = 1;
    int failedUnits = 0;
    double currentUnitFraction = 0;
    std::int64_t bytesTotal = 0;  // 0 while not counted
    std::int64_t bytesDone = 0;
    double speed = 0;             // bytes per second of the latest sample
    TimePoint createdAt = std::chrono::system_clock::now();
    std::optional<TimePoint> startedAt;
    std::optional<TimePoint> finishedAt;
    std::optional<QString> errorText;
    // Uploads: keys known to exist in the target folder when it was queued, and the
    // open multipart upload of the file in flight with its stored parts.
    KeySet knownExistingKeys;
    std::optional<MultipartSession> multipart;
    std::vector<UploadPart> uploadedParts;
    std::optional<std::string> succeededObjectKey;  // an upload of exactly one file
    std::optional<TimePoint> completedAt;           // that upload, or a rename, succeeded
    std::optional<Uuid> bucketID;
    std::optional<std::string> sourceETag;          // renames of an object
    // Folder moves: the runner wrote the destination's folder marker itself (none
    // was there). Only then may dismissing a move that moved nothing delete it: a
    // marker that was there before is the user's (an empty folder of theirs).
    bool wroteDestinationMarker = false;

    TransferKind kind() const { return spec.kind(); }

    // Progress from 0 to 1: by bytes when they are counted, else by units.
    double fraction() const;
    // The key of the task's row among the listing's rows: "upload:" and the ID.
    std::string placeholderKey() const;
    // The object key or folder prefix the row stands for; none for downloads and
    // deletes.
    std::optional<std::string> placeholderRealKey() const;
    // The folder in which a rename's source lies ("" for the root); none for other kinds.
    std::optional<std::string> renameParentDirectory() const;

    bool operator==(const TransferTask&) const = default;
};

// The folder in which a rename's source lies, as a view into `rename.source`: the
// source without one trailing "/" when it is a folder, up to and including its last
// "/" ("" when it has none). What renameParentDirectory gives, without a copy.
std::string_view renameParent(const RenameSpec& rename);

}  // namespace tarn
