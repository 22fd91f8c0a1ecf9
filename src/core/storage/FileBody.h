#pragma once

#include "core/crypto/Crypto.h"
#include "core/crypto/Sha256Stream.h"
#include "core/files/FileDescriptor.h"
#include "core/storage/HttpExchange.h"
#include "core/storage/LocalFile.h"

#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <stop_token>
#include <string>

namespace tarn {

// A local file as the body of one upload request, never held in memory as a whole:
// a first pass reads it for the SHA-256 the signature needs, the second reads it
// again while it goes out. The second pass hashes too, and fails before the last
// byte has gone out when the bytes differ from the first pass, so a file that is
// written to in between is never stored as a mix of old and new.
class FileBody {
public:
    // Opens the file as RegularFile does (from its chosen folder, when it has one).
    // Throws std::filesystem::filesystem_error when it cannot be opened, is a symbolic
    // link or is not a regular file (a pipe or device is refused without waiting for
    // it), and FileTooLargeError when it holds more than `limit` bytes; nothing is
    // read then.
    FileBody(const LocalFile& file, std::int64_t limit);

    std::int64_t size() const { return m_size; }

    // The first pass: the SHA-256 of the file's bytes in lower-case hex. A stop
    // request ends it with CancelledError between two pieces read. Throws
    // std::filesystem::filesystem_error when the file cannot be read, FileChangedError
    // when its length differs from what it was when it was opened (the second pass
    // throws it too, for other bytes than the first pass read).
    std::string sha256Hex(const std::stop_token& stop);

    // The second pass, for the transport; reads straight into the buffers it is
    // given. Valid while this object lives, and only after sha256Hex().
    BodySource source();

private:
    std::size_t read(std::int64_t offset, std::span<std::uint8_t> buffer);
    // Fills `buffer` from `offset`; a file that ends earlier has changed.
    void readExactly(std::int64_t offset, std::span<std::uint8_t> buffer) const;
    [[noreturn]] void changed() const;

    std::filesystem::path m_path;
    FileDescriptor m_file;
    std::int64_t m_size = 0;
    std::optional<Crypto::Sha256Digest> m_digest;
    Sha256Stream m_check;
    std::int64_t m_checked = 0;
};

}  // namespace tarn
