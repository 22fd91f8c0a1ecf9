#include "core/storage/WriteBatcher.h"

#include <algorithm>

namespace tarn {

WriteBatcher::WriteBatcher(std::size_t batchBytes, Sink sink)
    : m_batchBytes(std::max<std::size_t>(batchBytes, 1)), m_sink(std::move(sink)) {}

void WriteBatcher::append(std::span<const std::uint8_t> bytes) {
    m_size += static_cast<std::int64_t>(bytes.size());
    // What is held goes first, so the file's bytes stay in order.
    if (!m_held.empty()) {
        const std::size_t taken = std::min(m_batchBytes - m_held.size(), bytes.size());
        m_held.insert(m_held.end(), bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(taken));
        bytes = bytes.subspan(taken);
        if (m_held.size() < m_batchBytes) return;
        flush();
    }
    while (bytes.size() >= m_batchBytes) {
        m_sink(bytes.first(m_batchBytes));
        bytes = bytes.subspan(m_batchBytes);
    }
    if (bytes.empty()) return;
    // Reserved once: the batch never grows past its first allocation.
    if (m_held.capacity() < m_batchBytes) m_held.reserve(m_batchBytes);
    m_held.insert(m_held.end(), bytes.begin(), bytes.end());
}

void WriteBatcher::flush() {
    if (m_held.empty()) return;
    m_sink(m_held);
    m_held.clear();
}

}  // namespace tarn
