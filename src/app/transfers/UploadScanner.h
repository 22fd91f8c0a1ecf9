#pragma once

#include "app/transfers/UploadItem.h"

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace tarn {

// Expands a local file or folder that the user hands over into the files to send and
// the object key of each. Pure functions of the file system, safe on any thread, so
// a large folder can be walked off the main thread; nothing is cached, every call
// looks again.
//
// Symbolic links are never followed, to files or folders: a link inside a folder
// could otherwise upload a whole other tree (or loop forever), and a link handed
// directly stands for no file of its own.
namespace UploadScanner {

// The items `url` stands for, uploaded into the folder prefix `directory`:
// - a folder: folderItems(url, directory);
// - a regular file, or a path that cannot be examined at all (it vanished, a parent
//   is unreadable): one item keyed by its name in `directory`, so that sending it
//   fails with the file's name rather than it vanishing from the upload;
// - anything else (a symbolic link, a FIFO, a socket, a device): no item.
// A hidden file handed directly is uploaded; only folder walks leave hidden entries out.
std::vector<UploadItem> items(const std::filesystem::path& url, std::string_view directory);

// One item for every regular file below `folder`, keyed by the folder's own name,
// "/" and the file's path relative to it, inside `directory` ("docs/" and the file
// sub/notes.txt of the folder photos give "docs/photos/sub/notes.txt").
// - Hidden entries (names starting with ".") are left out; hidden folders are not entered.
// - Symbolic links, FIFOs, sockets and devices are left out; empty folders give nothing.
// - Files are listed whether or not they can be read: a file that cannot be sent
//   fails in the queue with its name, where the user sees it. For the same reason a
//   sub-folder that exists but cannot be opened is listed as one item of its own,
//   marked isUnreadableFolder (its key the folder's, with its closing "/"), which the
//   queue reports as a failure naming the folder.
// - A folder that cannot be opened at all (missing, unreadable, a link) gives nothing.
// - Names that are not valid UTF-8 (a legacy encoding, an archive from another
//   system) keep their files: each byte of an ill-formed sequence appears in the key
//   as "%XX" (upper-case hex), since object keys must be UTF-8 and a replacement
//   character would make different names collide and overwrite each other.
// The order is the file system's; nothing is sorted.
std::vector<UploadItem> folderItems(const std::filesystem::path& folder, std::string_view directory);

// The handed path as the scanner reads it: absolute, "." and ".." resolved, no
// closing "/". Its last component is the name the upload goes by.
std::filesystem::path handedPath(const std::filesystem::path& url);

// The summed sizes of the items' files in bytes; a file whose size cannot be read
// (or that is no longer a regular file) counts 0.
std::int64_t totalBytes(const std::vector<UploadItem>& items);

// A local file name as it appears in an object key: valid UTF-8 unchanged, each byte
// of an ill-formed sequence as "%XX".
std::string keyName(std::string_view fileName);

}  // namespace UploadScanner

}  // namespace tarn
