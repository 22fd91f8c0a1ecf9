#include "SignedHeaders.h"
#include "TestEnvironment.h"

#include <curl/curl.h>
#include <gtest/gtest.h>

#include <cstdlib>

// Guards the test set-up itself: when these fail, every storage test would fail for
// a reason that has nothing to do with the program.

namespace {

std::size_t collect(char* data, std::size_t size, std::size_t count, void* target) {
    static_cast<std::string*>(target)->append(data, size * count);
    return size * count;
}

}  // namespace

TEST(TestServices, S3ServerAnswers) {
    TARN_REQUIRE_S3_SERVER(server);
    CURL* curl = curl_easy_init();
    ASSERT_NE(curl, nullptr);
    std::string body;
    const std::string url = server.endpoint + "/";
    // Signed with the configured keys: a server that checks signatures refuses
    // an anonymous listing, and keys it does not know.
    curl_slist* headers = nullptr;
    for (const std::string& line : tarn::test::signedHeaderLines(server, "GET", url)) {
        headers = curl_slist_append(headers, line.c_str());
    }
    curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
    curl_easy_setopt(curl, CURLOPT_HTTPHEADER, headers);
    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, collect);
    curl_easy_setopt(curl, CURLOPT_WRITEDATA, &body);
    curl_easy_setopt(curl, CURLOPT_TIMEOUT, 20L);
    const CURLcode result = curl_easy_perform(curl);
    long status = 0;
    curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &status);
    curl_easy_cleanup(curl);
    curl_slist_free_all(headers);
    ASSERT_EQ(result, CURLE_OK) << curl_easy_strerror(result);
    EXPECT_EQ(status, 200);
    EXPECT_NE(body.find("ListAllMyBucketsResult"), std::string::npos) << body;
}

TEST(TestServices, SessionBusAndThrowAwayHome) {
    if (std::getenv("TARN_TEST_KEYRING") == nullptr) GTEST_SKIP() << "not run under scripts/test";
    ASSERT_NE(std::getenv("DBUS_SESSION_BUS_ADDRESS"), nullptr);
    const char* home = std::getenv("HOME");
    ASSERT_NE(home, nullptr);
    EXPECT_NE(std::string(home).find("tarn-test-home"), std::string::npos) << home;
}
