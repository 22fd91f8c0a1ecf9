#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <unordered_set>

namespace tarn {

// Picks a free key when an upload must not overwrite an existing object.
namespace UniqueKeyResolver {

// `key` itself when it is free, else the first free "name 2.ext", "name 3.ext", ...
// Only the last extension moves ("b.tar.gz" becomes "b.tar 2.gz"); a name without
// one, or a hidden name such as ".env", gets the number at its end. The candidate
// always stays in the key's own folder: everything up to the last "/" is kept as
// written, so keys such as "./x", "/x" or "a//x" are not moved elsewhere. A folder
// key keeps its closing "/".
std::string availableKey(std::string_view key, const std::unordered_set<std::string>& existingKeys);
// The same, with the keys taken told by `isTaken`.
std::string availableKey(std::string_view key, const std::function<bool(const std::string&)>& isTaken);

}  // namespace UniqueKeyResolver

}  // namespace tarn
