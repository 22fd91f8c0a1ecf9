#include "core/storage/PartStalledError.h"

#include <cmath>
#include <string>

namespace tarn {

PartStalledError::PartStalledError(double seconds)
    : std::runtime_error("No progress for " + std::to_string(std::llround(seconds)) + " s; connection closed."),
      m_seconds(seconds) {}

}  // namespace tarn
