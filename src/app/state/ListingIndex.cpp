#include "app/state/ListingIndex.h"

#include <algorithm>
#include <bit>
#include <cassert>
#include <functional>
#include <limits>
#include <string>
#include <utility>

namespace tarn {

namespace {

using Hash = std::uint32_t;

Hash hashOf(std::string_view key) {
    const std::size_t hash = std::hash<std::string_view>{}(key);
    return static_cast<Hash>(hash ^ (hash >> 32));
}

}  // namespace

// One immutable table once made: the slots of the keys of some positions.
template <class Entry>
class ListingIndex<Entry>::Table {
public:
    // Room for `entries` keys, the table at most half full.
    explicit Table(std::size_t entries) : m_slots(std::bit_ceil(std::max<std::size_t>(16, entries * 2))) {}

    std::size_t count() const { return m_count; }

    // The position of `key` here, reading keys through `keyAt(position)`.
    template <class KeyAt>
    std::optional<std::size_t> find(Hash hash, std::string_view key, const KeyAt& keyAt) const {
        const std::size_t mask = m_slots.size() - 1;
        for (std::size_t i = hash & mask;; i = (i + 1) & mask) {
            const Slot& slot = m_slots[i];
            if (slot.position == none) return std::nullopt;
            if (slot.hash == hash && std::string_view(keyAt(slot.position)) == key) return slot.position;
        }
    }

    // Records a position whose key the table does not hold yet.
    void insert(Hash hash, std::size_t position) {
        assert(position < none && (m_count + 1) * 2 <= m_slots.size());
        const std::size_t mask = m_slots.size() - 1;
        std::size_t i = hash & mask;
        while (m_slots[i].position != none) i = (i + 1) & mask;
        m_slots[i] = {hash, static_cast<std::uint32_t>(position)};
        ++m_count;
    }

    // Both tables' keys in one: they never share a key, so no key is read.
    static std::shared_ptr<const Table> joined(const Table& a, const Table& b) {
        auto table = std::make_shared<Table>(a.m_count + b.m_count);
        for (const Table* part : {&a, &b}) {
            for (const Slot& slot : part->m_slots) {
                if (slot.position != none) table->insert(slot.hash, slot.position);
            }
        }
        return table;
    }

private:
    static constexpr std::uint32_t none = std::numeric_limits<std::uint32_t>::max();
    struct Slot {
        Hash hash = 0;
        std::uint32_t position = none;
    };

    std::vector<Slot> m_slots;  // a power of two in size
    std::size_t m_count = 0;
};

template <class Entry>
ListingIndex<Entry> ListingIndex<Entry>::of(EntriesView<Entry> entries) {
    ListingIndex index;
    index.m_size = entries.size();
    if (entries.empty()) return index;
    auto table = std::make_shared<Table>(entries.size());
    const auto keyAt = [&entries](std::size_t position) -> const std::string& { return entries[position].id(); };
    for (std::size_t position = 0; position < entries.size(); ++position) {
        const std::string& key = entries[position].id();
        const Hash hash = hashOf(key);
        if (table->find(hash, key, keyAt)) {
            index.m_repeats = true;
        } else {
            table->insert(hash, position);
        }
    }
    index.m_tables.push_back(std::move(table));
    return index;
}

template <class Entry>
typename ListingIndex<Entry>::Merged ListingIndex<Entry>::merged(EntriesView<Entry> listed,
                                                                 std::vector<Entry> page) const {
    assert(listed.size() == m_size);
    Merged result{{}, *this};
    if (page.empty()) return result;

    const std::size_t base = m_size;
    std::vector<Entry>& added = result.added;
    added.reserve(page.size());
    auto table = std::make_shared<Table>(page.size());
    const auto listedKey = [&listed](std::size_t position) -> const std::string& { return listed[position].id(); };
    const auto addedKey = [&added, base](std::size_t position) -> const std::string& {
        return added[position - base].id();
    };
    for (Entry& entry : page) {
        const std::string& key = entry.id();
        const Hash hash = hashOf(key);
        const bool known = std::any_of(m_tables.begin(), m_tables.end(), [&](const std::shared_ptr<const Table>& old) {
            return old->find(hash, key, listedKey).has_value();
        });
        if (known || table->find(hash, key, addedKey)) continue;
        table->insert(hash, base + added.size());
        added.push_back(std::move(entry));
    }
    if (added.empty()) return result;

    // Each table stays more than twice the size of the next: a page's table joins the
    // last ones until it is that much smaller than the one before it.
    std::vector<std::shared_ptr<const Table>>& tables = result.index.m_tables;
    tables.push_back(std::move(table));
    while (tables.size() >= 2 && tables[tables.size() - 2]->count() <= 2 * tables.back()->count()) {
        std::shared_ptr<const Table> joined = Table::joined(*tables[tables.size() - 2], *tables.back());
        tables.pop_back();
        tables.back() = std::move(joined);
    }
    result.index.m_size = base + added.size();
    return result;
}

template <class Entry>
std::optional<std::size_t> ListingIndex<Entry>::find(std::string_view key, EntriesView<Entry> listed) const {
    const Hash hash = hashOf(key);
    const auto keyAt = [&listed](std::size_t position) -> const std::string& { return listed[position].id(); };
    for (const std::shared_ptr<const Table>& table : m_tables) {
        if (std::optional<std::size_t> position = table->find(hash, key, keyAt)) return position;
    }
    return std::nullopt;
}

template class ListingIndex<ObjectItem>;
template class ListingIndex<ObjectPrefix>;

}  // namespace tarn
