#include "app/state/AppState.h"

#include "core/config/ConfigStore.h"

#include <QLoggingCategory>

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <iterator>

namespace tarn {

namespace {

Q_LOGGING_CATEGORY(historyLog, "tarn.history")

}  // namespace

void AppState::recordHistory(const QString& action, const QString& detail, const std::string& bucketName,
                             bool succeeded, std::optional<std::int64_t> bytes, std::optional<double> durationSeconds) {
    // The file cannot hold an infinite or undefined number, and one such entry would
    // make every later save of the configuration fail.
    if (durationSeconds && !std::isfinite(*durationSeconds)) durationSeconds.reset();
    OperationHistoryEntry entry;
    entry.id = Uuid::random();
    // The file keeps whole seconds; so does memory, so a reload reads back the same entry.
    entry.date = std::chrono::floor<std::chrono::seconds>(std::chrono::system_clock::now());
    entry.bucketName = bucketName;
    entry.action = action.toStdString();
    entry.detail = detail.toStdString();
    entry.succeeded = succeeded;
    entry.bytes = bytes;
    entry.duration = durationSeconds;
    m_historyBuffer.insert(m_historyBuffer.begin(), std::move(entry));
    if (m_historyBuffer.size() > historyLimit) m_historyBuffer.resize(historyLimit);

    // A pending flush writes this entry too.
    if (m_historyFlushStop.stop_possible()) return;
    m_historyFlushStop = std::stop_source();
    startDetached(flushHistoryLater(m_historyFlushStop.get_token()));
}

QCoro::Task<> AppState::flushHistoryLater(std::stop_token stop) {
    const QPointer<AppState> self(this);
    co_await stoppableSleep(historyFlushDelay, stop);
    if (!self) co_return;
    // Idle again before writing: an entry recorded from here on schedules a flush of its own.
    m_historyFlushStop = std::stop_source(std::nostopstate);
    flushHistory();
}

void AppState::flushHistory() {
    if (takeHistoryBuffer()) saveConfig();
}

std::vector<OperationHistoryEntry> AppState::historyEntries() const {
    std::vector<OperationHistoryEntry> entries = m_historyBuffer;
    const std::vector<OperationHistoryEntry>& stored = m_config.history;
    const std::size_t room = historyLimit - std::min(historyLimit, entries.size());
    const auto taken = static_cast<std::ptrdiff_t>(std::min(room, stored.size()));
    entries.insert(entries.end(), stored.begin(), stored.begin() + taken);
    return entries;
}

bool AppState::takeHistoryBuffer() {
    if (m_historyBuffer.empty()) return false;
    std::vector<OperationHistoryEntry>& history = m_config.history;
    history.insert(history.begin(), std::make_move_iterator(m_historyBuffer.begin()),
                   std::make_move_iterator(m_historyBuffer.end()));
    m_historyBuffer.clear();
    if (history.size() > historyLimit) history.resize(historyLimit);
    return true;
}

void AppState::flushHistoryAtExit() {
    if (!takeHistoryBuffer()) return;
    try {
        m_configStore.save(m_config);
    } catch (const std::exception& error) {
        // Nobody is left to show a toast to.
        qCWarning(historyLog) << "the last history entries could not be saved:" << error.what();
    }
}

}  // namespace tarn
