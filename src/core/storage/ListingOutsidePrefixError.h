#pragma once

#include <stdexcept>
#include <string>

namespace tarn {

// A listing asked for the keys under a prefix named a key (or a folder) outside it: a
// server that ignores the prefix, a proxy that drops it, a back end that compares
// without regard to letter case. Whatever acted on such an answer (a folder delete, a
// move, a download) would act on keys the user never chose, so the answer is refused
// as a whole.
class ListingOutsidePrefixError : public std::runtime_error {
public:
    ListingOutsidePrefixError(std::string prefix, std::string key);

    // The prefix asked for, and the first key or folder listed outside it.
    const std::string& prefix() const { return m_prefix; }
    const std::string& key() const { return m_key; }

private:
    std::string m_prefix;
    std::string m_key;
};

}  // namespace tarn
