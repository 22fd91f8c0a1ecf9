#include "AppStateFixture.h"

#include <QCoreApplication>
#include <QSignalSpy>
#include <QTimer>

#include <gmock/gmock.h>

#include <cmath>
#include <filesystem>
#include <limits>

using namespace std::chrono_literals;
using tarn::test::AppStateFixture;
using ::testing::ElementsAre;

namespace tarn {
namespace {

// Comfortably past the flush delay, so a flush that was scheduled has happened.
constexpr int pastFlushMs = 1500;

// Saves are counted twice over: by the state's publication of each save, and by the
// file itself, which a test removes so that any later save brings it back.
class AppStateHistoryTest : public AppStateFixture {
protected:
    AppStateHistoryTest() : m_saves(m_state.get(), &AppState::configChanged) {}

    bool configFileExists() const { return std::filesystem::exists(m_configStore.configURL()); }
    void removeConfigFile() const { std::filesystem::remove(m_configStore.configURL()); }
    std::vector<OperationHistoryEntry> storedHistory() const {
        return std::get<AppConfig>(m_configStore.loadRaw()).history;
    }
    static std::vector<std::string> details(const std::vector<OperationHistoryEntry>& entries) {
        std::vector<std::string> result;
        for (const OperationHistoryEntry& entry : entries) result.push_back(entry.detail);
        return result;
    }
    void record(const QString& detail) {
        m_state->recordHistory(QStringLiteral("Upload"), detail, "media", true);
    }
    bool waitForConfigFile() const {
        return QTest::qWaitFor([this] { return configFileExists(); }, 5000);
    }

    QSignalSpy m_saves;
};

TEST_F(AppStateHistoryTest, ABurstOfEntriesIsSavedOnceKeepingTheHundredNewest) {
    AppConfig config = m_state->config();
    for (int i = 0; i < 5; ++i) {
        config.history.push_back({Uuid::random(), std::chrono::system_clock::now(), "media", "Delete",
                                  "old " + std::to_string(i), true, std::nullopt, std::nullopt});
    }
    m_state->setConfig(config);
    m_saves.clear();

    for (int i = 0; i < 150; ++i) record(QStringLiteral("entry %1").arg(i));
    EXPECT_EQ(m_saves.count(), 0) << "recording must not write at once";
    EXPECT_EQ(m_state->config().history.size(), 5u) << "entries wait in the buffer";

    ASSERT_TRUE(waitForConfigFile());
    QTest::qWait(pastFlushMs);
    EXPECT_EQ(m_saves.count(), 1);

    std::vector<std::string> expected;
    for (int i = 149; i >= 50; --i) expected.push_back("entry " + std::to_string(i));
    EXPECT_EQ(details(storedHistory()), expected) << "the newest hundred, newest first; the older history is dropped";
    EXPECT_EQ(details(m_state->config().history), expected);
}

TEST_F(AppStateHistoryTest, TheListedHistoryHasTheBufferedEntriesOnTopWithoutASave) {
    AppConfig config = m_state->config();
    for (int i = 0; i < 95; ++i) {
        config.history.push_back({Uuid::random(), std::chrono::system_clock::now(), "media", "Delete",
                                  "old " + std::to_string(i), true, std::nullopt, std::nullopt});
    }
    m_state->setConfig(config);
    removeConfigFile();
    m_saves.clear();

    for (int i = 0; i < 10; ++i) record(QStringLiteral("new %1").arg(i));
    const std::vector<OperationHistoryEntry> listed = m_state->historyEntries();
    EXPECT_EQ(m_saves.count(), 0);
    EXPECT_FALSE(configFileExists());
    EXPECT_EQ(m_state->config().history.size(), 95u) << "the entries still wait for their flush";
    ASSERT_EQ(listed.size(), AppState::historyLimit);
    EXPECT_EQ(listed.front().detail, "new 9");
    EXPECT_EQ(listed[9].detail, "new 0");
    EXPECT_EQ(listed[10].detail, "old 0");
    EXPECT_EQ(listed.back().detail, "old 89");
}

TEST_F(AppStateHistoryTest, ADirectFlushLeavesThePendingFlushNothingToSave) {
    record(QStringLiteral("first"));
    record(QStringLiteral("second"));
    record(QStringLiteral("third"));
    m_state->flushHistory();
    EXPECT_EQ(m_saves.count(), 1);
    EXPECT_THAT(details(storedHistory()), ElementsAre("third", "second", "first"));

    removeConfigFile();
    QTest::qWait(pastFlushMs);
    EXPECT_FALSE(configFileExists()) << "the scheduled flush saved an empty buffer";
    EXPECT_EQ(m_saves.count(), 1);

    // The pending flush has ended, so a new entry schedules one of its own.
    record(QStringLiteral("fourth"));
    ASSERT_TRUE(waitForConfigFile());
    EXPECT_EQ(m_saves.count(), 2);
    EXPECT_THAT(details(storedHistory()), ElementsAre("fourth", "third", "second", "first"));
}

TEST_F(AppStateHistoryTest, AnEntryRecordedWhileAFlushIsPendingJoinsIt) {
    record(QStringLiteral("first"));
    m_state->flushHistory();
    record(QStringLiteral("second"));
    ASSERT_TRUE(QTest::qWaitFor([this] { return m_saves.count() == 2; }, 5000));
    QTest::qWait(pastFlushMs);
    EXPECT_EQ(m_saves.count(), 2);
    EXPECT_THAT(details(storedHistory()), ElementsAre("second", "first"));
}

// The flush is counted from the first entry of a burst, not from the last: a steady
// stream of entries (a long folder upload) must not postpone it for ever.
TEST_F(AppStateHistoryTest, SteadyRecordingIsSavedAsItGoes) {
    for (int i = 0; i < 25; ++i) {
        record(QStringLiteral("entry %1").arg(i));
        QTest::qWait(100);
    }
    EXPECT_GE(m_saves.count(), 1) << "nothing was saved while entries kept coming";
    ASSERT_TRUE(QTest::qWaitFor([this] { return storedHistory().size() == 25; }, 5000));
    EXPECT_EQ(storedHistory().front().detail, "entry 24");
}

TEST_F(AppStateHistoryTest, NothingIsSavedForAnEmptyBuffer) {
    m_state->flushHistory();
    EXPECT_EQ(m_saves.count(), 0);
    EXPECT_FALSE(configFileExists());

    record(QStringLiteral("only"));
    ASSERT_TRUE(waitForConfigFile());
    removeConfigFile();
    m_state->flushHistory();
    EXPECT_EQ(m_saves.count(), 1);
    EXPECT_FALSE(configFileExists());
}

TEST_F(AppStateHistoryTest, EntriesReadBackAsTheyWereRecorded) {
    m_state->recordHistory(QStringLiteral("下载"), QStringLiteral("photos/猫.jpg"), "media", true, 42, 1.5);
    m_state->recordHistory(QStringLiteral("Delete"), QStringLiteral("a.txt"), "logs", false);
    // A duration the file cannot hold is left out rather than making every save fail.
    m_state->recordHistory(QStringLiteral("Upload"), QStringLiteral("b.txt"), "logs", true, 7,
                           std::numeric_limits<double>::infinity());
    m_state->flushHistory();

    const std::vector<OperationHistoryEntry> stored = storedHistory();
    EXPECT_EQ(stored, m_state->config().history) << "memory and file must agree, dates included";
    ASSERT_EQ(stored.size(), 3u);
    EXPECT_EQ(stored[0].detail, "b.txt");
    EXPECT_EQ(stored[0].bytes, 7);
    EXPECT_EQ(stored[0].duration, std::nullopt);
    EXPECT_EQ(stored[1].bucketName, "logs");
    EXPECT_FALSE(stored[1].succeeded);
    EXPECT_EQ(stored[1].bytes, std::nullopt);
    EXPECT_EQ(stored[2].action, "下载");
    EXPECT_EQ(stored[2].detail, "photos/猫.jpg");
    EXPECT_EQ(stored[2].bytes, 42);
    EXPECT_EQ(stored[2].duration, 1.5);
    EXPECT_NE(stored[0].id, stored[1].id);
    EXPECT_LE(std::chrono::system_clock::now() - stored[0].date, 1min);
}

TEST_F(AppStateHistoryTest, QuittingWritesTheBufferAndTheStateGoesWithoutSavingAgain) {
    record(QStringLiteral("first"));
    record(QStringLiteral("second"));

    // The program's own way out: the event loop ends and the application says it quits.
    QTimer::singleShot(0, QCoreApplication::instance(), &QCoreApplication::quit);
    QCoreApplication::exec();
    EXPECT_EQ(m_saves.count(), 1);
    EXPECT_THAT(details(storedHistory()), ElementsAre("second", "first"));

    removeConfigFile();
    m_state.reset();
    QTest::qWait(pastFlushMs);
    EXPECT_FALSE(configFileExists()) << "the buffer was saved a second time";
}

TEST_F(AppStateHistoryTest, AStateDestroyedBeforeItsFlushStillKeepsItsEntries) {
    record(QStringLiteral("last words"));
    m_state.reset();
    EXPECT_THAT(details(storedHistory()), ElementsAre("last words"));
    // The cancelled flush wakes up to find the state gone.
    removeConfigFile();
    QTest::qWait(pastFlushMs);
    EXPECT_FALSE(configFileExists());
}

}  // namespace
}  // namespace tarn
