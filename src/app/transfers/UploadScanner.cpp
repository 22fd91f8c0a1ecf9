#include "app/transfers/UploadScanner.h"

#include "core/storage/PrefixNavigator.h"
#include "core/text/Utf8.h"

#include <cerrno>
#include <system_error>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tarn::UploadScanner {

namespace {

namespace fs = std::filesystem;

bool isHidden(const char* name) { return name[0] == '.'; }

// One folder of the walk that is still being read. Its descriptor stays open while
// its sub-folders are walked, so they are opened relative to it and a folder swapped
// for a link on the way is refused by O_NOFOLLOW instead of followed.
struct Frame {
    DIR* dir = nullptr;
    std::string relativePath;  // from the handed folder, with a closing "/"; "" for it
    std::string keyPrefix;     // the key of that path, with its closing "/"
    dev_t device = 0;
    ino_t inode = 0;
};

// Opens a folder for reading without following a link at its last component.
DIR* openFolder(int parent, const char* name, Frame& frame) {
    const int fd = ::openat(parent, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) return nullptr;
    struct stat status {};
    if (::fstat(fd, &status) != 0) {
        const int saved = errno;
        ::close(fd);
        errno = saved;
        return nullptr;
    }
    DIR* dir = ::fdopendir(fd);
    if (dir == nullptr) {
        const int saved = errno;
        ::close(fd);
        errno = saved;
        return nullptr;
    }
    frame.dir = dir;
    frame.device = status.st_dev;
    frame.inode = status.st_ino;
    return dir;
}

// A bind mount can make a folder its own descendant; without links that is the
// only way a walk could loop.
bool isAncestor(const std::vector<Frame>& stack, const Frame& frame) {
    for (const Frame& open : stack) {
        if (open.device == frame.device && open.inode == frame.inode) return true;
    }
    return false;
}

// The entry's type without following a link; the directory entry usually knows it,
// so the walk needs no stat for most entries.
unsigned char entryType(int parent, const dirent& entry) {
    if (entry.d_type != DT_UNKNOWN) return entry.d_type;
    struct stat status {};
    if (::fstatat(parent, entry.d_name, &status, AT_SYMLINK_NOFOLLOW) != 0) return DT_UNKNOWN;
    if (S_ISREG(status.st_mode)) return DT_REG;
    if (S_ISDIR(status.st_mode)) return DT_DIR;
    return DT_UNKNOWN;  // links and special files are skipped alike
}

// The walk met a sub-folder it could not open. One that vanished or turned into a
// link or a file meanwhile is simply not there to upload; any other failure
// (no permission, too many open files) is a folder the user expects to arrive.
bool isGone(int error) { return error == ENOENT || error == ELOOP || error == ENOTDIR; }

void appendPercentEscaped(std::string& text, unsigned char byte) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    text += '%';
    text += kHex[byte >> 4];
    text += kHex[byte & 0x0F];
}

// The length of the UTF-8 sequence that a lead byte announces; 0 for a byte that
// cannot start one.
std::size_t announcedLength(unsigned char lead) {
    if (lead < 0x80) return 1;
    if (lead >= 0xC2 && lead <= 0xDF) return 2;
    if (lead >= 0xE0 && lead <= 0xEF) return 3;
    if (lead >= 0xF0 && lead <= 0xF4) return 4;
    return 0;
}

UploadItem singleItem(const fs::path& path, std::string_view directory) {
    return {path, PrefixNavigator::childObjectKey(keyName(path.filename().native()), directory)};
}

}  // namespace

fs::path handedPath(const fs::path& url) {
    std::error_code error;
    fs::path path = fs::absolute(url, error);
    if (error) path = url;
    path = path.lexically_normal();
    // A closing "/" would make the kernel follow a link that lstat and O_NOFOLLOW
    // must see as a link.
    if (!path.has_filename() && path.has_relative_path()) path = path.parent_path();
    return path;
}

std::string keyName(std::string_view fileName) {
    if (Utf8::isValid(fileName)) return std::string(fileName);
    std::string name;
    name.reserve(fileName.size() * 3);
    for (std::size_t pos = 0; pos < fileName.size();) {
        const auto lead = static_cast<unsigned char>(fileName[pos]);
        const std::size_t length = announcedLength(lead);
        if (length > 0 && pos + length <= fileName.size() && Utf8::isValid(fileName.substr(pos, length))) {
            name.append(fileName.substr(pos, length));
            pos += length;
        } else {
            appendPercentEscaped(name, lead);
            ++pos;
        }
    }
    return name;
}

std::vector<UploadItem> items(const fs::path& url, std::string_view directory) {
    const fs::path path = handedPath(url);
    struct stat status {};
    if (::lstat(path.c_str(), &status) != 0) return {singleItem(path, directory)};
    if (S_ISDIR(status.st_mode)) return folderItems(path, directory);
    if (!S_ISREG(status.st_mode)) return {};
    return {singleItem(path, directory)};
}

std::vector<UploadItem> folderItems(const fs::path& folder, std::string_view directory) {
    const fs::path root = handedPath(folder);
    const std::string name = keyName(root.filename().native());
    // The file system's root has no name of its own: its files go straight into the
    // directory rather than under a key starting with "/".
    const std::string rootKey =
        name.empty() ? PrefixNavigator::childObjectKey("", directory) : PrefixNavigator::childObjectKey(name + "/", directory);

    std::vector<Frame> stack;
    {
        Frame frame;
        frame.keyPrefix = rootKey;
        if (openFolder(AT_FDCWD, root.c_str(), frame) == nullptr) return {};
        stack.push_back(std::move(frame));
    }

    std::vector<UploadItem> result;
    const std::string& rootPath = root.native();
    const auto localPath = [&rootPath](const std::string& relativePath, const char* entryName) {
        std::string path = rootPath;
        if (path.back() != '/') path += '/';
        path += relativePath;
        path += entryName;
        return fs::path(std::move(path));
    };

    while (!stack.empty()) {
        Frame& current = stack.back();
        errno = 0;
        const dirent* entry = ::readdir(current.dir);
        if (entry == nullptr) {
            // The end of the folder, or an error inside the walk: neither is reported,
            // what was read so far stands.
            ::closedir(current.dir);
            stack.pop_back();
            continue;
        }
        if (isHidden(entry->d_name)) continue;

        const int parent = ::dirfd(current.dir);
        const unsigned char type = entryType(parent, *entry);
        if (type == DT_REG) {
            result.push_back({localPath(current.relativePath, entry->d_name), current.keyPrefix + keyName(entry->d_name)});
            continue;
        }
        if (type != DT_DIR) continue;

        Frame child;
        if (openFolder(parent, entry->d_name, child) == nullptr) {
            if (!isGone(errno)) {
                result.push_back({localPath(current.relativePath, entry->d_name),
                                  current.keyPrefix + keyName(entry->d_name) + "/", true});
            }
            continue;
        }
        if (isAncestor(stack, child)) {
            ::closedir(child.dir);
            continue;
        }
        child.relativePath = current.relativePath + entry->d_name + "/";
        child.keyPrefix = current.keyPrefix + keyName(entry->d_name) + "/";
        stack.push_back(std::move(child));  // `current` is not used after this
    }
    return result;
}

std::int64_t totalBytes(const std::vector<UploadItem>& items) {
    std::int64_t total = 0;
    for (const UploadItem& item : items) {
        struct stat status {};
        if (::lstat(item.fileURL.c_str(), &status) == 0 && S_ISREG(status.st_mode)) total += status.st_size;
    }
    return total;
}

}  // namespace tarn::UploadScanner
