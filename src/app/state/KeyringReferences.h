#pragma once

#include "core/config/ConfigModels.h"

#include <mutex>
#include <string>
#include <unordered_set>
#include <vector>

namespace tarn {

// Which keyring items the program still needs, readable on the keyring's own thread.
// The start-up clean-up judges every item there, in the order of the other keyring
// writes, against what is needed at that very moment: the configuration of then
// (which the main thread hands over at every change) and every secret this run has
// stored. So an account added again under an old name, while start-up still waits,
// keeps the secret it has just stored, whichever of the two goes first. The removal
// of an account judges its items the same way.
class KeyringReferences {
public:
    // The configuration now and its buckets (main thread, at every change).
    void follow(const AppConfig& config, const std::vector<BucketConfig>& buckets);
    // A secret this run has just stored under `account` (keyring thread): it was
    // written to be used, though the configuration may not name it yet. Needed until
    // a configuration that names the account has been followed; from then on, only
    // while the configuration names it.
    void noteStored(const std::string& account);
    // Whether the item of `account` is needed: the secret of a profile's account, a
    // CDN token key of a configured bucket, or a secret stored by this run.
    bool needs(const std::string& account) const;

private:
    mutable std::mutex m_mutex;
    std::unordered_set<std::string> m_accounts;
    std::unordered_set<std::string> m_bucketIDs;
    std::unordered_set<std::string> m_stored;
};

}  // namespace tarn
