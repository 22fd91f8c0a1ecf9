#include "core/storage/RefusedInputError.h"

namespace tarn {

RefusedInputError::RefusedInputError(Reason reason, std::string subject, const std::string& description)
    : std::invalid_argument(description), m_reason(reason), m_subject(std::move(subject)) {}

}  // namespace tarn
