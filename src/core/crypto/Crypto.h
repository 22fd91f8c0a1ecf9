#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace tarn::Crypto {

using Sha256Digest = std::array<std::uint8_t, 32>;
using Md5Digest = std::array<std::uint8_t, 16>;

Sha256Digest sha256(std::string_view data);
Sha256Digest sha256(std::span<const std::uint8_t> data);
Sha256Digest hmacSha256(std::span<const std::uint8_t> key, std::string_view data);
Sha256Digest hmacSha256(std::string_view key, std::string_view data);
Md5Digest md5(std::string_view data);
Md5Digest md5(std::span<const std::uint8_t> data);

// Lower-case hexadecimal, the form signatures and cache names use.
std::string hexLower(std::span<const std::uint8_t> bytes);
std::string base64(std::span<const std::uint8_t> bytes);

}  // namespace tarn::Crypto
