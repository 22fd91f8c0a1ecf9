#include "ui/ContentFixture.h"

#include "app/text/L10n.h"
#include "core/config/BucketIdentity.h"
#include "core/values/Uuid.h"
#include "ui/sidebar/SidebarView.h"
#include "ui/window/MainToolbar.h"
#include "ui/window/MainWindow.h"
#include "ui/window/TripleSplitView.h"

#include <QApplication>
#include <QTest>
#include <QToolBar>

namespace tarn::test {
namespace {

StorageProfile profile(const std::string& name, const std::string& endpoint, const std::string& region,
                       std::vector<std::string> buckets)
{
    StorageProfile result;
    result.id = Uuid::random();
    result.name = name;
    result.endpoint = *Url::parse(endpoint);
    result.region = region;
    result.accessKeyID = "AKID-" + name;
    result.bucketNames = std::move(buckets);
    return result;
}

BucketConfig bucketOf(const StorageProfile& profile, const std::string& name, const std::string& displayName = {})
{
    BucketConfig bucket;
    bucket.id = BucketIdentity::deterministicID(profile.endpoint, profile.region, profile.accessKeyID, name);
    bucket.bucketName = name;
    bucket.displayName = displayName.empty() ? name : displayName;
    bucket.endpoint = profile.endpoint;
    bucket.region = profile.region;
    bucket.accessKeyID = profile.accessKeyID;
    return bucket;
}

}  // namespace

SampleAccounts sampleAccounts(bool withFavorites)
{
    SampleAccounts sample;
    AppConfig& config = sample.config;
    config = ConfigStore::defaultConfig();
    const StorageProfile tarn =
        profile("Corvane Tarn", "https://s3.cn-east-1.corvane.example", "cn-east-1", {"photos", "backups", "designs"});
    const StorageProfile aliyun =
        profile("Aliyun OSS", "https://oss-cn-hangzhou.aliyuncs.example", "oss-cn-hangzhou", {"archive", "logs"});
    const StorageProfile tencent = profile("Tencent COS", "https://cos.ap-guangzhou.myqcloud.example", "ap-guangzhou", {});
    config.profiles = {tarn, aliyun, tencent};

    sample.photos = bucketOf(tarn, "photos");
    sample.backups = bucketOf(tarn, "backups");
    sample.designs = bucketOf(tarn, "designs", "设计稿");
    sample.archive = bucketOf(aliyun, "archive");
    sample.logs = bucketOf(aliyun, "logs");
    BucketSettings designSettings;
    designSettings.displayName = "设计稿";
    config.bucketSettings[sample.designs.id.toString()] = designSettings;

    if (withFavorites) {
        // Newest first, as the star puts them.
        config.favoriteBucketIDs = {sample.archive.id, sample.photos.id};
        config.favoriteDirectories = {{sample.photos.id, "photos", sample.favoriteFolder}};
    }
    return sample;
}

ContentFixture::ContentFixture()
    : m_configStore(std::filesystem::path(m_folder.filePath(QStringLiteral("config.json")).toStdString()))
    , m_secretStore("app.TarnManager.test." + Uuid::random().toString())
    , m_state(std::make_unique<AppState>(m_configStore, m_secretStore, m_client))
    , m_previousLanguage(L10n::languageCode())
{
    m_state->setUiServices(&m_ui);
    m_window = std::make_unique<QMainWindow>();
    m_window->resize(MainWindow::defaultSize);
    build();
    m_window->show();
    QApplication::setActiveWindow(m_window.get());
    EXPECT_TRUE(QTest::qWaitForWindowActive(m_window.get()));
    settle();
}

ContentFixture::~ContentFixture()
{
    m_window.reset();
    settle();
    m_state->setUiServices(nullptr);
    L10n::setLanguageCode(m_previousLanguage);
}

void ContentFixture::build(const QString& languageCode)
{
    L10n::setLanguageCode(languageCode);
    const WindowContentFactory factory = WindowContentFactory::standard();
    if (m_toolbar) {
        m_window->removeToolBar(m_toolbar);
        delete m_toolbar;
    }
    delete m_window->takeCentralWidget();
    m_content = new TripleSplitView(*m_state, factory);
    m_window->setCentralWidget(m_content);
    m_toolbar = factory.toolbar ? factory.toolbar(*m_state, *m_content) : nullptr;
    if (m_toolbar) {
        m_window->addToolBar(Qt::TopToolBarArea, m_toolbar);
    }
    m_content->show();
    settle();
}

void ContentFixture::useConfig(const AppConfig& config)
{
    m_state->setConfig(config);
    settle();
}

SidebarView& ContentFixture::sidebar()
{
    return *qobject_cast<SidebarView*>(m_content->sidebar());
}

MainToolbar& ContentFixture::toolbar()
{
    return *qobject_cast<MainToolbar*>(m_toolbar.data());
}

}  // namespace tarn::test
