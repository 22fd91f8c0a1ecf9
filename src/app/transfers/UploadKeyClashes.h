#pragma once

#include "app/transfers/UploadItem.h"

#include <cstddef>
#include <optional>
#include <vector>

namespace tarn {

// Two files of one upload can map to one key: a name that is not valid UTF-8 is
// written with "%XX" for each bad byte, and another name may hold the same "%XX"
// literally. Sending both would leave one object and lose the other file without a
// word, so the earlier file keeps the key (the key it has always had, which stored
// objects rely on) and the later one is not sent.
namespace UploadKeyClashes {

// For each item, the position of the first earlier item with the same key; none for
// an item whose key no earlier item has.
std::vector<std::optional<std::size_t>> earlierWithSameKey(const std::vector<UploadItem>& items);

}  // namespace UploadKeyClashes

}  // namespace tarn
