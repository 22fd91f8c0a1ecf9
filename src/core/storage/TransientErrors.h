#pragma once

namespace tarn {

class TransportError;

// Which failures of the network are passing ones, worth another attempt of the same
// request: lost or refused connections, time-outs, failed name lookups and TLS
// handshakes, empty or garbled answers. Lasting faults (a bad URL, an unsupported
// protocol, an untrusted certificate) are not.
namespace TransientErrors {

// A libcurl result code (CURLcode) of a transfer that failed.
bool isTransientCurlCode(int curlCode);
// An errno value of a socket call.
bool isTransientErrno(int osErrno);
// Time limits always; otherwise by its libcurl code, or by its errno where the code
// stands for a failed socket call.
bool isTransient(const TransportError& error);

}  // namespace TransientErrors

}  // namespace tarn
