#include "app/state/AppState.h"

#include "app/transfers/TransferCenter.h"

#include <algorithm>
#include <string_view>

namespace tarn {

namespace {

// The selection key of a transfer task's row: this prefix and the task's UUID.
constexpr std::string_view placeholderPrefix = "upload:";

}  // namespace

void AppState::reloadAfterMutation(std::optional<Uuid> changedBucketID) {
    // The bucket the change was made in, which need not be the one shown any more: a
    // change elsewhere leaves the shown folder, and the user's selection in it, alone.
    if (!changedBucketID) changedBucketID = m_selectedBucketID;
    if (changedBucketID == m_selectedBucketID) refreshDirectory();
    if (changedBucketID) recountBucketUsage(*changedBucketID);
}

void AppState::refresh() {
    refreshDirectory();
    if (m_selectedBucketID) recountBucketUsage(*m_selectedBucketID);
}

void AppState::refreshAfterTransfers() {
    if (m_isInlineRenaming) {
        // The rename's end asks again.
        m_refreshAfterTransfersPending = true;
        return;
    }
    if (m_selectedObjectKeys.size() == 1) {
        const std::string& key = *m_selectedObjectKeys.begin();
        // A selected transfer row stands for the object or folder its task made.
        const std::optional<Uuid> taskID =
            key.starts_with(placeholderPrefix) ? Uuid::parse(std::string_view(key).substr(placeholderPrefix.size()))
                                               : std::nullopt;
        if (taskID) {
            const std::vector<TransferTask>& tasks = transferTasks();
            const auto task =
                std::find_if(tasks.begin(), tasks.end(), [&](const TransferTask& t) { return t.id == *taskID; });
            m_pendingSelectKey = task == tasks.end() ? std::nullopt : task->placeholderRealKey();
        } else {
            m_pendingSelectKey = key;
        }
    }
    refreshDirectory();
}

QCoro::Task<> AppState::refreshInspector() {
    const int epoch = ++m_inspectorEpoch;
    const std::optional<ObjectItem> item = inspectorObject();
    if (!item) {
        setObjectDetails(std::nullopt);
        setInlinePreviewState(inspectorPrefix() ? InlinePreviewState::folder() : InlinePreviewState::empty());
        co_return;
    }
    if (!m_showingPreview) co_return;
    setObjectDetails(std::nullopt);
    setInlinePreviewState(InlinePreviewState::loading(item->key));

    const QPointer<AppState> self(this);
    co_await loadObjectDetails(*item);
    if (!self || m_inspectorEpoch != epoch) co_return;
    const std::optional<ObjectItem> shown = inspectorObject();
    if (!shown || shown->key != item->key) co_return;
    co_await loadInlinePreview(*item, epoch);
}

}  // namespace tarn
