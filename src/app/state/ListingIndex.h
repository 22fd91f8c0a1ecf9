#pragma once

#include "app/state/ChunkedList.h"
#include "core/storage/StorageModels.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string_view>
#include <vector>

namespace tarn {

// Finds the entries of a listing by key without a scan of the listing, and sorts a
// further page into the keys the listing holds already and those it does not.
//
// An index is a value that is never changed, only replaced: a few shared, immutable
// tables of positions in the listing (open addressing, each slot a key's hash and its
// position), so a copy costs a few pointers and may go to another thread. A further
// page is sorted out, and the index that includes it made, where the page was
// fetched, off the main thread; the main thread appends what is new and swaps the
// index in. No table ever grows: the tables of later pages are merged into larger
// ones as they pile up (each table more than twice the size of the next, so a lookup
// asks at most about log2 of the number of pages of them), and that merging is part
// of making the new index, off the main thread too.
//
// Tables hold positions, not keys: a lookup reads keys in the listing it is given,
// which must be the listing the index was made of (or that listing grown at its end).
template <class Entry>
class ListingIndex {
public:
    struct Merged;

    // Of an empty listing.
    ListingIndex() = default;

    // The index of a listing as a first page leaves it: every entry kept, a key that
    // repeats found at its first position.
    static ListingIndex of(EntriesView<Entry> entries);

    // A further page sorted out against `listed`, the listing this index was made of
    // (its size() entries, typically a snapshot of it): the page's entries whose keys
    // neither the listing nor an earlier entry of the page holds, in page order, and
    // the index of the listing with them appended.
    Merged merged(EntriesView<Entry> listed, std::vector<Entry> page) const;

    // The position of the first entry with `key` in `listed`.
    std::optional<std::size_t> find(std::string_view key, EntriesView<Entry> listed) const;

    // How many entries it was made of: the size of its listing.
    std::size_t size() const { return m_size; }
    // Whether a key repeats in the listing (only a first page, kept whole, can hold
    // repeats).
    bool hasRepeats() const { return m_repeats; }
    // How many tables a lookup asks.
    std::size_t tableCount() const { return m_tables.size(); }

private:
    class Table;

    std::vector<std::shared_ptr<const Table>> m_tables;
    std::size_t m_size = 0;
    bool m_repeats = false;
};

template <class Entry>
struct ListingIndex<Entry>::Merged {
    std::vector<Entry> added;
    ListingIndex index;
};

extern template class ListingIndex<ObjectItem>;
extern template class ListingIndex<ObjectPrefix>;

}  // namespace tarn
