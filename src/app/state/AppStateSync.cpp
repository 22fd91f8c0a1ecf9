#include "app/state/AppState.h"

namespace tarn {

// Filled in with the bucket sync.
QCoro::Task<> AppState::syncAllBuckets() { co_return; }

}  // namespace tarn
