#include "core/storage/S3BucketListParser.h"

#include "core/storage/XmlEventReader.h"
#include "core/storage/XmlText.h"
#include "core/values/SaturatingSum.h"

namespace tarn::S3BucketListParser {

namespace {

class BucketListReader final : public XmlEventReader {
public:
    std::vector<S3BucketInfo> takeBuckets() { return std::move(m_buckets); }

protected:
    void startElement(std::string_view name) override {
        m_text.clear();
        if (name == "Bucket") {
            m_insideBucket = true;
            m_currentName.clear();
            m_currentBytes = 0;
            m_currentFiles = 0;
        }
    }

    void characters(std::string_view text) override { m_text.append(text); }

    void endElement(std::string_view name) override {
        if (m_insideBucket) {
            const std::string_view value = XmlText::trimmed(m_text);
            if (name == "Name") {
                m_currentName = value;
            } else if (name == "Bucket") {
                m_buckets.push_back(S3BucketInfo{std::move(m_currentName), m_currentBytes, m_currentFiles});
                m_insideBucket = false;
            } else if (name.ends_with("Bytes")) {
                m_currentBytes = saturatingSum(m_currentBytes, XmlText::integer(value));
            } else if (name.ends_with("Files")) {
                m_currentFiles = saturatingSum(m_currentFiles, XmlText::integer(value));
            }
        }
        m_text.clear();
    }

private:
    std::vector<S3BucketInfo> m_buckets;
    std::string m_text;
    bool m_insideBucket = false;
    std::string m_currentName;
    std::int64_t m_currentBytes = 0;
    std::int64_t m_currentFiles = 0;
};

}  // namespace

std::vector<S3BucketInfo> parse(std::string_view bytes) {
    BucketListReader reader;
    reader.read(bytes);
    return reader.takeBuckets();
}

}  // namespace tarn::S3BucketListParser
