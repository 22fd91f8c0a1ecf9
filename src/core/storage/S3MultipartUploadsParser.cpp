#include "core/storage/S3MultipartUploadsParser.h"

#include "core/storage/XmlEventReader.h"
#include "core/storage/XmlText.h"

namespace tarn::S3MultipartUploadsParser {

namespace {

std::optional<std::string> nonEmpty(std::string_view value) {
    if (value.empty()) return std::nullopt;
    return std::string(value);
}

class UploadsReader final : public XmlEventReader {
public:
    MultipartUploadListing takeListing() { return std::move(m_listing); }

protected:
    void startElement(std::string_view name) override {
        m_text.clear();
        if (name == "Upload") {
            m_insideUpload = true;
            m_key.reset();
            m_uploadId.reset();
            m_initiated.reset();
            m_storageClass.reset();
        }
    }

    void characters(std::string_view text) override { m_text.append(text); }

    void endElement(std::string_view name) override {
        const std::string_view value = XmlText::trimmed(m_text);
        // Keys and key markers are taken exactly as sent: a key may begin or end in
        // spaces, and a trimmed marker would page from the wrong place.
        if (m_insideUpload) {
            if (name == "Key") {
                m_key = m_text;
            } else if (name == "UploadId") {
                m_uploadId = value;
            } else if (name == "Initiated") {
                m_initiated = XmlText::date(value);
            } else if (name == "StorageClass") {
                m_storageClass = value;
            } else if (name == "Upload") {
                if (m_key && m_uploadId) {
                    m_listing.uploads.push_back(MultipartUpload{std::move(*m_key), std::move(*m_uploadId),
                                                                m_initiated, std::move(m_storageClass)});
                }
                m_insideUpload = false;
            }
        } else if (name == "IsTruncated") {
            m_listing.isTruncated = XmlText::boolean(value);
        } else if (name == "NextKeyMarker") {
            m_listing.nextKeyMarker = nonEmpty(m_text);
        } else if (name == "NextUploadIdMarker") {
            m_listing.nextUploadIdMarker = nonEmpty(value);
        }
        m_text.clear();
    }

private:
    MultipartUploadListing m_listing;
    std::string m_text;
    bool m_insideUpload = false;
    std::optional<std::string> m_key;
    std::optional<std::string> m_uploadId;
    std::optional<TimePoint> m_initiated;
    std::optional<std::string> m_storageClass;
};

}  // namespace

MultipartUploadListing parse(std::string_view bytes) {
    UploadsReader reader;
    reader.read(bytes);
    return reader.takeListing();
}

}  // namespace tarn::S3MultipartUploadsParser
