#include "ScopedOpenFileLimit.h"

#include <fcntl.h>
#include <unistd.h>

#include <vector>

namespace tarn::test {

ScopedOpenFileLimit::ScopedOpenFileLimit(int more) {
    ::getrlimit(RLIMIT_NOFILE, &m_saved);
    // The limit bounds descriptor numbers, not their count: free numbers below it
    // would let more files open. Find the lowest `more` free numbers.
    std::vector<int> taken;
    for (int i = 0; i < more; ++i) taken.push_back(::fcntl(0, F_DUPFD_CLOEXEC, 0));
    rlimit limited = m_saved;
    limited.rlim_cur = static_cast<rlim_t>(taken.back() + 1);
    for (const int fd : taken) ::close(fd);
    ::setrlimit(RLIMIT_NOFILE, &limited);
}

ScopedOpenFileLimit::~ScopedOpenFileLimit() { ::setrlimit(RLIMIT_NOFILE, &m_saved); }

}  // namespace tarn::test
