#pragma once

#include <string>
#include <string_view>

namespace tarn {

// Keeps what a signature is made of out of the request log: the Authorization header
// of a request, and the parts of an S3 answer that echo the signature back.
namespace LogMasking {

// The first 48 characters of a secret-bearing value (enough to show the algorithm
// and the credential's key ID), then "…", also when the value is shorter.
std::string maskedValue(std::string_view value);

// The body with the echoes of a refused signature masked: <SignatureProvided>
// entirely, <StringToSign> and <StringToSignBytes> as maskedValue does. An element
// still open at the end (a body cut for the log) is masked to the end.
std::string maskedBody(std::string_view body);

}  // namespace LogMasking

}  // namespace tarn
