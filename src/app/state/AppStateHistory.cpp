#include "app/state/AppState.h"

namespace tarn {

// Filled in with the history.
void AppState::recordHistory(const QString&, const QString&, const std::string&, bool, std::optional<std::int64_t>,
                             std::optional<double>) {}
void AppState::flushHistory() {}

}  // namespace tarn
