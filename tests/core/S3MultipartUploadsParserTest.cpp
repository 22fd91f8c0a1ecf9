#include "core/storage/S3MultipartUploadsParser.h"
#include "core/storage/XmlParseError.h"

#include "TestFiles.h"

#include <gtest/gtest.h>

using namespace tarn;

namespace {

std::string uploadsPage(const std::string& body) {
    return "<ListMultipartUploadsResult>" + body + "</ListMultipartUploadsResult>";
}

}  // namespace

TEST(S3MultipartUploadsParser, ReadsUploadsAndMarkers) {
    const MultipartUploadListing expected{
        {
            {"videos/my-divisor", "XMgbGlrZSBlbHZpbmcncyBub3QgaGF2aW5nIG11Y2ggbHVjaw",
             TimePoint(std::chrono::seconds(1289422113)), "STANDARD"},
            // Entries without a key or an upload ID are dropped; an unreadable date is absent;
            // a key's own trailing space is part of it.
            {"videos/my-movie.m2ts ", "VXBsb2FkIElEIGZvciBlbHZpbmcncyBteS1tb3ZpZS5tMnRzIHVwbG9hZA"},
        },
        true,
        "videos/my-movie.m2ts",
        "YW55IGlkZWEgd2h5IGVsdmluZydzIHVwbG9hZCBmYWlsZWQ",
    };
    EXPECT_EQ(S3MultipartUploadsParser::parse(test::readTestData("xml/multipart-uploads.xml")), expected);
}

TEST(S3MultipartUploadsParser, EmptyMarkersAreAbsent) {
    struct Case {
        std::string body;
        std::optional<std::string> keyMarker;
        std::optional<std::string> uploadIdMarker;
    };
    const Case cases[] = {
        {"<NextKeyMarker></NextKeyMarker><NextUploadIdMarker/>", std::nullopt, std::nullopt},
        {"<NextKeyMarker>k</NextKeyMarker><NextUploadIdMarker> id </NextUploadIdMarker>", "k", "id"},
        // A key made of one space is a real key to page from.
        {"<NextKeyMarker> </NextKeyMarker><NextUploadIdMarker>  </NextUploadIdMarker>", " ", std::nullopt},
        {"<IsTruncated>TRUE</IsTruncated>", std::nullopt, std::nullopt},
    };
    for (const auto& c : cases) {
        const MultipartUploadListing page = S3MultipartUploadsParser::parse(uploadsPage(c.body));
        EXPECT_EQ(page.nextKeyMarker, c.keyMarker) << c.body;
        EXPECT_EQ(page.nextUploadIdMarker, c.uploadIdMarker) << c.body;
    }
    EXPECT_TRUE(S3MultipartUploadsParser::parse(uploadsPage("<IsTruncated>TRUE</IsTruncated>")).isTruncated);
}

TEST(S3MultipartUploadsParser, MalformedDocumentsFail) {
    EXPECT_THROW(S3MultipartUploadsParser::parse(uploadsPage("<Upload><Key>k</Upload>")), XmlParseError);
    EXPECT_THROW(S3MultipartUploadsParser::parse("<ListMultipartUploadsResult>"), XmlParseError);
    EXPECT_EQ(S3MultipartUploadsParser::parse("<Error><Key>k</Key><UploadId>u</UploadId></Error>"),
              MultipartUploadListing{});
}
