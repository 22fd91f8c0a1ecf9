#include "app/state/AppState.h"

#include "core/config/KeychainSecretStore.h"
#include "core/storage/CDNLinkBuilder.h"
#include "core/storage/S3RequestBuilder.h"

#include <algorithm>
#include <chrono>
#include <string>

namespace tarn {

namespace {

// The maker's service serves a presigned link at most this many times when asked.
constexpr std::int64_t kMaxLinkRequests = 100;
constexpr std::string_view kMaxRequestsQueryItem = "x-corvane-max-requests";

// The domain's CDN token key; empty when none is stored or the keyring cannot be read.
// Blocking: for work that runs in the background.
std::string cdnTokenKey(const KeychainSecretStore& store, const Uuid& bucketID, const Uuid& domainID) {
    try {
        return store.secret(KeychainSecretStore::cdnAccount(bucketID, domainID)).value_or(std::string());
    } catch (const std::exception&) {
        return {};
    }
}

}  // namespace

QCoro::Task<ShareOption> AppState::preferredShareOption() {
    const std::optional<BucketConfig> bucket = selectedBucket();
    if (!bucket) co_return ShareOption{};
    auto choose = [&store = m_secretStore, &bucket]() -> ShareOption {
        for (const PublicDomain& domain : bucket->publicDomains) {
            if (domain.hasCDNAuthKey && !cdnTokenKey(store, bucket->id, domain.id).empty()) {
                return {ShareLinkKind::cdnToken, domain.id};
            }
        }
        if (!bucket->publicDomains.empty()) return {ShareLinkKind::cdnAnonymous, bucket->publicDomains.front().id};
        return {};
    };
    co_return co_await inBackground(choose);
}

QCoro::Task<std::optional<std::string>> AppState::shareLink(ShareLinkKind kind, ObjectItem object,
                                                            std::optional<Uuid> domainID, std::int64_t expiresSeconds,
                                                            std::int64_t maxRequests, std::int64_t cdnTTLSeconds) {
    const std::optional<BucketConfig> bucket = selectedBucket();
    if (!bucket) co_return std::nullopt;
    std::optional<PublicDomain> domain;
    if (domainID) {
        const auto found = std::find_if(bucket->publicDomains.begin(), bucket->publicDomains.end(),
                                        [&](const PublicDomain& d) { return d.id == *domainID; });
        if (found != bucket->publicDomains.end()) domain = *found;
    }

    switch (kind) {
    case ShareLinkKind::anonymous: {
        std::optional<std::string> url;
        try {
            url = S3RequestBuilder::objectURL(*bucket, object.key);
        } catch (const std::exception&) {
        }
        co_return url;
    }
    case ShareLinkKind::presigned: {
        QCoro::Task<std::optional<std::string>> reading = resolvedSecret(*bucket);
        const std::optional<std::string> secret = co_await reading;
        if (!secret) co_return std::nullopt;
        std::vector<QueryItem> extraQuery;
        if (maxRequests >= 1) {
            extraQuery.push_back(
                {std::string(kMaxRequestsQueryItem), std::to_string(std::min(maxRequests, kMaxLinkRequests))});
        }
        const std::int64_t lifetime = effectivePresignedLifetime(expiresSeconds);
        std::optional<std::string> url;
        try {
            url = S3RequestBuilder::presignedDownloadURL(*bucket, object.key, S3Credentials{bucket->accessKeyID, *secret},
                                                         lifetime, extraQuery, std::chrono::system_clock::now());
        } catch (const std::exception&) {
        }
        co_return url;
    }
    case ShareLinkKind::cdnAnonymous: {
        if (!domain) co_return std::nullopt;
        const std::optional<Url> link = CDNLinkBuilder::anonymousURL(*domain, object.key);
        if (!link) co_return std::nullopt;
        co_return link->absoluteString();
    }
    case ShareLinkKind::cdnToken: {
        if (!domain) co_return std::nullopt;
        // The stored key alone decides: the domain's flag may lag behind the keyring.
        auto read = [&store = m_secretStore, &bucket, &domain] { return cdnTokenKey(store, bucket->id, domain->id); };
        const std::string tokenKey = co_await inBackground(read);
        if (tokenKey.empty()) co_return std::nullopt;
        const std::optional<Url> link = CDNLinkBuilder::tokenAuthURL(*domain, object.key, tokenKey, cdnTTLSeconds,
                                                                     std::chrono::system_clock::now());
        if (!link) co_return std::nullopt;
        co_return link->absoluteString();
    }
    }
    co_return std::nullopt;
}

}  // namespace tarn
