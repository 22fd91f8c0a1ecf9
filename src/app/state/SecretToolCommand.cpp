#include "app/state/SecretToolCommand.h"

#include "core/config/KeychainSecretStore.h"

#include <algorithm>
#include <string_view>

namespace tarn {

namespace {

// A word as a POSIX shell reads it back: as it is when it holds nothing the shell
// would interpret, else in single quotes, which keep every byte.
std::string shellWord(std::string_view text) {
    const auto plain = [](char c) {
        return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
               std::string_view("@%+=:,./_-").find(c) != std::string_view::npos;
    };
    if (!text.empty() && std::all_of(text.begin(), text.end(), plain)) return std::string(text);
    std::string quoted = "'";
    for (const char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

}  // namespace

// The item's name and the scheme and port it may be used at, as the program reads it.
std::string secretToolCommand(const std::string& service, const StorageProfile& profile) {
    const KeychainSecretStore::Origin origin = KeychainSecretStore::originOf(profile.endpoint);
    std::string label = "Tarn Manager: " + profile.name;
    // Only a label: a line break in an imported name would break the command's line.
    std::replace_if(label.begin(), label.end(), [](unsigned char c) { return c < 0x20 || c == 0x7f; }, ' ');
    return "secret-tool store --label=" + shellWord(label) + " service " + shellWord(service) + " account " +
           shellWord(KeychainSecretStore::accountSecretAccount(profile.endpoint, profile.region, profile.accessKeyID)) +
           " scheme " + shellWord(origin.scheme) + " port " + shellWord(origin.port);
}

}  // namespace tarn
