#pragma once

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

    static S3Error requestFailed(int statusCode, std::string body);
    static S3Error invalidURL();
    static S3Error missingSecret();
    static S3Error unexpectedResponse();
    // Some operations (copies, multipart completion) can fail after the server has
    // already sent 200: the failure is then an <Error> document as the body. Gives
    // the requestFailed error such a body stands for, or none for any other body.
    static std::optional<S3Error> fromErrorDocument(int statusCode, std::string_view body);

    Kind kind() const { return m_kind; }
    // The HTTP status of a refused request; absent for the other kinds.
    std::optional<int> statusCode() const;
    // The response body of a refused request as text ("" for the other kinds).
    const std::string& body() const { return m_body; }
    // "Code" and "Message" of the server's XML error body, entity-decoded and trimmed.
    std::optional<std::string> errorCode() const;
    std::optional<std::string> errorMessage() const;

    // The fixed English description users see where no localised text replaces it.
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
