#pragma once

#include <exception>

namespace tarn {

// The caller asked the operation to stop (its std::stop_token). Deliberately unrelated
// to every other error type, so a cancelled operation is never reported as a failure.
class CancelledError : public std::exception {
public:
    const char* what() const noexcept override;
};

}  // namespace tarn
