#pragma once

#include "core/crypto/Crypto.h"

#include <cstdint>
#include <span>

struct evp_md_ctx_st;

namespace tarn {

// SHA-256 of bytes that arrive in pieces, for data too large to hash in one call
// (a file read a piece at a time). Belongs to one thread at a time.
class Sha256Stream {
public:
    Sha256Stream();
    ~Sha256Stream();
    Sha256Stream(const Sha256Stream&) = delete;
    Sha256Stream& operator=(const Sha256Stream&) = delete;

    void update(std::span<const std::uint8_t> bytes);
    // The digest of everything given since the start; the stream starts over afterwards.
    Crypto::Sha256Digest finish();
    // Forgets what was given so far.
    void reset();

private:
    evp_md_ctx_st* m_context;
};

}  // namespace tarn
