#pragma once

#include "core/config/StorageModels.h"

#include <string>

namespace tarn {

// Whether a listing page is what was asked for: every object key and every folder it
// names begins with the prefix of the request. The storage client checks every page
// it fetches; whoever gathers pages some other way checks them here.
namespace ListingScope {

// Throws ListingOutsidePrefixError naming the first key or folder of `page` that does
// not begin with `prefix` (byte for byte: "Tmp/a" is not under "tmp/").
void requireWithin(const S3Listing& page, const std::string& prefix);

}  // namespace ListingScope

}  // namespace tarn
