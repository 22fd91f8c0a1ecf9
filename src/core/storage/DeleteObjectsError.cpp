#include "core/storage/DeleteObjectsError.h"

namespace tarn {

namespace {

// Enough keys to recognise what went wrong without flooding a message box.
constexpr std::size_t kNamedKeys = 5;

}  // namespace

DeleteObjectsError::DeleteObjectsError(std::vector<DeleteFailure> failures, std::size_t requested)
    : m_failures(std::move(failures)), m_requested(requested) {
    m_description = std::to_string(m_failures.size()) + " of " + std::to_string(m_requested) +
                    (m_requested == 1 ? " object was" : " objects were") + " not deleted: ";
    for (std::size_t i = 0; i < m_failures.size() && i < kNamedKeys; ++i) {
        const DeleteFailure& failure = m_failures[i];
        if (i > 0) m_description += ", ";
        m_description += "\"" + failure.key + "\"";
        if (failure.code) m_description += " (" + *failure.code + ")";
    }
    if (m_failures.size() > kNamedKeys) {
        m_description += " and " + std::to_string(m_failures.size() - kNamedKeys) + " more";
    }
    m_description += ".";
}

}  // namespace tarn
