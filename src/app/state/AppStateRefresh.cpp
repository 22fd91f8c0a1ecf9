#include "app/state/AppState.h"

namespace tarn {

// Filled in with navigation and listing.
void AppState::reloadAfterMutation() {}
void AppState::refreshAfterTransfers() {}

}  // namespace tarn
