#include "LoopbackHttpServer.h"
#include "MultipartTestSupport.h"
#include "TestFiles.h"

#include "core/crypto/Crypto.h"
#include "core/storage/CancelledError.h"
#include "core/storage/FileTooLargeError.h"
#include "core/storage/S3Client.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>

using tarn::S3Client;
using tarn::test::LoopbackHttpServer;
using tarn::test::RecordedRequest;

namespace fs = std::filesystem;

namespace {

std::string patterned(std::size_t size) {
    std::string bytes(size, '\0');
    for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<char>(i * 13 % 241);
    return bytes;
}

tarn::test::ScriptedAnswer stored(const RecordedRequest&) {
    return LoopbackHttpServer::answer(200, {{"ETag", "\"e\""}}, "");
}

}  // namespace

TEST(S3ClientUpload, SendsTheFileSignedWithTheHashOfItsBytes) {
    LoopbackHttpServer server(stored);
    tarn::test::TemporaryFolder folder;
    S3Client client;
    for (const std::size_t size : {std::size_t{0}, std::size_t{5 * 1024 * 1024 + 3}}) {
        const std::string content = patterned(size);
        const fs::path path = folder.path() / "notes.txt";
        tarn::test::writeFile(path, content);

        std::vector<double> fractions;
        client.upload(path, tarn::test::loopbackBucket(server), tarn::test::kMultipartCredentials, "docs/notes.txt",
                      [&](double fraction) { fractions.push_back(fraction); });

        const RecordedRequest request = server.requests().back();
        EXPECT_EQ(request.method, "PUT");
        EXPECT_EQ(request.target, "/media/docs/notes.txt");
        ASSERT_NE(request.header("x-amz-content-sha256"), nullptr);
        EXPECT_EQ(*request.header("x-amz-content-sha256"), tarn::Crypto::hexLower(tarn::Crypto::sha256(content)));
        ASSERT_NE(request.header("Content-Length"), nullptr);
        EXPECT_EQ(*request.header("Content-Length"), std::to_string(size));
        ASSERT_NE(request.header("Content-Type"), nullptr);
        EXPECT_EQ(*request.header("Content-Type"), "text/plain");
        EXPECT_TRUE(request.body == content) << size;
        ASSERT_FALSE(fractions.empty());
        EXPECT_EQ(fractions.back(), 1.0);
        EXPECT_TRUE(std::is_sorted(fractions.begin(), fractions.end()));
    }
}

TEST(S3ClientUpload, RefusesBeforeSendingAFileBeyondOneRequestOrAStoppedUpload) {
    LoopbackHttpServer server(stored);
    tarn::test::TemporaryFolder folder;
    S3Client client;
    const fs::path huge = folder.path() / "huge.bin";
    tarn::test::writeFile(huge, "");
    // One byte more than a request may carry, as holes: nothing is read to refuse it.
    fs::resize_file(huge, static_cast<std::uintmax_t>(S3Client::kMaxUploadRequestSize) + 1);
    try {
        client.upload(huge, tarn::test::loopbackBucket(server), tarn::test::kMultipartCredentials);
        FAIL() << "a file beyond 5 GiB went up in one request";
    } catch (const tarn::FileTooLargeError& error) {
        EXPECT_EQ(error.kind(), tarn::FileTooLargeError::Limit::singleRequest);
        EXPECT_EQ(error.limit(), 5LL * 1024 * 1024 * 1024);
    }

    const fs::path small = folder.path() / "small.bin";
    tarn::test::writeFile(small, "small");
    std::stop_source stop;
    stop.request_stop();
    EXPECT_THROW(client.upload(small, tarn::test::loopbackBucket(server), tarn::test::kMultipartCredentials,
                               std::nullopt, {}, stop.get_token()),
                 tarn::CancelledError);
    EXPECT_TRUE(server.requests().empty());
}

TEST(S3ClientUpload, FileWrittenToWhileItGoesUpIsNotStored) {
    LoopbackHttpServer server(stored);
    tarn::test::TemporaryFolder folder;
    const fs::path path = folder.path() / "growing.log";
    const std::string content = patterned(32 * 1024 * 1024);
    tarn::test::writeFile(path, content);
    S3Client client;

    // Once the first bytes are out, another program rewrites the end of the file.
    bool written = false;
    const auto rewriteTheEnd = [&](double) {
        if (written) return;
        written = true;
        std::fstream file(path, std::ios::in | std::ios::out | std::ios::binary);
        file.seekp(static_cast<std::streamoff>(content.size() - 4));
        file.write("edit", 4);
    };
    EXPECT_THROW(client.upload(path, tarn::test::loopbackBucket(server), tarn::test::kMultipartCredentials,
                               std::nullopt, rewriteTheEnd),
                 fs::filesystem_error);
    EXPECT_TRUE(written);
    // Neither the old bytes nor a mix of old and new reached the server whole.
    EXPECT_TRUE(server.requests().empty());
}
