#pragma once

#include <string>
#include <unordered_set>

namespace tarn {

// Object keys, folder prefixes or row keys (selections, keys known to exist): sets
// of up to a whole folder, so membership must stay cheap at 100,000 keys.
using KeySet = std::unordered_set<std::string>;

}  // namespace tarn
