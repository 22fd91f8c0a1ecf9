#include "ScopedEnv.h"

#include <stdlib.h>

namespace tarn::test {

namespace {

void assign(const char* name, const char* value) {
    if (value != nullptr) {
        ::setenv(name, value, 1);
    } else {
        ::unsetenv(name);
    }
}

}  // namespace

ScopedEnv::ScopedEnv(const char* name, const char* value) : m_name(name) {
    if (const char* old = ::getenv(name)) m_old = old;
    assign(name, value);
}

ScopedEnv::~ScopedEnv() { assign(m_name, m_old ? m_old->c_str() : nullptr); }

}  // namespace tarn::test
