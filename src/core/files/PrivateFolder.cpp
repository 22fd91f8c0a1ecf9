#include "core/files/PrivateFolder.h"

#include "core/files/PrivateFolderError.h"
#include "core/files/UserFolders.h"

#include <sys/stat.h>

#include <cerrno>
#include <string>
#include <system_error>
#include <vector>

namespace tarn {

namespace {

namespace fs = std::filesystem;

constexpr mode_t privateMode = 0700;

[[noreturn]] void throwSystemError(const char* what, const fs::path& path, int error) {
    throw fs::filesystem_error(what, path, std::error_code(error, std::generic_category()));
}

// Creates the folder with mode 0700 and reports whether it did; an existing entry
// of that name is left for the caller to check.
bool makeFolder(const fs::path& folder) {
    if (::mkdir(folder.c_str(), privateMode) == 0) {
        // The umask may have taken bits away; the folder is new and ours.
        if (::chmod(folder.c_str(), privateMode) != 0) throwSystemError("cannot set the mode of", folder, errno);
        return true;
    }
    if (errno != EEXIST) throwSystemError("cannot create the folder", folder, errno);
    return false;
}

}  // namespace

PrivateFolder PrivateFolder::forCurrentUser() { return PrivateFolder(UserFolders::cacheHome() / folderName); }

PrivateFolder::PrivateFolder(fs::path root, uid_t owner) : m_root(std::move(root)), m_owner(owner) {}

fs::path PrivateFolder::ensureRoot() const {
    // Base folders that do not exist yet are made private too, as the base-directory
    // rules ask; existing ones are the user's business.
    std::vector<fs::path> missing;
    for (fs::path folder = m_root.parent_path(); !folder.empty() && folder != folder.root_path();
         folder = folder.parent_path()) {
        struct stat status {};
        if (::lstat(folder.c_str(), &status) == 0) break;
        missing.push_back(folder);
    }
    for (auto folder = missing.rbegin(); folder != missing.rend(); ++folder) makeFolder(*folder);
    ensureFolder(m_root);
    return m_root;
}

fs::path PrivateFolder::openedObjectsFolder(const Uuid& bucketID) const { return ensure(bucketID.toString()); }

fs::path PrivateFolder::previewCacheFolder(const Uuid& bucketID) const {
    return ensure(fs::path(bucketID.toString()) / "_preview");
}

fs::path PrivateFolder::pasteFolder() const { return ensure("paste"); }

fs::path PrivateFolder::dragOutFolder() const { return ensure("drag-out"); }

fs::path PrivateFolder::discardedFolder() const { return ensure("discarded"); }

bool PrivateFolder::removeBucketFolders(const Uuid& bucketID) const noexcept {
    try {
        struct stat status {};
        if (::lstat(m_root.c_str(), &status) != 0) return errno == ENOENT;
        check(m_root);
        std::error_code error;
        fs::remove_all(m_root / bucketID.toString(), error);
        return !error;
    } catch (const std::exception&) {
        return false;
    }
}

fs::path PrivateFolder::ensure(const fs::path& relative) const {
    fs::path folder = ensureRoot();
    for (const fs::path& piece : relative) {
        folder /= piece;
        ensureFolder(folder);
    }
    return folder;
}

void PrivateFolder::ensureFolder(const fs::path& folder) const {
    makeFolder(folder);
    check(folder);
}

void PrivateFolder::check(const fs::path& folder) const {
    struct stat status {};
    if (::lstat(folder.c_str(), &status) != 0) throwSystemError("cannot inspect the folder", folder, errno);
    if (S_ISLNK(status.st_mode)) throw PrivateFolderError(PrivateFolderError::Reason::symbolicLink, folder);
    if (!S_ISDIR(status.st_mode)) throw PrivateFolderError(PrivateFolderError::Reason::notADirectory, folder);
    if (status.st_uid != m_owner) throw PrivateFolderError(PrivateFolderError::Reason::wrongOwner, folder);
    if ((status.st_mode & 077) != 0) throw PrivateFolderError(PrivateFolderError::Reason::accessibleToOthers, folder);
}

}  // namespace tarn
