#include "InspectorFixture.h"

#include "core/config/KeychainSecretStore.h"
#include "core/storage/CDNLinkBuilder.h"
#include "core/storage/HttpExchange.h"
#include "integration/S3TestBuckets.h"

#include <gmock/gmock.h>

#include <QUrl>
#include <QUrlQuery>

using tarn::test::finishWithin;

namespace tarn {
namespace {

// The value of a query item of a link; none when the link has no such item.
std::optional<std::string> queryItem(const std::string& link, const char* name) {
    const QUrlQuery query(QUrl(QString::fromStdString(link)));
    if (!query.hasQueryItem(QString::fromLatin1(name))) return std::nullopt;
    return query.queryItemValue(QString::fromLatin1(name), QUrl::FullyDecoded).toStdString();
}

class AppStateShareLinkTest : public test::InspectorFixture {
protected:
    void TearDown() override {
        if (m_app) {
            for (const PublicDomain& domain : m_domains) {
                m_secretStore.deleteSecret(KeychainSecretStore::cdnAccount(m_bucket.id, domain.id));
            }
        }
        InspectorFixture::TearDown();
    }

    // Gives the bucket its public domains, with the token keys stored for them.
    void setDomains(std::vector<std::pair<PublicDomain, std::string>> domains) {
        AppConfig config = m_app->config();
        BucketSettings& settings = config.bucketSettings[m_bucket.id.toString()];
        settings.publicDomains.clear();
        for (auto& [domain, key] : domains) {
            if (!key.empty()) m_secretStore.save(key, KeychainSecretStore::cdnAccount(m_bucket.id, domain.id));
            settings.publicDomains.push_back(domain);
            m_domains.push_back(domain);
        }
        m_app->setConfig(std::move(config));
    }

    std::optional<std::string> link(ShareLinkKind kind, const std::string& key, std::optional<Uuid> domainID = {},
                                     std::int64_t expires = 3600, std::int64_t maxRequests = 0,
                                     std::int64_t cdnTTL = 0) {
        const ObjectItem object{key, 1};
        return *finishWithin(m_app->shareLink(kind, object, domainID, expires, maxRequests, cdnTTL));
    }

    ShareOption preferred() { return *finishWithin(m_app->preferredShareOption()); }

    std::vector<PublicDomain> m_domains;
};

PublicDomain domain(std::string host, bool hasKey) { return {Uuid::random(), "https", std::move(host), hasKey}; }

TEST_F(AppStateShareLinkTest, APresignedLinkServesTheObjectWithItsLifetimeAndRequestLimitClamped) {
    openBucket("presign");
    put("docs/a b.txt", "shared bytes");

    const std::optional<std::string> url = link(ShareLinkKind::presigned, "docs/a b.txt", std::nullopt, 600, 3);
    ASSERT_TRUE(url);
    S3Request get;
    get.url = *url;
    const HttpResponse response = HttpExchange::perform(get);
    EXPECT_EQ(response.statusCode, 200);
    EXPECT_EQ(response.bodyText(), "shared bytes");

    const struct Lifetime {
        std::int64_t asked;
        std::string given;
    } lifetimes[] = {{0, "604800"}, {-5, "604800"}, {1, "1"}, {604800, "604800"}, {604801, "604800"}};
    for (const Lifetime& lifetime : lifetimes) {
        const std::optional<std::string> made = link(ShareLinkKind::presigned, "a", std::nullopt, lifetime.asked);
        ASSERT_TRUE(made);
        EXPECT_EQ(queryItem(*made, "X-Amz-Expires"), lifetime.given) << lifetime.asked;
    }
    const struct Limit {
        std::int64_t asked;
        std::optional<std::string> given;
    } limits[] = {{0, std::nullopt}, {-1, std::nullopt}, {1, "1"}, {100, "100"}, {250, "100"}};
    for (const Limit& limit : limits) {
        const std::optional<std::string> made = link(ShareLinkKind::presigned, "a", std::nullopt, 60, limit.asked);
        ASSERT_TRUE(made);
        EXPECT_EQ(queryItem(*made, "x-corvane-max-requests"), limit.given) << limit.asked;
    }

    const std::optional<std::string> plain = link(ShareLinkKind::anonymous, "docs/a b.txt");
    ASSERT_TRUE(plain);
    EXPECT_THAT(*plain, ::testing::EndsWith("/docs/a%20b.txt"));
    EXPECT_EQ(queryItem(*plain, "X-Amz-Signature"), std::nullopt);
}

TEST_F(AppStateShareLinkTest, CdnLinksUseTheChosenDomainAndItsStoredTokenKey) {
    openBucket("cdn");
    EXPECT_EQ(preferred(), ShareOption{}) << "no domain: the storage endpoint's own link";

    const PublicDomain unkeyed = domain("cdn1.example.com", true);  // flagged, but no key stored
    const PublicDomain keyed = domain("cdn2.example.com:8443", true);
    const PublicDomain unflagged = domain("cdn3.example.com", false);
    setDomains({{unflagged, "quiet-key"}, {unkeyed, ""}, {keyed, "secret-token"}});
    EXPECT_EQ(preferred(), (ShareOption{ShareLinkKind::cdnToken, keyed.id}));

    EXPECT_EQ(link(ShareLinkKind::cdnAnonymous, "dir/a b.txt", unkeyed.id),
              std::optional<std::string>("https://cdn1.example.com/dir/a%20b.txt"));
    const std::optional<std::string> signed_ = link(ShareLinkKind::cdnToken, "dir/a b.txt", keyed.id, 0, 0, 0);
    ASSERT_TRUE(signed_);
    EXPECT_THAT(*signed_, ::testing::StartsWith("https://cdn2.example.com:8443/dir/a%20b.txt?_cvn_tk="));
    const std::optional<std::string> expiry = queryItem(*signed_, "_ts");
    ASSERT_TRUE(expiry);
    const std::int64_t now =
        std::chrono::duration_cast<std::chrono::seconds>(std::chrono::system_clock::now().time_since_epoch()).count();
    EXPECT_NEAR(static_cast<double>(std::stoll(*expiry)), static_cast<double>(now + CDNLinkBuilder::maxTokenTTL), 5);
    EXPECT_EQ(queryItem(*signed_, "_cvn_tk"), CDNLinkBuilder::md5Hex("secret-token/dir/a%20b.txt" + *expiry));

    // The stored key alone decides, whatever the domain's flag says.
    EXPECT_EQ(link(ShareLinkKind::cdnToken, "a", unkeyed.id), std::nullopt);
    EXPECT_TRUE(link(ShareLinkKind::cdnToken, "a", unflagged.id));
    // No domain, or one that is gone.
    for (const std::optional<Uuid>& id : {std::optional<Uuid>(), std::optional<Uuid>(Uuid::random())}) {
        EXPECT_EQ(link(ShareLinkKind::cdnAnonymous, "a", id), std::nullopt);
        EXPECT_EQ(link(ShareLinkKind::cdnToken, "a", id), std::nullopt);
    }

    // Domains without a usable key: the first domain, anonymously.
    setDomains({{unkeyed, ""}, {unflagged, ""}});
    EXPECT_EQ(preferred(), (ShareOption{ShareLinkKind::cdnAnonymous, unkeyed.id}));
}

TEST_F(AppStateShareLinkTest, NoBucketGivesNoLink) {
    openBucket("nobucket");
    m_app->switchBucket(std::nullopt, "");
    EXPECT_EQ(preferred(), ShareOption{});
    for (ShareLinkKind kind : allShareLinkKinds) EXPECT_EQ(link(kind, "a"), std::nullopt);
}

}  // namespace
}  // namespace tarn
