#include "core/storage/CancelledError.h"

namespace tarn {

const char* CancelledError::what() const noexcept {
    return "The operation was cancelled.";
}

}  // namespace tarn
