#include "core/storage/ArchivedObjectError.h"

#include <utility>

namespace tarn {

ArchivedObjectError::ArchivedObjectError(std::string key, std::string storageClass)
    : std::runtime_error("\"" + key + "\" is archived (" + storageClass +
                         ") and cannot be copied until it is restored; it was left as it is."),
      m_key(std::move(key)), m_storageClass(std::move(storageClass)) {}

}  // namespace tarn
