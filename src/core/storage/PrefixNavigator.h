#pragma once

#include <string>
#include <string_view>

namespace tarn {

// Object keys are "/"-separated paths; a folder is a prefix ending in "/" and the
// root folder is "". These build folder and file keys and walk up to parents.
namespace PrefixNavigator {

// The parent folder of a folder prefix ("a/b/c/" and "a/b/c" give "a/b/"; "a/" and
// "" give ""). Empty path segments do not count as folders: "a//b/" gives "a/".
std::string parent(std::string_view prefix);

// The key of the folder `name` inside `directory`: leading and trailing "/" of the
// name are dropped, one "/" ends the key.
std::string folderKey(std::string_view name, std::string_view directory);

// The key of the file `fileName` inside `directory`. The name is used as given and
// may itself hold "/" (a path relative to an uploaded folder).
std::string childObjectKey(std::string_view fileName, std::string_view directory);

}  // namespace PrefixNavigator

}  // namespace tarn
