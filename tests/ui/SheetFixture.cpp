#include "ui/SheetFixture.h"

#include "app/text/L10n.h"
#include "core/values/Uuid.h"
#include "ui/theme/TarnTheme.h"
#include "ui/views/TintedBlurView.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QStandardItemModel>
#include <QTableView>
#include <QTest>
#include <QVBoxLayout>

namespace tarn::test {
namespace {

QWidget* makeSidebar(QWidget* parent)
{
    auto* sidebar = new TintedBlurView(0.5, parent);
    sidebar->setFixedWidth(210);
    auto* layout = new QVBoxLayout(sidebar);
    layout->setContentsMargins(16, 18, 12, 18);
    layout->setSpacing(10);
    for (const char* text : {"Corvane Tarn", "photos", "backups", "logs-2024", "Aliyun OSS", "archive"}) {
        auto* label = new QLabel(QString::fromUtf8(text), sidebar);
        label->setFont(TarnTheme::font(13));
        layout->addWidget(label);
    }
    layout->addStretch(1);
    return sidebar;
}

QTableView* makeTable(QWidget* parent)
{
    auto* model = new QStandardItemModel(0, 3, parent);
    model->setHorizontalHeaderLabels({QStringLiteral("Name"), QStringLiteral("Size"), QStringLiteral("Modified")});
    const char* names[] = {"2024-summer/", "raw/", "IMG_0412.HEIC", "IMG_0413.HEIC", "notes.md", "report-q3.pdf",
                           "trip.mov", "wallpaper.png", "budget.csv", "README.txt", "archive.zip", "cover.jpg"};
    int row = 0;
    for (const char* name : names) {
        model->appendRow({new QStandardItem(QString::fromUtf8(name)),
                          new QStandardItem(QStringLiteral("%1 MB").arg(1.5 + row * 3.25, 0, 'f', 1)),
                          new QStandardItem(QStringLiteral("Jan %1, 2024").arg(row + 3))});
        ++row;
    }
    auto* table = new QTableView(parent);
    table->setModel(model);
    table->verticalHeader()->hide();
    table->horizontalHeader()->setStretchLastSection(true);
    table->setColumnWidth(0, 300);
    table->setColumnWidth(1, 110);
    table->setShowGrid(false);
    table->setAlternatingRowColors(true);
    table->setSelectionBehavior(QAbstractItemView::SelectRows);
    table->setCurrentIndex(model->index(0, 0));
    return table;
}

}  // namespace

SheetFixture::SheetFixture()
    : m_configStore(std::filesystem::path(m_folder.filePath(QStringLiteral("config.json")).toStdString()))
    , m_secretStore("app.TarnManager.test." + Uuid::random().toString())
    , m_state(std::make_unique<AppState>(m_configStore, m_secretStore, m_client))
    , m_previousLanguage(L10n::languageCode())
{
    L10n::setLanguageCode(QStringLiteral("en"));
    m_state->setUiServices(&m_ui);

    m_window = std::make_unique<QWidget>();
    m_window->resize(960, 600);
    auto* layout = new QHBoxLayout(m_window.get());
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(makeSidebar(m_window.get()));
    auto* browser = new QWidget(m_window.get());
    auto* browserLayout = new QVBoxLayout(browser);
    browserLayout->setContentsMargins(16, 14, 16, 0);
    browserLayout->setSpacing(10);
    m_search = new QLineEdit(browser);
    m_search->setPlaceholderText(QStringLiteral("Search"));
    browserLayout->addWidget(m_search);
    m_table = makeTable(browser);
    browserLayout->addWidget(m_table, 1);
    layout->addWidget(browser, 1);

    m_window->show();
    QApplication::setActiveWindow(m_window.get());
    EXPECT_TRUE(QTest::qWaitForWindowActive(m_window.get()));
    m_search->setFocus();
}

SheetFixture::~SheetFixture()
{
    m_presenter.reset();
    m_window.reset();
    settle();
    m_state->setUiServices(nullptr);
    L10n::setLanguageCode(m_previousLanguage);
}

void SheetFixture::settle()
{
    QApplication::processEvents();
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QApplication::processEvents();
}

StorageProfile SheetFixture::makeProfile(const std::string& name, const std::string& endpoint,
                                         const std::string& region, const std::string& accessKeyID,
                                         std::vector<std::string> buckets)
{
    StorageProfile profile;
    profile.id = Uuid::random();
    profile.name = name;
    profile.endpoint = *Url::parse(endpoint);
    profile.region = region;
    profile.accessKeyID = accessKeyID;
    profile.bucketNames = std::move(buckets);
    return profile;
}

void SheetFixture::makePresenter()
{
    m_presenter = std::make_unique<SheetPresenter>(*m_state, m_window.get());
}

BucketConfig SheetFixture::setOnlyBucket(const std::string& endpoint, const std::string& bucketName,
                                       std::vector<PublicDomain> domains)
{
    AppConfig config = m_state->config();
    config.profiles = {makeProfile("Storage", endpoint, "auto", "AKIDEXAMPLE", {bucketName})};
    config.bucketSettings.clear();
    m_state->setConfig(config);
    const Uuid bucketID = m_state->allBuckets().front().id;
    if (!domains.empty()) {
        config.bucketSettings[bucketID.toString()] = BucketSettings{std::nullopt, std::move(domains)};
        m_state->setConfig(config);
    }
    return m_state->allBuckets().front();
}

}  // namespace tarn::test
