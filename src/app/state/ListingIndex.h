#pragma once

#include "core/config/StorageModels.h"

#include <cstddef>
#include <limits>
#include <vector>

namespace tarn {

// Finds the entries of a listing by key in constant time, so that merging a further
// page into a folder of 100,000 objects costs one lookup per new entry instead of a
// scan of the whole folder. It holds positions in the listing, not copies of the
// keys, and follows the listing as it grows; whoever replaces the listing's contents
// calls reset(). Main thread only, like the listing it serves.
//
// The table is flat (open addressing, each slot a key's hash and its position): a
// lookup usually costs one cache miss and reads a key only when the hashes agree,
// and growing never reads a key. Node-based sets cost several misses per lookup,
// which at this size was most of the main thread's share of paging.
template <class Entry>
class ListingIndex {
public:
    // `entries` must outlive the index.
    explicit ListingIndex(std::vector<Entry>& entries);
    ListingIndex(const ListingIndex&) = delete;
    ListingIndex& operator=(const ListingIndex&) = delete;

    // Appends to the listing every entry of `page` whose key it does not hold yet,
    // in page order, and returns how many it appended.
    std::size_t appendNew(std::vector<Entry> page);
    // Forgets every position: the listing was replaced.
    void reset();

private:
    static constexpr std::size_t none = std::numeric_limits<std::size_t>::max();
    struct Slot {
        std::size_t hash = 0;
        std::size_t position = none;
    };

    // Records the entry at `position`; false when an earlier entry has its key.
    bool insert(std::size_t position);
    void grow();

    std::vector<Entry>& m_entries;
    std::vector<Slot> m_slots;  // a power of two in size, at most half full
    std::size_t m_used = 0;
    std::size_t m_indexed = 0;  // the entries before this position have been indexed
};

extern template class ListingIndex<ObjectItem>;
extern template class ListingIndex<ObjectPrefix>;

}  // namespace tarn
