#include "core/files/RotatingLogFile.h"
#include "core/values/IsoDate.h"

#include "TestFiles.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <regex>
#include <set>
#include <sstream>
#include <thread>

using namespace tarn;
namespace fs = std::filesystem;

namespace {

// "[2026-03-01T08:05:09Z] " before every message.
constexpr std::size_t kPrefixBytes = 23;

void fill(const fs::path& path, std::size_t bytes, char c = 'x') { test::writeFile(path, std::string(bytes, c)); }

std::vector<std::string> linesOf(const fs::path& path) {
    std::vector<std::string> lines;
    std::istringstream in(test::readFile(path));
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

// The message of one written line, without its time stamp.
std::string messageOf(const std::string& line) { return line.substr(kPrefixBytes); }

class RotatingLogFileTest : public ::testing::Test {
protected:
    test::TemporaryFolder m_folder;
    fs::path m_log = m_folder.path() / "corvane.log";
};

}  // namespace

TEST_F(RotatingLogFileTest, FirstLineCreatesTheFile) {
    const mode_t previousMask = ::umask(022);
    RotatingLogFile log(m_log);
    EXPECT_FALSE(fs::exists(m_log));  // nothing touched before the first line

    const auto before = std::chrono::floor<std::chrono::seconds>(std::chrono::system_clock::now());
    log.write("→ GET https://b.example.com/?list-type=2\n  second line");
    const auto after = std::chrono::system_clock::now();
    ::umask(previousMask);

    // It holds keys, bucket names and the servers' answers: the user's alone.
    struct stat info {};
    ASSERT_EQ(::stat(m_log.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0600u);

    const std::string text = test::readFile(m_log);
    const std::regex shape(
        R"(\[(\d{4}-\d\d-\d\dT\d\d:\d\d:\d\dZ)\] → GET https://b\.example\.com/\?list-type=2\n  second line\n)");
    std::smatch match;
    ASSERT_TRUE(std::regex_match(text, match, shape)) << text;
    const auto stamp = IsoDate::parse(match[1].str());
    ASSERT_TRUE(stamp);
    EXPECT_GE(*stamp, before);
    EXPECT_LE(*stamp, after);

    log.write("");
    EXPECT_EQ(linesOf(m_log).size(), 3u);
    EXPECT_EQ(test::readFile(m_log).back(), '\n');
}

TEST_F(RotatingLogFileTest, ALogOthersCanReadIsMadePrivateAtItsNextLine) {
    for (const mode_t mode : {0644u, 0666u, 0640u, 0604u}) {
        fill(m_log, 10);
        ASSERT_EQ(::chmod(m_log.c_str(), mode), 0);
        RotatingLogFile(m_log).write("line");
        struct stat info {};
        ASSERT_EQ(::stat(m_log.c_str(), &info), 0);
        EXPECT_EQ(info.st_mode & 07777, 0600u) << std::oct << mode;
        EXPECT_EQ(linesOf(m_log).size(), 1u);  // the ten bytes had no line feed
        fs::remove(m_log);
    }
    // A log the user made stricter stays so.
    fill(m_log, 10);
    ASSERT_EQ(::chmod(m_log.c_str(), 0400), 0);
    RotatingLogFile(m_log).write("line");
    struct stat info {};
    ASSERT_EQ(::stat(m_log.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0400u);
}

TEST_F(RotatingLogFileTest, LongLinesAreCut) {
    RotatingLogFile log(m_log);
    const std::size_t whole = RotatingLogFile::maxLineBytes - kPrefixBytes;
    const std::string kept(whole, 'a');

    log.write(kept);
    log.write(kept + "b");
    // "語" is three bytes; this one starts at the last kept byte.
    log.write(std::string(whole - 1, 'c') + "語");

    const std::vector<std::string> lines = linesOf(m_log);
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[0].size(), RotatingLogFile::maxLineBytes);
    EXPECT_EQ(messageOf(lines[0]), kept);
    EXPECT_EQ(messageOf(lines[1]), kept + "…（已截断，共 65537 bytes）");
    EXPECT_EQ(messageOf(lines[2]), std::string(whole - 1, 'c') + "\xEF\xBF\xBD…（已截断，共 65538 bytes）");
}

TEST_F(RotatingLogFileTest, RotatesBeforeALineWouldPassTheCap) {
    constexpr std::int64_t cap = 4096;
    RotatingLogFile log(m_log, cap);
    const std::string line600(600 - kPrefixBytes - 1, 'n');  // 600 bytes with stamp and line feed

    fill(m_log, cap - 512, 'o');
    fill(fs::path(m_log.string() + ".1"), 10, 'p');
    log.write(line600);
    EXPECT_EQ(test::readFile(m_log.string() + ".1"), std::string(cap - 512, 'o'));  // replaces the older generation
    EXPECT_EQ(fs::file_size(m_log), 600u);

    // Up to the cap itself is fine; one byte over rotates.
    fill(m_log, cap - 600, 'o');
    log.write(line600);
    EXPECT_EQ(fs::file_size(m_log), static_cast<std::uintmax_t>(cap));
    log.write(line600);
    EXPECT_EQ(fs::file_size(m_log.string() + ".1"), static_cast<std::uintmax_t>(cap));
    EXPECT_EQ(fs::file_size(m_log), 600u);
}

TEST_F(RotatingLogFileTest, EmptyFileTakesAnOversizedLine) {
    RotatingLogFile log(m_log, 100);
    fill(m_log, 0);
    log.write(std::string(500, 'z'));
    EXPECT_FALSE(fs::exists(m_log.string() + ".1"));
    EXPECT_EQ(fs::file_size(m_log), 500u + kPrefixBytes + 1);

    log.write("next");
    EXPECT_EQ(fs::file_size(m_log.string() + ".1"), 500u + kPrefixBytes + 1);
    EXPECT_EQ(linesOf(m_log).size(), 1u);
}

TEST_F(RotatingLogFileTest, FarOversizedFilesAreKeptUnderLegacyNames) {
    constexpr std::int64_t cap = 1000;
    constexpr std::size_t oversized = cap + 1048576 + 1;
    RotatingLogFile log(m_log, cap);
    const char marks[] = {'a', 'b', 'c'};
    for (const char mark : marks) {
        fill(m_log, oversized, mark);
        log.write("after");
    }
    EXPECT_EQ(test::readFile(m_log.string() + ".legacy"), std::string(oversized, 'a'));
    EXPECT_EQ(test::readFile(m_log.string() + ".legacy.1"), std::string(oversized, 'b'));
    EXPECT_EQ(test::readFile(m_log.string() + ".legacy.2"), std::string(oversized, 'c'));
    EXPECT_FALSE(fs::exists(m_log.string() + ".1"));
    EXPECT_EQ(linesOf(m_log).size(), 1u);

    // Just at cap + 1 MiB is an ordinary rotation.
    fill(m_log, oversized - 1, 'd');
    log.write("after");
    EXPECT_EQ(fs::file_size(m_log.string() + ".1"), oversized - 1);
}

TEST_F(RotatingLogFileTest, UnwritableLocationLosesTheLineQuietly) {
    RotatingLogFile log(m_folder.path() / "missing" / "corvane.log");
    EXPECT_NO_THROW(log.write("lost"));
    EXPECT_FALSE(fs::exists(m_folder.path() / "missing"));

    // A file moved away from outside is simply started again.
    RotatingLogFile kept(m_log);
    kept.write("one");
    fs::rename(m_log, m_folder.path() / "elsewhere.log");
    kept.write("two");
    ASSERT_EQ(linesOf(m_log).size(), 1u);
    EXPECT_EQ(messageOf(linesOf(m_log)[0]), "two");
}

TEST_F(RotatingLogFileTest, ConcurrentWritersNeverMixLines) {
    constexpr int threads = 8;
    constexpr int linesPerThread = 400;
    RotatingLogFile log(m_log);

    {
        std::vector<std::jthread> writers;
        for (int t = 0; t < threads; ++t) {
            writers.emplace_back([&log, t] {
                for (int i = 0; i < linesPerThread; ++i) {
                    // Lengths vary so that a torn write would show.
                    log.write("writer " + std::to_string(t) + " line " + std::to_string(i) + " " +
                              std::string(static_cast<std::size_t>(i % 97) * 37, static_cast<char>('a' + t)));
                }
            });
        }
    }

    const std::regex shape(R"(\[\d{4}-\d\d-\d\dT\d\d:\d\d:\d\dZ\] writer (\d) line (\d+) ([a-h]*))");
    std::vector<int> nextLine(threads, 0);
    const std::vector<std::string> lines = linesOf(m_log);
    ASSERT_EQ(lines.size(), static_cast<std::size_t>(threads * linesPerThread));
    for (const std::string& line : lines) {
        std::smatch match;
        ASSERT_TRUE(std::regex_match(line, match, shape)) << line.substr(0, 80);
        const int t = std::stoi(match[1].str());
        const int i = std::stoi(match[2].str());
        // Each writer's lines appear whole and in the order it wrote them.
        EXPECT_EQ(i, nextLine[t]++);
        EXPECT_EQ(match[3].str(), std::string(static_cast<std::size_t>(i % 97) * 37, static_cast<char>('a' + t)));
    }
}

TEST_F(RotatingLogFileTest, ConcurrentWritersRotateCleanly) {
    constexpr std::int64_t cap = 8192;
    RotatingLogFile log(m_log, cap);
    {
        std::vector<std::jthread> writers;
        for (int t = 0; t < 8; ++t) {
            writers.emplace_back([&log, t] {
                for (int i = 0; i < 300; ++i) log.write("w" + std::to_string(t) + " " + std::string(200, 'r'));
            });
        }
    }
    for (const fs::path& path : {m_log, fs::path(m_log.string() + ".1")}) {
        EXPECT_LE(fs::file_size(path), static_cast<std::uintmax_t>(cap));
        for (const std::string& line : linesOf(path)) {
            EXPECT_EQ(line.size(), kPrefixBytes + 3 + 200) << line;
        }
    }
    EXPECT_FALSE(fs::exists(m_log.string() + ".legacy"));
}
