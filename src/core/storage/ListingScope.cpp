#include "core/storage/ListingScope.h"

#include "core/storage/ListingOutsidePrefixError.h"

namespace tarn {

void ListingScope::requireWithin(const S3Listing& page, const std::string& prefix) {
    if (prefix.empty()) return;
    for (const ObjectItem& item : page.objects) {
        if (!item.key.starts_with(prefix)) throw ListingOutsidePrefixError(prefix, item.key);
    }
    for (const ObjectPrefix& folder : page.prefixes) {
        if (!folder.prefix.starts_with(prefix)) throw ListingOutsidePrefixError(prefix, folder.prefix);
    }
}

}  // namespace tarn
