#include "core/storage/S3XmlBodies.h"
#include "core/storage/XmlEventReader.h"

#include <gtest/gtest.h>

using namespace tarn;

namespace {

// What a server's XML reader makes of the keys in a delete body.
class KeyCollector final : public XmlEventReader {
public:
    std::vector<std::string> keys;

protected:
    void startElement(std::string_view) override { m_text.clear(); }
    void characters(std::string_view text) override { m_text.append(text); }
    void endElement(std::string_view name) override {
        if (name == "Key") keys.push_back(m_text);
    }

private:
    std::string m_text;
};

constexpr std::string_view kDeleteHead = R"(<?xml version="1.0" encoding="UTF-8"?><Delete><Quiet>true</Quiet>)";

}  // namespace

TEST(S3XmlBodies, DeleteBodyEscapesKeys) {
    EXPECT_EQ(kDeleteHead.size(), 65u);
    EXPECT_EQ(S3XmlBodies::buildDeleteXML({"a&b<c>"}),
              std::string(kDeleteHead) + "<Object><Key>a&amp;b&lt;c&gt;</Key></Object></Delete>");
    EXPECT_EQ(S3XmlBodies::buildDeleteXML({}), std::string(kDeleteHead) + "</Delete>");
    EXPECT_EQ(S3XmlBodies::buildDeleteXML({"x", "it's \"q\""}),
              std::string(kDeleteHead) +
                  "<Object><Key>x</Key></Object><Object><Key>it's \"q\"</Key></Object></Delete>");
}

TEST(S3XmlBodies, DeleteBodyKeepsEveryKeyExact) {
    const std::vector<std::string> keys{
        "photos/a b+c%d.jpg", "日本語/ü", " padded ", "a&amp;b", "line\nbreak", "carriage\rreturn", "tab\tbed",
        "]]>", "dup", "dup",
    };
    KeyCollector reader;
    reader.read(S3XmlBodies::buildDeleteXML(keys));
    EXPECT_EQ(reader.keys, keys);
}

TEST(S3XmlBodies, XmlValue) {
    struct Case {
        std::string body;
        std::string tag;
        std::optional<std::string> value;
    };
    const Case cases[] = {
        {"<?xml version=\"1.0\"?>\n<InitiateMultipartUploadResult><Bucket>b</Bucket><Key>k</Key>"
         "<UploadId>VXBsb2FkIElE</UploadId></InitiateMultipartUploadResult>",
         "UploadId", "VXBsb2FkIElE"},
        // Exactly as it stands: no trimming, no entity decoding.
        {"<UploadId> a&amp;b\n</UploadId>", "UploadId", " a&amp;b\n"},
        {"<UploadId></UploadId>", "UploadId", ""},
        {"<UploadId>one</UploadId><UploadId>two</UploadId>", "UploadId", "one"},
        {"<s3:UploadId>x</s3:UploadId>", "UploadId", std::nullopt},
        {"<UploadId id=\"1\">x</UploadId>", "UploadId", std::nullopt},
        {"<UploadId>x", "UploadId", std::nullopt},
        {"</UploadId><UploadId>x</UploadId>", "UploadId", std::nullopt},
        {"<uploadid>x</uploadid>", "UploadId", std::nullopt},
        {"<UploadId>\xff</UploadId>", "UploadId", std::nullopt},
        {"<UploadId>日本</UploadId>", "UploadId", "日本"},
    };
    for (const auto& c : cases) EXPECT_EQ(S3XmlBodies::xmlValue(c.body, c.tag), c.value) << c.body;
}
