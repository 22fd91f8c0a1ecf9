#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>
#include <vector>

namespace tarn {

// Gathers the small pieces a body arrives in and hands them on in batches, so that
// saving a download costs one write to the file per batch instead of one per read
// from the network. Holds at most one batch; nothing is handed on after a sink
// failure is thrown.
class WriteBatcher {
public:
    using Sink = std::function<void(std::span<const std::uint8_t> bytes)>;

    WriteBatcher(std::size_t batchBytes, Sink sink);

    // Takes the bytes, handing on each batch as it fills. A piece of a whole batch or
    // more, arriving while nothing is held, goes on as it is, without a copy.
    void append(std::span<const std::uint8_t> bytes);
    // Hands on what is held. Call it before the data is used (a file flushed, renamed).
    void flush();
    // Bytes taken so far, handed on or held.
    std::int64_t size() const { return m_size; }

private:
    std::size_t m_batchBytes;
    Sink m_sink;
    std::vector<std::uint8_t> m_held;
    std::int64_t m_size = 0;
};

}  // namespace tarn
