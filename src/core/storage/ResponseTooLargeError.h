#pragma once

#include <cstddef>
#include <stdexcept>

namespace tarn {

// An answer whose body passed the size the client reads into memory (a listing, a
// bucket list, any XML document). Raised as soon as the announced length or the
// bytes received pass the limit, so an endless body ends the exchange instead of
// filling memory.
class ResponseTooLargeError : public std::runtime_error {
public:
    explicit ResponseTooLargeError(std::size_t limit);

    std::size_t limit() const { return m_limit; }

private:
    std::size_t m_limit;
};

}  // namespace tarn
