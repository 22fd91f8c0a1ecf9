#pragma once

#include "TestEnvironment.h"

#include "core/storage/S3Request.h"

#include <string>
#include <string_view>
#include <vector>

namespace tarn::test {

// Requests that a test sends with curl itself, to see what the client library
// hides (connections, the exact head, a proxy's faults), are signed as the client
// signs its own, with the configured keys, so they pass on a server that checks
// signatures. Returns the lines for CURLOPT_HTTPHEADER: `headers`, then "Host",
// "x-amz-date", "x-amz-content-sha256" and "Authorization", signed now over the
// method, the URL, every one of those headers and the body.
std::vector<std::string> signedHeaderLines(const S3TestServer& server, std::string method, std::string url,
                                           std::string_view body = {}, const std::vector<HttpHeader>& headers = {});

}  // namespace tarn::test
