#include "core/storage/S3DeleteResultParser.h"

#include "core/storage/S3Error.h"
#include "core/storage/XmlEventReader.h"
#include "core/storage/XmlText.h"

namespace tarn::S3DeleteResultParser {

namespace {

class DeleteResultReader final : public XmlEventReader {
public:
    std::vector<DeleteFailure> takeFailures() { return std::move(m_failures); }
    bool sawDeleteResult() const { return m_sawRoot; }

protected:
    void startElement(std::string_view name) override {
        if (m_depth == 0) m_sawRoot = name == "DeleteResult";
        ++m_depth;
        m_text.clear();
        if (m_depth == 2 && name == "Error") {
            m_insideError = true;
            m_current = DeleteFailure{};
        }
    }

    void characters(std::string_view text) override { m_text.append(text); }

    void endElement(std::string_view name) override {
        --m_depth;
        if (m_insideError) {
            if (name == "Key") {
                // Keys are taken exactly as sent: a key may begin or end in spaces.
                m_current.key = m_text;
            } else if (name == "Code") {
                m_current.code = std::string(XmlText::trimmed(m_text));
            } else if (name == "Message") {
                m_current.message = std::string(XmlText::trimmed(m_text));
            } else if (name == "Error" && m_depth == 1) {
                // An entry without a key still means an object was not deleted.
                m_failures.push_back(std::move(m_current));
                m_insideError = false;
            }
        }
        m_text.clear();
    }

private:
    std::vector<DeleteFailure> m_failures;
    std::string m_text;
    int m_depth = 0;
    bool m_sawRoot = false;
    bool m_insideError = false;
    DeleteFailure m_current;
};

}  // namespace

std::vector<DeleteFailure> failures(std::string_view bytes) {
    // Quiet mode lists only the keys that failed, and some servers leave out the
    // document as well when there are none.
    if (XmlText::trimmed(bytes).empty()) return {};
    DeleteResultReader reader;
    reader.read(bytes);
    if (!reader.sawDeleteResult()) throw S3Error::unexpectedResponse();
    return reader.takeFailures();
}

}  // namespace tarn::S3DeleteResultParser
