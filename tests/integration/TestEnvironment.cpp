#include "TestEnvironment.h"

#include "core/values/Uuid.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <utility>

namespace tarn::test {

namespace {

std::string environment(const char* name, const char* fallback) {
    const char* value = std::getenv(name);
    return value != nullptr && *value != '\0' ? value : fallback;
}

}  // namespace

std::optional<S3TestServer> s3TestServer() {
    const std::string endpoint = environment("TARN_TEST_S3_ENDPOINT", "");
    if (endpoint.empty()) return std::nullopt;
    return s3TestServerAt(endpoint);
}

S3TestServer s3TestServerAt(std::string endpoint) {
    return S3TestServer{std::move(endpoint), environment("TARN_TEST_S3_ACCESS_KEY", "tarn-test-access-key"),
                        environment("TARN_TEST_S3_SECRET_KEY", "tarn-test-secret-key")};
}

std::string uniqueBucketName(const std::string& stem) {
    std::string suffix = Uuid::random().toString().substr(0, 13);
    suffix.erase(std::remove(suffix.begin(), suffix.end(), '-'), suffix.end());
    std::string name = stem + "-" + suffix;
    std::transform(name.begin(), name.end(), name.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return name.substr(0, 63);
}

}  // namespace tarn::test
