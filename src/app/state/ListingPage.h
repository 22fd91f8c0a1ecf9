#pragma once

#include "app/state/ChunkedList.h"
#include "app/state/ListingIndex.h"
#include "core/storage/StorageModels.h"

#include <cstddef>
#include <cstdint>

namespace tarn {

// The listing a further page continues, as it was when the page was asked for: what
// the page is sorted out against off the main thread. Cheap to make (the entries are
// shared, not copied) and safe to read on another thread.
struct ListingBasis {
    std::uint64_t generation = 0;
    ChunkedList<ObjectItem>::Snapshot objects;
    ChunkedList<ObjectPrefix>::Snapshot prefixes;
    ListingIndex<ObjectItem> objectIndex;
    ListingIndex<ObjectPrefix> prefixIndex;
};

// A listing page made ready where it was fetched, off the main thread: its entries
// and the indexes of the listing with them, so that showing it costs the main thread
// the same however much the listing holds already.
struct ListingPage {
    // A first page: the whole page. A further page: only the entries whose keys the
    // listing it continues did not hold, in page order.
    S3Listing listing;
    ListingIndex<ObjectItem> objectIndex;
    ListingIndex<ObjectPrefix> prefixIndex;
    // A further page: the listing it was sorted out against.
    std::uint64_t generation = 0;
    std::size_t objectsBefore = 0;
    std::size_t prefixesBefore = 0;

    // A first page, kept whole.
    static ListingPage first(S3Listing listing);
    // A further page, sorted out against the listing it continues.
    static ListingPage further(S3Listing page, const ListingBasis& basis);
};

}  // namespace tarn
