#include "TestFiles.h"

#include "core/crypto/Crypto.h"
#include "core/storage/CancelledError.h"
#include "core/storage/FileBody.h"
#include "core/storage/FileChangedError.h"
#include "core/storage/FileTooLargeError.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <fstream>
#include <thread>

using tarn::FileBody;

namespace fs = std::filesystem;

namespace {

constexpr std::int64_t kNoLimit = std::int64_t{1} << 40;

std::string patterned(std::size_t size) {
    std::string bytes(size, '\0');
    for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<char>(i * 31 % 253);
    return bytes;
}

// Reads the whole body through its source, in pieces of `piece` bytes, as the
// transport does.
std::string sendAll(FileBody& body, std::size_t piece) {
    const tarn::BodySource source = body.source();
    std::string sent;
    std::vector<std::uint8_t> buffer(piece);
    while (static_cast<std::int64_t>(sent.size()) < source.size) {
        const std::size_t wanted =
            std::min<std::size_t>(piece, static_cast<std::size_t>(source.size) - sent.size());
        const std::size_t count = source.read(static_cast<std::int64_t>(sent.size()), {buffer.data(), wanted});
        sent.append(reinterpret_cast<const char*>(buffer.data()), count);
    }
    return sent;
}

// Overwrites bytes of a file in place, keeping its size.
void overwrite(const fs::path& path, std::size_t at, const std::string& bytes) {
    std::fstream file(path, std::ios::in | std::ios::out | std::ios::binary);
    file.seekp(static_cast<std::streamoff>(at));
    file.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

}  // namespace

TEST(FileBody, HashesThenSendsTheFilesBytesInPieces) {
    tarn::test::TemporaryFolder folder;
    for (const std::size_t size : {std::size_t{0}, std::size_t{1}, std::size_t{3 * 1024 * 1024 + 7}}) {
        const std::string content = patterned(size);
        const fs::path path = folder.path() / "data.bin";
        tarn::test::writeFile(path, content);

        FileBody body(path, kNoLimit);
        EXPECT_EQ(body.size(), static_cast<std::int64_t>(size));
        EXPECT_EQ(body.sha256Hex({}), tarn::Crypto::hexLower(tarn::Crypto::sha256(content))) << size;
        EXPECT_TRUE(sendAll(body, 512 * 1024) == content) << size;
        // A resend starts again from the first byte.
        EXPECT_TRUE(sendAll(body, 100 * 1000) == content) << size;
    }
}

TEST(FileBody, RefusesWhatIsNoRegularFileOrTooLargeBeforeReading) {
    tarn::test::TemporaryFolder folder;
    const fs::path fifo = folder.path() / "pipe";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    // A pipe nobody writes to is refused at once instead of waiting for a writer.
    EXPECT_THROW(FileBody(fifo, kNoLimit), fs::filesystem_error);
    EXPECT_THROW(FileBody(folder.path(), kNoLimit), fs::filesystem_error);
    EXPECT_THROW(FileBody(folder.path() / "missing", kNoLimit), fs::filesystem_error);
    // A file swapped for a link after it was queued: the link is not followed.
    const fs::path secret = folder.path() / "id_ed25519";
    tarn::test::writeFile(secret, "private key");
    fs::create_symlink(secret, folder.path() / "queued.txt");
    try {
        FileBody body(folder.path() / "queued.txt", kNoLimit);
        FAIL() << "the link was followed";
    } catch (const fs::filesystem_error& error) {
        EXPECT_EQ(error.code(), std::error_code(ELOOP, std::generic_category()));
    }

    const fs::path file = folder.path() / "eleven.bin";
    tarn::test::writeFile(file, "eleven byte");
    EXPECT_NO_THROW(FileBody(file, 11));
    try {
        FileBody body(file, 10);
        FAIL() << "a file above the limit was accepted";
    } catch (const tarn::FileTooLargeError& error) {
        EXPECT_EQ(error.fileSize(), 11);
        EXPECT_EQ(error.limit(), 10);
        EXPECT_EQ(error.kind(), tarn::FileTooLargeError::Limit::singleRequest);
        EXPECT_STREQ(error.what(),
                     "The file is too large to upload in one request (11 B); one request carries at most 10 B.");
    }
}

TEST(FileBody, AFileBelowTheChosenFolderIsReachedWithoutFollowingALink) {
    tarn::test::TemporaryFolder folder;
    // The user chose "up" (reached through a link of their own, which is theirs to
    // have); private/ is another folder with a file of the same name.
    const fs::path real = folder.path() / "real-up";
    fs::create_directories(real / "sub" / "deeper");
    fs::create_directories(folder.path() / "private" / "deeper");
    tarn::test::writeFile(real / "sub" / "deeper" / "notes.txt", "chosen");
    tarn::test::writeFile(folder.path() / "private" / "deeper" / "notes.txt", "PRIVATE");
    const fs::path chosen = folder.path() / "up";
    fs::create_directory_symlink(real, chosen);
    const fs::path file = chosen / "sub" / "deeper" / "notes.txt";

    const auto read = [](const tarn::LocalFile& local) {
        FileBody body(local, kNoLimit);
        body.sha256Hex({});
        return sendAll(body, 4096);
    };
    EXPECT_EQ(read(tarn::LocalFile(file, chosen)), "chosen");
    EXPECT_EQ(read(tarn::LocalFile(file, chosen.string() + "/")), "chosen");

    // After the scan, a folder on the way is swapped for a link to the private one.
    fs::rename(real / "sub", folder.path() / "sub-moved");
    fs::create_directory_symlink(folder.path() / "private", real / "sub");
    ASSERT_EQ(read(file), "PRIVATE") << "opened by its path, the file would come from elsewhere";
    try {
        read(tarn::LocalFile(file, chosen));
        FAIL() << "the link on the way was followed";
    } catch (const fs::filesystem_error& error) {
        EXPECT_EQ(error.code(), std::error_code(ELOOP, std::generic_category()));
        EXPECT_EQ(error.path1(), chosen / "sub");
    }
    // One further down, too.
    fs::remove(real / "sub");
    fs::rename(folder.path() / "sub-moved", real / "sub");
    fs::rename(real / "sub" / "deeper", folder.path() / "deeper-moved");
    fs::create_directory_symlink(folder.path() / "private" / "deeper", real / "sub" / "deeper");
    EXPECT_THROW(read(tarn::LocalFile(file, chosen)), fs::filesystem_error);

    // A path that does not lie in the chosen folder is no file of it.
    for (const fs::path& outside : {folder.path() / "private" / "deeper" / "notes.txt", chosen / ".." / "private",
                                    fs::path(chosen)}) {
        try {
            read(tarn::LocalFile(outside, chosen));
            FAIL() << outside << " was read";
        } catch (const fs::filesystem_error& error) {
            EXPECT_EQ(error.code(), std::error_code(EINVAL, std::generic_category())) << outside;
        }
    }
}

TEST(FileBody, FileThatChangesBetweenThePassesFailsBeforeItsLastByteGoesOut) {
    tarn::test::TemporaryFolder folder;
    const fs::path path = folder.path() / "data.bin";
    const std::string content = patterned(2 * 1024 * 1024);
    tarn::test::writeFile(path, content);

    FileBody body(path, kNoLimit);
    body.sha256Hex({});
    // Written to in place after hashing: same size, other bytes near the end.
    overwrite(path, content.size() - 10, "0123456789");
    const tarn::BodySource source = body.source();
    std::vector<std::uint8_t> buffer(512 * 1024);
    std::int64_t offset = 0;
    for (int piece = 0; piece < 3; ++piece) offset += static_cast<std::int64_t>(source.read(offset, buffer));
    // The last piece is refused, so the server never has a whole body.
    EXPECT_THROW(source.read(offset, buffer), tarn::FileChangedError);

    // Shrunk or grown since it was opened: the first pass fails.
    for (const std::size_t size : {content.size() - 1, content.size() + 1}) {
        tarn::test::writeFile(path, content);
        FileBody changed(path, kNoLimit);
        fs::resize_file(path, size);
        EXPECT_THROW(changed.sha256Hex({}), tarn::FileChangedError) << size;
    }
}

TEST(FileBody, StopRequestEndsTheFirstPass) {
    tarn::test::TemporaryFolder folder;
    const fs::path path = folder.path() / "large.bin";
    tarn::test::writeFile(path, "");
    // 4 GiB of holes: seconds of hashing, no disk space.
    fs::resize_file(path, std::uintmax_t{4} << 30);

    FileBody body(path, kNoLimit);
    std::stop_source stopped;
    stopped.request_stop();
    EXPECT_THROW(body.sha256Hex(stopped.get_token()), tarn::CancelledError);

    std::stop_source stop;
    std::jthread stopper([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        stop.request_stop();
    });
    EXPECT_THROW(body.sha256Hex(stop.get_token()), tarn::CancelledError);
}
