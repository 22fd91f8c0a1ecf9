#include "core/storage/MultipartProgress.h"

#include <algorithm>

namespace tarn {

MultipartProgress::MultipartProgress(std::int64_t fileSize, std::int64_t completed)
    : m_fileSize(fileSize), m_completed(completed) {}

std::optional<std::int64_t> MultipartProgress::bytes() const {
    const std::lock_guard lock(m_mutex);
    if (m_closed) return std::nullopt;
    std::int64_t total = m_completed;
    for (const auto& [part, inflight] : m_inflight) total += inflight.bytes;
    // Parts that overlap in the count (a retry racing a late report) never show more
    // than the whole file.
    return std::min(total, m_fileSize);
}

void MultipartProgress::start(int part, int attempt) {
    const std::lock_guard lock(m_mutex);
    m_inflight[part] = {attempt, 0};
}

void MultipartProgress::sent(int part, int attempt, std::int64_t bytes) {
    const std::lock_guard lock(m_mutex);
    const auto found = m_inflight.find(part);
    if (found == m_inflight.end() || found->second.attempt != attempt) return;
    found->second.bytes = std::max(found->second.bytes, bytes);
}

void MultipartProgress::clear(int part) {
    const std::lock_guard lock(m_mutex);
    m_inflight.erase(part);
}

void MultipartProgress::complete(int part, std::int64_t bytes) {
    const std::lock_guard lock(m_mutex);
    m_inflight.erase(part);
    m_completed += bytes;
}

void MultipartProgress::close() {
    const std::lock_guard lock(m_mutex);
    m_closed = true;
}

}  // namespace tarn
