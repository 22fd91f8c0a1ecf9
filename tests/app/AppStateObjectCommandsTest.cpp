#include "AppStateFixture.h"
#include "AppStateTestAccess.h"
#include "ScriptedUiServices.h"
#include "ServerAppStateFixture.h"
#include "TestRecords.h"

#include "app/text/L10n.h"
#include "app/transfers/TransferCenter.h"
#include "core/LoopbackHttpServer.h"
#include "core/text/ByteFormatter.h"
#include "integration/S3TestBuckets.h"

#include <QSignalSpy>
#include <QThread>

#include <gmock/gmock.h>

#include <sys/stat.h>

#include <algorithm>
#include <fstream>
#include <memory>
#include <mutex>

using namespace std::chrono_literals;
using tarn::test::finishWithin;
using tarn::test::LoopbackHttpServer;
using tarn::test::RecordedRequest;
using tarn::test::readFile;
using tarn::test::ScriptedUiServices;
using ::testing::ElementsAre;
using ::testing::IsEmpty;

namespace tarn {
namespace {

namespace fs = std::filesystem;

const TimePoint listedAt = std::chrono::sys_days{std::chrono::year{2024} / 5 / 1};

ObjectItem object(std::string key, std::int64_t size = 1) { return {std::move(key), size, listedAt}; }

QString text(const char* key) { return L10n::t(QString::fromLatin1(key)); }

// The state over the account "Work" showing media/photos/, with a queue whose
// downloads and deletes only stand in the list: nothing reaches a network.
class AppStateObjectCommandsTest : public test::AppStateFixture {
protected:
    AppStateObjectCommandsTest() {
        const test::WorkAccount account = test::workAccount();
        m_media = account.media;
        m_logs = account.logs;
        AppConfig config = m_state->config();
        config.profiles = {account.profile};
        m_state->setConfig(config);
        m_state->setUiServices(&m_ui);
        const TransferCenter::Runner idle = [](Uuid, TransferTask, std::stop_token) -> QCoro::Task<> { co_return; };
        AppStateTestAccess::setRunner(m_state->transfers(), TransferKind::download, idle);
        AppStateTestAccess::setRunner(m_state->transfers(), TransferKind::deletion, idle);
        AppStateTestAccess::showListing(*m_state, m_media, m_media, "photos/",
                                        {object("photos/2024/a.jpg", 10), object("photos/b.jpg", 20),
                                         object("photos/c.jpg", 30)},
                                        {{"photos/2024/"}, {"photos/old/"}});
    }
    ~AppStateObjectCommandsTest() override { m_state->setUiServices(nullptr); }

    void select(KeySet keys) { m_state->setSelectedObjectKeys(std::move(keys)); }
    const std::vector<TransferTask>& tasks() { return m_state->transfers().tasks(); }

    ScriptedUiServices m_ui;
    Uuid m_media;
    Uuid m_logs;
};

TEST_F(AppStateObjectCommandsTest, ADeleteRequestTakesTheSelectionAndItsTitle) {
    const struct Case {
        KeySet selected;
        QString title;
        std::vector<std::string> objectKeys;
        std::vector<std::string> folderPrefixes;
    } cases[] = {
        {{"photos/2024/a.jpg"}, QStringLiteral("a.jpg"), {"photos/2024/a.jpg"}, {}},
        {{"photos/2024/"}, QStringLiteral("2024"), {}, {"photos/2024/"}},
        {{"photos/b.jpg", "photos/c.jpg", "photos/old/"},
         L10n::t(QStringLiteral("transfer_delete_title_multi"), 3),
         {"photos/b.jpg", "photos/c.jpg"},
         {"photos/old/"}},
    };
    for (const Case& c : cases) {
        select(c.selected);
        const std::optional<DeleteRequest> request = m_state->makeDeleteRequest();
        ASSERT_TRUE(request);
        EXPECT_EQ(request->bucketID, m_media);
        EXPECT_EQ(request->title, c.title);
        EXPECT_EQ(request->objectKeys, c.objectKeys);
        EXPECT_EQ(request->folderPrefixes, c.folderPrefixes);
    }

    select({});
    EXPECT_FALSE(m_state->makeDeleteRequest());
    // A bucket just opened lists nothing yet, so nothing is selected.
    AppStateTestAccess::showListing(*m_state, m_media, m_media, "", {});
    select({"photos/b.jpg"});
    EXPECT_FALSE(m_state->makeDeleteRequest());
}

TEST_F(AppStateObjectCommandsTest, PerformingADeleteQueuesOneTaskAndClearsTheSelectionOfItsBucket) {
    select({"photos/b.jpg", "photos/c.jpg", "photos/old/"});
    const DeleteRequest request = *m_state->makeDeleteRequest();
    m_state->performDelete(request);

    ASSERT_EQ(tasks().size(), 1u);
    const TransferTask& task = tasks().front();
    const DeleteSpec deleted{{"photos/b.jpg", "photos/c.jpg"}, {"photos/old/"}};
    ASSERT_NE(task.spec.deletion(), nullptr);
    EXPECT_EQ(*task.spec.deletion(), deleted);
    EXPECT_EQ(task.title, request.title.toStdString());
    EXPECT_EQ(task.subtitle, L10n::t(QStringLiteral("transfer_delete_subtitle"), 3));
    EXPECT_TRUE(task.isFolder);
    EXPECT_EQ(task.bucketID, m_media);
    EXPECT_THAT(m_state->selectedObjectKeys(), IsEmpty());

    // Made for media, performed while logs is shown: logs keeps its selection.
    AppStateTestAccess::showListing(*m_state, m_logs, m_logs, "", {object("today.log")});
    select({"today.log"});
    m_state->performDelete(request);
    ASSERT_EQ(tasks().size(), 2u);
    EXPECT_EQ(tasks().back().bucketID, m_media);
    EXPECT_THAT(m_state->selectedObjectKeys(), ElementsAre("today.log"));
}

TEST_F(AppStateObjectCommandsTest, DownloadingTheSelectionQueuesATaskPerObjectAndFolderIntoTheChosenFolder) {
    select({"photos/b.jpg", "photos/2024/a.jpg", "photos/2024/"});
    QSignalSpy bubbles(m_state.get(), &AppState::bubbleRequested);

    // A cancelled chooser queues nothing.
    EXPECT_TRUE(finishWithin(m_state->downloadSelectedObjects()));
    EXPECT_THAT(tasks(), IsEmpty());
    EXPECT_EQ(bubbles.count(), 0);

    m_ui.folderChoices.push_back(fs::path("/home/me/Downloads"));
    EXPECT_TRUE(finishWithin(m_state->downloadSelectedObjects()));
    EXPECT_EQ(m_ui.folderChoicesShown.size(), 2u);
    ASSERT_EQ(tasks().size(), 3u);
    const struct Expected {
        DownloadSpec spec;
        std::string title;
        std::int64_t bytesTotal;
    } expected[] = {
        {{"photos/2024/a.jpg", "/home/me/Downloads/a.jpg", false, listedAt}, "a.jpg", 10},
        {{"photos/b.jpg", "/home/me/Downloads/b.jpg", false, listedAt}, "b.jpg", 20},
        {{"photos/2024/", "/home/me/Downloads/2024", true, std::nullopt}, "2024", 0},
    };
    for (std::size_t i = 0; i < 3; ++i) {
        SCOPED_TRACE(expected[i].title);
        const TransferTask& task = tasks()[i];
        ASSERT_NE(task.spec.download(), nullptr);
        EXPECT_EQ(*task.spec.download(), expected[i].spec);
        EXPECT_EQ(task.title, expected[i].title);
        EXPECT_EQ(task.bytesTotal, expected[i].bytesTotal);
        EXPECT_EQ(task.isFolder, expected[i].spec.isFolder);
        EXPECT_EQ(task.subtitle, QStringLiteral("Downloads"));
        EXPECT_EQ(task.bucketID, m_media);
    }
    ASSERT_EQ(bubbles.count(), 1);
    EXPECT_EQ(bubbles.front().front().toString(), L10n::t(QStringLiteral("downloading_n_files"), 3));
}

TEST_F(AppStateObjectCommandsTest, AnEntryNameIsOnePieceOfAKey) {
    for (const char* name : {"a", "new folder", " padded ", "...", ".hidden", "a.b", "名字"}) {
        EXPECT_TRUE(AppState::isValidEntryName(name)) << name;
    }
    for (const char* name : {"", ".", "..", "a/b", "/", "a/"}) EXPECT_FALSE(AppState::isValidEntryName(name)) << name;
}

TEST_F(AppStateObjectCommandsTest, AnInvalidFolderNameIsRefusedWithAToastAndABlankOneSilently) {
    QSignalSpy toasts(m_state.get(), &AppState::toastRequested);
    for (const char* name : {"a/b", " .. ", "."}) {
        m_state->createFolder(name);
        ASSERT_EQ(toasts.count(), 1) << name;
        EXPECT_EQ(toasts.takeFirst().front().value<ToastMessage>().text, text("invalid_name"));
    }
    m_state->createFolder(" \t\u3000 ");
    EXPECT_EQ(toasts.count(), 0);
    EXPECT_FALSE(m_state->isLoading());
}

constexpr std::int64_t kMiB = 1024 * 1024;

// A bucket whose folder "big/" holds 2,500 small files in pages of 1,000 and whose
// folder "small/" holds three.
class FoldersServer {
public:
    FoldersServer()
        : m_server([this](const RecordedRequest& request) {
              const std::lock_guard lock(m_mutex);
              ++m_listings;
              const bool big = request.target.find("prefix=big%2F") != std::string::npos;
              const std::size_t page = request.target.find("continuation-token=") == std::string::npos ? 0 : 1;
              std::string xml = "<?xml version=\"1.0\" encoding=\"UTF-8\"?><ListBucketResult>";
              const std::size_t count = big ? 1000 : 3;
              for (std::size_t i = 0; i < count; ++i) {
                  xml += "<Contents><Key>" + std::string(big ? "big/" : "small/") + std::to_string(page) + "-" +
                         std::to_string(i) + "</Key><Size>10</Size></Contents>";
              }
              xml += big ? "<IsTruncated>true</IsTruncated><NextContinuationToken>p" + std::to_string(page + 1) +
                               "</NextContinuationToken>"
                         : "<IsTruncated>false</IsTruncated>";
              xml += "</ListBucketResult>";
              return LoopbackHttpServer::answer(200, {{"Content-Type", "application/xml"}}, xml);
          }) {}

    std::string endpoint() const { return m_server.endpoint(); }
    int listings() const {
        const std::lock_guard lock(m_mutex);
        return m_listings;
    }

private:
    mutable std::mutex m_mutex;
    int m_listings = 0;
    LoopbackHttpServer m_server;
};

class AppStateObjectCommandsServerTest : public test::ServerAppStateFixture {
protected:
    void SetUp() override {
        ServerAppStateFixture::SetUp();
        if (IsSkipped()) return;
        m_app->setUiServices(&m_ui);
    }
    void TearDown() override {
        if (m_app) m_app->setUiServices(nullptr);
        ServerAppStateFixture::TearDown();
    }

    ScriptedUiServices m_ui;
};

TEST_F(AppStateObjectCommandsServerTest, ANewFolderIsCreatedTrimmedAndSelectedOnceListed) {
    const BucketConfig made = test::createBucket(*m_server, "newfolder");
    test::putObjects(*m_server, made, {"docs/a.txt"});
    const BucketConfig bucket = addBucket(m_server->endpoint, made.bucketName);
    m_app->switchBucket(bucket.id, "docs/");
    ASSERT_TRUE(waitUntilSettled());

    m_app->createFolder("  Reports 2024 \n");
    ASSERT_TRUE(waitFor([&] { return shownPrefixes() == std::vector<std::string>{"docs/Reports 2024/"}; }));
    ASSERT_TRUE(waitUntilSettled());
    EXPECT_THAT(m_app->selectedObjectKeys(), ElementsAre("docs/Reports 2024/"));
    EXPECT_EQ(m_app->revealKey(), std::optional<std::string>("docs/Reports 2024/"));
    std::vector<std::string> stored;
    for (const ObjectItem& item : m_client.listObjects(made, test::credentialsOf(*m_server), "")) {
        stored.push_back(item.key);
    }
    EXPECT_THAT(stored, ElementsAre("docs/Reports 2024/", "docs/a.txt"));
}

TEST_F(AppStateObjectCommandsServerTest, OpeningAnObjectTwiceReplacesItsLocalFileInOneStep) {
    const BucketConfig made = test::createBucket(*m_server, "open");
    test::putObjects(*m_server, made, {"docs/readme.txt", "docs/other.txt"}, "first version");
    const BucketConfig bucket = addBucket(m_server->endpoint, made.bucketName);
    m_app->switchBucket(bucket.id, "docs/");
    ASSERT_TRUE(waitUntilSettled());
    m_app->setSelectedObjectKeys({"docs/readme.txt", "docs/other.txt"});

    EXPECT_TRUE(finishWithin(m_app->openSelectedObject()));
    const fs::path opened = m_app->privateFolder().openedObjectsFolder(bucket.id) / "other.txt";
    ASSERT_THAT(m_ui.openedFiles, ElementsAre(opened)) << "only the first selected object is opened";
    EXPECT_EQ(readFile(opened), "first version");
    // An application that has the file open keeps what it opened.
    std::ifstream reader(opened, std::ios::binary);

    test::putObjects(*m_server, made, {"docs/other.txt"}, "second, longer version");
    // The listing shown still has the first version's size, and an object is never
    // taken larger than listed: the open fails, and leaves the file as it was.
    QSignalSpy toasts(m_app.get(), &AppState::toastRequested);
    EXPECT_TRUE(finishWithin(m_app->openSelectedObject()));
    EXPECT_EQ(toasts.count(), 1);
    EXPECT_THAT(m_ui.openedFiles, ElementsAre(opened));
    EXPECT_EQ(readFile(opened), "first version");
    // Listed again, the new version opens.
    m_app->refreshDirectory();
    ASSERT_TRUE(waitFor([&] {
        const auto& shown = m_app->objects();
        return !m_app->isLoading() && std::any_of(shown.begin(), shown.end(), [](const ObjectItem& item) {
                   return item.key == "docs/other.txt" && item.size == 22;
               });
    }));
    m_app->setSelectedObjectKeys({"docs/other.txt"});
    EXPECT_TRUE(finishWithin(m_app->openSelectedObject()));
    EXPECT_THAT(m_ui.openedFiles, ElementsAre(opened, opened));
    EXPECT_EQ(readFile(opened), "second, longer version");
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(reader), {}), "first version");
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(opened.parent_path())) names.push_back(entry.path().filename());
    EXPECT_THAT(names, ::testing::UnorderedElementsAre("other.txt")) << "no staged file is left behind";
    EXPECT_EQ(m_app->statusText(), text("status_ready"));

    m_app->flushHistory();
    ASSERT_EQ(m_app->config().history.size(), 2u);
    EXPECT_EQ(m_app->config().history.front().action, text("open").toStdString());
    EXPECT_EQ(m_app->config().history.front().detail, "docs/other.txt");

    // The preview cache of the bucket lies inside its folder of opened objects.
    EXPECT_EQ(m_app->previewCacheFolder(bucket), opened.parent_path() / "_preview");
}

TEST_F(AppStateObjectCommandsServerTest, AnOpenTheDesktopCannotCarryOutIsToldAndRecordedAsFailed) {
    const BucketConfig made = test::createBucket(*m_server, "openfail");
    test::putObjects(*m_server, made, {"docs/scan.xyz"}, "bytes");
    const BucketConfig bucket = addBucket(m_server->endpoint, made.bucketName);
    m_app->switchBucket(bucket.id, "docs/");
    ASSERT_TRUE(waitUntilSettled());
    m_app->setSelectedObjectKeys({"docs/scan.xyz"});
    std::vector<ToastMessage> toasts;
    QObject::connect(m_app.get(), &AppState::toastRequested, m_app.get(),
                     [&toasts](const ToastMessage& toast) { toasts.push_back(toast); });

    const struct {
        UiServices::LaunchOutcome outcome;
        const char* text;  // the toast's text; none when it opened
    } cases[] = {{UiServices::LaunchOutcome::noApplication, "open_no_application"},
                 {UiServices::LaunchOutcome::launcherFailed, "open_launch_failed"},
                 {UiServices::LaunchOutcome::opened, nullptr}};
    for (const auto& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.outcome));
        toasts.clear();
        m_ui.launchOutcomes = {c.outcome};
        EXPECT_TRUE(finishWithin(m_app->openSelectedObject()));
        EXPECT_EQ(m_app->statusText(), text("status_ready"));
        m_app->flushHistory();
        ASSERT_FALSE(m_app->config().history.empty());
        const OperationHistoryEntry& entry = m_app->config().history.front();
        EXPECT_EQ(entry.action, text("open").toStdString());
        EXPECT_EQ(entry.detail, "docs/scan.xyz");
        EXPECT_EQ(entry.succeeded, c.text == nullptr);
        if (c.text == nullptr) {
            EXPECT_THAT(toasts, IsEmpty());
            continue;
        }
        ASSERT_EQ(toasts.size(), 1u);
        EXPECT_EQ(toasts.front().kind, ToastKind::error);
        EXPECT_EQ(toasts.front().text, L10n::t(QString::fromLatin1(c.text), QStringLiteral("scan.xyz")));
    }
    EXPECT_EQ(m_app->config().history.size(), 3u);
}

TEST_F(AppStateObjectCommandsServerTest, LaunchersAndProgramsAreOpenedOnlyOnceTheUserSaysSo) {
    const BucketConfig made = test::createBucket(*m_server, "launch");
    struct Case {
        std::string key;
        std::string content;
        const char* type;  // the MIME type the question names; none for a file opened at once
    };
    const std::string elf = std::string("\x7f" "ELF\x02\x01\x01", 7) + std::string(57, '\0');
    const std::vector<Case> cases{
        {"docs/invoice.desktop", "[Desktop Entry]\nType=Application\nName=Invoice\nExec=sh -c 'rm -rf ~'\n",
         "application/x-desktop"},
        {"docs/run.sh", "#!/bin/sh\necho hello\n", "application/x-shellscript"},
        {"docs/report", elf, "application/x-executable"},
        {"docs/tool.jar", "PK\x03\x04 not really a jar", "application/x-java-archive"},
        // Types some program may have claimed (a compatibility layer for Windows runs
        // these), and contents nobody knows: not known to be shown, so asked about.
        {"docs/greeting.vbs", "MsgBox \"Hello\"\n", "text/vbscript"},
        {"docs/settings.reg", "Windows Registry Editor Version 5.00\n", "text/x-ms-regedit"},
        {"docs/blob", std::string("\x00\x01\x02\xfe\xff\x10\x80", 7), "application/octet-stream"},
        {"docs/notes.txt", "plain words\n", nullptr},
        {"docs/readme.md", "# Title\n", nullptr},
        {"docs/report.pdf", "%PDF-1.4\n%%EOF\n", nullptr},
        {"docs/photo.png", std::string("\x89PNG\r\n\x1a\n", 8), nullptr},
    };
    for (const Case& c : cases) test::putObjects(*m_server, made, {c.key}, c.content);
    const BucketConfig bucket = addBucket(m_server->endpoint, made.bucketName);
    m_app->switchBucket(bucket.id, "docs/");
    ASSERT_TRUE(waitUntilSettled());
    const fs::path folder = m_app->privateFolder().openedObjectsFolder(bucket.id);
    // Whatever the user's mask, nothing written from a bucket can be run by a click.
    struct NoMask {
        mode_t previous = ::umask(0);
        ~NoMask() { ::umask(previous); }
    } noMask;

    for (const Case& c : cases) {
        SCOPED_TRACE(c.key);
        const fs::path file = folder / fs::path(c.key).filename();
        m_app->setSelectedObjectKeys({c.key});
        m_ui.alertsShown.clear();
        m_ui.openedFiles.clear();
        m_ui.alertAnswers = {false};
        EXPECT_TRUE(finishWithin(m_app->openSelectedObject()));
        struct stat status {};
        ASSERT_EQ(::stat(file.c_str(), &status), 0);
        EXPECT_EQ(status.st_mode & 0111, 0u);
        if (c.type == nullptr) {
            EXPECT_THAT(m_ui.alertsShown, IsEmpty());
            EXPECT_THAT(m_ui.openedFiles, ElementsAre(file));
            continue;
        }
        // Asked, naming the file and its type, with Cancel as the default: declined.
        ASSERT_EQ(m_ui.alertsShown.size(), 1u);
        const UiServices::Alert& asked = m_ui.alertsShown.front();
        const QString name = QString::fromStdString(file.filename().string());
        EXPECT_EQ(asked.message, text("open_launchable_title"));
        EXPECT_THAT(asked.informativeText.toStdString(), ::testing::HasSubstr(name.toStdString()));
        EXPECT_THAT(asked.informativeText.toStdString(), ::testing::HasSubstr(c.type));
        EXPECT_TRUE(asked.cancelIsDefault);
        EXPECT_EQ(asked.cancelButton, text("cancel"));
        EXPECT_THAT(m_ui.openedFiles, IsEmpty());

        // Confirmed: opened.
        m_ui.alertAnswers = {true};
        EXPECT_TRUE(finishWithin(m_app->openSelectedObject()));
        EXPECT_THAT(m_ui.openedFiles, ElementsAre(file));
    }
    m_app->flushHistory();
    EXPECT_EQ(m_app->config().history.size(), cases.size()) << "a declined open is no open";
}

TEST_F(AppStateObjectCommandsServerTest, ALargeCopyWaitsForTheUsersYesBeforeItReachesTheClipboard) {
    FoldersServer server;
    const BucketConfig bucket = addBucket(server.endpoint(), "folders");
    struct Case {
        const char* name;
        std::size_t objects;
        std::int64_t bytes;
        std::vector<std::string> folders;
        bool asks;
        int listings;  // pages listed to count the folders
    };
    const Case cases[] = {
        {"a few small files", 3, 3 * kMiB, {}, false, 0},
        {"one small folder", 1, kMiB, {"small/"}, false, 1},
        {"files of more than 100 MiB", 2, 100 * kMiB + 1, {}, true, 0},
        {"more than 1,000 files", 1001, 1001, {}, true, 0},
        // Counted only until the limit is passed: two of its three pages.
        {"a folder of 2,500 files", 0, 0, {"big/"}, true, 2},
        {"a small folder beside 998 files", 998, 998, {"small/"}, true, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        for (const bool answer : {false, true}) {
            const int listedBefore = server.listings();
            m_ui.alertsShown.clear();
            m_ui.alertAnswers = {answer};
            const std::optional<bool> offered =
                finishWithin(m_app->confirmClipboardCopy(bucket, c.objects, c.bytes, c.folders));
            ASSERT_TRUE(offered.has_value());
            EXPECT_EQ(server.listings() - listedBefore, c.listings);
            if (!c.asks) {
                EXPECT_TRUE(*offered);
                EXPECT_THAT(m_ui.alertsShown, IsEmpty());
                continue;
            }
            EXPECT_EQ(*offered, answer);
            ASSERT_EQ(m_ui.alertsShown.size(), 1u);
            EXPECT_EQ(m_ui.alertsShown[0].message, L10n::t(QStringLiteral("copy_large_title")));
            EXPECT_EQ(m_ui.alertsShown[0].informativeText,
                      L10n::t(QStringLiteral("copy_large_message"), 1000,
                              QString::fromStdString(ByteFormatter::string(100 * kMiB))));
        }
    }
}

TEST_F(AppStateObjectCommandsServerTest, AFolderCountThatWouldNeverEndNeitherHangsTheCopyNorStarvesListings) {
    // "loop/" hands back the token it was given; "hang/" never answers; anything else
    // is a folder of one object.
    LoopbackHttpServer server([](const RecordedRequest& request) {
        if (request.target.find("prefix=hang%2F") != std::string::npos) return test::ScriptedAnswer{"", 0};
        std::string xml = "<?xml version=\"1.0\" encoding=\"UTF-8\"?><ListBucketResult>";
        if (request.target.find("prefix=loop%2F") != std::string::npos) {
            xml += "<Contents><Key>loop/a</Key><Size>10</Size></Contents>"
                   "<IsTruncated>true</IsTruncated><NextContinuationToken>again</NextContinuationToken>";
        } else {
            xml += "<Contents><Key>shown.txt</Key><Size>10</Size></Contents><IsTruncated>false</IsTruncated>";
        }
        return LoopbackHttpServer::answer(200, {{"Content-Type", "application/xml"}}, xml + "</ListBucketResult>");
    });
    const auto hanging = [&server] {
        std::size_t count = 0;
        for (const RecordedRequest& request : server.requests()) {
            if (request.target.find("prefix=hang%2F") != std::string::npos) ++count;
        }
        return count;
    };
    const BucketConfig bucket = addBucket(server.endpoint(), "counted");
    const BucketConfig other = addBucket(server.endpoint(), "other");
    m_app->switchBucket(bucket.id, "");
    ASSERT_TRUE(waitUntilSettled());

    // Counted as far as the listing went; the paste would tell why the rest failed.
    const std::optional<bool> looped = finishWithin(m_app->confirmClipboardCopy(bucket, 0, 0, {"loop/"}));
    ASSERT_TRUE(looped.has_value()) << "the count went round for ever";
    EXPECT_TRUE(*looped);

    // More counts than the state has threads wait for a server that never answers.
    std::vector<std::shared_ptr<std::optional<bool>>> waiting;
    const int counts = std::max(8, QThread::idealThreadCount()) + 4;
    for (int i = 0; i < counts; ++i) {
        auto offered = std::make_shared<std::optional<bool>>();
        startDetached([](QCoro::Task<bool> asking, std::shared_ptr<std::optional<bool>> result) -> QCoro::Task<> {
            *result = co_await asking;
        }(m_app->confirmClipboardCopy(bucket, 0, 0, {"hang/"}), offered));
        waiting.push_back(offered);
    }
    ASSERT_TRUE(waitFor([&] { return hanging() >= 1; }));
    // Another bucket's listing still comes, and leaving the bucket ends every count,
    // none of which puts anything on the clipboard.
    m_app->switchBucket(other.id, "");
    EXPECT_TRUE(waitFor([&] { return shownKeys() == std::vector<std::string>{"shown.txt"}; }));
    EXPECT_TRUE(waitFor([&] {
        return std::all_of(waiting.begin(), waiting.end(), [](const auto& offered) { return offered->has_value(); });
    }));
    for (const auto& offered : waiting) EXPECT_EQ(*offered, std::optional<bool>(false));
    EXPECT_THAT(m_ui.alertsShown, IsEmpty());
}

}  // namespace
}  // namespace tarn
