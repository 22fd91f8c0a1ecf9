#pragma once

#include "core/storage/StorageModels.h"

#include <cstddef>
#include <string>

namespace tarn {

// Whether a listing page is what was asked for: every object key and every folder it
// names begins with the prefix of the request. The storage client checks every page
// it fetches; whoever gathers pages some other way checks them here.
namespace ListingScope {

// Keys, and so folders, are at most this long on every S3 service.
constexpr std::size_t kMaxKeyBytes = 1024;

// Throws ListingOutsidePrefixError naming the first key or folder of `page` that does
// not begin with `prefix` (byte for byte: "Tmp/a" is not under "tmp/"), and
// FaultyListingError for a folder that begins with it but is no longer than it (the
// folder listed, named as its own sub-folder) or longer than any key may be.
void requireWithin(const S3Listing& page, const std::string& prefix);

}  // namespace ListingScope

}  // namespace tarn
