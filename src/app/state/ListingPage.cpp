#include "app/state/ListingPage.h"

#include <utility>

namespace tarn {

ListingPage ListingPage::first(S3Listing listing) {
    ListingPage page;
    page.objectIndex = ListingIndex<ObjectItem>::of(listing.objects);
    page.prefixIndex = ListingIndex<ObjectPrefix>::of(listing.prefixes);
    page.listing = std::move(listing);
    return page;
}

ListingPage ListingPage::further(S3Listing page, const ListingBasis& basis) {
    auto objects = basis.objectIndex.merged(basis.objects, std::move(page.objects));
    auto prefixes = basis.prefixIndex.merged(basis.prefixes, std::move(page.prefixes));
    ListingPage ready;
    ready.listing = std::move(page);
    ready.listing.objects = std::move(objects.added);
    ready.listing.prefixes = std::move(prefixes.added);
    ready.objectIndex = std::move(objects.index);
    ready.prefixIndex = std::move(prefixes.index);
    ready.generation = basis.generation;
    ready.objectsBefore = basis.objects.size();
    ready.prefixesBefore = basis.prefixes.size();
    return ready;
}

}  // namespace tarn
