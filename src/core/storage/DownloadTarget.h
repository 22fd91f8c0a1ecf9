#pragma once

#include "core/files/FileDescriptor.h"
#include "core/storage/RefusedInputError.h"

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tarn {

// Where an object lands on disk: a folder the user chose, and below it the pieces
// of a name. Object keys come from the server and may hold anything, so a name
// from a key is only ever placed below the chosen folder, never beside or above
// it, and none of its pieces is followed when it is a symbolic link: a link
// planted in the folder ("docs" pointing at "../elsewhere" or at "/etc") would
// otherwise carry the file out of it. The chosen folder itself is the user's and
// is taken as it is, links and all.
//
// Names are checked as text when the target is made, so a download that could
// never be saved is refused before anything is sent: RefusedInputError (a
// std::invalid_argument) with a message that names the name and the reason.
class DownloadTarget {
public:
    // The file `relativePath` ("/"-separated, as in object keys: "docs/2024/report.pdf")
    // inside `folder`. Doubled "/" count as one. Refused: an empty or absolute
    // path, one that names a folder (ends in "/"), holds a "." or ".." piece or a
    // zero byte, a piece longer than a file name may be (NAME_MAX bytes), and a
    // whole path longer than a path may be (PATH_MAX).
    static DownloadTarget inFolder(std::filesystem::path folder, std::string_view relativePath);
    // A file whose place the user chose as a whole (a save panel, a drop target):
    // an existing file there, or a link, is replaced. Refused: a path without a
    // file name, and the lengths as above.
    static DownloadTarget file(const std::filesystem::path& target);

    // The file's path.
    std::filesystem::path path() const;
    // The chosen folder.
    const std::filesystem::path& folder() const { return m_folder; }

    // Looks at the pieces that exist already and refuses (RefusedInputError,
    // naming the piece) when one is a symbolic link or not a folder; creates
    // nothing. Lets a download be refused before it is requested.
    void checkExistingPieces() const;
    // Opens the folder that is to hold the file, creating the chosen folder (with
    // any missing parents) and then each missing piece below it. Every piece is
    // created and opened relative to the one above without following links, so
    // nothing planted meanwhile can redirect it. The file itself is then made in
    // the returned folder under fileName().
    FileDescriptor openParentFolder() const;
    const std::string& fileName() const { return m_name; }

private:
    DownloadTarget() = default;
    // Walks the pieces from the chosen folder down; with `create` false it stops at
    // the first piece that does not exist yet and returns none.
    std::optional<FileDescriptor> walk(bool create) const;
    [[noreturn]] void refuse(std::string_view reason,
                             RefusedInputError::Reason kind = RefusedInputError::Reason::downloadName) const;

    std::filesystem::path m_folder;
    std::vector<std::string> m_pieces;  // the folders below m_folder
    std::string m_name;
    std::string m_shownName;            // the name as given, for messages
    bool m_linksRefused = true;         // false only for a file the user placed
};

}  // namespace tarn
