#pragma once

#include <chrono>
#include <stdexcept>
#include <string>

namespace tarn {

// An exchange that ended without an HTTP answer: the connection could not be made or
// broke, or the transfer stood still past its limit. Carries what the retry logic of
// uploads needs to tell a passing network fault from a lasting one.
class TransportError : public std::runtime_error {
public:
    enum class Kind {
        // libcurl gave up: name lookup, connection, TLS, a connection that broke.
        failed,
        // No byte moved in either direction for the exchange's idle limit.
        idleTimeout,
        // The count of bytes sent did not grow for the stall limit, the wait for the
        // answer included.
        stalled,
    };

    // `osErrno` is kept only where `curlCode` stands for a failed socket call (see
    // reportsOsErrno); anywhere else it is 0.
    static TransportError failed(int curlCode, std::string curlMessage, int osErrno);
    static TransportError idleTimeout(std::chrono::duration<double> limit);
    static TransportError stalled(std::chrono::duration<double> limit);

    Kind kind() const { return m_kind; }
    // The CURLcode (CURLE_OPERATION_TIMEDOUT for the two time limits).
    int curlCode() const { return m_curlCode; }
    // libcurl's own detailed text ("Failed to connect to host port 443 after 3 ms: ...").
    const std::string& curlMessage() const { return m_curlMessage; }
    // errno of the socket call that failed (CURLINFO_OS_ERRNO); 0 when none did.
    int osErrno() const { return m_osErrno; }
    // The limit that was exceeded; zero for Kind::failed.
    std::chrono::duration<double> limit() const { return m_limit; }

    // Whether a failure with this libcurl code comes from a socket call whose errno
    // tells its cause (a refused, reset or unreachable connection). libcurl leaves the
    // errno of an earlier failure in place, so with any other code it means nothing.
    static bool reportsOsErrno(int curlCode);

private:
    TransportError(Kind kind, int curlCode, std::string curlMessage, int osErrno, std::chrono::duration<double> limit,
                   const std::string& description);

    Kind m_kind;
    int m_curlCode;
    std::string m_curlMessage;
    int m_osErrno;
    std::chrono::duration<double> m_limit;
};

}  // namespace tarn
