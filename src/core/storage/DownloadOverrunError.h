#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>

namespace tarn {

// A download whose body went on past what was announced for the object: the size
// its listing gave, or the answer's own Content-Length. A server that never ends a
// body would otherwise fill the disk (a preview, an opened file, a folder download),
// so the download stops at the first byte too many and keeps nothing.
class DownloadOverrunError : public std::runtime_error {
public:
    DownloadOverrunError(std::string key, std::int64_t announced);

    const std::string& key() const { return m_key; }
    // The most the download was to receive, in bytes.
    std::int64_t announced() const { return m_announced; }

private:
    std::string m_key;
    std::int64_t m_announced;
};

}  // namespace tarn
