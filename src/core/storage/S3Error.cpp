#include "core/storage/S3Error.h"

#include "core/storage/LogMasking.h"
#include "core/storage/XmlEventReader.h"
#include "core/storage/XmlParseError.h"
#include "core/storage/XmlText.h"
#include "core/text/ByteFormatter.h"
#include "core/text/Utf8.h"

#include <cstdint>
#include <string_view>

namespace tarn {

namespace {

void replaceAll(std::string& text, std::string_view from, std::string_view to) {
    for (std::size_t pos = text.find(from); pos != std::string::npos; pos = text.find(from, pos + to.size())) {
        text.replace(pos, from.size(), to);
    }
}

// The bytes without a UTF-8 sequence that their end cuts short.
std::string_view withoutCutSequence(std::string_view bytes) {
    for (std::size_t back = 1; back <= 4 && back <= bytes.size(); ++back) {
        const auto byte = static_cast<unsigned char>(bytes[bytes.size() - back]);
        if ((byte & 0xC0) == 0x80) continue;  // inside a sequence: look for its lead byte
        const std::size_t length = byte >= 0xF0 ? 4 : byte >= 0xE0 ? 3 : byte >= 0xC0 ? 2 : 1;
        return length > back ? bytes.substr(0, bytes.size() - back) : bytes;
    }
    return bytes;
}

// The name of a document's root element, as written (a prefix stays part of it),
// read by the XML reader: what stands before it (a byte-order mark, the declaration,
// a document type, comments) is the reader's affair. A document cut short after its
// root began still names it.
struct DocumentRoot {
    std::optional<std::string> name;
    bool wellFormed = false;
};

class RootReader final : public XmlEventReader {
public:
    std::optional<std::string> root;

protected:
    void startElement(std::string_view name) override {
        if (!root) root = std::string(name);
    }
    void characters(std::string_view) override {}
    void endElement(std::string_view) override {}
};

DocumentRoot documentRoot(std::string_view body) {
    RootReader reader;
    DocumentRoot root;
    try {
        reader.read(body);
        root.wellFormed = reader.root.has_value();
    } catch (const XmlParseError&) {
    } catch (const S3Error&) {
    }
    root.name = std::move(reader.root);
    return root;
}

}  // namespace

S3Error::S3Error(Kind kind, int statusCode, std::string body)
    : m_kind(kind), m_statusCode(statusCode), m_body(std::move(body)) {
    switch (m_kind) {
    case Kind::invalidURL:
        m_description = "Invalid endpoint URL.";
        break;
    case Kind::missingSecret:
        m_description = "Missing access secret.";
        break;
    case Kind::unexpectedResponse:
        m_description = "Unexpected storage response.";
        break;
    case Kind::requestFailed:
        m_description = "Storage request failed (" + std::to_string(m_statusCode);
        if (const auto code = errorCode()) {
            m_description += " " + *code + "). " + errorMessage().value_or("");
        } else {
            // The description goes where the body itself would not (the debug log, a
            // failure line): the echoes of a signature stay out of it, as in the log.
            m_description += "). " + LogMasking::maskedBody(m_body);
        }
        break;
    }
}

std::string S3Error::bodyText(std::string_view bytes, bool cut) {
    if (bytes.size() > kMaxBodyBytes) {
        bytes = bytes.substr(0, kMaxBodyBytes);
        cut = true;
    }
    // A character cut apart at the end is dropped, not taken for binary data.
    const std::string_view kept = cut ? withoutCutSequence(bytes) : bytes;
    std::string text = Utf8::isValid(kept) ? std::string(kept) : "(binary " + std::to_string(bytes.size()) + " bytes)";
    if (cut) {
        text += "… (cut: only the first " + ByteFormatter::string(static_cast<std::int64_t>(kMaxBodyBytes)) +
                " of the answer were kept)";
    }
    return text;
}

S3Error S3Error::requestFailed(int statusCode, std::string body) {
    return S3Error(Kind::requestFailed, statusCode, std::move(body));
}
S3Error S3Error::invalidURL() { return S3Error(Kind::invalidURL, 0, {}); }
S3Error S3Error::missingSecret() { return S3Error(Kind::missingSecret, 0, {}); }
S3Error S3Error::unexpectedResponse() { return S3Error(Kind::unexpectedResponse, 0, {}); }

std::optional<S3Error> S3Error::fromErrorDocument(int statusCode, std::string_view body) {
    if (documentRoot(body).name != "Error") return std::nullopt;
    return requestFailed(statusCode, bodyText(body, false));
}

std::optional<S3Error> S3Error::fromResultDocument(int statusCode, std::string_view body,
                                                   std::string_view resultElement) {
    const DocumentRoot root = documentRoot(body);
    if (root.wellFormed && root.name) {
        const std::string_view name = *root.name;
        constexpr std::string_view kResult = "Result";
        constexpr std::string_view kResponse = "Response";
        if (name == resultElement) return std::nullopt;
        if (resultElement.ends_with(kResult) && name.ends_with(kResponse) &&
            name.substr(0, name.size() - kResponse.size()) ==
                resultElement.substr(0, resultElement.size() - kResult.size())) {
            return std::nullopt;
        }
    }
    if (root.name == "Error") return requestFailed(statusCode, bodyText(body, false));
    return unexpectedResponse();
}

std::optional<int> S3Error::statusCode() const {
    if (m_kind != Kind::requestFailed) return std::nullopt;
    return m_statusCode;
}

std::optional<std::string> S3Error::errorCode() const { return xmlField("Code"); }
std::optional<std::string> S3Error::errorMessage() const { return xmlField("Message"); }

bool S3Error::isNoSuchUpload() const { return errorCode() == std::optional<std::string>("NoSuchUpload"); }

// A plain text search, not an XML parse: error bodies arrive from proxies and
// gateways too, and a page that is not XML simply has no code.
std::optional<std::string> S3Error::xmlField(const std::string& name) const {
    if (m_kind != Kind::requestFailed) return std::nullopt;
    const std::string open = "<" + name + ">";
    const std::string close = "</" + name + ">";
    const std::size_t openPos = m_body.find(open);
    if (openPos == std::string::npos) return std::nullopt;
    const std::size_t start = openPos + open.size();
    const std::size_t closePos = m_body.find(close, start);
    if (closePos == std::string::npos) return std::nullopt;

    std::string value(XmlText::trimmed(std::string_view(m_body).substr(start, closePos - start)));
    if (value.empty()) return std::nullopt;
    // "&amp;" last, so that an escaped entity ("&amp;lt;") stays the text "&lt;".
    replaceAll(value, "&lt;", "<");
    replaceAll(value, "&gt;", ">");
    replaceAll(value, "&quot;", "\"");
    replaceAll(value, "&#39;", "'");
    replaceAll(value, "&apos;", "'");
    replaceAll(value, "&amp;", "&");
    return value;
}

}  // namespace tarn
