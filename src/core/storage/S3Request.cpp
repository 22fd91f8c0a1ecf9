#include "core/storage/S3Request.h"

#include "core/text/AsciiCase.h"

#include <algorithm>
#include <stdexcept>

namespace tarn {

bool isHttpToken(std::string_view text) {
    constexpr std::string_view kSymbols = "!#$%&'*+-.^_`|~";
    return !text.empty() && std::all_of(text.begin(), text.end(), [&](char c) {
        return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
               kSymbols.find(c) != std::string_view::npos;
    });
}

// A header that reaches the wire other than it was written would be refused, or, with
// a line break in it, would smuggle further headers into the request.
void checkSendable(const std::vector<HttpHeader>& headers) {
    for (const HttpHeader& header : headers) {
        if (!isHttpToken(header.name)) {
            throw std::invalid_argument("The header name \"" + header.name + "\" cannot be sent.");
        }
        if (header.value.find_first_of(std::string_view("\r\n\0", 3)) != std::string::npos) {
            throw std::invalid_argument("The value of the header \"" + header.name + "\" holds a line break.");
        }
    }
}

const std::string* findHeader(const std::vector<HttpHeader>& headers, std::string_view name) {
    const auto found =
        std::find_if(headers.begin(), headers.end(), [&](const HttpHeader& h) { return AsciiCase::equalsIgnoringCase(h.name, name); });
    return found == headers.end() ? nullptr : &found->value;
}

std::optional<std::string> headerValue(const std::vector<HttpHeader>& headers, std::string_view name) {
    if (const std::string* value = findHeader(headers, name)) return *value;
    return std::nullopt;
}

void S3Request::setHeader(std::string_view name, std::string value) {
    const auto found =
        std::find_if(headers.begin(), headers.end(), [&](const HttpHeader& h) { return AsciiCase::equalsIgnoringCase(h.name, name); });
    if (found == headers.end()) {
        headers.push_back({std::string(name), std::move(value)});
        return;
    }
    found->name.assign(name);
    found->value = std::move(value);
    headers.erase(std::remove_if(std::next(found), headers.end(),
                                 [&](const HttpHeader& h) { return AsciiCase::equalsIgnoringCase(h.name, name); }),
                  headers.end());
}

void S3Request::removeHeader(std::string_view name) {
    std::erase_if(headers, [&](const HttpHeader& h) { return AsciiCase::equalsIgnoringCase(h.name, name); });
}

}  // namespace tarn
