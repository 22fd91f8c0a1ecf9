#pragma once

#include <optional>
#include <string>

namespace tarn::test {

// Sets an environment variable (unsets it for a null value) for the life of the
// object, then puts back what was there before.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const char* value);
    ~ScopedEnv();
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

private:
    const char* m_name;
    std::optional<std::string> m_old;
};

}  // namespace tarn::test
