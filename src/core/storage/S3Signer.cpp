#include "core/storage/S3Signer.h"

#include "core/crypto/Crypto.h"
#include "core/storage/S3Error.h"
#include "core/text/AsciiCase.h"

#include <openssl/crypto.h>

#include <algorithm>
#include <charconv>
#include <chrono>
#include <stdexcept>

namespace tarn::S3Signer {

namespace {

constexpr std::string_view kAlgorithm = "AWS4-HMAC-SHA256";
constexpr std::string_view kUnsignedPayload = "UNSIGNED-PAYLOAD";

bool isUnreserved(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' || c == '.' ||
           c == '_' || c == '~';
}

// Appends `c` as it is when it is unreserved (or a "/" the caller keeps), else as "%XX".
void appendEncoded(std::string& out, char c, bool keepSlash) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    if (isUnreserved(c) || (keepSlash && c == '/')) {
        out += c;
        return;
    }
    const auto byte = static_cast<unsigned char>(c);
    out += '%';
    out += kHex[byte >> 4];
    out += kHex[byte & 0x0F];
}

void appendEncoded(std::string& out, std::string_view text, bool keepSlash = false) {
    for (const char c : text) appendEncoded(out, c, keepSlash);
}

int hexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// Decodes the escape at `pos` when there is a well-formed one; a stray "%" stands for itself.
char decodedAt(std::string_view text, std::size_t& pos) {
    if (text[pos] == '%' && pos + 2 < text.size() && hexValue(text[pos + 1]) >= 0 &&
        hexValue(text[pos + 2]) >= 0) {
        const char c = static_cast<char>(hexValue(text[pos + 1]) * 16 + hexValue(text[pos + 2]));
        pos += 3;
        return c;
    }
    return text[pos++];
}


// The parts of a URL that signing needs, as views into the URL's text.
struct UrlParts {
    std::string_view beforeQuery;  // scheme, authority and path
    std::string_view path;         // as written, still escaped
    std::optional<std::string_view> query;
    std::string_view fragment;  // with its "#", or empty
    // The value of "Host": what the HTTP layer would send, the host in lower case with
    // the port only when it is not the scheme's default. Servers verify the signature
    // against the Host they receive, so a port left out here is refused.
    std::string host;
};

UrlParts splitUrl(std::string_view url) {
    const std::size_t schemeEnd = url.find("://");
    if (schemeEnd == 0 || schemeEnd == std::string_view::npos) throw S3Error::invalidURL();
    const std::string scheme = AsciiCase::lowercased(url.substr(0, schemeEnd));

    const std::size_t authorityStart = schemeEnd + 3;
    const std::size_t authorityEnd = std::min(url.find_first_of("/?#", authorityStart), url.size());
    std::string_view authority = url.substr(authorityStart, authorityEnd - authorityStart);
    if (const std::size_t at = authority.rfind('@'); at != std::string_view::npos) authority.remove_prefix(at + 1);

    std::size_t hostEnd = authority.find(':');
    if (!authority.empty() && authority.front() == '[') {
        const std::size_t close = authority.find(']');
        if (close == std::string_view::npos) throw S3Error::invalidURL();
        hostEnd = close + 1;
    }
    const std::string_view host = authority.substr(0, hostEnd);
    std::string_view portText = hostEnd < authority.size() ? authority.substr(hostEnd) : std::string_view();
    if (!portText.empty()) {
        if (portText.front() != ':') throw S3Error::invalidURL();
        portText.remove_prefix(1);
    }
    if (host.empty() || host == "[]") throw S3Error::invalidURL();

    UrlParts parts;
    parts.host.reserve(host.size() + 6);
    std::transform(host.begin(), host.end(), std::back_inserter(parts.host), AsciiCase::lowered);
    if (!portText.empty()) {
        int port = 0;
        const auto [end, error] = std::from_chars(portText.data(), portText.data() + portText.size(), port);
        if (error != std::errc() || end != portText.data() + portText.size() || port < 0 || port > 65535) {
            throw S3Error::invalidURL();
        }
        const bool isDefault = (scheme == "http" && port == 80) || (scheme == "https" && port == 443);
        if (!isDefault) {
            parts.host += ':';
            parts.host += std::to_string(port);
        }
    }

    const std::size_t pathEnd = std::min(url.find_first_of("?#", authorityEnd), url.size());
    parts.path = url.substr(authorityEnd, pathEnd - authorityEnd);
    parts.beforeQuery = url.substr(0, pathEnd);
    std::size_t fragmentStart = pathEnd;
    if (pathEnd < url.size() && url[pathEnd] == '?') {
        fragmentStart = std::min(url.find('#', pathEnd), url.size());
        parts.query = url.substr(pathEnd + 1, fragmentStart - pathEnd - 1);
    }
    parts.fragment = url.substr(fragmentStart);
    return parts;
}

// "yyyyMMddTHHmmssZ" in UTC; the date text is its first eight characters.
struct SigningTime {
    char text[16];

    std::string_view timestamp() const { return {text, 16}; }
    std::string_view date() const { return {text, 8}; }
};

SigningTime signingTime(TimePoint time) {
    using namespace std::chrono;
    const auto second = floor<seconds>(time);
    const auto day = floor<days>(second);
    const year_month_day date{day};
    const hh_mm_ss clock{second - day};
    SigningTime result{};
    const auto put = [&](std::size_t at, unsigned value, std::size_t width) {
        for (std::size_t i = width; i > 0; --i, value /= 10) {
            result.text[at + i - 1] = static_cast<char>('0' + value % 10);
        }
    };
    put(0, static_cast<unsigned>(static_cast<int>(date.year())) % 10000, 4);
    put(4, static_cast<unsigned>(date.month()), 2);
    put(6, static_cast<unsigned>(date.day()), 2);
    result.text[8] = 'T';
    put(9, static_cast<unsigned>(clock.hours().count()), 2);
    put(11, static_cast<unsigned>(clock.minutes().count()), 2);
    put(13, static_cast<unsigned>(clock.seconds().count()), 2);
    result.text[15] = 'Z';
    return result;
}

std::string credentialScope(const SigningTime& time, std::string_view region) {
    std::string scope;
    scope.reserve(region.size() + 28);
    scope.append(time.date()).append("/").append(region).append("/s3/aws4_request");
    return scope;
}

// The path of the URL, decoded and encoded again piece by piece, so that a key
// escaped once on the wire is escaped once here too.
void appendCanonicalPath(std::string& out, std::string_view rawPath) {
    if (rawPath.empty()) {
        out += '/';
        return;
    }
    for (std::size_t pos = 0; pos < rawPath.size();) appendEncoded(out, decodedAt(rawPath, pos), true);
}

// Signature Version 4 folds a value's surrounding blanks away and each inner run of
// them into one space; the value sent keeps its own form.
void appendCanonicalValue(std::string& out, std::string_view value) {
    bool started = false;
    bool pendingSpace = false;
    for (const char c : value) {
        if (c == ' ' || c == '\t') {
            pendingSpace = started;
            continue;
        }
        if (pendingSpace) out += ' ';
        out += c;
        started = true;
        pendingSpace = false;
    }
}

bool lowerLess(std::string_view a, std::string_view b) {
    return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(),
                                        [](char x, char y) { return AsciiCase::lowered(x) < AsciiCase::lowered(y); });
}

// Appends a line "name:value" for each header name in lower case, sorted, the values
// of a repeated name joined by "," in the order they are sent; then the empty line
// and the line of the names joined by ";". Returns where that last line stands.
std::pair<std::size_t, std::size_t> appendCanonicalHeaders(std::string& out, const std::vector<HttpHeader>& headers) {
    std::vector<const HttpHeader*> sorted;
    sorted.reserve(headers.size());
    for (const HttpHeader& header : headers) sorted.push_back(&header);
    // Pointers into the list compare in sending order, which keeps repeated names in it.
    std::sort(sorted.begin(), sorted.end(), [](const HttpHeader* a, const HttpHeader* b) {
        return lowerLess(a->name, b->name) || (!lowerLess(b->name, a->name) && a < b);
    });
    const auto repeatsName = [&](std::size_t i) {
        return i > 0 && AsciiCase::equalsIgnoringCase(sorted[i - 1]->name, sorted[i]->name);
    };
    const auto appendName = [&](std::size_t i) {
        std::transform(sorted[i]->name.begin(), sorted[i]->name.end(), std::back_inserter(out), AsciiCase::lowered);
    };

    for (std::size_t i = 0; i < sorted.size(); ++i) {
        if (repeatsName(i)) {
            out.back() = ',';
        } else {
            appendName(i);
            out += ':';
        }
        appendCanonicalValue(out, sorted[i]->value);
        out += '\n';
    }
    out += '\n';
    const std::size_t namesStart = out.size();
    for (std::size_t i = 0; i < sorted.size(); ++i) {
        if (repeatsName(i)) continue;
        if (out.size() > namesStart) out += ';';
        appendName(i);
    }
    return {namesStart, out.size()};
}

Crypto::Sha256Digest signingKey(const std::string& secret, const SigningTime& time, std::string_view region) {
    std::string seed = "AWS4" + secret;
    Crypto::Sha256Digest key = Crypto::hmacSha256(seed, time.date());
    OPENSSL_cleanse(seed.data(), seed.size());
    key = Crypto::hmacSha256(key, region);
    key = Crypto::hmacSha256(key, "s3");
    return Crypto::hmacSha256(key, "aws4_request");
}

// The string to sign and the signature of a finished canonical request.
SigningStages finish(std::string canonicalRequest, const SigningTime& time, std::string_view scope,
                     std::string_view region, const S3Credentials& credentials) {
    SigningStages stages;
    stages.stringToSign.reserve(kAlgorithm.size() + scope.size() + 16 + 64 + 3);
    stages.stringToSign.append(kAlgorithm).append("\n").append(time.timestamp()).append("\n").append(scope);
    stages.stringToSign.append("\n").append(Crypto::hexLower(Crypto::sha256(canonicalRequest)));
    stages.canonicalRequest = std::move(canonicalRequest);
    const Crypto::Sha256Digest key = signingKey(credentials.secretAccessKey, time, region);
    stages.signature = Crypto::hexLower(Crypto::hmacSha256(key, stages.stringToSign));
    return stages;
}

}  // namespace

SigningStages sign(S3Request& request, std::string_view region, const S3Credentials& credentials, TimePoint time) {
    return sign(request, region, credentials, time, sha256Hex(request.body));
}

SigningStages sign(S3Request& request, std::string_view region, const S3Credentials& credentials, TimePoint time,
                   std::string payloadHash) {
    UrlParts url = splitUrl(request.url);
    checkSendable(request.headers);
    if (payloadHash.size() != 64 || payloadHash.find_first_not_of("0123456789abcdef") != std::string::npos) {
        throw std::invalid_argument("The payload hash is not a SHA-256 in lower-case hex.");
    }

    if (request.method.empty()) request.method = "GET";
    const SigningTime when = signingTime(time);
    request.removeHeader("Authorization");
    request.setHeader("Host", std::move(url.host));
    request.setHeader("x-amz-date", std::string(when.timestamp()));
    request.setHeader("x-amz-content-sha256", payloadHash);

    std::string canonical;
    canonical.reserve(256 + request.url.size() + 64 * request.headers.size());
    canonical.append(request.method).append("\n");
    appendCanonicalPath(canonical, url.path);
    canonical += '\n';
    if (url.query && !url.query->empty()) canonical += canonicalQuery(decodeQuery(*url.query));
    canonical += '\n';

    const auto [signedNamesStart, signedNamesEnd] = appendCanonicalHeaders(canonical, request.headers);
    canonical.append("\n").append(payloadHash);

    const std::string scope = credentialScope(when, region);
    SigningStages stages = finish(std::move(canonical), when, scope, region, credentials);
    const std::string_view signedNames =
        std::string_view(stages.canonicalRequest).substr(signedNamesStart, signedNamesEnd - signedNamesStart);

    std::string authorization;
    authorization.reserve(128 + credentials.accessKeyID.size() + scope.size() + signedNames.size());
    authorization.append(kAlgorithm).append(" Credential=").append(credentials.accessKeyID).append("/").append(scope);
    authorization.append(", SignedHeaders=").append(signedNames).append(", Signature=").append(stages.signature);
    request.setHeader("Authorization", std::move(authorization));
    return stages;
}

PresignedURL presign(std::string_view method, std::string_view url, std::string_view region,
                     const S3Credentials& credentials, std::int64_t expiresIn, TimePoint time) {
    const UrlParts parts = splitUrl(url);
    const SigningTime when = signingTime(time);
    const std::string scope = credentialScope(when, region);

    std::vector<QueryItem> items = parts.query ? decodeQuery(*parts.query) : std::vector<QueryItem>();
    items.push_back({"X-Amz-Algorithm", std::string(kAlgorithm)});
    items.push_back({"X-Amz-Credential", credentials.accessKeyID + "/" + scope});
    items.push_back({"X-Amz-Date", std::string(when.timestamp())});
    items.push_back({"X-Amz-Expires", std::to_string(expiresIn)});
    items.push_back({"X-Amz-SignedHeaders", "host"});

    std::string canonical;
    canonical.append(method.empty() ? std::string_view("GET") : method).append("\n");
    appendCanonicalPath(canonical, parts.path);
    canonical.append("\n").append(canonicalQuery(items)).append("\n");
    canonical.append("host:").append(parts.host).append("\n\nhost\n").append(kUnsignedPayload);

    PresignedURL result;
    result.stages = finish(std::move(canonical), when, scope, region, credentials);
    items.push_back({"X-Amz-Signature", result.stages.signature});
    result.url.append(parts.beforeQuery).append("?").append(encodeQuery(items)).append(parts.fragment);
    return result;
}

std::string presignedURL(std::string_view method, std::string_view url, std::string_view region,
                         const S3Credentials& credentials, std::int64_t expiresIn, TimePoint time) {
    return presign(method, url, region, credentials, expiresIn, time).url;
}

std::string awsEncode(std::string_view text) {
    std::string encoded;
    encoded.reserve(text.size());
    appendEncoded(encoded, text);
    return encoded;
}

std::string awsEncodeSegments(std::string_view path) {
    std::string encoded;
    encoded.reserve(path.size());
    appendEncoded(encoded, path, true);
    return encoded;
}

std::string canonicalPath(std::string_view decodedPath) {
    std::string path = awsEncodeSegments(decodedPath);
    return path.empty() ? "/" : path;
}

std::string canonicalQuery(std::span<const QueryItem> items) {
    std::vector<std::pair<std::string, std::string>> pairs;
    pairs.reserve(items.size());
    for (const QueryItem& item : items) pairs.emplace_back(awsEncode(item.name), awsEncode(item.value.value_or("")));
    std::sort(pairs.begin(), pairs.end());
    std::string query;
    for (const auto& [name, value] : pairs) {
        if (!query.empty()) query += '&';
        query.append(name).append("=").append(value);
    }
    return query;
}

std::string encodeQuery(std::span<const QueryItem> items) {
    std::string query;
    for (const QueryItem& item : items) {
        if (!query.empty()) query += '&';
        appendEncoded(query, item.name);
        if (item.value) {
            query += '=';
            appendEncoded(query, *item.value);
        }
    }
    return query;
}

std::vector<QueryItem> decodeQuery(std::string_view query) {
    std::vector<QueryItem> items;
    while (!query.empty()) {
        const std::size_t end = std::min(query.find('&'), query.size());
        const std::string_view piece = query.substr(0, end);
        query.remove_prefix(std::min(end + 1, query.size()));
        if (piece.empty()) continue;
        const std::size_t equals = piece.find('=');
        if (equals == std::string_view::npos) {
            items.push_back({percentDecode(piece), std::nullopt});
        } else {
            items.push_back({percentDecode(piece.substr(0, equals)), percentDecode(piece.substr(equals + 1))});
        }
    }
    return items;
}

std::string percentDecode(std::string_view text) {
    std::string decoded;
    decoded.reserve(text.size());
    for (std::size_t pos = 0; pos < text.size();) decoded += decodedAt(text, pos);
    return decoded;
}

std::string sha256Hex(std::span<const std::uint8_t> bytes) { return Crypto::hexLower(Crypto::sha256(bytes)); }

}  // namespace tarn::S3Signer
