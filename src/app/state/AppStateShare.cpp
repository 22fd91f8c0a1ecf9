#include "app/state/AppState.h"

namespace tarn {

// Filled in with share links.
QCoro::Task<ShareOption> AppState::preferredShareOption() { co_return ShareOption{}; }
QCoro::Task<std::optional<std::string>> AppState::shareLink(ShareLinkKind, ObjectItem, std::optional<Uuid>,
                                                            std::int64_t, std::int64_t, std::int64_t) {
    co_return std::nullopt;
}

}  // namespace tarn
