#include "ScopedFileSizeLimit.h"

#include <gtest/gtest.h>

namespace tarn::test {

ScopedFileSizeLimit::ScopedFileSizeLimit(std::size_t bytes) {
    EXPECT_EQ(::getrlimit(RLIMIT_FSIZE, &m_saved), 0);
    m_previousHandler = ::signal(SIGXFSZ, SIG_IGN);
    rlimit limited = m_saved;
    limited.rlim_cur = static_cast<rlim_t>(bytes);
    EXPECT_EQ(::setrlimit(RLIMIT_FSIZE, &limited), 0);
}

ScopedFileSizeLimit::~ScopedFileSizeLimit() {
    ::setrlimit(RLIMIT_FSIZE, &m_saved);
    ::signal(SIGXFSZ, m_previousHandler);
}

}  // namespace tarn::test
