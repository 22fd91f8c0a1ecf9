#include "core/storage/FaultyListingError.h"
#include "core/storage/S3ListParser.h"
#include "core/storage/XmlParseError.h"

#include "TestFiles.h"

#include <gtest/gtest.h>

using namespace tarn;
using namespace std::chrono;

namespace {

TimePoint at(std::int64_t secondsSinceEpoch) { return TimePoint(seconds(secondsSinceEpoch)); }

constexpr std::int64_t k20240501T083000 = 1714552200;

std::string listing(const std::string& body) {
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<ListBucketResult "
           "xmlns=\"http://s3.amazonaws.com/doc/2006-03-01/\">" +
           body + "</ListBucketResult>";
}

// The one object of a listing whose single "Contents" entry has the given children.
ObjectItem onlyObject(const std::string& children) {
    const S3Listing page = S3ListParser::parse(listing("<Contents><Key>k</Key>" + children + "</Contents>"));
    if (page.objects.size() != 1) throw std::runtime_error("expected one object for " + children);
    return page.objects.front();
}

}  // namespace

TEST(S3ListParser, ReadsObjectsFoldersAndPaging) {
    const S3Listing page = S3ListParser::parse(test::readTestData("xml/list-page.xml"));

    const S3Listing expected{
        {
            {"photos/a b+c%d.jpg", 1532, at(k20240501T083000) + milliseconds(250), "STANDARD",
             "9b2cf535f27731c974343645a3985328"},
            {"photos/日本語 ü.mov", 6442450944, at(k20240501T083000), "GLACIER",
             "d41d8cd98f00b204e9800998ecf8427e-3"},
            {"photos/a&b<c>", 42, std::nullopt, std::nullopt, "one-sided"},
            // An entry without a key is dropped; a key's own spaces are part of it.
            {" photos/spaced ", 0},
        },
        // The request's own "Prefix" is not a folder; an entry without "Prefix" is dropped.
        {{"photos/2023/"}, {"photos/2024 trip/"}},
        true,
        "1Mv3RG2dtkVTQoGXjgN+eS2mQQIg8xqlKxJUzuw3p+AQ=",
    };
    EXPECT_EQ(page.objects, expected.objects);
    EXPECT_EQ(page.prefixes, expected.prefixes);
    EXPECT_EQ(page, expected);
}

TEST(S3ListParser, PagingFlags) {
    struct Case {
        std::string body;
        bool truncated;
        std::optional<std::string> token;
    };
    const Case cases[] = {
        {"<IsTruncated>true</IsTruncated>", true, std::nullopt},
        {"<IsTruncated>True</IsTruncated>", true, std::nullopt},
        {"<IsTruncated>\n  true\n</IsTruncated>", true, std::nullopt},
        {"<IsTruncated>1</IsTruncated>", false, std::nullopt},
        {"<IsTruncated>yes</IsTruncated>", false, std::nullopt},
        {"<IsTruncated>false</IsTruncated><NextContinuationToken/>", false, ""},
        {"<NextContinuationToken></NextContinuationToken><IsTruncated>true</IsTruncated>", true, ""},
        {"<NextContinuationToken> tok/en+= </NextContinuationToken>", false, "tok/en+="},
        // A token-like element inside an object entry is not the page's token.
        {"<Contents><Key>k</Key><NextContinuationToken>x</NextContinuationToken></Contents>", false, std::nullopt},
    };
    for (const auto& c : cases) {
        const S3Listing page = S3ListParser::parse(listing(c.body));
        EXPECT_EQ(page.isTruncated, c.truncated) << c.body;
        EXPECT_EQ(page.nextContinuationToken, c.token) << c.body;
    }
}

TEST(S3ListParser, ToleratesOddValues) {
    const std::pair<std::string, std::int64_t> sizes[] = {
        {"5368709120", 5368709120},
        {"9223372036854775807", 9223372036854775807},
        {"+7", 7},
        {"-0", 0},
        {" 12\n", 12},
        {"1.5", 0},
        {"9223372036854775808", 0},
        {"", 0},
        {"1 2", 0},
        {"+-1", 0},
        {"0x10", 0},
    };
    for (const auto& [text, size] : sizes) {
        EXPECT_EQ(onlyObject("<Size>" + text + "</Size>").size, size) << text;
    }

    const std::pair<std::string, std::optional<TimePoint>> dates[] = {
        {"2024-05-01T08:30:00.000Z", at(k20240501T083000)},
        {"2024-05-01T08:30:00Z", at(k20240501T083000)},
        {"2024-05-01T10:30:00.5+02:00", at(k20240501T083000) + milliseconds(500)},
        {"2024-05-01T08:30:00", std::nullopt},
        {"Wed, 01 May 2024 08:30:00 GMT", std::nullopt},
        {"", std::nullopt},
    };
    for (const auto& [text, date] : dates) {
        EXPECT_EQ(onlyObject("<LastModified>" + text + "</LastModified>").lastModified, date) << text;
    }

    const std::pair<std::string, std::string> eTags[] = {
        {"&quot;abc&quot;", "abc"}, {"\"\"abc\"\"", "abc"}, {"abc\"", "abc"},
        {"\"a\"b\"", "a\"b"},       {"\"\"", ""},            {" \"abc\" ", "abc"},
    };
    for (const auto& [text, eTag] : eTags) {
        EXPECT_EQ(onlyObject("<ETag>" + text + "</ETag>").eTag, eTag) << text;
    }
}

TEST(S3ListParser, ANegativeSizeRefusesThePage) {
    // A 90 GiB object beside one listed at -90 GiB would make a large copy look empty,
    // and a preview limit would let anything through.
    for (const std::string& size : {std::string("-96636764160"), std::string("-1"), std::string(" -3\n"),
                                    std::string("-9223372036854775808")}) {
        const std::string page = listing("<Contents><Key>big.iso</Key><Size>96636764160</Size></Contents>"
                                         "<Contents><Size>" + size + "</Size><Key>minus.iso</Key></Contents>");
        try {
            S3ListParser::parse(page);
            ADD_FAILURE() << size << " was taken";
        } catch (const FaultyListingError& error) {
            EXPECT_EQ(error.fault(), FaultyListingError::Fault::negativeSize) << size;
            EXPECT_EQ(error.name(), "minus.iso") << size;
        }
    }
}

TEST(S3ListParser, WellFormedAnswersOfAnotherShapeAreEmpty) {
    const std::string documents[] = {
        "<?xml version=\"1.0\"?><Error><Code>NoSuchBucket</Code><Message>gone</Message></Error>",
        // Element names are matched exactly, without namespace processing.
        listing("<s3:Contents xmlns:s3=\"urn:x\"><s3:Key>k</s3:Key></s3:Contents><contents><Key>k</Key></contents>"),
        listing(""),
    };
    for (const auto& document : documents) EXPECT_EQ(S3ListParser::parse(document), S3Listing{}) << document;
}

TEST(S3ListParser, CdataIsNotCollected) {
    const S3Listing page = S3ListParser::parse(
        listing("<Contents><Key><![CDATA[hidden]]></Key></Contents>"
                "<Contents><Key>a<![CDATA[hidden]]>b</Key><Size><![CDATA[9]]>3</Size></Contents>"));
    ASSERT_EQ(page.objects.size(), 2u);
    EXPECT_EQ(page.objects[0].key, "");
    EXPECT_EQ(page.objects[1].key, "ab");
    EXPECT_EQ(page.objects[1].size, 3);
}

TEST(S3ListParser, MalformedDocumentsFail) {
    const std::string page = test::readTestData("xml/list-page.xml");
    const std::string documents[] = {
        page.substr(0, page.size() / 2),
        "",
        "not xml at all",
        "<html><body>Bad Gateway</body>",
        listing("<Contents><Key>a</Contents>"),
        listing("<Contents><Key>a & b</Key></Contents>"),
    };
    for (const auto& document : documents) {
        try {
            S3ListParser::parse(document);
            ADD_FAILURE() << "accepted: " << document;
        } catch (const XmlParseError& error) {
            EXPECT_FALSE(error.reason().empty());
            EXPECT_GE(error.line(), 1u);
            EXPECT_NE(std::string(error.what()).find(error.reason()), std::string::npos);
        }
    }
}
