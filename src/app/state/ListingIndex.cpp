#include "app/state/ListingIndex.h"

#include <algorithm>
#include <functional>
#include <string>
#include <utility>

namespace tarn {

namespace {

constexpr std::size_t minimumSlots = 1024;

}  // namespace

template <class Entry>
ListingIndex<Entry>::ListingIndex(std::vector<Entry>& entries) : m_entries(entries) {}

template <class Entry>
std::size_t ListingIndex<Entry>::appendNew(std::vector<Entry> page) {
    // The first page arrives whole; it is indexed when the first further page does.
    if (m_indexed > m_entries.size()) reset();
    for (; m_indexed < m_entries.size(); ++m_indexed) insert(m_indexed);

    const std::size_t before = m_entries.size();
    for (Entry& entry : page) {
        // The table compares the listing's own entries, so a candidate joins the
        // listing first and leaves it again when its key is known.
        m_entries.push_back(std::move(entry));
        if (!insert(m_entries.size() - 1)) m_entries.pop_back();
    }
    m_indexed = m_entries.size();
    return m_indexed - before;
}

template <class Entry>
void ListingIndex<Entry>::reset() {
    m_slots = {};
    m_used = 0;
    m_indexed = 0;
}

template <class Entry>
bool ListingIndex<Entry>::insert(std::size_t position) {
    if ((m_used + 1) * 2 > m_slots.size()) grow();
    const std::string& key = m_entries[position].id();
    const std::size_t hash = std::hash<std::string>{}(key);
    const std::size_t mask = m_slots.size() - 1;
    for (std::size_t i = hash & mask;; i = (i + 1) & mask) {
        Slot& slot = m_slots[i];
        if (slot.position == none) {
            slot = {hash, position};
            ++m_used;
            return true;
        }
        if (slot.hash == hash && m_entries[slot.position].id() == key) return false;
    }
}

template <class Entry>
void ListingIndex<Entry>::grow() {
    std::vector<Slot> old = std::exchange(m_slots, std::vector<Slot>(std::max(minimumSlots, m_slots.size() * 2)));
    const std::size_t mask = m_slots.size() - 1;
    for (const Slot& slot : old) {
        if (slot.position == none) continue;
        std::size_t i = slot.hash & mask;
        while (m_slots[i].position != none) i = (i + 1) & mask;
        m_slots[i] = slot;
    }
}

template class ListingIndex<ObjectItem>;
template class ListingIndex<ObjectPrefix>;

}  // namespace tarn
