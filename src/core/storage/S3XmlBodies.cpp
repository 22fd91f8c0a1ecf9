#include "core/storage/S3XmlBodies.h"

#include "core/text/Utf8.h"

#include <algorithm>

namespace tarn::S3XmlBodies {

namespace {

void appendEscaped(std::string& xml, std::string_view text) {
    for (const char c : text) {
        switch (c) {
        case '&':
            xml += "&amp;";
            break;
        case '<':
            xml += "&lt;";
            break;
        case '>':
            xml += "&gt;";
            break;
        // The server's XML reader turns a bare carriage return into a line feed,
        // which would name a different object.
        case '\r':
            xml += "&#13;";
            break;
        default:
            xml += c;
        }
    }
}

}  // namespace

std::string buildDeleteXML(const std::vector<std::string>& keys) {
    std::string body = R"(<?xml version="1.0" encoding="UTF-8"?><Delete><Quiet>true</Quiet>)";
    for (const std::string& key : keys) {
        body += "<Object><Key>";
        appendEscaped(body, key);
        body += "</Key></Object>";
    }
    body += "</Delete>";
    return body;
}

std::string buildCompleteMultipartUploadXML(std::vector<UploadPart> parts) {
    std::stable_sort(parts.begin(), parts.end(),
                     [](const UploadPart& a, const UploadPart& b) { return a.number < b.number; });
    std::string body = "<CompleteMultipartUpload>";
    for (const UploadPart& part : parts) {
        body += "<Part><PartNumber>" + std::to_string(part.number) + "</PartNumber><ETag>";
        appendEscaped(body, part.etag);
        body += "</ETag></Part>";
    }
    body += "</CompleteMultipartUpload>";
    return body;
}

std::optional<std::string> xmlValue(std::string_view bytes, std::string_view tag) {
    if (!Utf8::isValid(bytes)) return std::nullopt;
    const std::string open = "<" + std::string(tag) + ">";
    const std::string close = "</" + std::string(tag) + ">";
    const std::size_t openPos = bytes.find(open);
    // Searched from the start, not after the opening tag: a closing tag that comes
    // first means the document is not the one expected.
    const std::size_t closePos = bytes.find(close);
    if (openPos == std::string_view::npos || closePos == std::string_view::npos) return std::nullopt;
    const std::size_t start = openPos + open.size();
    if (closePos < start) return std::nullopt;
    return std::string(bytes.substr(start, closePos - start));
}

}  // namespace tarn::S3XmlBodies
