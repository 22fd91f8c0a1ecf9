#pragma once

#include <cstdint>
#include <stdexcept>

namespace tarn {

// A file larger than the way it is to go up allows: refused before anything is read
// or sent, since the server would only refuse it once every byte had gone up.
class FileTooLargeError : public std::runtime_error {
public:
    enum class Limit {
        object,         // 5 TiB, the largest object, whatever the route
        singleRequest,  // 5 GiB, the most one upload request may carry
    };

    FileTooLargeError(std::int64_t fileSize, std::int64_t limit, Limit kind = Limit::object);

    std::int64_t fileSize() const { return m_fileSize; }
    std::int64_t limit() const { return m_limit; }
    Limit kind() const { return m_kind; }

private:
    std::int64_t m_fileSize;
    std::int64_t m_limit;
    Limit m_kind;
};

}  // namespace tarn
