#include "app/state/TakenKeys.h"

#include <algorithm>
#include <utility>

namespace tarn {

TakenKeys::TakenKeys(std::shared_ptr<const KeySet> listed) : m_listed(std::move(listed)) {}

bool TakenKeys::isListed(const std::string& key) const {
    if (!m_listed || !m_listed->contains(key) || m_removed.contains(key)) return false;
    return std::none_of(m_removedFolders.begin(), m_removedFolders.end(),
                        [&key](const std::string& folder) { return key.starts_with(folder); });
}

bool TakenKeys::contains(const std::string& key) const { return m_added.contains(key) || isListed(key); }

bool TakenKeys::containsUnder(const std::string& prefix) const {
    const auto under = [&prefix](const std::string& key) { return key.starts_with(prefix); };
    if (std::any_of(m_added.begin(), m_added.end(), under)) return true;
    if (!m_listed) return false;
    return std::any_of(m_listed->begin(), m_listed->end(),
                       [&](const std::string& key) { return under(key) && isListed(key); });
}

void TakenKeys::insert(std::string key) { m_added.insert(std::move(key)); }

void TakenKeys::insert(KeySet keys) {
    if (keys.size() > m_added.size()) std::swap(keys, m_added);
    m_added.insert(std::make_move_iterator(keys.begin()), std::make_move_iterator(keys.end()));
}

void TakenKeys::erase(const std::string& key) {
    m_added.erase(key);
    m_removed.insert(key);
}

void TakenKeys::eraseUnder(const std::string& prefix) {
    std::erase_if(m_added, [&prefix](const std::string& key) { return key.starts_with(prefix); });
    m_removedFolders.push_back(prefix);
}

KeySet TakenKeys::toSet() const {
    KeySet keys = m_added;
    if (m_listed) {
        keys.reserve(keys.size() + m_listed->size());
        for (const std::string& key : *m_listed) {
            if (isListed(key)) keys.insert(key);
        }
    }
    return keys;
}

}  // namespace tarn
