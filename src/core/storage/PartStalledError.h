#pragma once

#include <stdexcept>

namespace tarn {

// A part upload whose count of bytes sent stood still for the stall limit (the wait
// for the answer included); its connection has been closed. Transient: the part is
// tried again.
class PartStalledError : public std::runtime_error {
public:
    static constexpr const char* domain = "TarnManager.PartStalled";
    static constexpr int code = 1;

    explicit PartStalledError(double seconds);

    // The stall limit that was exceeded, not the time actually waited.
    double seconds() const { return m_seconds; }

private:
    double m_seconds;
};

}  // namespace tarn
