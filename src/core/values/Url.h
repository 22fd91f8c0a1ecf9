#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace tarn {

// A URL as the configuration stores it. The text is kept exactly as given, so a
// stored endpoint is written back unchanged; the components come from libcurl's
// URL parser. A reference without a scheme ("cdn.example.com/x") is a valid URL
// with neither scheme nor host, as callers must be able to tell that case apart;
// so is one whose authority has no host ("https://", "https:///images"). A
// default-constructed Url is the empty text, which parse() refuses.
class Url {
public:
    static std::optional<Url> parse(std::string_view text);

    const std::string& absoluteString() const { return m_text; }
    // Lower-case scheme, when the text has one.
    const std::optional<std::string>& scheme() const { return m_scheme; }
    // The host as written, IPv6 literals without their brackets ("::1").
    const std::optional<std::string>& host() const { return m_host; }
    // The port only when the text spells one out.
    std::optional<int> port() const { return m_port; }
    // The path ("" when there is none).
    const std::string& path() const { return m_path; }

    // True for an IPv4 address or an IPv6 literal, the hosts that cannot carry a
    // bucket name as a first label.
    bool hostIsIpLiteral() const;
    // The host as it goes into an authority: IPv6 literals in brackets.
    std::optional<std::string> hostForAuthority() const;

    bool operator==(const Url& other) const { return m_text == other.m_text; }

private:
    std::string m_text;
    std::optional<std::string> m_scheme;
    std::optional<std::string> m_host;
    std::optional<int> m_port;
    std::string m_path;
};

}  // namespace tarn
