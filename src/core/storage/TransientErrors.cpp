#include "core/storage/TransientErrors.h"

#include "core/storage/TransportError.h"

#include <curl/curl.h>

#include <cerrno>

namespace tarn::TransientErrors {

namespace {

enum class Source { curl, os };

struct Entry {
    Source source;
    int code;
};

// The one list of passing network conditions, each entry named after the condition
// it stands for. Conditions a desktop network may show that have no code of their
// own here (no cellular data, roaming, a call in progress, an offline-only cache) are
// left out; "not connected" shows up as the errno values below.
constexpr Entry kTransient[] = {
    {Source::curl, CURLE_SEND_ERROR},             // connection lost while sending
    {Source::curl, CURLE_RECV_ERROR},             // connection lost while receiving
    {Source::curl, CURLE_PARTIAL_FILE},           // connection lost before the answer's end
    {Source::curl, CURLE_HTTP2},                  // HTTP/2 connection broke down
    {Source::curl, CURLE_HTTP2_STREAM},           // HTTP/2 stream reset by the server
    {Source::curl, CURLE_OPERATION_TIMEDOUT},     // timed out
    {Source::curl, CURLE_COULDNT_CONNECT},        // cannot connect to the host
    {Source::curl, CURLE_COULDNT_RESOLVE_HOST},   // host name not found (DNS lookup failed)
    {Source::curl, CURLE_COULDNT_RESOLVE_PROXY},  // proxy name not found (DNS lookup failed)
    {Source::curl, CURLE_SSL_CONNECT_ERROR},      // TLS handshake failed (secure connection failed)
    {Source::curl, CURLE_WEIRD_SERVER_REPLY},     // malformed or unparsable answer (bad server response)
    {Source::curl, CURLE_GOT_NOTHING},            // empty answer: the server closed without a byte
    {Source::os, ECONNRESET},                     // connection reset by the peer
    {Source::os, ECONNABORTED},                   // connection aborted
    {Source::os, ECONNREFUSED},                   // connection refused
    {Source::os, EPIPE},                          // broken pipe: the peer closed while we wrote
    {Source::os, ETIMEDOUT},                      // connection timed out
    {Source::os, ENOTCONN},                       // socket not connected
    {Source::os, ENETDOWN},                       // network is down (not connected)
    {Source::os, ENETUNREACH},                    // network unreachable (not connected)
    {Source::os, ENETRESET},                      // network dropped the connection on reset
    {Source::os, EHOSTDOWN},                      // host is down
    {Source::os, EHOSTUNREACH},                   // no route to the host
    {Source::os, EADDRNOTAVAIL},                  // local address not available (interface went away)
};

bool listed(Source source, int code) {
    for (const Entry& entry : kTransient) {
        if (entry.source == source && entry.code == code) return true;
    }
    return false;
}

}  // namespace

bool isTransientCurlCode(int curlCode) {
    return listed(Source::curl, curlCode);
}

bool isTransientErrno(int osErrno) {
    return osErrno != 0 && listed(Source::os, osErrno);
}

bool isTransient(const TransportError& error) {
    switch (error.kind()) {
    case TransportError::Kind::idleTimeout:
    case TransportError::Kind::stalled:
        return true;
    case TransportError::Kind::failed:
        break;
    }
    // An errno counts only beside a code of a failed socket call: a malformed URL, an
    // unsupported protocol or an untrusted certificate stays lasting whatever errno
    // the handle still holds.
    return isTransientCurlCode(error.curlCode()) ||
           (TransportError::reportsOsErrno(error.curlCode()) && isTransientErrno(error.osErrno()));
}

}  // namespace tarn::TransientErrors
