#include "core/config/BucketIdentity.h"

#include "core/crypto/Crypto.h"
#include "core/text/AsciiCase.h"

#include <algorithm>

namespace tarn::BucketIdentity {

namespace {

// Host names are ASCII on the wire; lower-casing A-Z is the whole mapping that
// matters. Non-ASCII bytes pass through unchanged.
std::string loweredHost(const std::optional<std::string>& host) {
    return AsciiCase::lowercased(host.value_or(""));
}

std::string joined(std::initializer_list<std::string_view> parts) {
    std::string text;
    bool first = true;
    for (const auto part : parts) {
        if (!first) text.push_back('|');
        text.append(part);
        first = false;
    }
    return text;
}

}  // namespace

Uuid uuidFromCanonical(std::string_view canonical) {
    const auto digest = Crypto::sha256(canonical);
    Uuid::Bytes bytes{};
    std::copy_n(digest.begin(), bytes.size(), bytes.begin());
    bytes[6] = static_cast<std::uint8_t>((bytes[6] & 0x0F) | 0x50);
    bytes[8] = static_cast<std::uint8_t>((bytes[8] & 0x3F) | 0x80);
    return Uuid(bytes);
}

Uuid deterministicID(const Url& endpoint, std::string_view region, std::string_view accessKeyID,
                     std::string_view bucketName) {
    return deterministicID(endpoint.host(), region, accessKeyID, bucketName);
}

Uuid deterministicID(const std::optional<std::string>& host, std::string_view region, std::string_view accessKeyID,
                     std::string_view bucketName) {
    return uuidFromCanonical(joined({loweredHost(host), region, accessKeyID, bucketName}));
}

Uuid legacyDeterministicID(const std::optional<std::string>& host, std::string_view region,
                           std::string_view bucketName) {
    return uuidFromCanonical(joined({loweredHost(host), region, bucketName}));
}

}  // namespace tarn::BucketIdentity
