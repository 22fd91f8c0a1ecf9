#include "core/storage/CDNLinkBuilder.h"

#include <gtest/gtest.h>

using namespace std::chrono;
using namespace tarn;

namespace {

PublicDomain domain(std::string scheme, std::string host) {
    return PublicDomain{*Uuid::parse("99999999-8888-4777-8666-555555555555"), std::move(scheme), std::move(host), true};
}

std::string text(const std::optional<Url>& url) { return url ? url->absoluteString() : "<none>"; }

const TimePoint signingTime = TimePoint(milliseconds(1700000000'900));  // truncated: 1700000000

}  // namespace

// Paths and signatures were computed outside the project: each "/"-separated
// segment percent-encoded with only unreserved characters, sub-delims, ":" and "@"
// left as they are, and the signature MD5("secret" + path + "1700003600").
TEST(CDNLinkBuilder, EncodesKeysAndSignsTheEncodedPath) {
    struct Case {
        const char* key;
        const char* path;
        const char* signature;
    };
    const Case cases[] = {
        {"plain.txt", "/plain.txt", "5ce757ee019691b4205089c2e010c088"},
        {"photos/summer trip/a b.jpg", "/photos/summer%20trip/a%20b.jpg", "ec6186439ce4e5aca6aba3366f00a720"},
        {"folder/", "/folder/", "5c6be27636188bebb36294bcb7647820"},
        {"a//b.txt", "/a//b.txt", "c004e5b6d0eccf4301ac62c55f7c57cc"},
        {"/lead.txt", "//lead.txt", "432ef8ff00e12b5f1b96acae782a040b"},
        {"", "/", "c4b664fa829a50cbfeeae0f2d6c87c64"},
        {"中文/100%.png", "/%E4%B8%AD%E6%96%87/100%25.png", "dc19d18c9e97fc3d9b586abe4c4c285a"},
        {"q?#[x].txt", "/q%3F%23%5Bx%5D.txt", "7f5e8c1f76d6f634c29d6a405cdd1036"},
        {"a+b=c;d,e@f:g!$&'()*~.txt", "/a+b=c;d,e@f:g!$&'()*~.txt", "48f780f123f9e845244b4d6bd72e01e4"},
        {"tab\there/x\"y<z>.txt", "/tab%09here/x%22y%3Cz%3E.txt", "fa635f1d1116f08b723009a1f4f975a4"},
    };
    const auto cdn = domain("https", "cdn.example.com:8443");
    for (const auto& c : cases) {
        const std::string base = std::string("https://cdn.example.com:8443") + c.path;
        EXPECT_EQ(text(CDNLinkBuilder::anonymousURL(cdn, c.key)), base) << c.key;
        EXPECT_EQ(text(CDNLinkBuilder::tokenAuthURL(cdn, c.key, "secret", 3600, signingTime)),
                  base + "?_cvn_tk=" + c.signature + "&_ts=1700003600")
            << c.key;
    }
}

TEST(CDNLinkBuilder, LifetimeIsClampedToOneYear) {
    struct Case {
        std::int64_t ttl;
        std::int64_t expiry;
    };
    const Case cases[] = {
        {1, 1700000001},           {3600, 1700003600},        {31535999, 1731535999}, {31536000, 1731536000},
        {31536001, 1731536000},    {0, 1731536000},           {-5, 1731536000},
    };
    const auto cdn = domain("http", "cdn.example.com");
    for (const auto& c : cases) {
        const std::string link = text(CDNLinkBuilder::tokenAuthURL(cdn, "k/a.txt", "", c.ttl, signingTime));
        EXPECT_TRUE(link.ends_with("&_ts=" + std::to_string(c.expiry))) << c.ttl << " " << link;
    }
    // An empty token key still signs: MD5 of path and expiry alone.
    EXPECT_EQ(text(CDNLinkBuilder::tokenAuthURL(cdn, "k/a.txt", "", 1, signingTime)),
              "http://cdn.example.com/k/a.txt?_cvn_tk=e9a243d14d0d30ec37a029fa99af27cc&_ts=1700000001");
    EXPECT_EQ(text(CDNLinkBuilder::tokenAuthURL(cdn, "a.txt", "", 0, signingTime)),
              "http://cdn.example.com/a.txt?_cvn_tk=2537a8df1170b97929511559d7b0038c&_ts=1731536000");
}

TEST(CDNLinkBuilder, NoLinkWhenNoneCanReachTheObject) {
    // Clients resolve dot segments, so such a link would name another object.
    for (const char* key : {"a/../b.txt", "..", "./x", "a/./b", "a/.."}) {
        EXPECT_FALSE(CDNLinkBuilder::anonymousURL(domain("https", "cdn.example.com"), key)) << key;
        EXPECT_FALSE(CDNLinkBuilder::tokenAuthURL(domain("https", "cdn.example.com"), key, "k", 60, signingTime))
            << key;
    }
    EXPECT_EQ(text(CDNLinkBuilder::anonymousURL(domain("https", "cdn.example.com"), "a/.../b..c/.x")),
              "https://cdn.example.com/a/.../b..c/.x");
    for (const auto& bad : {domain("https", ""), domain("https", "bad host"), domain("", "cdn.example.com")}) {
        EXPECT_FALSE(CDNLinkBuilder::anonymousURL(bad, "a.txt")) << bad.scheme << "://" << bad.host;
        EXPECT_FALSE(CDNLinkBuilder::tokenAuthURL(bad, "a.txt", "k", 60, signingTime));
    }
}

TEST(CDNLinkBuilder, KeepsPortAndBasePathButNoQuery) {
    EXPECT_EQ(text(CDNLinkBuilder::anonymousURL(domain("http", "127.0.0.1:8080"), "a b")),
              "http://127.0.0.1:8080/a%20b");
    // A host typed with a path prefix or a trailing slash.
    EXPECT_EQ(text(CDNLinkBuilder::anonymousURL(domain("https", "cdn.example.com/media"), "x.png")),
              "https://cdn.example.com/media/x.png");
    EXPECT_EQ(text(CDNLinkBuilder::anonymousURL(domain("https", "cdn.example.com/"), "x.png")),
              "https://cdn.example.com/x.png");
    const auto signedLink = CDNLinkBuilder::tokenAuthURL(domain("https", "cdn.example.com?x=1"), "x.png", "k", 60,
                                                         signingTime);
    ASSERT_TRUE(signedLink);
    EXPECT_EQ(signedLink->path(), "/x.png");
    EXPECT_EQ(signedLink->absoluteString().find("x=1"), std::string::npos);
}

TEST(CDNLinkBuilder, Md5HexMatchesKnownDigests) {
    EXPECT_EQ(CDNLinkBuilder::md5Hex(""), "d41d8cd98f00b204e9800998ecf8427e");
    EXPECT_EQ(CDNLinkBuilder::md5Hex("The quick brown fox jumps over the lazy dog"),
              "9e107d9d372bb6826bd81d3542a419d6");
}
