#pragma once

#include <filesystem>

namespace tarn {

// The user's base folders as the XDG base-directory rules define them. A relative
// $XDG_… value is invalid and ignored, as those rules say. Nothing is created here.
namespace UserFolders {

// $HOME, else the home folder of the user's account entry, else the current folder.
std::filesystem::path home();
// $XDG_CONFIG_HOME, else ~/.config.
std::filesystem::path configHome();
// $XDG_CACHE_HOME, else ~/.cache.
std::filesystem::path cacheHome();

}  // namespace UserFolders

}  // namespace tarn
