#include "core/files/UserFolders.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <vector>

namespace tarn::UserFolders {

namespace {

namespace fs = std::filesystem;

fs::path absoluteFromEnvironment(const char* name, const char* fallbackBelowHome) {
    if (const char* value = std::getenv(name); value != nullptr && *value == '/') return value;
    return home() / fallbackBelowHome;
}

}  // namespace

fs::path home() {
    if (const char* home = std::getenv("HOME"); home != nullptr && *home != '\0') return home;
    std::vector<char> buffer(16384);
    passwd entry{};
    passwd* found = nullptr;
    if (::getpwuid_r(::getuid(), &entry, buffer.data(), buffer.size(), &found) == 0 && found != nullptr &&
        found->pw_dir != nullptr) {
        return found->pw_dir;
    }
    return fs::current_path();
}

fs::path configHome() { return absoluteFromEnvironment("XDG_CONFIG_HOME", ".config"); }

fs::path cacheHome() { return absoluteFromEnvironment("XDG_CACHE_HOME", ".cache"); }

}  // namespace tarn::UserFolders
