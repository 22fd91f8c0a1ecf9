#include "core/S3XmlBodies.h"

#include "core/Utf8.h"

namespace tarn::S3XmlBodies {

std::string buildDeleteXML(const std::vector<std::string>& keys) {
    std::string body = R"(<?xml version="1.0" encoding="UTF-8"?><Delete><Quiet>true</Quiet>)";
    for (const std::string& key : keys) {
        body += "<Object><Key>";
        for (const char c : key) {
            switch (c) {
            case '&':
                body += "&amp;";
                break;
            case '<':
                body += "&lt;";
                break;
            case '>':
                body += "&gt;";
                break;
            // The server's XML reader turns a bare carriage return into a line feed,
            // which would delete a different object.
            case '\r':
                body += "&#13;";
                break;
            default:
                body += c;
            }
        }
        body += "</Key></Object>";
    }
    body += "</Delete>";
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
