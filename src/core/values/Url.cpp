#include "core/values/Url.h"

#include "core/text/AsciiCase.h"

#include <curl/curl.h>

#include <algorithm>
#include <arpa/inet.h>
#include <cctype>
#include <memory>

namespace tarn {

namespace {

struct CurlUrlDeleter {
    void operator()(CURLU* handle) const { curl_url_cleanup(handle); }
};
using CurlUrlHandle = std::unique_ptr<CURLU, CurlUrlDeleter>;

std::optional<std::string> urlPart(CURLU* handle, CURLUPart part) {
    char* value = nullptr;
    if (curl_url_get(handle, part, &value, 0) != CURLUE_OK || value == nullptr) return std::nullopt;
    std::string text(value);
    curl_free(value);
    return text;
}

// Characters that never stand unescaped in a URL; a text holding one is not a URL.
bool hasForbiddenCharacter(std::string_view text) {
    return std::any_of(text.begin(), text.end(), [](char c) {
        const auto byte = static_cast<unsigned char>(c);
        return byte <= 0x20 || byte == 0x7F || c == '"' || c == '<' || c == '>' || c == '\\' ||
               c == '^' || c == '`' || c == '{' || c == '|' || c == '}';
    });
}

// Length of the "scheme:" prefix, 0 when the text has no scheme.
std::size_t schemeLength(std::string_view text) {
    if (text.empty() || !std::isalpha(static_cast<unsigned char>(text[0]))) return 0;
    for (std::size_t i = 1; i < text.size(); ++i) {
        const char c = text[i];
        if (c == ':') return i;
        if (!std::isalnum(static_cast<unsigned char>(c)) && c != '+' && c != '-' && c != '.') return 0;
    }
    return 0;
}

// The host of an authority ("user@host:port"), without user information or port.
std::string_view hostOfAuthority(std::string_view authority) {
    const std::size_t at = authority.rfind('@');
    if (at != std::string_view::npos) authority.remove_prefix(at + 1);
    if (authority.starts_with('[')) return authority;
    return authority.substr(0, authority.find(':'));
}

}  // namespace

std::optional<Url> Url::parse(std::string_view text) {
    if (text.empty() || hasForbiddenCharacter(text)) return std::nullopt;

    Url url;
    url.m_text = std::string(text);
    const std::size_t schemeEnd = schemeLength(text);
    if (schemeEnd == 0) {
        // A relative reference: valid, but without scheme or host.
        url.m_path = std::string(text.substr(0, text.find_first_of("?#")));
        return url;
    }
    url.m_scheme = AsciiCase::lowercased(text.substr(0, schemeEnd));
    if (text.substr(schemeEnd + 1, 2) != "//") {
        // "mailto:x" and the like: a scheme, no authority.
        url.m_path = std::string(text.substr(schemeEnd + 1));
        return url;
    }
    const std::size_t authorityStart = schemeEnd + 3;
    const std::size_t authorityEnd = std::min(text.find_first_of("/?#", authorityStart), text.size());
    if (hostOfAuthority(text.substr(authorityStart, authorityEnd - authorityStart)).empty()) {
        // "https://" (a half-filled form) or "https:///images": a URL without a host.
        // curl would refuse the first and take "images" for the host of the second.
        url.m_path = std::string(text.substr(authorityEnd, text.find_first_of("?#", authorityEnd) - authorityEnd));
        return url;
    }

    CurlUrlHandle handle(curl_url());
    if (!handle) return std::nullopt;
    const std::string owned(text);
    if (curl_url_set(handle.get(), CURLUPART_URL, owned.c_str(), CURLU_NON_SUPPORT_SCHEME) != CURLUE_OK) {
        return std::nullopt;
    }
    if (auto host = urlPart(handle.get(), CURLUPART_HOST)) {
        if (host->size() >= 2 && host->front() == '[' && host->back() == ']') {
            *host = host->substr(1, host->size() - 2);
        }
        if (!host->empty()) url.m_host = std::move(*host);
    }
    if (auto port = urlPart(handle.get(), CURLUPART_PORT)) {
        try {
            url.m_port = std::stoi(*port);
        } catch (const std::exception&) {
            return std::nullopt;
        }
    }
    // curl answers "/" for an empty path; keep the text's own form.
    const std::size_t pathStart = text.find_first_of("/?#", authorityStart);
    if (pathStart != std::string_view::npos && text[pathStart] == '/') {
        const std::size_t pathEnd = text.find_first_of("?#", pathStart);
        url.m_path = std::string(text.substr(pathStart, pathEnd - pathStart));
    }
    return url;
}

bool Url::hostIsIpLiteral() const {
    if (!m_host) return false;
    unsigned char buffer[sizeof(in6_addr)];
    if (inet_pton(AF_INET, m_host->c_str(), buffer) == 1) return true;
    const std::string withoutZone = m_host->substr(0, m_host->find('%'));
    return inet_pton(AF_INET6, withoutZone.c_str(), buffer) == 1;
}

std::optional<std::string> Url::hostForAuthority() const {
    if (!m_host) return std::nullopt;
    if (m_host->find(':') != std::string::npos) return "[" + *m_host + "]";
    return m_host;
}

}  // namespace tarn
