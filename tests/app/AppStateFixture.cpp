#include "AppStateFixture.h"

#include "core/files/RotatingLogFile.h"

#include <cstdlib>

namespace tarn::test {

QCoro::Task<> RecordingAppState::loadDirectory(std::string prefix) {
    const std::shared_ptr<Record> record = this->record;
    record->listings.push_back({std::move(prefix), searchText(), isSearching()});
    // Like a real listing, touch nothing of the state once it has waited.
    if (listingTakes.count() > 0) co_await stoppableSleep(listingTakes, {});
    ++record->finished;
}

AppStateFixture::AppStateFixture()
    : m_configHome("XDG_CONFIG_HOME", (m_folder.path() / "config").c_str()),
      m_cacheHome("XDG_CACHE_HOME", (m_folder.path() / "cache").c_str()),
      m_secretStore("app.TarnManager.test." + Uuid::random().toString()),
      m_state(std::make_unique<RecordingAppState>(m_configStore, m_secretStore, m_client)) {}

AppStateFixture::~AppStateFixture() { m_state.reset(); }

ScopedLogHome::ScopedLogHome()
    : m_variable("HOME", m_home.path().c_str()), m_log(AppState::logFile().path()),
      m_lentFolder(std::filesystem::create_directories(m_log.parent_path())) {}

ScopedLogHome::~ScopedLogHome() {
    if (m_lentFolder) std::filesystem::remove_all(m_log.parent_path());
}

std::string ScopedLogHome::text() const { return std::filesystem::exists(m_log) ? readFile(m_log) : std::string(); }

bool hasTestKeyring() {
    const char* flag = std::getenv("TARN_TEST_KEYRING");
    return flag != nullptr && *flag != '\0';
}

}  // namespace tarn::test
