#include "app/transfers/SpeedMeter.h"
#include "app/transfers/TransferTask.h"

#include <gtest/gtest.h>

using namespace std::chrono_literals;

namespace tarn {
namespace {

TransferTask taskWith(TransferSpec spec, bool isFolder = false, std::string title = "") {
    TransferTask task;
    task.spec = std::move(spec);
    task.isFolder = isFolder;
    task.title = std::move(title);
    return task;
}

TEST(TransferTask, FractionByBytesElseByUnitsNeverAboveOne) {
    const struct {
        std::int64_t bytesTotal, bytesDone;
        int unitsTotal, unitsDone;
        double unitFraction, expected;
    } cases[] = {
        {1000, 1500, 1, 0, 0, 1.0},  // a server sent more than it announced
        {1000, 250, 4, 3, 0.9, 0.25},  // bytes win over units
        {0, 0, 4, 1, 0.5, 0.375},
        {0, 0, 2, 2, 0.5, 1.0},
        {0, 0, 0, 0, 0, 0.0},
    };
    for (const auto& c : cases) {
        TransferTask task;
        task.bytesTotal = c.bytesTotal;
        task.bytesDone = c.bytesDone;
        task.unitsTotal = c.unitsTotal;
        task.unitsDone = c.unitsDone;
        task.currentUnitFraction = c.unitFraction;
        EXPECT_DOUBLE_EQ(task.fraction(), c.expected) << c.bytesTotal << " " << c.unitsTotal;
    }
}

TEST(TransferTask, KindFollowsTheSpecification) {
    EXPECT_EQ(taskWith({TransferSpec::Upload{}}).kind(), TransferKind::upload);
    EXPECT_EQ(taskWith({TransferSpec::Download{}}).kind(), TransferKind::download);
    EXPECT_EQ(taskWith({TransferSpec::Delete{}}).kind(), TransferKind::deletion);
    EXPECT_EQ(taskWith({TransferSpec::Rename{}}).kind(), TransferKind::rename);
    EXPECT_TRUE(isActive(TransferState::running));
    EXPECT_TRUE(isFinished(TransferState::cancelled));
}

TEST(TransferTask, ThePlaceholderStandsForTheKeyTheTaskWrites) {
    TransferTask file = taskWith({TransferSpec::Upload{"/home/u/a.txt", "docs/", UploadConflictMode::rename}}, false, "a.txt");
    EXPECT_EQ(file.placeholderRealKey(), "docs/a.txt");
    file.succeededObjectKey = "docs/a 2.txt";
    EXPECT_EQ(file.placeholderRealKey(), "docs/a 2.txt");

    TransferTask folder = taskWith({TransferSpec::Upload{"/home/u/pics", "", UploadConflictMode::ask}}, true, "pics");
    folder.succeededObjectKey = "ignored";
    EXPECT_EQ(folder.placeholderRealKey(), "pics/");

    EXPECT_EQ(taskWith({TransferSpec::Rename{"x/old", "x/new", true}}, true).placeholderRealKey(), "x/new/");
    EXPECT_EQ(taskWith({TransferSpec::Rename{"x/old/", "x/new/", true}}, true).placeholderRealKey(), "x/new/");
    EXPECT_EQ(taskWith({TransferSpec::Rename{"a.txt", "b.txt", false}}).placeholderRealKey(), "b.txt");
    EXPECT_FALSE(taskWith({TransferSpec::Download{"k", "/tmp/k", false}}).placeholderRealKey());
    EXPECT_FALSE(taskWith({TransferSpec::Delete{{"k"}, {}}}).placeholderRealKey());

    file.id = *Uuid::parse("6f1c2b0e-7d0a-4a57-9c43-1b0f2e3d4c5b");
    EXPECT_EQ(file.placeholderKey(), "upload:6F1C2B0E-7D0A-4A57-9C43-1B0F2E3D4C5B");
}

TEST(TransferTask, TheParentOfARenamedSource) {
    const struct {
        TransferSpec::Rename rename;
        const char* parent;
    } cases[] = {
        {{"a/b/c.txt", "z", false}, "a/b/"},
        {{"a/b/", "z/", true}, "a/"},
        {{"a/b", "z", true}, "a/"},
        {{"c.txt", "z", false}, ""},
        {{"top/", "z/", true}, ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(taskWith({c.rename}).renameParentDirectory(), c.parent) << c.rename.source;
    }
    EXPECT_FALSE(taskWith({TransferSpec::Upload{}}).renameParentDirectory());
}

TEST(SpeedMeter, MeasuresOverHalfASecondAtLeast) {
    const SpeedMeter::Clock::time_point start{};
    SpeedMeter meter(start);
    EXPECT_FALSE(meter.sample(300, start + 300ms)) << "0.3 s is too short a window";
    // The next sample still measures from the start, not from the refused one.
    const auto rate = meter.sample(1000, start + 1s);
    ASSERT_TRUE(rate);
    EXPECT_DOUBLE_EQ(*rate, 1000.0);
    EXPECT_FALSE(meter.sample(5000, start + 1300ms));
    EXPECT_DOUBLE_EQ(meter.sample(3000, start + 2s).value(), 2000.0);
    // A part sent again lowers the count: no negative speed, and the lower count is
    // where the next window starts.
    EXPECT_DOUBLE_EQ(meter.sample(1000, start + 3s).value(), 0.0);
    EXPECT_DOUBLE_EQ(meter.sample(1500, start + 3500ms).value(), 1000.0);
}

}  // namespace
}  // namespace tarn
