#include "core/storage/S3ListParser.h"

#include "core/storage/FaultyListingError.h"
#include "core/storage/XmlEventReader.h"
#include "core/storage/XmlText.h"

namespace tarn::S3ListParser {

namespace {

class ListReader final : public XmlEventReader {
public:
    ListReader() { m_text.reserve(1024); }

    S3Listing takeListing() { return std::move(m_listing); }

protected:
    void startElement(std::string_view name) override {
        m_text.clear();
        if (name == "Contents") {
            m_insideContents = true;
            m_key.reset();
            m_size = 0;
            m_lastModified.reset();
            m_storageClass.reset();
            m_eTag.reset();
        } else if (name == "CommonPrefixes") {
            m_insideCommonPrefix = true;
            m_prefix.reset();
        }
    }

    void characters(std::string_view text) override { m_text.append(text); }

    void endElement(std::string_view name) override {
        const std::string_view value = XmlText::trimmed(m_text);
        if (m_insideCommonPrefix) {
            // Keys and prefixes are taken exactly as sent: a key may begin or end in
            // spaces, and a trimmed one would name another object.
            if (name == "Prefix") {
                m_prefix = m_text;
            } else if (name == "CommonPrefixes") {
                if (m_prefix) m_listing.prefixes.push_back(ObjectPrefix{std::move(*m_prefix)});
                m_insideCommonPrefix = false;
            }
        } else if (m_insideContents) {
            if (name == "Key") {
                m_key = m_text;
            } else if (name == "Size") {
                m_size = XmlText::integer(value);
            } else if (name == "LastModified") {
                m_lastModified = XmlText::date(value);
            } else if (name == "StorageClass") {
                m_storageClass = value;
            } else if (name == "ETag") {
                const std::size_t first = value.find_first_not_of('"');
                m_eTag = first == std::string_view::npos ? std::string_view()
                                                         : value.substr(first, value.find_last_not_of('"') - first + 1);
            } else if (name == "Contents") {
                // Tolerant of a size it cannot read (0), but not of one that reads as
                // less than nothing.
                if (m_size < 0) {
                    throw FaultyListingError(FaultyListingError::Fault::negativeSize, {}, m_key.value_or(std::string()));
                }
                if (m_key) {
                    m_listing.objects.push_back(ObjectItem{std::move(*m_key), m_size, m_lastModified,
                                                           std::move(m_storageClass), std::move(m_eTag)});
                }
                m_insideContents = false;
            }
        } else {
            handleTopLevel(name, value);
        }
        m_text.clear();
    }

private:
    void handleTopLevel(std::string_view name, std::string_view value) {
        if (name == "IsTruncated") {
            m_listing.isTruncated = XmlText::boolean(value);
        } else if (name == "NextContinuationToken") {
            m_listing.nextContinuationToken = value;
        }
    }

    S3Listing m_listing;
    std::string m_text;
    std::optional<std::string> m_key;
    std::optional<std::string> m_prefix;
    std::int64_t m_size = 0;
    std::optional<TimePoint> m_lastModified;
    std::optional<std::string> m_storageClass;
    std::optional<std::string> m_eTag;
    bool m_insideContents = false;
    bool m_insideCommonPrefix = false;
};

}  // namespace

S3Listing parse(std::string_view bytes) {
    ListReader reader;
    reader.read(bytes);
    return reader.takeListing();
}

}  // namespace tarn::S3ListParser
