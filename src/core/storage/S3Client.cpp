#include "core/storage/S3Client.h"

#include "core/storage/LogMasking.h"
#include "core/storage/S3Error.h"
#include "core/storage/S3RequestBuilder.h"
#include "core/text/AsciiCase.h"
#include "core/text/LogText.h"
#include "core/text/Utf8.h"

#include <algorithm>
#include <chrono>
#include <exception>

namespace tarn {

namespace {

// Bodies longer than this are cut in the log, so one large answer cannot flood it.
constexpr std::size_t kLoggedBodyBytes = 4096;

std::string binaryPlaceholder(std::size_t size) {
    return "(binary " + std::to_string(size) + " bytes)";
}

// "Name: value" texts in code-point order, joined with "; ".
std::string headerText(const std::vector<HttpHeader>& headers) {
    std::vector<std::string> texts;
    texts.reserve(headers.size());
    for (const HttpHeader& header : headers) texts.push_back(header.name + ": " + header.value);
    // Byte order of UTF-8 is code-point order.
    std::sort(texts.begin(), texts.end());
    std::string joined;
    for (const std::string& text : texts) {
        if (!joined.empty()) joined += "; ";
        joined += text;
    }
    return joined;
}

long long millisecondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start).count();
}

}  // namespace

S3Client::S3Client() = default;
S3Client::~S3Client() = default;

S3Request S3Client::signedRequest(std::string method, std::string url, const BucketConfig& bucket,
                                  const S3Credentials& credentials, std::vector<std::uint8_t> body,
                                  const std::optional<std::string>& contentType,
                                  const std::vector<HttpHeader>& headers) {
    return S3RequestBuilder::request(std::move(method), std::move(url), bucket, credentials, std::move(body),
                                     contentType, headers, std::chrono::system_clock::now());
}

std::string_view S3Client::asText(std::span<const std::uint8_t> bytes) {
    return {reinterpret_cast<const char*>(bytes.data()), bytes.size()};
}

void S3Client::setLogger(Logger logger) {
    m_logger.store(logger ? std::make_shared<const Logger>(std::move(logger)) : nullptr);
}

S3Client::Logger S3Client::logger() const {
    const std::shared_ptr<const Logger> current = m_logger.load();
    return current ? *current : Logger();
}

void S3Client::log(std::string_view line) const {
    // The logger is read afresh for every line and kept alive while it runs, so it
    // may be replaced or removed from another thread at any moment.
    if (const std::shared_ptr<const Logger> current = m_logger.load()) (*current)(line);
}

bool S3Client::isLogging() const {
    return m_logger.load() != nullptr;
}

std::vector<std::uint8_t> S3Client::send(const S3Request& request, bool logsBody, const Perform& perform) {
    return std::move(transport(request, perform, true, logsBody).body);
}

std::vector<std::uint8_t> S3Client::send(const S3Request& request, bool logsBody, std::stop_token stop) {
    return send(request, logsBody, plainExchange(std::move(stop)));
}

HttpResponse S3Client::sendReturningResponse(const S3Request& request, std::stop_token stop) {
    return sendReturningResponse(request, plainExchange(std::move(stop)));
}

HttpResponse S3Client::sendReturningResponse(const S3Request& request, const Perform& perform) {
    HttpResponse response = transport(request, perform, false, true);
    response.body.clear();
    response.body.shrink_to_fit();
    return response;
}

S3Client::Perform S3Client::plainExchange(std::stop_token stop, std::optional<std::size_t> maxBodyBytes) {
    return [stop = std::move(stop), maxBodyBytes](const S3Request& request) {
        ExchangeOptions options;
        options.stopToken = stop;
        options.maxBodyBytes = maxBodyBytes;
        return HttpExchange::perform(request, options);
    };
}

HttpResponse S3Client::transport(const S3Request& request, const Perform& perform, bool countsBytes,
                                 bool logsBody) {
    const auto start = std::chrono::steady_clock::now();
    if (isLogging()) {
        log("→ " + (request.method.empty() ? std::string("?") : request.method) + " " +
            (request.url.empty() ? std::string("?") : request.url));
    }

    HttpResponse response;
    try {
        response = perform(request);
    } catch (const S3Error&) {
        throw;
    } catch (const std::exception& error) {
        if (isLogging()) log("✗ [" + std::to_string(millisecondsSince(start)) + "ms] " + error.what());
        throw;
    }
    const std::string milliseconds = std::to_string(millisecondsSince(start));

    if (response.statusCode < 100 || response.statusCode > 999) {
        log("✗ unexpected response [" + milliseconds + "ms]");
        throw S3Error::unexpectedResponse();
    }

    const std::string status = std::to_string(response.statusCode);
    if (response.statusCode >= 200 && response.statusCode <= 299) {
        if (isLogging()) {
            const std::string count = countsBytes ? std::to_string(response.body.size()) + " bytes | " : "";
            log("← " + status + " [" + milliseconds + "ms] " + count + headerText(response.headers));
        }
        if (logsBody) logBody(response.body, response.header("Content-Type"));
        return response;
    }

    std::string bodyText = S3Error::bodyText(response.bodyText(), response.bodyCut);
    if (isLogging()) {
        log("← " + status + " [" + milliseconds + "ms] " + headerText(response.headers));
        logFailedRequest(request);
        log("  body: " + truncatedBody(response.body));
    }
    throw S3Error::requestFailed(response.statusCode, std::move(bodyText));
}

void S3Client::logBody(std::span<const std::uint8_t> body, const std::string* contentType) const {
    if (!isLogging()) return;
    const std::string type = contentType == nullptr ? std::string() : AsciiCase::lowercased(*contentType);
    const bool textual = type.find("xml") != std::string::npos || type.find("json") != std::string::npos ||
                         type.starts_with("text/");
    if (textual) log("  body: " + truncatedBody(body));
}

void S3Client::logFailedRequest(const S3Request& request) const {
    if (!isLogging()) return;
    std::vector<HttpHeader> headers = request.headers;
    for (HttpHeader& header : headers) {
        if (AsciiCase::equalsIgnoringCase(header.name, "authorization")) {
            header.value = LogMasking::maskedValue(header.value);
        }
    }
    log("  request headers: " + headerText(headers));
}

std::string S3Client::truncatedBody(std::span<const std::uint8_t> body) {
    const std::string_view text = asText(body);
    if (text.size() <= kLoggedBodyBytes) {
        return Utf8::isValid(text) ? LogMasking::maskedBody(text) : binaryPlaceholder(text.size());
    }
    // Masked before it is cut, so that a value cut short at the end is masked too.
    return Utf8::repaired(LogMasking::maskedBody(text.substr(0, kLoggedBodyBytes))) + LogText::cutMarker(text.size());
}

}  // namespace tarn
