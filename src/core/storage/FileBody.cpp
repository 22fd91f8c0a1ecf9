#include "core/storage/FileBody.h"

#include "core/storage/CancelledError.h"
#include "core/storage/FileChangedError.h"
#include "core/storage/FileTooLargeError.h"
#include "core/storage/RegularFile.h"

#include <unistd.h>

#include <cerrno>
#include <memory>
#include <stdexcept>
#include <system_error>

namespace tarn {

namespace {

namespace fs = std::filesystem;

// Pieces of the first pass: large enough that reading costs few system calls, small
// enough that a stop request is noticed within milliseconds.
constexpr std::size_t kHashPiece = 1024 * 1024;

[[noreturn]] void fail(const std::string& what, const fs::path& path, int error) {
    throw fs::filesystem_error(what, path, std::error_code(error, std::generic_category()));
}

}  // namespace

FileBody::FileBody(const LocalFile& file, std::int64_t limit) : m_path(file.path), m_file(-1) {
    RegularFile opened = RegularFile::openForReading(file);
    m_file = std::move(opened.descriptor);
    m_size = opened.size;
    if (m_size > limit) throw FileTooLargeError(m_size, limit, FileTooLargeError::Limit::singleRequest);
}

std::string FileBody::sha256Hex(const std::stop_token& stop) {
    const auto piece = std::make_unique_for_overwrite<std::uint8_t[]>(kHashPiece);
    Sha256Stream hash;
    for (std::int64_t offset = 0; offset < m_size;) {
        if (stop.stop_requested()) throw CancelledError();
        const std::span<std::uint8_t> bytes(piece.get(),
                                            static_cast<std::size_t>(std::min<std::int64_t>(kHashPiece, m_size - offset)));
        readExactly(offset, bytes);
        hash.update(bytes);
        offset += static_cast<std::int64_t>(bytes.size());
    }
    // One byte more shows a file that has grown since it was opened.
    std::uint8_t extra = 0;
    if (::pread(m_file.get(), &extra, 1, static_cast<off_t>(m_size)) > 0) changed();
    m_digest = hash.finish();
    return Crypto::hexLower(*m_digest);
}

BodySource FileBody::source() {
    if (!m_digest) throw std::logic_error("the body was sent before it was hashed");
    return {m_size, [this](std::int64_t offset, std::span<std::uint8_t> buffer) { return read(offset, buffer); }};
}

std::size_t FileBody::read(std::int64_t offset, std::span<std::uint8_t> buffer) {
    if (offset == 0) {
        // The first read, or a resend from the start: the check starts over.
        m_check.reset();
        m_checked = 0;
    }
    if (offset != m_checked) throw std::logic_error("the body was read out of order");
    const std::span<std::uint8_t> bytes =
        buffer.first(static_cast<std::size_t>(std::min<std::int64_t>(static_cast<std::int64_t>(buffer.size()),
                                                                    m_size - offset)));
    readExactly(offset, bytes);
    m_check.update(bytes);
    m_checked += static_cast<std::int64_t>(bytes.size());
    // Refused before the last piece goes out, so the server never has the whole body.
    if (m_checked == m_size && m_check.finish() != *m_digest) changed();
    return bytes.size();
}

void FileBody::readExactly(std::int64_t offset, std::span<std::uint8_t> buffer) const {
    std::size_t filled = 0;
    while (filled < buffer.size()) {
        const ssize_t count = ::pread(m_file.get(), buffer.data() + filled, buffer.size() - filled,
                                      static_cast<off_t>(offset + static_cast<std::int64_t>(filled)));
        if (count < 0) {
            if (errno == EINTR) continue;
            fail("Could not read the file", m_path, errno);
        }
        if (count == 0) changed();
        filled += static_cast<std::size_t>(count);
    }
}

void FileBody::changed() const { throw FileChangedError(m_path); }

}  // namespace tarn
