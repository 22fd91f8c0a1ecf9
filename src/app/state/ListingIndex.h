#pragma once

#include "core/config/StorageModels.h"

#include <cstddef>
#include <unordered_set>
#include <vector>

namespace tarn {

// Finds the entries of a listing by key in constant time, so that merging a further
// page into a folder of 100,000 objects costs one lookup per new entry instead of a
// scan of the whole folder. It holds positions in the listing, not copies of the
// keys, and follows the listing as it grows; whoever replaces the listing's contents
// calls reset(). Main thread only, like the listing it serves.
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
    // Not noexcept on purpose: the standard set then keeps each entry's hash, so
    // growing it never hashes a key a second time.
    struct KeyHash {
        const std::vector<Entry>* entries;
        std::size_t operator()(std::size_t position) const;
    };
    struct SameKey {
        const std::vector<Entry>* entries;
        bool operator()(std::size_t left, std::size_t right) const;
    };

    std::vector<Entry>& m_entries;
    std::unordered_set<std::size_t, KeyHash, SameKey> m_positions;
    std::size_t m_indexed = 0;  // the entries before this position have been indexed
};

extern template class ListingIndex<ObjectItem>;
extern template class ListingIndex<ObjectPrefix>;

}  // namespace tarn
