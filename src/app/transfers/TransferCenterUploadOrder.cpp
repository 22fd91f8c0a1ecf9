#include "app/transfers/TransferCenter.h"

#include <utility>

namespace tarn {

UploadPlace TransferCenter::reserveUploadPlace() {
    const std::uint64_t number = m_nextUploadPlace++;
    m_uploadPlaces.emplace(number, std::nullopt);
    return UploadPlace(this, number);
}

void TransferCenter::giveUpUploadPlace(std::uint64_t number) { fillUploadPlace(number, {}); }

void TransferCenter::fillUploadPlace(std::uint64_t number, std::vector<TransferTask> tasks) {
    const auto place = m_uploadPlaces.find(number);
    if (place == m_uploadPlaces.end()) return;
    place->second = std::move(tasks);

    bool added = false;
    while (!m_uploadPlaces.empty() && m_uploadPlaces.begin()->second) {
        std::vector<TransferTask>& ready = *m_uploadPlaces.begin()->second;
        if (!ready.empty()) {
            // The counters are not cleared here, even when the queue is idle: a round
            // ends only once nothing waits or runs and no place is outstanding, and
            // its end clears them (notifyUploadRoundIfDone, which every upload's end
            // reaches). Tasks of a place that was outstanding when the others ended
            // belong to that round, which is not over yet.
            for (TransferTask& task : ready) {
                m_queue.push_back(task.id);
                m_tasks.push_back(std::move(task));
            }
            added = true;
        }
        m_uploadPlaces.erase(m_uploadPlaces.begin());
    }
    // One change for every task that joined.
    if (added) notifyRearranged();
    pumpIfIdle();
    // The round may have waited only for places that came to nothing.
    if (!added) notifyUploadRoundIfDone();
}

}  // namespace tarn
