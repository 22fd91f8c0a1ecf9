#include "core/crypto/Sha256Stream.h"

#include <openssl/evp.h>

#include <stdexcept>

namespace tarn {

namespace {

[[noreturn]] void fail(const char* what) { throw std::runtime_error(std::string("OpenSSL ") + what + " failed."); }

// Fetched once: with OpenSSL 3 a fetch costs more than hashing a short text.
const EVP_MD* sha256Algorithm() {
    static EVP_MD* const algorithm = EVP_MD_fetch(nullptr, "SHA256", nullptr);
    if (algorithm == nullptr) fail("digest lookup");
    return algorithm;
}

}  // namespace

Sha256Stream::Sha256Stream() : m_context(EVP_MD_CTX_new()) {
    if (m_context == nullptr) fail("digest setup");
    try {
        reset();
    } catch (...) {
        EVP_MD_CTX_free(m_context);
        throw;
    }
}

Sha256Stream::~Sha256Stream() { EVP_MD_CTX_free(m_context); }

void Sha256Stream::update(std::span<const std::uint8_t> bytes) {
    if (EVP_DigestUpdate(m_context, bytes.data(), bytes.size()) != 1) fail("digest");
}

Crypto::Sha256Digest Sha256Stream::finish() {
    Crypto::Sha256Digest digest{};
    unsigned int length = 0;
    if (EVP_DigestFinal_ex(m_context, digest.data(), &length) != 1 || length != digest.size()) fail("digest");
    reset();
    return digest;
}

void Sha256Stream::reset() {
    if (EVP_DigestInit_ex2(m_context, sha256Algorithm(), nullptr) != 1) fail("digest setup");
}

}  // namespace tarn
