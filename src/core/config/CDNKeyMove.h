#pragma once

#include "core/values/Uuid.h"

namespace tarn {

// The CDN token key stored for domain `domainID` of bucket `oldBucketID` has to
// move to the same domain of bucket `newBucketID`, because the bucket's ID changed.
struct CDNKeyMove {
    Uuid oldBucketID;
    Uuid newBucketID;
    Uuid domainID;

    bool operator==(const CDNKeyMove&) const = default;
};

}  // namespace tarn
