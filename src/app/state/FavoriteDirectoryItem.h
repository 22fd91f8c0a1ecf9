#pragma once

#include "core/config/ConfigModels.h"

#include <string>

namespace tarn {

// A favourite folder with the bucket it belongs to, as the sidebar lists it.
struct FavoriteDirectoryItem {
    FavoriteDirectory favorite;
    BucketConfig bucket;

    std::string id() const { return favorite.bucketID.toString() + ":" + favorite.prefix; }
    bool operator==(const FavoriteDirectoryItem&) const = default;
};

}  // namespace tarn
