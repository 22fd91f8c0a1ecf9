#pragma once

#include "core/config/ConfigModels.h"
#include "core/values/IsoDate.h"
#include "core/values/Url.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace tarn {

// Links to objects through a bucket's public (CDN) domains: plain public links and
// links signed with the domain's token key that expire.
namespace CDNLinkBuilder {

// The longest lifetime of a signed link: 365 days.
constexpr std::int64_t maxTokenTTL = 31536000;

// https://host/key, or none when the domain's scheme and host form no URL or the
// key cannot be written as a path (see appendingKey).
std::optional<Url> anonymousURL(const PublicDomain& domain, std::string_view key);

// The public link with "_cvn_tk" (MD5 of tokenKey + encoded path + expiry) and
// "_ts" (expiry in Unix seconds) as its only query. A lifetime outside 1 to
// maxTokenTTL - 1 seconds becomes maxTokenTTL.
std::optional<Url> tokenAuthURL(const PublicDomain& domain, std::string_view key, std::string_view tokenKey,
                                std::int64_t ttlSeconds, TimePoint date);

// The URL's path followed by "/" and the key with every "/"-separated segment
// encoded by encodedPathSegment. Empty segments are kept, so "a//b" and "a/b/" keep
// their slashes and never name another object. Query and fragment are dropped.
// None for a key with a "." or ".." segment: clients resolve those away, so the
// link would reach another object.
std::optional<Url> appendingKey(std::string_view key, const Url& url);

// Percent-encodes (upper-case hexadecimal, over UTF-8 bytes) every byte outside
// A-Z a-z 0-9 - . _ ~ ! $ & ' ( ) * + , ; = : @. The signature covers the encoded
// path, so this set is part of what the CDN verifies: never change it.
std::string encodedPathSegment(std::string_view segment);

// Lower-case hexadecimal MD5 of the text's bytes (32 characters).
std::string md5Hex(std::string_view text);

}  // namespace CDNLinkBuilder

}  // namespace tarn
