#pragma once

#include <cstddef>
#include <exception>
#include <optional>
#include <string>
#include <string_view>

namespace tarn {

// The storage client's error: the server refused the request, the URL could not be
// built, no secret was available, or the answer was not usable.
class S3Error : public std::exception {
public:
    enum class Kind { requestFailed, invalidURL, missingSecret, unexpectedResponse };

    // The most of a refused request's body an error keeps: any S3 error document fits
    // many times over; a proxy's page without end does not, nor is it copied with
    // every copy of the error.
    static constexpr std::size_t kMaxBodyBytes = 64 * 1024;
    // A body as a refused request keeps it: its text when it is UTF-8, otherwise
    // "(binary N bytes)". A body longer than kMaxBodyBytes, or one whose rest never
    // arrived (`cut`), keeps its first kMaxBodyBytes (whole characters) followed by
    // the note "… (cut: only the first 64 KB of the answer were kept)".
    static std::string bodyText(std::string_view bytes, bool cut);

    // `body` as bodyText() gives it.
    static S3Error requestFailed(int statusCode, std::string body);
    static S3Error invalidURL();
    static S3Error missingSecret();
    static S3Error unexpectedResponse();
    // Some operations (copies, multipart completion) can fail after the server has
    // already sent 200: the failure is then an <Error> document as the body. Gives
    // the requestFailed error such a body stands for (its root element is <Error>,
    // even when the document is cut short), or none for any other body.
    static std::optional<S3Error> fromErrorDocument(int statusCode, std::string_view body);
    // A copy or a multipart completion has happened only when the server says so in
    // its result document: a 200 is sent before the work is done, and whatever else
    // it carries (nothing, an error, a proxy's page) leaves the work undone. None when
    // `body` is well-formed XML whose root element is `resultElement` (or, for a name
    // ending in "Result", the same name ending in "Response", as servers built on
    // botocore's shapes write it); otherwise the failure: what fromErrorDocument
    // gives, or unexpectedResponse.
    static std::optional<S3Error> fromResultDocument(int statusCode, std::string_view body,
                                                     std::string_view resultElement);

    Kind kind() const { return m_kind; }
    // The HTTP status of a refused request; absent for the other kinds.
    std::optional<int> statusCode() const;
    // The response body of a refused request as text ("" for the other kinds).
    const std::string& body() const { return m_body; }
    // "Code" and "Message" of the server's XML error body, entity-decoded and trimmed.
    std::optional<std::string> errorCode() const;
    std::optional<std::string> errorMessage() const;
    // The server no longer knows the multipart upload named in the request: it was
    // aborted (by this program or another) or completed.
    bool isNoSuchUpload() const;

    // The fixed English description users see where no localised text replaces it.
    // A refused request without a code carries its body, the echoes of a signature
    // masked as the request log masks them.
    const std::string& errorDescription() const { return m_description; }
    const char* what() const noexcept override { return m_description.c_str(); }

private:
    S3Error(Kind kind, int statusCode, std::string body);
    std::optional<std::string> xmlField(const std::string& name) const;

    Kind m_kind;
    int m_statusCode = 0;
    std::string m_body;
    std::string m_description;
};

}  // namespace tarn
