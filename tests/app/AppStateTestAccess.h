#pragma once

#include "app/state/AppState.h"
#include "app/transfers/TransferCenter.h"

#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace tarn {

// Puts a state or a queue into a situation that only later operations (navigation,
// the scheduler) would produce, so that what reads it can be tested now.
struct AppStateTestAccess {
    static void showListing(AppState& state, std::optional<Uuid> selectedBucketID, std::optional<Uuid> listingBucketID,
                            std::string currentPrefix, std::vector<ObjectItem> objects,
                            std::vector<ObjectPrefix> prefixes = {}) {
        state.setSelectedBucketID(std::move(selectedBucketID));
        state.m_listingBucketID = std::move(listingBucketID);
        state.m_navigationTarget = currentPrefix;
        state.setCurrentPrefix(std::move(currentPrefix));
        state.setObjects(std::move(objects));
        state.setPrefixes(std::move(prefixes));
    }

    static void setSuppressSearchReload(AppState& state, bool suppress) { state.m_suppressSearchReload = suppress; }

    static void setShowingPreview(AppState& state, bool showing) { state.setShowingPreview(showing); }

    static const std::vector<std::string>& backStack(const AppState& state) { return state.m_backStack; }
    static const std::vector<std::string>& forwardStack(const AppState& state) { return state.m_forwardStack; }

    static void setTasks(TransferCenter& transfers, std::vector<TransferTask> tasks) {
        transfers.m_tasks = std::move(tasks);
        emit transfers.tasksChanged();
    }
};

}  // namespace tarn
