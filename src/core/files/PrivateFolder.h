#pragma once

#include "core/values/Uuid.h"

#include <sys/types.h>
#include <unistd.h>

#include <filesystem>
#include <string_view>

namespace tarn {

// The user's private folder for the files the program keeps for itself: objects
// downloaded to be opened, the preview cache, pasted data waiting for upload and
// objects staged for a drag out of the window. They can hold anything from the
// user's buckets, so the folder is made with mode 0700, and before every use it must
// still be a real folder (not a symbolic link) of the user with no access for others;
// otherwise it is refused (PrivateFolderError) rather than repaired, because a folder
// that others could enter may already hold their files or links.
//
// It lives under the cache folder, not the runtime folder: previews can be large and
// the runtime folder is a small in-memory file system. Layout below the root:
//   <bucket UUID>/            objects opened with another application
//   <bucket UUID>/_preview/   the bucket's preview cache
//   paste/                    pasted data before it is uploaded
//   drag-out/                 objects downloaded for a drag out of the window
//   discarded/                folders set aside in one step, to be removed in the background
class PrivateFolder {
public:
    static constexpr std::string_view folderName = "TarnManager";

    // $XDG_CACHE_HOME/TarnManager (~/.cache/TarnManager). Touches nothing.
    static PrivateFolder forCurrentUser();
    // The root folder itself, for the given owner (the effective user by default).
    explicit PrivateFolder(std::filesystem::path root, uid_t owner = ::geteuid());

    const std::filesystem::path& root() const { return m_root; }

    // Each returns the folder after creating what is missing (mode 0700) and checking
    // every folder from the root down. Throws PrivateFolderError for a folder that
    // is not private, std::filesystem::filesystem_error when one cannot be made.
    std::filesystem::path ensureRoot() const;
    std::filesystem::path openedObjectsFolder(const Uuid& bucketID) const;
    std::filesystem::path previewCacheFolder(const Uuid& bucketID) const;
    std::filesystem::path pasteFolder() const;
    std::filesystem::path dragOutFolder() const;
    std::filesystem::path discardedFolder() const;

    // Removes the bucket's folder with everything in it; symbolic links inside are
    // removed, never followed. Returns false when something stayed (or the root is
    // not private); never throws.
    bool removeBucketFolders(const Uuid& bucketID) const noexcept;

private:
    // The folder at `relative` below the root, made and checked level by level.
    std::filesystem::path ensure(const std::filesystem::path& relative) const;
    void ensureFolder(const std::filesystem::path& folder) const;
    void check(const std::filesystem::path& folder) const;

    std::filesystem::path m_root;
    uid_t m_owner;
};

}  // namespace tarn
