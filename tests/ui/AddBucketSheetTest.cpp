#include "ui/SheetFixture.h"
#include "ui/UiTestSupport.h"

#include "app/text/L10n.h"
#include "core/LoopbackHttpServer.h"
#include "integration/FaultProxy.h"
#include "integration/S3TestBuckets.h"
#include "integration/TestEnvironment.h"
#include "ui/sheets/AddBucketSheet.h"
#include "ui/sheets/StorageProvider.h"
#include "ui/views/BusySpinner.h"
#include "ui/views/WrappingLabel.h"
#include "ui/window/WidgetUiServices.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace tarn::test {
namespace {

using namespace std::chrono_literals;
using ::testing::Contains;
using ::testing::IsEmpty;

QStringList items(const QComboBox* popup)
{
    QStringList texts;
    for (int index = 0; index < popup->count(); ++index) {
        texts.append(popup->itemText(index));
    }
    return texts;
}


// The built-in table as both languages show it.
TEST(StorageProviderTable, NamesRegionsAndEndpoints)
{
    const QString previous = L10n::languageCode();
    const std::span<const StorageProvider> table = StorageProvider::all();
    ASSERT_EQ(table.size(), 5U);
    std::vector<std::size_t> regionCounts;
    for (const StorageProvider& provider : table) {
        regionCounts.push_back(provider.regions.size());
    }
    EXPECT_EQ(regionCounts, (std::vector<std::size_t>{1, 26, 18, 6, 17}));

    struct Case {
        const char* language;
        QStringList names;
        QString hangzhou;
    };
    const Case cases[] = {
        {"en",
         {QStringLiteral("Corvane Tarn"), QStringLiteral("Aliyun OSS"), QStringLiteral("Tencent COS"),
          QStringLiteral("Qiniu (S3)"), QStringLiteral("AWS S3")},
         QStringLiteral("China (Hangzhou)  oss-cn-hangzhou")},
        {"fr",
         {QStringLiteral("Corvane Tarn"), QStringLiteral("Aliyun OSS"), QStringLiteral("Tencent COS"),
          QStringLiteral("Qiniu (S3)"), QStringLiteral("AWS S3")},
         QStringLiteral("China (Hangzhou)  oss-cn-hangzhou")},
        {"zh",
         {QStringLiteral("Corvane Tarn"), QString::fromUtf8("阿里云 OSS"), QString::fromUtf8("腾讯云 COS"),
          QString::fromUtf8("七牛云（S3）"), QStringLiteral("AWS S3")},
         QString::fromUtf8("华东1（杭州）  oss-cn-hangzhou")},
    };
    for (const Case& c : cases) {
        L10n::setLanguageCode(QString::fromLatin1(c.language));
        QStringList names;
        for (const StorageProvider& provider : table) {
            names.append(provider.displayName());
        }
        EXPECT_EQ(names, c.names) << c.language;
        EXPECT_EQ(table[1].regions[0].title(), c.hangzhou) << c.language;
    }
    L10n::setLanguageCode(previous);

    EXPECT_EQ(table[3].defaultProfile, QString::fromUtf8("七牛云 Kodo")) << "whatever the language";
    EXPECT_EQ(table[0].endpoint(table[0].regions[0]), QStringLiteral("https://s3.corvane.example"));
    EXPECT_EQ(table[0].regions[0].code, QStringLiteral("cn-east-1"));
    const auto beijing = std::find_if(table[1].regions.begin(), table[1].regions.end(),
                                      [](const RegionOption& r) { return r.code == QLatin1String("oss-cn-beijing"); });
    ASSERT_NE(beijing, table[1].regions.end());
    EXPECT_EQ(table[1].endpoint(*beijing), QStringLiteral("https://oss-cn-beijing.aliyuncs.com"));
    EXPECT_EQ(table[2].endpoint(table[2].regions[0]), QStringLiteral("https://cos.ap-guangzhou.myqcloud.com"));

    // One code under two providers is told apart by the endpoint.
    EXPECT_EQ(StorageProvider::locate(table, QStringLiteral("https://s3.cn-east-1.qiniucs.com"),
                                      QStringLiteral("cn-east-1")),
              (StorageProvider::Position{3, 0}));
    EXPECT_EQ(StorageProvider::locate(table, QStringLiteral("https://s3.corvane.example"), QStringLiteral("cn-east-1")),
              (StorageProvider::Position{0, 0}));
    EXPECT_EQ(StorageProvider::locate(table, QStringLiteral("https://s3.corvane.example/"), QStringLiteral("cn-east-1")),
              std::nullopt)
        << "the text must be the template's exactly";
    EXPECT_EQ(StorageProvider::locate(table, QStringLiteral("https://s3.us-east-1.amazonaws.com"),
                                      QStringLiteral("eu-west-1")),
              std::nullopt);
}

// An account whose region a provider serves at the account's host is one the sheet
// adds, whatever the letter case, scheme or port of its endpoint: the secret the sheet
// takes goes to that account. Any other account's secret cannot come from the sheet,
// and the window layer tells the state so.
TEST(StorageProviderTable, ServesTheAccountsOfItsHostsAndRegions)
{
    const std::span<const StorageProvider> table = StorageProvider::all();
    const struct {
        const char* endpoint;
        const char* region;
        bool served;
    } cases[] = {
        {"https://s3.us-east-1.amazonaws.com", "us-east-1", true},
        {"https://S3.US-EAST-1.AmazonAWS.com", "us-east-1", true},
        {"http://s3.us-east-1.amazonaws.com:8080", "us-east-1", true},
        {"https://oss-cn-beijing.aliyuncs.com", "oss-cn-beijing", true},
        {"https://s3.cn-east-1.qiniucs.com", "cn-east-1", true},
        {"https://s3.us-east-1.amazonaws.com", "eu-west-1", false},
        {"https://s3.amazonaws.com", "us-east-1", false},
        {"https://minio.example.com", "us-east-1", false},
        {"http://127.0.0.1:9000", "us-east-1", false},
        {"s3.us-east-1.amazonaws.com", "us-east-1", false},
    };
    const WidgetUiServices services;
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.endpoint) + " " + c.region);
        const std::optional<Url> endpoint = Url::parse(c.endpoint);
        ASSERT_TRUE(endpoint);
        EXPECT_EQ(StorageProvider::serves(table, *endpoint, c.region), c.served);
        EXPECT_EQ(services.canAddAccount(*endpoint, c.region), c.served);
    }
}

class AddBucketSheetTest : public SheetFixture {
protected:
    AddBucketSheetTest()
    {
        makePresenter();
        presenter().setFactory(SheetKind::addBucket, [this](SheetPresenter& presenter, std::function<void()> close) {
            AppState& state = presenter.state();
            return m_table.empty() ? new AddBucketSheet(state, state.editingProfileID(), std::move(close))
                                   : new AddBucketSheet(state, state.editingProfileID(), std::move(close), m_table);
        });
        QObject::connect(&state(), &AppState::toastRequested,
                         [this](const ToastMessage& toast) { m_toasts.push_back(toast); });
    }

    ~AddBucketSheetTest() override
    {
        for (const std::string& account : m_secretStore.allAccounts()) {
            m_secretStore.deleteSecret(account);
        }
    }

    // The presenter's sheets offer one provider: a server of the test's, at `endpoint`.
    void offer(const std::string& endpoint, const std::string& region)
    {
        m_table = {{QStringLiteral("Test"), QStringLiteral("Test"), QStringLiteral("Test account"),
                    QString::fromStdString(endpoint),
                    {{QStringLiteral("test"), QStringLiteral("test"), QString::fromStdString(region)}}}};
    }

    // A stand-in that takes the request and never answers, offered as the provider.
    void offerSilence(std::optional<LoopbackHttpServer>& silent)
    {
        silent.emplace([](const RecordedRequest&) {
            ScriptedAnswer answer;
            answer.hangAfter = 0;
            return answer;
        });
        offer(silent->endpoint(), "us-east-1");
    }

    AddBucketSheet* open(std::optional<Uuid> editing = std::nullopt)
    {
        state().setEditingProfileID(editing);
        state().setShowingAddBucketEditor(true);
        settle();
        return qobject_cast<AddBucketSheet*>(presenter().sheet(SheetKind::addBucket));
    }

    void type(AddBucketSheet* sheet, const QString& key, const QString& secret, const QString& name = {})
    {
        sheet->keyField()->setText(key);
        sheet->secretField()->setText(secret);
        sheet->profileField()->setText(name);
    }

    void setProfiles(std::vector<StorageProfile> profiles)
    {
        AppConfig config = state().config();
        config.profiles = std::move(profiles);
        state().setConfig(config);
    }

    std::optional<std::string> storedSecret(const StorageProfile& profile) const
    {
        return m_secretStore.secret(
            KeychainSecretStore::accountSecretAccount(profile.endpoint, profile.region, profile.accessKeyID));
    }

    static bool waitFor(const std::function<bool()>& condition, int milliseconds = 20000)
    {
        return QTest::qWaitFor(condition, milliseconds);
    }

    std::vector<StorageProvider> m_table;
    std::vector<ToastMessage> m_toasts;
};

TEST_F(AddBucketSheetTest, PopupsFollowTheLanguageAndTheProvider)
{
    for (const char* language : {"en", "zh"}) {
        L10n::setLanguageCode(QString::fromLatin1(language));
        AddBucketSheet* sheet = open();
        ASSERT_NE(sheet, nullptr);
        QStringList names;
        for (const StorageProvider& provider : StorageProvider::all()) {
            names.append(provider.displayName());
        }
        EXPECT_EQ(items(sheet->providerPopup()), names);
        EXPECT_EQ(sheet->regionPopup()->currentText(), StorageProvider::all()[0].regions[0].title());
        EXPECT_EQ(sheet->chosenEndpoint(), QStringLiteral("https://s3.corvane.example"));
        EXPECT_FALSE(sheet->errorLabel()->isVisible());
        EXPECT_EQ(sheet->addButton()->text(), L10n::t(QStringLiteral("add_bucket")));
        EXPECT_TRUE(sheet->secretField()->echoMode() == QLineEdit::Password);
        EXPECT_TRUE(sheet->keyField()->hasFocus()) << "typing starts at the key";
        saveGrab(window(), QString::fromLatin1(language));

        // The user picks Aliyun: its regions, the first chosen.
        sheet->providerPopup()->setCurrentIndex(1);
        emit sheet->providerPopup()->activated(1);
        EXPECT_EQ(sheet->regionPopup()->count(), 26);
        EXPECT_EQ(sheet->regionPopup()->currentIndex(), 0);
        sheet->regionPopup()->setCurrentIndex(6);
        EXPECT_EQ(sheet->chosenEndpoint(), QStringLiteral("https://oss-cn-beijing.aliyuncs.com"));
        if (QString::fromLatin1(language) == QLatin1String("zh")) {
            EXPECT_EQ(sheet->regionPopup()->currentText(), QString::fromUtf8("华北2（北京）  oss-cn-beijing"));
        } else {
            EXPECT_EQ(sheet->regionPopup()->currentText(), QStringLiteral("China (Beijing)  oss-cn-beijing"));
        }

        sheet->cancelButton()->click();
        settle();
        EXPECT_FALSE(state().showingAddBucketEditor());
    }
}

TEST_F(AddBucketSheetTest, MissingKeysBeepAndCheckNothing)
{
    AddBucketSheet* sheet = open();
    ASSERT_NE(sheet, nullptr);
    type(sheet, QStringLiteral("   "), QStringLiteral("secret"));
    sheet->addButton()->click();
    type(sheet, QStringLiteral("AKID"), QString());
    QTest::keyClick(sheet->keyField(), Qt::Key_Return);
    EXPECT_EQ(m_ui.beeps, 2);
    EXPECT_FALSE(sheet->isChecking());
    EXPECT_TRUE(sheet->addButton()->isEnabled());
    EXPECT_TRUE(state().showingAddBucketEditor());
}

// Keys that prove good on the test server: the key is sent and kept without the
// spaces around it, the secret exactly as typed, and a blank name gives the
// provider's own.
TEST_F(AddBucketSheetTest, GoodKeysAddTheAccountWithItsBuckets)
{
    TARN_REQUIRE_S3_SERVER(server);
    const BucketConfig bucket = createBucket(server, "addsheet");
    offer(server.endpoint, server.region);
    AddBucketSheet* sheet = open();
    ASSERT_NE(sheet, nullptr);
    // Both as pasted, with white space around them: the keys are taken without it.
    const QString secret = QStringLiteral("  ") + QString::fromStdString(server.secretKey) + QStringLiteral(" \t");
    type(sheet, QStringLiteral(" ") + QString::fromStdString(server.accessKey) + QStringLiteral("\t "), secret);
    QTest::keyClick(sheet->secretField(), Qt::Key_Return);
    EXPECT_TRUE(sheet->isChecking());
    EXPECT_FALSE(sheet->addButton()->isEnabled());
    EXPECT_TRUE(sheet->cancelButton()->isEnabled());
    saveGrab(window(), QStringLiteral("checking"));

    ASSERT_TRUE(waitFor([&] { return !state().config().profiles.empty(); }));
    settle();
    const StorageProfile profile = state().config().profiles.front();
    EXPECT_EQ(profile.name, "Test account");
    EXPECT_EQ(profile.endpoint.absoluteString(), server.endpoint);
    EXPECT_EQ(profile.region, server.region);
    EXPECT_EQ(profile.accessKeyID, server.accessKey);
    EXPECT_THAT(profile.bucketNames, Contains(bucket.bucketName));
    EXPECT_EQ(storedSecret(profile), server.secretKey);
    EXPECT_EQ(std::get<AppConfig>(ConfigStore(m_configStore.configURL()).loadRaw()).profiles, state().config().profiles);
    EXPECT_FALSE(state().showingAddBucketEditor());
    EXPECT_EQ(presenter().sheet(SheetKind::addBucket), nullptr);
    EXPECT_THAT(m_toasts, IsEmpty());
}

// A server that answers but lists nothing, and one that refuses the keys: the
// sheet says so, stores nothing and can try again.
TEST_F(AddBucketSheetTest, KeysWithoutBucketsOrRefusedStoreNothing)
{
    struct Case {
        int status;
        std::string body;
        QString shown;
    };
    const Case cases[] = {
        {200,
         "<?xml version=\"1.0\" encoding=\"UTF-8\"?><ListAllMyBucketsResult><Owner><ID>x</ID></Owner>"
         "<Buckets></Buckets></ListAllMyBucketsResult>",
         QStringLiteral("No buckets found for these credentials.")},
        {403,
         "<?xml version=\"1.0\" encoding=\"UTF-8\"?><Error><Code>InvalidAccessKeyId</Code>"
         "<Message>The key is unknown.</Message></Error>",
         QStringLiteral("Storage request failed (403 InvalidAccessKeyId): The key is unknown.")},
    };
    for (const Case& c : cases) {
        LoopbackHttpServer stand([&](const RecordedRequest&) {
            return LoopbackHttpServer::answer(c.status, {{"Content-Type", "application/xml"}}, c.body);
        });
        offer(stand.endpoint(), "us-east-1");
        AddBucketSheet* sheet = open();
        ASSERT_NE(sheet, nullptr);
        type(sheet, QStringLiteral("AKID"), QStringLiteral("secret"), QStringLiteral("Mine"));
        sheet->addButton()->click();
        ASSERT_TRUE(waitFor([&] { return !sheet->isChecking(); }));
        EXPECT_TRUE(sheet->errorLabel()->isVisible());
        EXPECT_EQ(sheet->errorLabel()->text(), c.shown);
        EXPECT_TRUE(sheet->addButton()->isEnabled());
        EXPECT_TRUE(state().showingAddBucketEditor());
        EXPECT_THAT(state().config().profiles, IsEmpty());
        EXPECT_THAT(m_secretStore.allAccounts(), IsEmpty());
        ASSERT_EQ(stand.requests().size(), 1U);
        EXPECT_EQ(stand.requests().front().method, "GET");
        saveGrab(window(), QString::number(c.status));

        // Another provider hides the message again.
        emit sheet->providerPopup()->activated(0);
        EXPECT_FALSE(sheet->errorLabel()->isVisible());
        sheet->cancelButton()->click();
        settle();
    }
}

// Closed while the server is slow to answer: the sheet goes at once and nothing is
// stored; the keys that then prove good still become the account, and the sheet
// opened meanwhile stays open with what was typed into it.
TEST_F(AddBucketSheetTest, ACheckAnsweringAfterCancelAddsWithoutClosingANewerSheet)
{
    TARN_REQUIRE_S3_SERVER(server);
    const BucketConfig bucket = createBucket(server, "latecheck");
    FaultProxy proxy(server.endpoint);
    const std::string endpoint = proxy.start();
    proxy.addRule({"GET", "/", FaultProxy::Action::Stall, 1});
    offer(endpoint, server.region);

    AddBucketSheet* sheet = open();
    ASSERT_NE(sheet, nullptr);
    type(sheet, QString::fromStdString(server.accessKey), QString::fromStdString(server.secretKey));
    sheet->addButton()->click();
    ASSERT_TRUE(proxy.waitForStalls(1, 10s));
    QTest::keyClick(sheet->secretField(), Qt::Key_Escape);
    settle();
    EXPECT_FALSE(state().showingAddBucketEditor());
    EXPECT_EQ(presenter().sheet(SheetKind::addBucket), nullptr);
    EXPECT_THAT(state().config().profiles, IsEmpty());
    EXPECT_THAT(m_secretStore.allAccounts(), IsEmpty());

    AddBucketSheet* newer = open();
    ASSERT_NE(newer, nullptr);
    newer->keyField()->setText(QStringLiteral("typed meanwhile"));
    proxy.releaseStalls();
    ASSERT_TRUE(waitFor([&] { return !state().config().profiles.empty(); }));
    settle();
    EXPECT_THAT(state().config().profiles.front().bucketNames, Contains(bucket.bucketName));
    EXPECT_EQ(storedSecret(state().config().profiles.front()), server.secretKey);
    EXPECT_TRUE(state().showingAddBucketEditor());
    ASSERT_EQ(presenter().sheet(SheetKind::addBucket), newer);
    EXPECT_EQ(newer->keyField()->text(), QStringLiteral("typed meanwhile"));
    EXPECT_FALSE(newer->isChecking());
}

TEST_F(AddBucketSheetTest, ACheckFailingAfterCancelStoresAndShowsNothing)
{
    std::optional<LoopbackHttpServer> silent;
    offerSilence(silent);
    AddBucketSheet* sheet = open();
    ASSERT_NE(sheet, nullptr);
    type(sheet, QStringLiteral("AKID"), QStringLiteral("secret"));
    sheet->addButton()->click();
    ASSERT_TRUE(waitFor([&] { return silent->requests().size() == 1; }));
    sheet->cancelButton()->click();
    settle();
    AddBucketSheet* newer = open();
    ASSERT_NE(newer, nullptr);

    silent.reset();  // the connection drops: the check fails
    QTest::qWait(300);
    settle();
    EXPECT_THAT(state().config().profiles, IsEmpty());
    EXPECT_THAT(m_secretStore.allAccounts(), IsEmpty());
    EXPECT_THAT(m_toasts, IsEmpty());
    ASSERT_EQ(presenter().sheet(SheetKind::addBucket), newer);
    EXPECT_FALSE(newer->errorLabel()->isVisible()) << "the failure belonged to the closed sheet";
}

// A failure is told in the interface's language, as the transfer queue tells it.
TEST_F(AddBucketSheetTest, AFailedCheckIsToldInTheInterfacesLanguage)
{
    std::string endpoint;
    {
        LoopbackHttpServer gone([](const RecordedRequest&) { return ScriptedAnswer{}; });
        endpoint = gone.endpoint();
    }
    offer(endpoint, "us-east-1");
    for (const char* language : {"zh", "en"}) {
        SCOPED_TRACE(language);
        L10n::setLanguageCode(QString::fromLatin1(language));
        AddBucketSheet* sheet = open();
        ASSERT_NE(sheet, nullptr);
        type(sheet, QStringLiteral("AKID"), QStringLiteral("secret"));
        sheet->addButton()->click();
        ASSERT_TRUE(waitFor([&] { return !sheet->isChecking(); }));
        EXPECT_TRUE(sheet->errorLabel()->text().startsWith(L10n::t(QStringLiteral("net_cannot_connect"))))
            << sheet->errorLabel()->text().toStdString();
        EXPECT_FALSE(sheet->errorLabel()->text().contains(QStringLiteral("Couldn't")));
        saveGrab(window(), QString::fromLatin1(language) + QStringLiteral("-refused"));
        sheet->cancelButton()->click();
        settle();
    }
}

// The program ends while a check waits for a server that never answers: the state
// goes at once, the check stopped, instead of waiting for the network.
TEST_F(AddBucketSheetTest, AStateEndingDuringACheckStopsIt)
{
    std::optional<LoopbackHttpServer> silent;
    offerSilence(silent);
    auto own = std::make_unique<AppState>(m_configStore, m_secretStore, m_client);
    own->setUiServices(&m_ui);
    auto sheet = std::make_unique<AddBucketSheet>(*own, std::nullopt, [] {}, m_table);
    type(sheet.get(), QStringLiteral("AKID"), QStringLiteral("secret"));
    sheet->add();
    ASSERT_TRUE(waitFor([&] { return silent->requests().size() == 1; }));

    // Should the state wait for the server, the server's going ends the wait.
    std::mutex mutex;
    std::condition_variable ended;
    bool stateGone = false;
    bool waitedForTheServer = false;
    std::thread watchdog([&] {
        std::unique_lock lock(mutex);
        if (!ended.wait_for(lock, 15s, [&] { return stateGone; })) {
            waitedForTheServer = true;
            silent.reset();
        }
    });
    sheet.reset();
    own->setUiServices(nullptr);
    own.reset();
    {
        const std::lock_guard lock(mutex);
        stateGone = true;
    }
    ended.notify_one();
    watchdog.join();
    EXPECT_FALSE(waitedForTheServer);
    settle();
}

TEST_F(AddBucketSheetTest, EditingShowsTheAccountAndRenamesIt)
{
    const StorageProfile templated = makeProfile("Beijing", "https://oss-cn-beijing.aliyuncs.com", "oss-cn-beijing", "AK1");
    const StorageProfile other = makeProfile("Lab", "http://minio.lab:9000", "us-east-1", "AK2");
    // The right provider's host, but a region code the provider does not list there.
    const StorageProfile offGrid = makeProfile("Odd", "https://s3.us-east-1.amazonaws.com", "eu-west-1", "AK3");
    setProfiles({templated, other, offGrid});

    struct Case {
        StorageProfile profile;
        QString provider;
        QStringList regions;
        int providerCount;
    };
    const Case cases[] = {
        {templated, QStringLiteral("Aliyun OSS"), {}, 5},
        {other, QStringLiteral("minio.lab"), {QStringLiteral("us-east-1")}, 6},
        {offGrid, QStringLiteral("s3.us-east-1.amazonaws.com"), {QStringLiteral("eu-west-1")}, 6},
    };
    for (const Case& c : cases) {
        AddBucketSheet* sheet = open(c.profile.id);
        ASSERT_NE(sheet, nullptr);
        EXPECT_TRUE(sheet->isEditing());
        EXPECT_EQ(sheet->providerPopup()->currentText(), c.provider);
        EXPECT_EQ(sheet->providerPopup()->count(), c.providerCount);
        if (c.regions.isEmpty()) {
            EXPECT_EQ(sheet->regionPopup()->currentText(), QStringLiteral("China (Beijing)  oss-cn-beijing"));
            EXPECT_EQ(sheet->regionPopup()->count(), 26);
        } else {
            EXPECT_EQ(items(sheet->regionPopup()), c.regions);
        }
        EXPECT_FALSE(sheet->providerPopup()->isEnabled());
        EXPECT_FALSE(sheet->regionPopup()->isEnabled());
        EXPECT_EQ(sheet->keyField()->text(), QString::fromStdString(c.profile.accessKeyID));
        EXPECT_TRUE(sheet->keyField()->isReadOnly());
        EXPECT_FALSE(sheet->secretField()->isVisible());
        EXPECT_EQ(sheet->profileField()->text(), QString::fromStdString(c.profile.name));
        EXPECT_EQ(sheet->addButton()->text(), QStringLiteral("Save"));
        EXPECT_TRUE(sheet->profileField()->hasFocus());
        if (c.profile.id == templated.id) {
            saveGrab(window());
        }
        sheet->cancelButton()->click();
        settle();
        EXPECT_EQ(state().editingProfileID(), std::nullopt);
    }

    L10n::setLanguageCode(QStringLiteral("zh"));
    AddBucketSheet* chinese = open(templated.id);
    ASSERT_NE(chinese, nullptr);
    EXPECT_EQ(chinese->providerPopup()->currentText(), QString::fromUtf8("阿里云 OSS"));
    saveGrab(window(), QStringLiteral("zh"));
    chinese->cancelButton()->click();
    settle();
    L10n::setLanguageCode(QStringLiteral("en"));

    AddBucketSheet* sheet = open(other.id);
    ASSERT_NE(sheet, nullptr);
    sheet->profileField()->setText(QStringLiteral(" \t "));
    sheet->addButton()->click();
    EXPECT_EQ(m_ui.beeps, 1);
    EXPECT_TRUE(state().showingAddBucketEditor());

    sheet->profileField()->setText(QStringLiteral("  Beijing "));
    QTest::keyClick(sheet->profileField(), Qt::Key_Return);
    settle();
    EXPECT_FALSE(state().showingAddBucketEditor());
    EXPECT_EQ(state().editingProfileID(), std::nullopt);
    EXPECT_EQ(state().config().profiles[1].name, "Beijing (2)") << "trimmed and unique among the others";
    EXPECT_EQ(state().config().profiles[1].accessKeyID, "AK2");
}

TEST_F(AddBucketSheetTest, EditingAnAccountThatIsGoneRenamesNothing)
{
    const StorageProfile kept = makeProfile("Kept", "https://s3.example.com", "r1", "AK1");
    setProfiles({kept});
    AddBucketSheet* sheet = open(Uuid::random());
    ASSERT_NE(sheet, nullptr);
    EXPECT_TRUE(sheet->providerPopup()->isEnabled());
    EXPECT_TRUE(sheet->secretField()->isVisibleTo(sheet));
    EXPECT_EQ(sheet->addButton()->text(), QStringLiteral("Save"));
    sheet->profileField()->setText(QStringLiteral("New"));
    sheet->addButton()->click();
    settle();
    EXPECT_FALSE(state().showingAddBucketEditor());
    EXPECT_EQ(state().config().profiles, std::vector<StorageProfile>{kept});
}

}  // namespace
}  // namespace tarn::test
