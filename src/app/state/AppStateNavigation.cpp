#include "app/state/AppState.h"

namespace tarn {

// Moves are measured from the folder the user is opening (the newest move wins),
// while the history records the folders the user has seen.

void AppState::enterPrefix(const std::string& prefix) {
    if (prefix == m_navigationTarget) return;
    m_backStack.push_back(m_currentPrefix);
    m_forwardStack.clear();
    navigate(prefix);
}

void AppState::goToParent() {
    if (m_navigationTarget.empty()) return;
    std::string_view folder = m_navigationTarget;
    if (folder.ends_with('/')) folder.remove_suffix(1);
    const std::size_t slash = folder.rfind('/');
    enterPrefix(slash == std::string_view::npos ? std::string() : std::string(folder.substr(0, slash + 1)));
}

void AppState::goBack() { stepThroughHistory(m_backStack, m_forwardStack); }

void AppState::goForward() { stepThroughHistory(m_forwardStack, m_backStack); }

void AppState::stepThroughHistory(std::vector<std::string>& from, std::vector<std::string>& to) {
    if (from.empty()) return;
    std::string prefix = std::move(from.back());
    from.pop_back();
    to.push_back(m_currentPrefix);
    navigate(std::move(prefix));
}

void AppState::navigate(std::string prefix) {
    beginNavigation(prefix);
    cancelLoadMore();
    setSelectedObjectKey(std::nullopt);
    setSelectedObjectKeys({});
    clearSearchQuietly();
    startDetached(loadDirectory(std::move(prefix)));
}

}  // namespace tarn
