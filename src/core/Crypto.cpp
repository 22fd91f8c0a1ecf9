#include "core/Crypto.h"

#include <openssl/evp.h>
#include <openssl/hmac.h>

#include <stdexcept>

namespace tarn::Crypto {

namespace {

template <std::size_t N>
std::array<std::uint8_t, N> digest(const EVP_MD* algorithm, const void* data, std::size_t size) {
    std::array<std::uint8_t, N> result{};
    unsigned int length = 0;
    if (EVP_Digest(data, size, result.data(), &length, algorithm, nullptr) != 1 || length != N) {
        throw std::runtime_error("OpenSSL digest failed.");
    }
    return result;
}

}  // namespace

Sha256Digest sha256(std::string_view data) { return digest<32>(EVP_sha256(), data.data(), data.size()); }

Sha256Digest sha256(std::span<const std::uint8_t> data) {
    return digest<32>(EVP_sha256(), data.data(), data.size());
}

Sha256Digest hmacSha256(std::span<const std::uint8_t> key, std::string_view data) {
    Sha256Digest result{};
    unsigned int length = 0;
    if (HMAC(EVP_sha256(), key.data(), static_cast<int>(key.size()),
             reinterpret_cast<const unsigned char*>(data.data()), data.size(), result.data(), &length) == nullptr ||
        length != result.size()) {
        throw std::runtime_error("OpenSSL HMAC failed.");
    }
    return result;
}

Sha256Digest hmacSha256(std::string_view key, std::string_view data) {
    return hmacSha256(std::span(reinterpret_cast<const std::uint8_t*>(key.data()), key.size()), data);
}

Md5Digest md5(std::string_view data) { return digest<16>(EVP_md5(), data.data(), data.size()); }

Md5Digest md5(std::span<const std::uint8_t> data) { return digest<16>(EVP_md5(), data.data(), data.size()); }

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
