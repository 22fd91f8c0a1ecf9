#include "InspectorFixture.h"

#include "app/text/L10n.h"
#include "app/transfers/TransferCenter.h"
#include "core/LoopbackHttpServer.h"
#include "core/preview/PreviewCache.h"
#include "core/ScopedEnv.h"
#include "core/storage/S3Error.h"
#include "core/text/ByteFormatter.h"
#include "integration/FaultProxy.h"
#include "integration/S3TestBuckets.h"

#include <QBuffer>
#include <QImage>
#include <QSignalSpy>

#include <gmock/gmock.h>

#include <fstream>

using namespace std::chrono_literals;
using tarn::test::finishWithin;
using tarn::test::LoopbackHttpServer;
using tarn::test::RecordedRequest;
using tarn::test::localFile;
using tarn::test::readFile;

namespace tarn {
namespace {

namespace fs = std::filesystem;
using Kind = InlinePreviewState::Kind;

QString text(const char* key) { return L10n::t(QString::fromLatin1(key)); }

std::string pngBytes() {
    QImage image(64, 48, QImage::Format_RGB32);
    image.fill(Qt::darkCyan);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes.toStdString();
}

std::vector<Kind> kinds(const std::vector<InlinePreviewState>& states) {
    std::vector<Kind> result;
    for (const InlinePreviewState& state : states) result.push_back(state.kind);
    return result;
}

class AppStatePreviewTest : public test::InspectorFixture {};

TEST_F(AppStatePreviewTest, DetailsOfAnEmptyAndOfANormalObjectArePublished) {
    openBucket("details");
    put("empty.txt", "", {{"x-amz-meta-owner", "ann"}});
    put("notes.txt", "hello", {{"Content-Type", "text/plain"}, {"x-amz-meta-owner", "bob"}});

    inspect("empty.txt");
    ASSERT_TRUE(m_app->objectDetails());
    EXPECT_EQ(m_app->objectDetails()->item.key, "empty.txt");
    EXPECT_EQ(m_app->objectDetails()->metadata, (std::map<std::string, std::string>{{"owner", "ann"}}));
    ASSERT_EQ(m_app->inlinePreviewState().kind, Kind::ready);
    EXPECT_EQ(readFile(localFile(m_app->inlinePreviewState())), "");

    m_states.clear();
    inspect("notes.txt");
    ASSERT_TRUE(m_app->objectDetails());
    EXPECT_EQ(m_app->objectDetails()->contentType, std::optional<std::string>("text/plain"));
    EXPECT_EQ(m_app->objectDetails()->metadata, (std::map<std::string, std::string>{{"owner", "bob"}}));
    // Loading while the details come, loading again for the small download, then ready.
    EXPECT_THAT(kinds(m_states), ::testing::ElementsAre(Kind::loading, Kind::loading, Kind::ready));
    const fs::path copy = localFile(m_states.back());
    EXPECT_EQ(readFile(copy), "hello");
    EXPECT_EQ(copy.parent_path(), m_app->previewCacheFolder(m_bucket));
}

TEST_F(AppStatePreviewTest, EachKindOfObjectEndsInItsState) {
    openBucket("kinds");
    AppConfig config = m_app->config();
    config.previewSizeLimitBytes = 1000;
    m_app->setConfig(config);
    const std::string png = pngBytes();
    const std::string pdf = "%PDF-1.4\n%%EOF\n";
    put("photo.png", png);
    put("readme.md", "# Title\n");
    put("log.txt", "line\n");
    put("paper.pdf", pdf);
    put("song.mp3", "ID3");
    put("limit.txt", std::string(1000, 'a'));
    put("over.txt", std::string(1001, 'a'));
    put("data.bin", "\x01\x02");
    put("broken.jpg", "this is no image");
    // The image service's format is a zip: other servers cannot show it.
    put("moment.glintlive", "PK\x03\x04", {{"Content-Type", "application/zip"}});

    const QString tooLarge =
        L10n::t(QStringLiteral("preview_too_large"), QString::fromStdString(ByteFormatter::string(1000)));
    const struct Case {
        std::string key;
        Kind kind;
        std::string content;  // of the cached copy, for a local ready state
        QString text;
    } cases[] = {
        {"photo.png", Kind::ready, png, {}},
        {"readme.md", Kind::ready, "# Title\n", {}},
        {"log.txt", Kind::ready, "line\n", {}},
        {"paper.pdf", Kind::ready, pdf, {}},
        {"song.mp3", Kind::ready, {}, {}},
        {"limit.txt", Kind::ready, std::string(1000, 'a'), {}},
        {"over.txt", Kind::unsupported, {}, tooLarge},
        {"data.bin", Kind::unsupported, {}, text("preview_unsupported")},
        {"broken.jpg", Kind::unsupported, {}, text("preview_unsupported")},
        {"moment.glintlive", Kind::unsupported, {}, text("preview_unsupported")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.key);
        inspect(c.key);
        const InlinePreviewState& state = m_app->inlinePreviewState();
        ASSERT_EQ(state.kind, c.kind);
        EXPECT_EQ(state.text, c.text);
        if (c.kind != Kind::ready) continue;
        EXPECT_EQ(state.key, c.key);
        if (c.key == "song.mp3") {
            // Audio streams from a presigned link of an hour; nothing is downloaded.
            EXPECT_FALSE(state.url.isLocalFile());
            EXPECT_THAT(state.url.toString().toStdString(), ::testing::HasSubstr("X-Amz-Expires=3600"));
            continue;
        }
        EXPECT_EQ(readFile(localFile(state)), c.content);
    }
}

// The maker's service, stood in for on loopback: the program reaches its host through
// an HTTP proxy, which the stand-in is. Each object says how its download and its
// resized image (the request with "w=1000") are answered.
TEST_F(AppStatePreviewTest, AnImageTheCopyCannotShowFallsBackToTheResizedImage) {
    const std::string png = pngBytes();
    const std::string notAnImage = "this is no image";
    struct Case {
        std::string key;
        bool downloads;                        // else the download fails with 500
        std::optional<std::string> rendition;  // none: the resized image fails with 500
        Kind kind;
        bool showsRendition;  // for a ready state: the resized image, else the copy
    };
    const std::vector<Case> cases{
        {"copy-fails-rendition-fails.jpg", true, std::nullopt, Kind::ready, false},
        {"copy-fails-rendition-shows.jpg", true, png, Kind::ready, true},
        {"copy-fails-rendition-bad.jpg", true, notAnImage, Kind::unsupported, false},
        {"gone-rendition-shows.jpg", false, png, Kind::ready, true},
        {"gone-rendition-bad.jpg", false, notAnImage, Kind::unsupported, false},
        {"gone-rendition-fails.jpg", false, std::nullopt, Kind::failed, false},
    };
    const auto caseOf = [&cases](const std::string& target) -> const Case* {
        for (const Case& c : cases) {
            if (target.find("/" + c.key) != std::string::npos) return &c;
        }
        return nullptr;
    };
    const auto failure = LoopbackHttpServer::answer(500, {{"Content-Type", "application/xml"}},
                                                    "<Error><Code>InternalError</Code><Message>down</Message></Error>");
    LoopbackHttpServer maker([&](const RecordedRequest& request) {
        if (request.target.find("list-type=2") != std::string::npos) {
            std::string xml = "<ListBucketResult>";
            for (const Case& c : cases) {
                xml += "<Contents><Key>" + c.key + "</Key><Size>" + std::to_string(notAnImage.size()) +
                       "</Size><ETag>\"" + c.key + "\"</ETag></Contents>";
            }
            return LoopbackHttpServer::answer(200, {{"Content-Type", "application/xml"}},
                                              xml + "<IsTruncated>false</IsTruncated></ListBucketResult>");
        }
        const Case* c = caseOf(request.target);
        if (c == nullptr) return LoopbackHttpServer::answer(404, {}, "");
        if (request.target.find("w=1000") != std::string::npos) {
            return c->rendition ? LoopbackHttpServer::answer(200, {{"Content-Type", "image/png"}}, *c->rendition)
                                : failure;
        }
        if (request.method == "HEAD") return LoopbackHttpServer::answer(200, {{"Content-Type", "image/jpeg"}}, "");
        return c->downloads ? LoopbackHttpServer::answer(200, {{"Content-Type", "image/jpeg"}}, notAnImage) : failure;
    });
    const std::string proxy = maker.endpoint();
    const test::ScopedEnv httpProxy("http_proxy", proxy.c_str());
    const test::ScopedEnv noProxy("no_proxy", nullptr);
    const test::ScopedEnv noProxyUpper("NO_PROXY", nullptr);
    const BucketConfig bucket = addBucket("http://s3.corvane.example", "stub-images");
    m_app->switchBucket(bucket.id, "");
    ASSERT_TRUE(waitUntilSettled());
    ASSERT_EQ(m_app->objects().size(), cases.size());

    const QString downloadFailure = TransferCenter::describe(std::make_exception_ptr(
        S3Error::requestFailed(500, "<Error><Code>InternalError</Code><Message>down</Message></Error>")));
    for (const Case& c : cases) {
        SCOPED_TRACE(c.key);
        m_app->setSelectedObjectKeys({c.key});
        ASSERT_TRUE(finishWithin(m_app->refreshInspector(), 20s));
        const InlinePreviewState& state = m_app->inlinePreviewState();
        ASSERT_EQ(state.kind, c.kind) << state.text.toStdString();
        if (c.kind == Kind::unsupported) {
            EXPECT_EQ(state.text, text("preview_unsupported"));
        }
        // The download's error, not the resized image's.
        if (c.kind == Kind::failed) {
            EXPECT_EQ(state.text, downloadFailure);
        }
        if (c.kind != Kind::ready) continue;
        EXPECT_EQ(readFile(localFile(state)), c.showsRendition ? png : notAnImage);
    }
}

TEST_F(AppStatePreviewTest, OnlyObjectsAbove512000BytesShowDownloadProgress) {
    openBucket("progress");
    put("quiet.txt", std::string(512000, 'q'));
    put("loud.txt", std::string(512001, 'l'));
    m_states.clear();
    QSignalSpy fractions(m_app.get(), &AppState::previewDownloadFractionChanged);

    inspect("quiet.txt");
    EXPECT_THAT(kinds(m_states), ::testing::ElementsAre(Kind::loading, Kind::loading, Kind::ready));
    EXPECT_EQ(fractions.count(), 0);

    m_states.clear();
    inspect("loud.txt");
    EXPECT_THAT(kinds(m_states), ::testing::ElementsAre(Kind::loading, Kind::downloading, Kind::ready));
    ASSERT_GE(fractions.count(), 2);
    EXPECT_EQ(m_app->previewDownloadFraction(), 1.0);
    EXPECT_EQ(fs::file_size(localFile(m_app->inlinePreviewState())), 512001u);
}

TEST_F(AppStatePreviewTest, TheCacheServesOneVersionAndAChangedObjectGetsANewCopy) {
    openBucket("cache");
    put("doc.txt", "first");
    inspect("doc.txt");
    const fs::path first = localFile(m_app->inlinePreviewState());
    ASSERT_EQ(readFile(first), "first");

    // A copy of the right size is used as it is, without asking the server.
    std::ofstream(first, std::ios::trunc) << "FIRST";
    inspect("doc.txt");
    EXPECT_EQ(localFile(m_app->inlinePreviewState()), first);
    EXPECT_EQ(readFile(first), "FIRST");
    // One of another size is fetched again.
    std::ofstream(first, std::ios::trunc) << "shorter";
    inspect("doc.txt");
    EXPECT_EQ(readFile(first), "first");

    // A new version (new ETag) has a name of its own; the older copy stays.
    put("doc.txt", "second version");
    inspect("doc.txt");
    const fs::path second = localFile(m_app->inlinePreviewState());
    EXPECT_NE(second, first);
    EXPECT_EQ(readFile(second), "second version");
    EXPECT_EQ(readFile(first), "first");
    ASSERT_TRUE(m_app->objectDetails());
    EXPECT_EQ(second.filename(), PreviewCache::fileName("doc.txt", 14, m_app->inspectorObject()->lastModified,
                                                        m_app->objectDetails()->eTag));
}

TEST_F(AppStatePreviewTest, ASelectionChangeDuringADownloadDropsItsLateResult) {
    test::FaultProxy proxy(m_server->endpoint);
    const std::string endpoint = proxy.start();
    // The details request and then the download of the large object wait at the proxy.
    proxy.addRule({"GET", "slow.txt", test::FaultProxy::Action::Stall, 2});
    openBucket("late", endpoint);
    put("slow.txt", std::string(600000, 's'));
    put("fast.txt", "fast");
    select("slow.txt");

    bool slowDone = false;
    startDetached([](AppState& app, bool& done) -> QCoro::Task<> {
        co_await app.refreshInspector();
        done = true;
    }(*m_app, slowDone));
    // The state goes on on the event loop, which must run meanwhile.
    const auto stalled = [&] { return proxy.waitForStalls(1, 0ms); };
    ASSERT_TRUE(waitFor(stalled));
    proxy.releaseStalls();
    ASSERT_TRUE(waitFor(stalled));
    ASSERT_TRUE(waitFor([&] { return m_app->inlinePreviewState().kind == Kind::downloading; }));

    inspect("fast.txt");
    ASSERT_EQ(m_app->inlinePreviewState().kind, Kind::ready);
    EXPECT_EQ(m_app->inlinePreviewState().key, "fast.txt");
    QSignalSpy fractions(m_app.get(), &AppState::previewDownloadFractionChanged);
    const std::size_t published = m_states.size();

    proxy.releaseStalls();
    ASSERT_TRUE(waitFor([&] { return slowDone; }));
    // The download still fills the cache, but nothing of it is shown.
    EXPECT_EQ(m_states.size(), published);
    EXPECT_EQ(fractions.count(), 0);
    EXPECT_EQ(m_app->inlinePreviewState().key, "fast.txt");
    std::size_t cached = 0;
    for (const auto& entry : fs::directory_iterator(m_app->previewCacheFolder(m_bucket))) {
        if (fs::file_size(entry.path()) == 600000) ++cached;
    }
    EXPECT_EQ(cached, 1u);
}

TEST_F(AppStatePreviewTest, HidingThePanelKeepsThePreviewAndShowingItRefreshes) {
    openBucket("panel");
    put("a.txt", "a");
    inspect("a.txt");
    const InlinePreviewState shown = m_app->inlinePreviewState();
    ASSERT_EQ(shown.kind, Kind::ready);

    m_app->togglePreviewPanel();
    EXPECT_FALSE(m_app->showingPreview());
    ASSERT_TRUE(finishWithin(m_app->refreshInspector()));
    EXPECT_EQ(m_app->inlinePreviewState(), shown);
    EXPECT_TRUE(m_app->objectDetails());

    m_states.clear();
    m_app->togglePreviewPanel();
    EXPECT_TRUE(m_app->showingPreview());
    ASSERT_TRUE(waitFor([&] { return !m_states.empty() && m_states.back().kind == Kind::ready; }));
    EXPECT_EQ(m_states.front().kind, Kind::loading);
}

}  // namespace
}  // namespace tarn
