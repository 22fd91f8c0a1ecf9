#include "core/storage/CDNLinkBuilder.h"

#include "core/crypto/Crypto.h"

#include <chrono>

namespace tarn::CDNLinkBuilder {

namespace {

constexpr std::string_view allowedPunctuation = "-._~!$&'()*+,;=:@";

bool isAllowedInSegment(unsigned char c) {
    if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9')) return true;
    return allowedPunctuation.find(static_cast<char>(c)) != std::string_view::npos;
}

}  // namespace

std::string encodedPathSegment(std::string_view segment) {
    static constexpr char hexDigits[] = "0123456789ABCDEF";
    std::string encoded;
    encoded.reserve(segment.size());
    for (const char c : segment) {
        const auto byte = static_cast<unsigned char>(c);
        if (isAllowedInSegment(byte)) {
            encoded += c;
        } else {
            encoded += '%';
            encoded += hexDigits[byte >> 4];
            encoded += hexDigits[byte & 0x0F];
        }
    }
    return encoded;
}

std::optional<Url> appendingKey(std::string_view key, const Url& url) {
    const std::string& base = url.absoluteString();
    std::string text = base.substr(0, base.find_first_of("?#"));
    if (!text.empty() && text.back() == '/') text.pop_back();

    std::size_t start = 0;
    while (true) {
        const std::size_t slash = key.find('/', start);
        const std::string_view segment =
            key.substr(start, slash == std::string_view::npos ? std::string_view::npos : slash - start);
        if (segment == "." || segment == "..") return std::nullopt;
        text += '/';
        text += encodedPathSegment(segment);
        if (slash == std::string_view::npos) break;
        start = slash + 1;
    }
    return Url::parse(text);
}

std::optional<Url> anonymousURL(const PublicDomain& domain, std::string_view key) {
    const auto base = domain.baseURL();
    if (!base || !base->host()) return std::nullopt;
    return appendingKey(key, *base);
}

std::optional<Url> tokenAuthURL(const PublicDomain& domain, std::string_view key, std::string_view tokenKey,
                                std::int64_t ttlSeconds, TimePoint date) {
    const auto url = anonymousURL(domain, key);
    if (!url) return std::nullopt;

    const std::int64_t lifetime = ttlSeconds >= 1 && ttlSeconds < maxTokenTTL ? ttlSeconds : maxTokenTTL;
    // Toward zero, as the CDN counts; callers pass the current time.
    const std::int64_t expiry =
        lifetime + std::chrono::duration_cast<std::chrono::seconds>(date.time_since_epoch()).count();
    const std::string expiryText = std::to_string(expiry);

    std::string signedText(tokenKey);
    signedText += url->path();
    signedText += expiryText;

    return Url::parse(url->absoluteString() + "?_cvn_tk=" + md5Hex(signedText) + "&_ts=" + expiryText);
}

std::string md5Hex(std::string_view text) { return Crypto::hexLower(Crypto::md5(text)); }

}  // namespace tarn::CDNLinkBuilder
