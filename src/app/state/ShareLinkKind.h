#pragma once

#include "core/values/Uuid.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string_view>

namespace tarn {

// The kinds of link the share sheet offers, in the order it lists them. The raw
// values are the kinds' stored identities.
enum class ShareLinkKind { anonymous, presigned, cdnAnonymous, cdnToken };

inline constexpr std::array<ShareLinkKind, 4> allShareLinkKinds{
    ShareLinkKind::anonymous, ShareLinkKind::presigned, ShareLinkKind::cdnAnonymous, ShareLinkKind::cdnToken};

constexpr std::string_view rawValue(ShareLinkKind kind)
{
    switch (kind) {
    case ShareLinkKind::anonymous: return "anonymous";
    case ShareLinkKind::presigned: return "presigned";
    case ShareLinkKind::cdnAnonymous: return "cdnAnonymous";
    case ShareLinkKind::cdnToken: return "cdnToken";
    }
    return "anonymous";
}

// Nothing for any other raw value.
constexpr std::optional<ShareLinkKind> shareLinkKind(std::string_view raw)
{
    for (ShareLinkKind kind : allShareLinkKinds) {
        if (rawValue(kind) == raw) {
            return kind;
        }
    }
    return std::nullopt;
}

// The longest lifetime of a presigned link: 7 days, the most Signature Version 4 allows.
inline constexpr std::int64_t longestPresignedLifetime = 604800;

// The lifetime a presigned link made for `requestedSeconds` really has: below 1 or
// above the longest, the longest.
constexpr std::int64_t effectivePresignedLifetime(std::int64_t requestedSeconds)
{
    return requestedSeconds < 1 || requestedSeconds > longestPresignedLifetime ? longestPresignedLifetime
                                                                                 : requestedSeconds;
}

// The kind the share sheet preselects, with the public domain it uses.
struct ShareOption {
    ShareLinkKind kind = ShareLinkKind::anonymous;
    std::optional<Uuid> domainID;
    bool operator==(const ShareOption&) const = default;
};

}  // namespace tarn
