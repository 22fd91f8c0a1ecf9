#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>
#include <vector>

namespace tarn {

// Gathers the small pieces a body arrives in and hands them on in batches, so that
// saving a download costs one write to the file per batch instead of one per read
// from the network. Every write is at most one batch: the kernel copies a write into
// the page cache from memory that was just filled, which is cheap while it is still
// in the processor's cache and several times dearer once a batch has outgrown it.
// Holds at most one batch; nothing is handed on after a sink failure is thrown.
class WriteBatcher {
public:
    using Sink = std::function<void(std::span<const std::uint8_t> bytes)>;

    WriteBatcher(std::size_t batchBytes, Sink sink);

    // Takes the bytes, handing on each batch as it fills. The whole batches of a large
    // piece go on from the piece itself, without a copy, once what was held has been
    // topped up and handed on.
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
