#pragma once

#include "app/state/KeySet.h"

#include <memory>
#include <string>
#include <vector>

namespace tarn {

// Keys of one bucket that an upload or a rename must treat as taken: a set of listed
// keys shared with everyone who asked while the listing stayed the same (it is built
// once per listing, not once per upload task), with the changes since laid over it.
// A plain value: copies are cheap and may go to another thread.
class TakenKeys {
public:
    TakenKeys() = default;
    explicit TakenKeys(std::shared_ptr<const KeySet> listed);

    bool contains(const std::string& key) const;
    // Whether a taken key starts with `prefix` (a folder that is not empty). Reads
    // every listed key: for single user actions, not for loops.
    bool containsUnder(const std::string& prefix) const;
    void insert(std::string key);
    // Takes the keys over; costs the smaller of the two sets' sizes.
    void insert(KeySet keys);
    void erase(const std::string& key);
    // Every key below the folder `prefix` is no longer taken.
    void eraseUnder(const std::string& prefix);
    // Every taken key in one set.
    KeySet toSet() const;

private:
    bool isListed(const std::string& key) const;

    std::shared_ptr<const KeySet> m_listed;
    KeySet m_added;                            // taken whatever the listing says
    KeySet m_removed;                          // listed, but gone since
    std::vector<std::string> m_removedFolders;  // listed keys below these are gone since
};

}  // namespace tarn
