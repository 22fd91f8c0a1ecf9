#include "AppStateFixture.h"
#include "AppStateTestAccess.h"

#include "app/text/L10n.h"
#include "app/transfers/TransferCenter.h"
#include "core/config/ConfigJson.h"

#include <QSignalSpy>

#include <gmock/gmock.h>

using namespace std::chrono_literals;
using tarn::test::AppStateFixture;
using tarn::test::RecordingAppState;
using tarn::test::writeFile;
using ::testing::ElementsAre;

namespace tarn {
namespace {

// Long enough for any wait in these tests to have fired had it been scheduled.
constexpr int quietMs = 700;

class AppStateTest : public AppStateFixture {};

TEST_F(AppStateTest, StartsWithTheDefaultsAndTheStatusOfTheTextTables) {
    EXPECT_EQ(m_state->config(), ConfigStore::defaultConfig());
    EXPECT_EQ(m_state->config().schemaVersion, 2);
    EXPECT_EQ(m_state->languageCode(), "zh");
    EXPECT_EQ(m_state->statusText(), L10n::t(QStringLiteral("status_ready")));
    EXPECT_TRUE(m_state->showingPreview());
    EXPECT_FALSE(m_state->selectedBucketID());
    EXPECT_EQ(m_state->inlinePreviewState(), InlinePreviewState::empty());
    EXPECT_EQ(m_state->privateFolder().root(), m_folder.path() / "cache" / "TarnManager");
    EXPECT_FALSE(std::filesystem::exists(m_folder.path() / "config")) << "the state must read and write nothing yet";
}

TEST_F(AppStateTest, RepublishingTheSameLanguageCodeNotifiesEveryTime) {
    QSignalSpy changes(m_state.get(), &AppState::languageCodeChanged);
    m_state->setLanguageCode("zh");
    m_state->setLanguageCode("zh");
    EXPECT_EQ(changes.count(), 2);
    EXPECT_EQ(m_state->languageCode(), "zh");
    EXPECT_EQ(L10n::languageCode(), QStringLiteral("zh"));
}

TEST_F(AppStateTest, EveryAssignmentPublishesEvenAnEqualValue) {
    QSignalSpy history(m_state.get(), &AppState::showingHistoryChanged);
    QSignalSpy keys(m_state.get(), &AppState::selectedObjectKeysChanged);
    QSignalSpy config(m_state.get(), &AppState::configChanged);
    m_state->setShowingHistory(false);
    m_state->setSelectedObjectKeys({});
    m_state->setConfig(m_state->config());
    EXPECT_EQ(history.count(), 1);
    EXPECT_EQ(keys.count(), 1);
    EXPECT_EQ(config.count(), 1);
    // The meta-object system sees the same values as the getters.
    EXPECT_EQ(m_state->property("languageCode").value<std::string>(), "zh");
    EXPECT_EQ(m_state->property("config").value<AppConfig>(), m_state->config());
}

TEST_F(AppStateTest, TheTransferQueueIsMadeOnceAndKept) {
    TransferCenter& first = m_state->transfers();
    EXPECT_EQ(&m_state->transfers(), &first);
    EXPECT_TRUE(first.tasks().empty());
}

TEST_F(AppStateTest, SavingWritesTheConfigurationAndPublishesIt) {
    AppConfig config = m_state->config();
    config.languageCode = "en";
    m_state->setConfig(config);
    QSignalSpy changes(m_state.get(), &AppState::configChanged);
    QSignalSpy toasts(m_state.get(), &AppState::toastRequested);
    m_state->saveConfig();
    EXPECT_EQ(changes.count(), 1);
    EXPECT_EQ(toasts.count(), 0);
    EXPECT_EQ(std::get<AppConfig>(m_configStore.loadRaw()).languageCode, "en");
}

TEST_F(AppStateTest, AFailedSaveBecomesAnErrorToastAndKeepsTheChange) {
    // A file where the configuration's folder should be: no user can write there.
    writeFile(m_folder.path() / "blocked", "x");
    ConfigStore blocked(m_folder.path() / "blocked" / "config.json");
    AppState state(blocked, m_secretStore, m_client);
    AppConfig config = state.config();
    config.debugLogging = true;
    state.setConfig(config);
    QSignalSpy toasts(&state, &AppState::toastRequested);
    state.saveConfig();
    ASSERT_EQ(toasts.count(), 1);
    const auto toast = toasts.front().front().value<ToastMessage>();
    EXPECT_EQ(toast.kind, ToastKind::error);
    EXPECT_FALSE(toast.text.isEmpty());
    EXPECT_TRUE(state.config().debugLogging);
}

// ---- The debounced search ----

TEST_F(AppStateTest, AQuickRunOfChangesListsOnceForTheLastText) {
    AppStateTestAccess::showListing(*m_state, std::nullopt, std::nullopt, "photos/", {});
    m_state->listingTakes = 100ms;
    QSignalSpy searching(m_state.get(), &AppState::isSearchingChanged);
    for (const char* text : {"a", "ab", "abc"}) {
        m_state->setSearchText(text);
        QTest::qWait(60);
        EXPECT_TRUE(m_state->record->listings.empty()) << "listed while the user was still typing";
    }
    ASSERT_TRUE(QTest::qWaitFor([&] { return !m_state->record->listings.empty(); }, 5000));
    ASSERT_TRUE(QTest::qWaitFor([&] { return !m_state->isSearching(); }, 5000));
    QTest::qWait(quietMs);

    ASSERT_EQ(m_state->record->listings.size(), 1u);
    EXPECT_EQ(m_state->record->listings.front().prefix, "photos/");
    EXPECT_EQ(m_state->record->listings.front().searchText, "abc");
    EXPECT_TRUE(m_state->record->listings.front().isSearching);
    EXPECT_EQ(searching.count(), 2);
    EXPECT_FALSE(m_state->isSearching());
}

TEST_F(AppStateTest, TheSameTextOrASuppressedChangeListsNothing) {
    QSignalSpy texts(m_state.get(), &AppState::searchTextChanged);
    m_state->setSearchText("");
    AppStateTestAccess::setSuppressSearchReload(*m_state, true);
    m_state->setSearchText("cleared by navigation");
    QTest::qWait(quietMs);
    EXPECT_TRUE(m_state->record->listings.empty());
    EXPECT_EQ(texts.count(), 2) << "the views still see every assignment";

    AppStateTestAccess::setSuppressSearchReload(*m_state, false);
    m_state->setSearchText("cleared by navigation");
    QTest::qWait(quietMs);
    EXPECT_TRUE(m_state->record->listings.empty());
}

TEST_F(AppStateTest, ALaterChangeDoesNotStopAListingThatHasBegun) {
    m_state->listingTakes = 500ms;
    m_state->setSearchText("a");
    ASSERT_TRUE(QTest::qWaitFor([&] { return m_state->record->listings.size() == 1; }, 5000));
    m_state->setSearchText("ab");
    ASSERT_TRUE(QTest::qWaitFor([&] { return m_state->record->listings.size() == 2; }, 5000));
    EXPECT_EQ(m_state->record->listings.back().searchText, "ab");
    ASSERT_TRUE(QTest::qWaitFor([&] { return !m_state->isSearching(); }, 5000));
}

TEST_F(AppStateTest, ASearchOfAStateThatIsGoneNeitherListsNorTouchesIt) {
    const auto waiting = m_state->record;
    m_state->setSearchText("waiting");
    m_state.reset();
    QTest::qWait(quietMs);
    EXPECT_TRUE(waiting->listings.empty());

    // Gone while its listing runs: the listing ends, and the search, resumed after
    // it, must not write to the state any more.
    m_state = std::make_unique<RecordingAppState>(m_configStore, m_secretStore, m_client);
    const auto listing = m_state->record;
    m_state->listingTakes = 200ms;
    m_state->setSearchText("listing");
    ASSERT_TRUE(QTest::qWaitFor([&] { return !listing->listings.empty(); }, 5000));
    m_state.reset();
    EXPECT_TRUE(QTest::qWaitFor([&] { return listing->finished == 1; }, 5000));
}

}  // namespace
}  // namespace tarn
