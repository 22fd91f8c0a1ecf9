#include "InspectorFixture.h"

#include "app/text/L10n.h"
#include "integration/S3TestBuckets.h"

#include <QSignalSpy>

#include <gmock/gmock.h>

using namespace std::chrono_literals;
using tarn::test::finishWithin;
using ::testing::ElementsAre;

namespace tarn {
namespace {

using Metadata = std::map<std::string, std::string>;

QString text(const char* key) { return L10n::t(QString::fromLatin1(key)); }

class AppStateMetadataTest : public test::InspectorFixture {
protected:
    // The object's head as the server has it now.
    ObjectDetails stored(const std::string& key) {
        return m_client.details(ObjectItem{key, 1}, m_made, test::credentialsOf(*m_server));
    }
    std::vector<std::string> draftKeys() const {
        std::vector<std::string> keys;
        for (const MetadataPair& row : m_app->metadataDraft()) keys.push_back(row.key);
        return keys;
    }
    MetadataPair row(std::string key, std::string value) { return {Uuid::random(), std::move(key), std::move(value)}; }
};

TEST_F(AppStateMetadataTest, ASavedDraftReplacesTheUserMetadataAndKeepsTheStandardHeaders) {
    openBucket("meta");
    put("doc.txt", "text",
        {{"Content-Type", "text/plain"}, {"Cache-Control", "max-age=60"}, {"x-amz-meta-zeta", "z"},
         {"x-amz-meta-owner", "ann"}});
    inspect("doc.txt");

    m_app->startEditMetadata();
    EXPECT_TRUE(m_app->showingEditMetadata());
    EXPECT_THAT(draftKeys(), ElementsAre("owner", "zeta"));
    EXPECT_EQ(m_app->metadataDraft().front().value, "ann");

    // Names are trimmed of spaces of every kind (no-break and ideographic ones too) and
    // tabs, blank ones dropped, the lower of two kept.
    m_app->setMetadataDraft({row(" \tteam ", "deep  blue"), row("   ", "dropped"), row("owner", "bob"),
                             row("\xC2\xA0owner", "carl"), row("\xE3\x80\x80tag\xE3\x80\x80", "x"),
                             row("\xE2\x80\x83\xE2\x80\xAF", "dropped too")});
    QSignalSpy toasts(m_app.get(), &AppState::toastRequested);
    m_app->saveMetadata();
    EXPECT_FALSE(m_app->showingEditMetadata());
    const Metadata expected{{"owner", "carl"}, {"tag", "x"}, {"team", "deep  blue"}};
    ASSERT_TRUE(waitFor([&] { return m_app->objectDetails() && m_app->objectDetails()->metadata == expected; }, 10s))
        << (toasts.empty() ? std::string() : toasts.front().front().value<ToastMessage>().text.toStdString());
    ASSERT_TRUE(waitUntilSettled());

    const ObjectDetails after = stored("doc.txt");
    EXPECT_EQ(after.metadata, expected);
    EXPECT_EQ(after.contentType, std::optional<std::string>("text/plain"));
    EXPECT_EQ(after.cacheControl, std::optional<std::string>("max-age=60"));
    m_app->flushHistory();
    ASSERT_FALSE(m_app->config().history.empty());
    EXPECT_EQ(m_app->config().history.front().action, text("edit_metadata").toStdString());
    EXPECT_EQ(m_app->config().history.front().detail, "doc.txt");
    EXPECT_TRUE(m_app->config().history.front().succeeded);

    // An emptied draft removes every name.
    m_app->startEditMetadata();
    m_app->setMetadataDraft({});
    m_app->saveMetadata();
    ASSERT_TRUE(waitFor([&] { return m_app->objectDetails() && m_app->objectDetails()->metadata.empty(); }));
    EXPECT_EQ(stored("doc.txt").contentType, std::optional<std::string>("text/plain"));
}

// The edit is a copy of the object onto itself: it keeps the storage class, and an
// archived object that the server will not copy is left as it was, with a text that
// says why.
TEST_F(AppStateMetadataTest, AnEditKeepsTheStorageClassAndLeavesAnArchivedObjectAlone) {
    openBucket("meta-class");
    put("seldom.txt", "text", {{"x-amz-storage-class", "STANDARD_IA"}, {"x-amz-meta-owner", "ann"}});
    put("cold.txt", "text", {{"x-amz-storage-class", "GLACIER"}, {"x-amz-meta-owner", "ann"}});
    QSignalSpy toasts(m_app.get(), &AppState::toastRequested);

    inspect("seldom.txt");
    m_app->startEditMetadata();
    m_app->setMetadataDraft({row("owner", "bob")});
    m_app->saveMetadata();
    ASSERT_TRUE(waitFor([&] {
        return m_app->objectDetails() && m_app->objectDetails()->metadata == Metadata{{"owner", "bob"}};
    }));
    ASSERT_TRUE(waitUntilSettled());
    EXPECT_EQ(m_client.storageClass("seldom.txt", m_made, test::credentialsOf(*m_server)), "STANDARD_IA");

    inspect("cold.txt");
    ASSERT_TRUE(m_app->objectDetails());
    EXPECT_EQ(m_app->objectDetails()->metadata, (Metadata{{"owner", "ann"}}));
    m_app->startEditMetadata();
    m_app->setMetadataDraft({row("owner", "bob")});
    m_app->saveMetadata();
    ASSERT_TRUE(waitFor([&] { return !toasts.empty(); }));
    ASSERT_TRUE(waitUntilSettled());
    const ToastMessage toast = toasts.back().front().value<ToastMessage>();
    EXPECT_EQ(toast.kind, ToastKind::error);
    EXPECT_EQ(toast.text, L10n::t(QStringLiteral("archived_object_not_copied"), QStringLiteral("cold.txt"),
                                  QStringLiteral("GLACIER")));
    EXPECT_EQ(stored("cold.txt").metadata, (Metadata{{"owner", "ann"}}));
    EXPECT_EQ(m_client.storageClass("cold.txt", m_made, test::credentialsOf(*m_server)), "GLACIER");
}

TEST_F(AppStateMetadataTest, NoSaveWritesADraftThatWasNotReadFromTheInspectedObject) {
    openBucket("guard");
    put("a.txt", "a", {{"x-amz-meta-keep", "yes"}});
    put("b.txt", "b", {{"x-amz-meta-mine", "b"}});
    QSignalSpy toasts(m_app.get(), &AppState::toastRequested);

    // Details not read yet (the inspector was not refreshed): the editor does not open.
    select("a.txt");
    m_app->startEditMetadata();
    EXPECT_FALSE(m_app->showingEditMetadata());
    ASSERT_EQ(toasts.count(), 1);
    EXPECT_EQ(toasts.takeFirst().front().value<ToastMessage>().text, text("metadata_not_loaded"));
    m_app->setMetadataDraft({row("other", "x")});
    m_app->saveMetadata();
    EXPECT_EQ(toasts.count(), 1);
    ASSERT_TRUE(waitUntilSettled());
    EXPECT_EQ(stored("a.txt").metadata, (Metadata{{"keep", "yes"}}));

    // A draft read from a.txt is not written onto b.txt once b.txt is inspected.
    inspect("a.txt");
    m_app->startEditMetadata();
    ASSERT_TRUE(m_app->showingEditMetadata());
    inspect("b.txt");
    m_app->setMetadataDraft({row("other", "x")});
    m_app->saveMetadata();
    ASSERT_TRUE(waitUntilSettled());
    EXPECT_EQ(stored("b.txt").metadata, (Metadata{{"mine", "b"}}));
    EXPECT_EQ(stored("a.txt").metadata, (Metadata{{"keep", "yes"}}));
    m_app->flushHistory();
    EXPECT_TRUE(m_app->config().history.empty());
}

}  // namespace
}  // namespace tarn
