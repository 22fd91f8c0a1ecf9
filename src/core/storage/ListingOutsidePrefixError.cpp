#include "core/storage/ListingOutsidePrefixError.h"

namespace tarn {

ListingOutsidePrefixError::ListingOutsidePrefixError(std::string prefix, std::string key)
    : std::runtime_error("Asked for the contents of \"" + prefix + "\", the server also listed \"" + key +
                         "\", which lies outside it; the listing was not used."),
      m_prefix(std::move(prefix)), m_key(std::move(key)) {}

}  // namespace tarn
