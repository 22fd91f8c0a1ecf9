#include "core/storage/ListingScope.h"

#include "core/storage/FaultyListingError.h"
#include "core/storage/ListingOutsidePrefixError.h"

namespace tarn {

void ListingScope::requireWithin(const S3Listing& page, const std::string& prefix) {
    for (const ObjectItem& item : page.objects) {
        if (!item.key.starts_with(prefix)) throw ListingOutsidePrefixError(prefix, item.key);
    }
    for (const ObjectPrefix& folder : page.prefixes) {
        if (!folder.prefix.starts_with(prefix)) throw ListingOutsidePrefixError(prefix, folder.prefix);
        // Whatever walks the folders (a move, a download, a count) would walk this one
        // again and again: it is the folder listed, or one that keeps growing.
        if (folder.prefix.size() <= prefix.size() || folder.prefix.size() > kMaxKeyBytes) {
            throw FaultyListingError(FaultyListingError::Fault::folderNotBelow, prefix, folder.prefix);
        }
    }
}

}  // namespace tarn
