#pragma once

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace tarn {

class PrivateFolder;

// Where objects copied or dragged out of the browser wait as local files for the
// application that asked for them: one new folder per copy or drag inside the
// private folder's drag-out folder, emptied when the program starts and quits. The
// emptying is one rename on the caller's thread; the files go in the background, so a
// large tree left there holds up neither the start nor the end.
class DragOutStaging {
public:
    DragOutStaging() = delete;

    // One file or folder to stage, by the name it is offered under.
    struct Entry {
        std::string name;
        bool isFolder = false;
    };

    // The name a key or folder prefix is offered under: its last piece. Never a path
    // (no "/"), never "." or "..", never empty (such a piece gives `fallback`), and
    // at most the 255 bytes a file name may have.
    static std::string fileName(std::string_view keyOrPrefix, std::string_view fallback = "download");
    // The entries' names made unique within one folder, in order: a repeated
    // "a.txt" becomes "a (2).txt", a repeated folder "a" becomes "a (2)".
    static std::vector<std::string> uniqueNames(const std::vector<Entry>& entries);
    // A new, empty, private folder for one copy or drag. Throws PrivateFolderError or
    // std::filesystem::filesystem_error.
    static std::filesystem::path makeFolder(const PrivateFolder& folder);
    // Moves everything staged aside into the private folder's discarded folder in one
    // step, so the drag-out folder is empty at once however much it held. False when
    // nothing was staged, or a folder is not private (which is left alone). Never throws.
    static bool setAside(const PrivateFolder& folder) noexcept;
    // Removes everything set aside (symbolic links are removed, never followed). Takes
    // as long as the tree is large: not for the main thread. Never throws.
    static void removeSetAside(const PrivateFolder& folder) noexcept;
    // setAside() now, then removeSetAside() on a thread of its own that nobody waits
    // for: what it has not removed when the program ends goes at the next start.
    static void cleanInBackground(const PrivateFolder& folder) noexcept;
};

}  // namespace tarn
