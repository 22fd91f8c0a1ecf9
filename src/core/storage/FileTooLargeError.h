#pragma once

#include <cstdint>
#include <stdexcept>

namespace tarn {

// A file larger than one object may be (5 TiB in S3): refused before anything is
// sent, since the server would only refuse it after every part had gone up.
class FileTooLargeError : public std::runtime_error {
public:
    FileTooLargeError(std::int64_t fileSize, std::int64_t limit);

    std::int64_t fileSize() const { return m_fileSize; }
    std::int64_t limit() const { return m_limit; }

private:
    std::int64_t m_fileSize;
    std::int64_t m_limit;
};

}  // namespace tarn
