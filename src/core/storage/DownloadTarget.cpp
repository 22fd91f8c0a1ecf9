#include "core/storage/DownloadTarget.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <stdexcept>
#include <system_error>

namespace tarn {

namespace {

namespace fs = std::filesystem;

// Longer names and paths cannot be created, or only relative to an open folder,
// where no other program could reach the file by its path afterwards.
constexpr std::size_t kMaxNameBytes = NAME_MAX;
constexpr std::size_t kMaxPathBytes = PATH_MAX - 1;  // PATH_MAX counts the closing zero byte

[[noreturn]] void fail(const std::string& what, const fs::path& path, int error) {
    throw fs::filesystem_error(what, path, std::error_code(error, std::generic_category()));
}

std::string joined(const std::vector<std::string>& pieces, std::size_t count) {
    std::string text;
    for (std::size_t i = 0; i < count; ++i) {
        if (i > 0) text += '/';
        text += pieces[i];
    }
    return text;
}

}  // namespace

DownloadTarget DownloadTarget::inFolder(fs::path folder, std::string_view relativePath) {
    DownloadTarget target;
    target.m_folder = std::move(folder);
    target.m_shownName = std::string(relativePath);
    if (relativePath.empty()) target.refuse("it has no file name");
    if (relativePath.front() == '/') target.refuse("it is an absolute path");
    if (relativePath.back() == '/') target.refuse("it names a folder, not a file");
    if (relativePath.find('\0') != std::string_view::npos) target.refuse("it contains a zero byte");

    std::string_view rest = relativePath;
    while (!rest.empty()) {
        const std::size_t slash = rest.find('/');
        const std::string_view piece = rest.substr(0, slash);
        rest = slash == std::string_view::npos ? std::string_view() : rest.substr(slash + 1);
        if (piece.empty()) continue;
        if (piece == "." || piece == "..") target.refuse("it would lead out of the folder");
        if (piece.size() > kMaxNameBytes) {
            target.refuse("a name in it is longer than " + std::to_string(kMaxNameBytes) + " bytes");
        }
        target.m_pieces.emplace_back(piece);
    }
    target.m_name = std::move(target.m_pieces.back());
    target.m_pieces.pop_back();
    if (target.path().native().size() > kMaxPathBytes) {
        target.refuse("its path would be longer than " + std::to_string(kMaxPathBytes) + " bytes");
    }
    return target;
}

DownloadTarget DownloadTarget::file(const fs::path& path) {
    DownloadTarget target;
    target.m_shownName = path.string();
    target.m_linksRefused = false;
    if (!path.has_filename()) target.refuse("it has no file name");
    target.m_folder = path.parent_path();
    target.m_name = path.filename().string();
    if (target.m_name.size() > kMaxNameBytes) {
        target.refuse("its name is longer than " + std::to_string(kMaxNameBytes) + " bytes");
    }
    if (path.native().size() > kMaxPathBytes) {
        target.refuse("its path is longer than " + std::to_string(kMaxPathBytes) + " bytes");
    }
    return target;
}

fs::path DownloadTarget::path() const {
    fs::path result = m_folder;
    for (const std::string& piece : m_pieces) result /= piece;
    return result / m_name;
}

void DownloadTarget::checkExistingPieces() const { walk(false); }

FileDescriptor DownloadTarget::openParentFolder() const { return std::move(*walk(true)); }

std::optional<FileDescriptor> DownloadTarget::walk(bool create) const {
    const fs::path chosen = m_folder.empty() ? fs::path(".") : m_folder;
    if (create) fs::create_directories(chosen);
    FileDescriptor current(::open(chosen.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (current.get() < 0) {
        if (!create && errno == ENOENT) return std::nullopt;
        fail("Could not open the folder", chosen, errno);
    }

    for (std::size_t i = 0; i < m_pieces.size(); ++i) {
        const char* piece = m_pieces[i].c_str();
        if (create && ::mkdirat(current.get(), piece, 0777) != 0 && errno != EEXIST) {
            fail("Could not create the folder", chosen / joined(m_pieces, i + 1), errno);
        }
        const int fd = ::openat(current.get(), piece, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        if (fd < 0) {
            const int error = errno;
            if (!create && error == ENOENT) return std::nullopt;
            struct stat status {};
            if ((error == ELOOP || error == ENOTDIR) &&
                ::fstatat(current.get(), piece, &status, AT_SYMLINK_NOFOLLOW) == 0) {
                if (S_ISLNK(status.st_mode)) {
                    refuse("\"" + joined(m_pieces, i + 1) + "\" is a symbolic link, which is not followed",
                           RefusedInputError::Reason::downloadLink);
                }
                refuse("\"" + joined(m_pieces, i + 1) + "\" is a file, not a folder",
                       RefusedInputError::Reason::downloadNotFolder);
            }
            fail("Could not open the folder", chosen / joined(m_pieces, i + 1), error);
        }
        current = FileDescriptor(fd);
    }

    struct stat status {};
    if (m_linksRefused && ::fstatat(current.get(), m_name.c_str(), &status, AT_SYMLINK_NOFOLLOW) == 0 &&
        S_ISLNK(status.st_mode)) {
        refuse("it is a symbolic link, which is not followed", RefusedInputError::Reason::downloadLink);
    }
    return current;
}

void DownloadTarget::refuse(std::string_view reason, RefusedInputError::Reason kind) const {
    const std::string where = m_linksRefused ? " in the folder" : "";
    throw RefusedInputError(kind, m_shownName,
                            "\"" + m_shownName + "\" cannot be saved" + where + ": " + std::string(reason) + ".");
}

}  // namespace tarn
