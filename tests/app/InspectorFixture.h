#pragma once

#include "ServerAppStateFixture.h"

#include "app/state/InlinePreviewState.h"

#include <QMetaObject>

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tarn::test {

// A state over a bucket of its own on the S3 test server, with helpers to store
// objects as another client would and to inspect one of them as the browser does.
class InspectorFixture : public ServerAppStateFixture {
protected:
    void SetUp() override;
    void TearDown() override;

    // Creates the bucket (on the server, and as an account of the state at
    // `endpoint`, the server's own when empty) and shows its root.
    void openBucket(const std::string& stem, const std::string& endpoint = {});
    // Stores one object with a plain signed PUT carrying the extra headers.
    void put(const std::string& key, std::string_view content, const std::vector<HttpHeader>& headers = {});
    // Lists the root again and selects `key` alone, without refreshing the inspector.
    void select(const std::string& key);
    // Selects `key` and waits for the inspector's refresh to end.
    void inspect(const std::string& key);

    // Every preview state published since SetUp (or the last clear), in order.
    std::vector<InlinePreviewState> m_states;
    BucketConfig m_made;    // the bucket as the server knows it
    BucketConfig m_bucket;  // the bucket as the state knows it

private:
    QMetaObject::Connection m_recording;
};

// The local file a "ready" state points at.
std::filesystem::path localFile(const InlinePreviewState& state);

}  // namespace tarn::test
