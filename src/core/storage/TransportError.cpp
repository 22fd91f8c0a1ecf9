#include "core/storage/TransportError.h"

#include <curl/curl.h>

#include <cmath>
#include <cstring>

namespace tarn {

namespace {

std::string wholeSeconds(std::chrono::duration<double> limit) {
    return std::to_string(std::llround(limit.count()));
}

std::string errnoText(int osErrno) {
    char buffer[256];
    // GNU strerror_r may return a static text instead of filling the buffer.
    return strerror_r(osErrno, buffer, sizeof buffer);
}

}  // namespace

TransportError::TransportError(Kind kind, int curlCode, std::string curlMessage, int osErrno,
                               std::chrono::duration<double> limit, const std::string& description)
    : std::runtime_error(description), m_kind(kind), m_curlCode(curlCode), m_curlMessage(std::move(curlMessage)),
      m_osErrno(osErrno), m_limit(limit) {}

bool TransportError::reportsOsErrno(int curlCode) {
    switch (curlCode) {
    case CURLE_COULDNT_CONNECT:
    case CURLE_SEND_ERROR:
    case CURLE_RECV_ERROR:
    case CURLE_OPERATION_TIMEDOUT:
    case CURLE_INTERFACE_FAILED:
        return true;
    default:
        return false;
    }
}

TransportError TransportError::failed(int curlCode, std::string curlMessage, int osErrno) {
    if (!reportsOsErrno(curlCode)) osErrno = 0;
    std::string description = curl_easy_strerror(static_cast<CURLcode>(curlCode));
    if (!curlMessage.empty() && curlMessage != description) description += ": " + curlMessage;
    description += " (curl error " + std::to_string(curlCode);
    if (osErrno != 0) description += ", errno " + std::to_string(osErrno) + " " + errnoText(osErrno);
    description += ")";
    return TransportError(Kind::failed, curlCode, std::move(curlMessage), osErrno, {}, description);
}

TransportError TransportError::idleTimeout(std::chrono::duration<double> limit) {
    return TransportError(Kind::idleTimeout, CURLE_OPERATION_TIMEDOUT, {}, 0, limit,
                          "No data moved for " + wholeSeconds(limit) + " s; the exchange was abandoned.");
}

TransportError TransportError::stalled(std::chrono::duration<double> limit) {
    return TransportError(Kind::stalled, CURLE_OPERATION_TIMEDOUT, {}, 0, limit,
                          "No upload progress for " + wholeSeconds(limit) + " s; the connection was closed.");
}

}  // namespace tarn
