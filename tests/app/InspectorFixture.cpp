#include "InspectorFixture.h"

#include "FinishWithin.h"
#include "integration/S3TestBuckets.h"

#include <chrono>

namespace tarn::test {

void InspectorFixture::SetUp() {
    ServerAppStateFixture::SetUp();
    if (IsSkipped()) return;
    m_recording = QObject::connect(m_app.get(), &AppState::inlinePreviewStateChanged, m_app.get(),
                                   [this] { m_states.push_back(m_app->inlinePreviewState()); });
}

void InspectorFixture::TearDown() {
    QObject::disconnect(m_recording);
    ServerAppStateFixture::TearDown();
}

void InspectorFixture::openBucket(const std::string& stem, const std::string& endpoint) {
    m_made = createBucket(*m_server, stem);
    m_bucket = addBucket(endpoint.empty() ? m_server->endpoint : endpoint, m_made.bucketName);
    m_app->switchBucket(m_bucket.id, "");
    ASSERT_TRUE(waitUntilSettled());
}

void InspectorFixture::put(const std::string& key, std::string_view content, const std::vector<HttpHeader>& headers) {
    putObject(*m_server, m_made, key, content, headers);
}

void InspectorFixture::select(const std::string& key) {
    m_app->refreshDirectory();
    ASSERT_TRUE(waitUntilSettled());
    m_app->setSelectedObjectKeys({key});
    ASSERT_TRUE(m_app->inspectorObject()) << key << " is not listed";
}

void InspectorFixture::inspect(const std::string& key) {
    select(key);
    ASSERT_TRUE(finishWithin(m_app->refreshInspector(), std::chrono::seconds(20)));
}

std::filesystem::path localFile(const InlinePreviewState& state) {
    return std::filesystem::path(state.url.toLocalFile().toStdString());
}

}  // namespace tarn::test
