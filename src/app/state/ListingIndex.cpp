#include "app/state/ListingIndex.h"

#include <functional>
#include <string>

namespace tarn {

template <class Entry>
ListingIndex<Entry>::ListingIndex(std::vector<Entry>& entries)
    : m_entries(entries), m_positions(0, KeyHash{&entries}, SameKey{&entries}) {}

template <class Entry>
std::size_t ListingIndex<Entry>::appendNew(std::vector<Entry> page) {
    // The first page arrives whole; it is indexed when the first further page does.
    if (m_indexed > m_entries.size()) reset();
    for (; m_indexed < m_entries.size(); ++m_indexed) m_positions.insert(m_indexed);

    const std::size_t before = m_entries.size();
    for (Entry& entry : page) {
        // The set hashes and compares the listing's own entries, so a candidate
        // joins the listing first and leaves it again when its key is known.
        m_entries.push_back(std::move(entry));
        if (!m_positions.insert(m_entries.size() - 1).second) m_entries.pop_back();
    }
    m_indexed = m_entries.size();
    return m_indexed - before;
}

template <class Entry>
void ListingIndex<Entry>::reset() {
    m_positions.clear();
    m_indexed = 0;
}

template <class Entry>
std::size_t ListingIndex<Entry>::KeyHash::operator()(std::size_t position) const {
    return std::hash<std::string>{}((*entries)[position].id());
}

template <class Entry>
bool ListingIndex<Entry>::SameKey::operator()(std::size_t left, std::size_t right) const {
    return (*entries)[left].id() == (*entries)[right].id();
}

template class ListingIndex<ObjectItem>;
template class ListingIndex<ObjectPrefix>;

}  // namespace tarn
