#include "core/values/Url.h"

#include <gtest/gtest.h>

using tarn::Url;

TEST(Url, ComponentsOfAbsoluteUrls) {
    struct Case {
        const char* text;
        std::optional<std::string> scheme;
        std::optional<std::string> host;
        std::optional<int> port;
        std::string path;
    };
    const Case cases[] = {
        {"https://s3.example.com", "https", "s3.example.com", std::nullopt, ""},
        {"HTTP://S3.Example.com:9000/base/path?x=1", "http", "S3.Example.com", 9000, "/base/path"},
        {"https://cdn.example.com:443", "https", "cdn.example.com", 443, ""},
        {"http://127.0.0.1:9000/", "http", "127.0.0.1", 9000, "/"},
        {"http://[::1]:9000", "http", "::1", 9000, ""},
        {"https://user:pw@host.example/p", "https", "host.example", std::nullopt, "/p"},
    };
    for (const auto& c : cases) {
        const auto url = Url::parse(c.text);
        ASSERT_TRUE(url) << c.text;
        EXPECT_EQ(url->absoluteString(), c.text);
        EXPECT_EQ(url->scheme(), c.scheme) << c.text;
        EXPECT_EQ(url->host(), c.host) << c.text;
        EXPECT_EQ(url->port(), c.port) << c.text;
        EXPECT_EQ(url->path(), c.path) << c.text;
    }
}

TEST(Url, RelativeReferencesHaveNeitherSchemeNorHost) {
    for (const char* text : {"cdn.example.com/images", "/just/a/path", "relative"}) {
        const auto url = Url::parse(text);
        ASSERT_TRUE(url) << text;
        EXPECT_FALSE(url->scheme()) << text;
        EXPECT_FALSE(url->host()) << text;
    }
    const auto mail = Url::parse("mailto:someone@example.com");
    ASSERT_TRUE(mail);
    EXPECT_EQ(mail->scheme(), "mailto");
    EXPECT_FALSE(mail->host());
}

// A half-filled form ("https://") is a URL without a host, as is a path after an
// empty authority: the path is no host name.
TEST(Url, SchemeWithAnEmptyAuthorityHasNoHost) {
    const std::pair<const char*, std::string> cases[] = {
        {"https://", ""},         {"https:///images", "/images"}, {"https://?q=1", ""},
        {"http://:9000/x", "/x"}, {"https://user@/x#f", "/x"},    {"file:///etc/hosts", "/etc/hosts"},
    };
    for (const auto& [text, path] : cases) {
        const auto url = Url::parse(text);
        ASSERT_TRUE(url) << text;
        EXPECT_EQ(url->absoluteString(), text);
        EXPECT_TRUE(url->scheme()) << text;
        EXPECT_FALSE(url->host()) << text;
        EXPECT_FALSE(url->port()) << text;
        EXPECT_EQ(url->path(), path) << text;
    }
}

TEST(Url, RejectsTextThatIsNoUrl) {
    for (const char* text : {"", "https://exa mple.com", "https://example.com/a b", "http://host:99999999",
                             "https://bad<host>", "line\nbreak"}) {
        EXPECT_FALSE(Url::parse(text)) << text;
    }
}

TEST(Url, IpLiteralHosts) {
    EXPECT_TRUE(Url::parse("http://127.0.0.1:9000")->hostIsIpLiteral());
    EXPECT_TRUE(Url::parse("http://[2001:db8::1]")->hostIsIpLiteral());
    EXPECT_FALSE(Url::parse("http://localhost:9000")->hostIsIpLiteral());
    EXPECT_FALSE(Url::parse("https://s3.example.com")->hostIsIpLiteral());
    EXPECT_EQ(Url::parse("http://[2001:db8::1]")->hostForAuthority(), "[2001:db8::1]");
    EXPECT_EQ(Url::parse("http://localhost")->hostForAuthority(), "localhost");
}
