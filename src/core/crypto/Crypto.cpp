#include "core/crypto/Crypto.h"

#include <openssl/core_names.h>
#include <openssl/evp.h>
#include <openssl/params.h>

#include <memory>
#include <stdexcept>

namespace tarn::Crypto {

namespace {

// Algorithms are fetched once per process and contexts made once per thread, then
// reused: with OpenSSL 3 a fetch or a fresh context costs more than hashing a short
// text, and signing one request hashes seven.
struct OpenSslFree {
    void operator()(EVP_MD* p) const { EVP_MD_free(p); }
    void operator()(EVP_MD_CTX* p) const { EVP_MD_CTX_free(p); }
    void operator()(EVP_MAC* p) const { EVP_MAC_free(p); }
    void operator()(EVP_MAC_CTX* p) const { EVP_MAC_CTX_free(p); }
};
template <typename T>
using OpenSslPtr = std::unique_ptr<T, OpenSslFree>;

[[noreturn]] void fail(const char* what) { throw std::runtime_error(std::string("OpenSSL ") + what + " failed."); }

OpenSslPtr<EVP_MD> fetchDigest(const char* name) {
    OpenSslPtr<EVP_MD> algorithm(EVP_MD_fetch(nullptr, name, nullptr));
    if (!algorithm) fail("digest lookup");
    return algorithm;
}

const EVP_MD* sha256Algorithm() {
    static const OpenSslPtr<EVP_MD> algorithm = fetchDigest("SHA256");
    return algorithm.get();
}

const EVP_MD* md5Algorithm() {
    static const OpenSslPtr<EVP_MD> algorithm = fetchDigest("MD5");
    return algorithm.get();
}

template <std::size_t N>
std::array<std::uint8_t, N> digest(const EVP_MD* algorithm, const void* data, std::size_t size) {
    thread_local const OpenSslPtr<EVP_MD_CTX> context(EVP_MD_CTX_new());
    std::array<std::uint8_t, N> result{};
    unsigned int length = 0;
    if (!context || EVP_DigestInit_ex2(context.get(), algorithm, nullptr) != 1 ||
        EVP_DigestUpdate(context.get(), data, size) != 1 ||
        EVP_DigestFinal_ex(context.get(), result.data(), &length) != 1 || length != N) {
        fail("digest");
    }
    return result;
}

EVP_MAC_CTX* newHmacSha256Context() {
    static const OpenSslPtr<EVP_MAC> hmac(EVP_MAC_fetch(nullptr, "HMAC", nullptr));
    if (!hmac) fail("HMAC lookup");
    OpenSslPtr<EVP_MAC_CTX> context(EVP_MAC_CTX_new(hmac.get()));
    char digestName[] = "SHA256";
    const OSSL_PARAM params[] = {OSSL_PARAM_construct_utf8_string(OSSL_MAC_PARAM_DIGEST, digestName, 0),
                                 OSSL_PARAM_END};
    if (!context || EVP_MAC_CTX_set_params(context.get(), params) != 1) fail("HMAC setup");
    return context.release();
}

}  // namespace

Sha256Digest sha256(std::string_view data) { return digest<32>(sha256Algorithm(), data.data(), data.size()); }

Sha256Digest sha256(std::span<const std::uint8_t> data) {
    return digest<32>(sha256Algorithm(), data.data(), data.size());
}

Sha256Digest hmacSha256(std::span<const std::uint8_t> key, std::string_view data) {
    thread_local const OpenSslPtr<EVP_MAC_CTX> context(newHmacSha256Context());
    // A null key would mean "keep the previous key" to a reused context.
    static constexpr std::uint8_t kNoKey = 0;
    Sha256Digest result{};
    std::size_t length = 0;
    if (EVP_MAC_init(context.get(), key.empty() ? &kNoKey : key.data(), key.size(), nullptr) != 1 ||
        EVP_MAC_update(context.get(), reinterpret_cast<const unsigned char*>(data.data()), data.size()) != 1 ||
        EVP_MAC_final(context.get(), result.data(), &length, result.size()) != 1 || length != result.size()) {
        fail("HMAC");
    }
    return result;
}

Sha256Digest hmacSha256(std::string_view key, std::string_view data) {
    return hmacSha256(std::span(reinterpret_cast<const std::uint8_t*>(key.data()), key.size()), data);
}

Md5Digest md5(std::string_view data) { return digest<16>(md5Algorithm(), data.data(), data.size()); }

Md5Digest md5(std::span<const std::uint8_t> data) { return digest<16>(md5Algorithm(), data.data(), data.size()); }

std::string hexLower(std::span<const std::uint8_t> bytes) {
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string text(bytes.size() * 2, '\0');
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        text[2 * i] = kDigits[bytes[i] >> 4];
        text[2 * i + 1] = kDigits[bytes[i] & 0x0F];
    }
    return text;
}

std::string base64(std::span<const std::uint8_t> bytes) {
    std::string text(4 * ((bytes.size() + 2) / 3), '\0');
    const int written = EVP_EncodeBlock(reinterpret_cast<unsigned char*>(text.data()), bytes.data(),
                                        static_cast<int>(bytes.size()));
    text.resize(static_cast<std::size_t>(written));
    return text;
}

}  // namespace tarn::Crypto
