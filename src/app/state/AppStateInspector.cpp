#include "app/state/AppState.h"

namespace tarn {

// Filled in with object details and inline previews.
QCoro::Task<> AppState::loadObjectDetails(ObjectItem) { co_return; }
QCoro::Task<> AppState::loadInlinePreview(ObjectItem, int) { co_return; }
void AppState::togglePreviewPanel() {}

}  // namespace tarn
