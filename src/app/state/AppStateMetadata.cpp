#include "app/state/AppState.h"

namespace tarn {

// Filled in with metadata editing.
void AppState::startEditMetadata() {}
void AppState::saveMetadata() {}

}  // namespace tarn
