#pragma once

#include <sys/resource.h>

namespace tarn::test {

// While it lives, this process can open `more` files beyond those open now: the
// next open fails with EMFILE, as in a program out of file descriptors, for root too
// (permission bits do not stop root). Other threads must not open files meanwhile.
class ScopedOpenFileLimit {
public:
    explicit ScopedOpenFileLimit(int more);
    ~ScopedOpenFileLimit();
    ScopedOpenFileLimit(const ScopedOpenFileLimit&) = delete;
    ScopedOpenFileLimit& operator=(const ScopedOpenFileLimit&) = delete;

private:
    rlimit m_saved{};
};

}  // namespace tarn::test
