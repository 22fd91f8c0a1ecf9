#include "core/storage/PartUploadError.h"

namespace tarn {

namespace {

std::string describe(const std::exception_ptr& error) {
    if (!error) return "unknown error";
    try {
        std::rethrow_exception(error);
    } catch (const std::exception& caught) {
        return caught.what();
    } catch (...) {
        return "unknown error";
    }
}

}  // namespace

PartUploadError::PartUploadError(int partNumber, int attempts, Cause cause, std::exception_ptr underlying)
    : m_partNumber(partNumber), m_attempts(attempts), m_cause(cause), m_underlying(std::move(underlying)),
      m_description("Part " + std::to_string(partNumber) + " failed after " + std::to_string(attempts) +
                    " attempt(s): " + describe(m_underlying)) {}

}  // namespace tarn
