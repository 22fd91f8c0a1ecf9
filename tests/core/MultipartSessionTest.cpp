#include "TestFiles.h"

#include "core/storage/MultipartSession.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>

using tarn::MultipartSession;
using tarn::TimePoint;
using FileStamp = tarn::MultipartSession::FileStamp;

namespace {

TimePoint at(std::int64_t secondsSinceEpoch) {
    return TimePoint(std::chrono::seconds(secondsSinceEpoch));
}

}  // namespace

TEST(MultipartSession, ResumesOnlyTheSameItemWithAnUnchangedFile) {
    const MultipartSession session{"upload-1", "docs/report (1).pdf", "docs/report.pdf", 16 * 1024 * 1024,
                                   FileStamp{1000, at(1700000000)}};
    struct Case {
        const char* name;
        std::string itemKey;
        FileStamp file;
        std::set<std::string> avoiding;
        bool resumable;
    };
    for (const Case& c : std::initializer_list<Case>{
             {"unchanged", "docs/report.pdf", {1000, at(1700000000)}, {}, true},
             {"other keys to avoid", "docs/report.pdf", {1000, at(1700000000)}, {"docs/report.pdf"}, true},
             {"another item", "docs/other.pdf", {1000, at(1700000000)}, {}, false},
             {"resized", "docs/report.pdf", {1001, at(1700000000)}, {}, false},
             {"touched, same size", "docs/report.pdf", {1000, at(1700000001)}, {}, false},
             {"date no longer known", "docs/report.pdf", {1000, std::nullopt}, {}, false},
             {"key now taken", "docs/report.pdf", {1000, at(1700000000)}, {"docs/report (1).pdf"}, false},
         }) {
        EXPECT_EQ(session.canResume(c.itemKey, c.file, c.avoiding), c.resumable) << c.name;
    }

    // A file whose attributes could be read neither time stamps alike both times.
    const MultipartSession unknown{"upload-2", "a.bin", "a.bin", 16 * 1024 * 1024, FileStamp{}};
    EXPECT_TRUE(unknown.canResume("a.bin", FileStamp{}, {}));
    EXPECT_FALSE(unknown.canResume("a.bin", FileStamp{0, at(0)}, {}));
}

TEST(MultipartSession, StampsAFileBySizeAndModificationTime) {
    const tarn::test::TemporaryFolder folder;
    const std::filesystem::path file = folder.path() / "data.bin";
    tarn::test::writeFile(file, std::string(1234, 'x'));
    const timespec times[2] = {{1700000000, 0}, {1700000000, 250000000}};
    ASSERT_EQ(::utimensat(AT_FDCWD, file.c_str(), times, 0), 0);

    const FileStamp stamp = FileStamp::of(file);
    EXPECT_EQ(stamp, (FileStamp{1234, at(1700000000) + std::chrono::milliseconds(250)}));

    // Touched only: the same size, but no longer the same file.
    const timespec touched[2] = {{1700000000, 0}, {1700000000, 250001000}};
    ASSERT_EQ(::utimensat(AT_FDCWD, file.c_str(), touched, 0), 0);
    EXPECT_NE(FileStamp::of(file), stamp);

    EXPECT_EQ(FileStamp::of(folder.path() / "missing.bin"), FileStamp{});
}
