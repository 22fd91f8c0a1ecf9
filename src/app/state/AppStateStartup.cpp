#include "app/state/AppState.h"

namespace tarn {

// Filled in with start-up loading.
QCoro::Task<> AppState::loadIfNeeded() { co_return; }

}  // namespace tarn
