#pragma once

#include <sys/resource.h>

#include <csignal>
#include <cstddef>

namespace tarn::test {

// Files this process writes cannot grow past `bytes` while it lives: writes beyond
// fail with EFBIG, as on a full disk, for root too (permission bits do not stop root).
// SIGXFSZ, which would end the process, is ignored meanwhile.
class ScopedFileSizeLimit {
public:
    explicit ScopedFileSizeLimit(std::size_t bytes);
    ~ScopedFileSizeLimit();
    ScopedFileSizeLimit(const ScopedFileSizeLimit&) = delete;
    ScopedFileSizeLimit& operator=(const ScopedFileSizeLimit&) = delete;

private:
    rlimit m_saved{};
    void (*m_previousHandler)(int) = nullptr;
};

}  // namespace tarn::test
