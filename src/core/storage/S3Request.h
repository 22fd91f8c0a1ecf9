#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tarn {

struct HttpHeader {
    std::string name;
    std::string value;

    bool operator==(const HttpHeader&) const = default;
};

// The value of the first header of that name, compared without regard to case.
const std::string* findHeader(const std::vector<HttpHeader>& headers, std::string_view name);
// The same value as a copy; absent when there is no such header.
std::optional<std::string> headerValue(const std::vector<HttpHeader>& headers, std::string_view name);
// Whether the text is an HTTP token, the form of header names: not empty, and only
// letters, digits and !#$%&'*+-.^_`|~.
bool isHttpToken(std::string_view text);
// Throws std::invalid_argument for the first header that cannot reach the wire as it
// stands: a name that is not an HTTP token, a value with a line break or a NUL byte.
void checkSendable(const std::vector<HttpHeader>& headers);

// One item of a URL's query in decoded form. An item without a value is written
// as the bare name ("delete"), one with an empty value as the name and "=".
struct QueryItem {
    std::string name;
    std::optional<std::string> value;

    bool operator==(const QueryItem&) const = default;
};

// A storage request exactly as it goes on the wire: the transport sends the method,
// the URL, these headers and this body unchanged, so the headers that are signed are
// the headers that are sent.
struct S3Request {
    std::string method = "GET";
    std::string url;
    std::vector<HttpHeader> headers;  // in the order they are sent
    std::vector<std::uint8_t> body;   // empty: the request carries no body
    // A transfer that moves no byte for this long fails; a slow but moving upload of a
    // large body never does.
    std::chrono::seconds idleTimeout{60};

    const std::string* header(std::string_view name) const { return findHeader(headers, name); }
    // Replaces the value of the first header of that name (the name keeps its place
    // and takes the new spelling) and drops any further ones; appends it otherwise.
    void setHeader(std::string_view name, std::string value);
    void removeHeader(std::string_view name);

    bool operator==(const S3Request&) const = default;
};

}  // namespace tarn
