#include "SignedHeaders.h"

#include "core/storage/S3Signer.h"

#include <chrono>
#include <utility>

namespace tarn::test {

std::vector<std::string> signedHeaderLines(const S3TestServer& server, std::string method, std::string url,
                                           std::string_view body, const std::vector<HttpHeader>& headers) {
    S3Request request;
    request.method = std::move(method);
    request.url = std::move(url);
    request.headers = headers;
    request.body.assign(body.begin(), body.end());
    S3Signer::sign(request, server.region, {server.accessKey, server.secretKey}, std::chrono::system_clock::now());
    std::vector<std::string> lines;
    lines.reserve(request.headers.size());
    // curl drops a header written "Name:"; "Name;" is how it sends one with an empty value.
    for (const HttpHeader& header : request.headers) {
        lines.push_back(header.value.empty() ? header.name + ";" : header.name + ": " + header.value);
    }
    return lines;
}

}  // namespace tarn::test
