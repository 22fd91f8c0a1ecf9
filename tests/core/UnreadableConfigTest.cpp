#include "core/config/UnreadableConfig.h"

#include "TestFiles.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>

using namespace tarn;
using tarn::test::readFile;
using tarn::test::TemporaryFolder;
using tarn::test::writeFile;
using ::testing::ElementsAre;
namespace fs = std::filesystem;

namespace {

const TimePoint kNow = *IsoDate::parse("2024-05-01T08:30:00Z");
constexpr std::size_t kMaxBytes = 1024;

class UnreadableConfigTest : public ::testing::Test {
protected:
    std::vector<std::string> entries() const {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(m_temp.path())) names.push_back(entry.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }

    TemporaryFolder m_temp;
    fs::path m_file = m_temp.path() / "config.json";
};

TEST_F(UnreadableConfigTest, CopiesTheFileUnderItsTimeAndNeverReplacesACopy) {
    writeFile(m_file, "{\"profiles\": [ broken");
    const auto first = UnreadableConfig::keepAside(m_file, kNow, kMaxBytes);
    ASSERT_TRUE(first);
    EXPECT_EQ(*first, m_temp.path() / "config.json.unreadable-20240501T083000Z");
    EXPECT_EQ(readFile(*first), "{\"profiles\": [ broken");
    EXPECT_EQ(readFile(m_file), "{\"profiles\": [ broken") << "the file itself stays where it is";

    // The same broken file at the next start: the copy it already has is named again.
    EXPECT_EQ(UnreadableConfig::keepAside(m_file, kNow + std::chrono::hours(1), kMaxBytes), first);

    // Other bytes in the same second get a numbered name; the first copy stays as it was.
    writeFile(m_file, "{\"schemaVersion\": 2, \"profiles\": 7}");
    const auto second = UnreadableConfig::keepAside(m_file, kNow, kMaxBytes);
    ASSERT_TRUE(second);
    EXPECT_EQ(*second, m_temp.path() / "config.json.unreadable-20240501T083000Z-2");
    EXPECT_EQ(readFile(*second), "{\"schemaVersion\": 2, \"profiles\": 7}");
    EXPECT_EQ(readFile(*first), "{\"profiles\": [ broken");
    EXPECT_THAT(entries(), ElementsAre("config.json", "config.json.unreadable-20240501T083000Z",
                                       "config.json.unreadable-20240501T083000Z-2"));
}

TEST_F(UnreadableConfigTest, MovesAFileWhoseBytesCannotBeRead) {
    // Too large to read: moved whole, so the next save writes a new file in its place.
    const std::string large(kMaxBytes + 1, 'x');
    writeFile(m_file, large);
    writeFile(m_temp.path() / "config.json.unreadable-20240501T083000Z", "an earlier copy");
    const auto kept = UnreadableConfig::keepAside(m_file, kNow, kMaxBytes);
    ASSERT_TRUE(kept);
    EXPECT_EQ(*kept, m_temp.path() / "config.json.unreadable-20240501T083000Z-2");
    EXPECT_EQ(readFile(*kept), large);
    EXPECT_FALSE(fs::exists(m_file));
    EXPECT_EQ(readFile(m_temp.path() / "config.json.unreadable-20240501T083000Z"), "an earlier copy");

    // A folder in the file's place is moved the same way.
    fs::create_directory(m_file);
    writeFile(m_file / "inside", "kept");
    const auto folder = UnreadableConfig::keepAside(m_file, kNow, kMaxBytes);
    ASSERT_TRUE(folder);
    EXPECT_EQ(readFile(*folder / "inside"), "kept");
}

TEST_F(UnreadableConfigTest, NothingToKeepWithoutAFile) {
    EXPECT_EQ(UnreadableConfig::keepAside(m_file, kNow, kMaxBytes), std::nullopt);
    EXPECT_TRUE(entries().empty());
}

TEST_F(UnreadableConfigTest, AFolderThatTakesNoFileIsAClearError) {
    if (::geteuid() == 0) GTEST_SKIP() << "root writes into any folder";
    writeFile(m_file, "broken");
    fs::permissions(m_temp.path(), fs::perms::owner_read | fs::perms::owner_exec);
    EXPECT_THROW(UnreadableConfig::keepAside(m_file, kNow, kMaxBytes), fs::filesystem_error);
    fs::permissions(m_temp.path(), fs::perms::owner_all);
}

}  // namespace
