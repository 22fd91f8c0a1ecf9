#include "BenchSupport.h"

#include "app/AppStateTestAccess.h"
#include "app/state/AppState.h"
#include "app/transfers/TransferCenter.h"
#include "core/config/BucketIdentity.h"
#include "core/config/ConfigStore.h"
#include "core/config/KeychainSecretStore.h"
#include "core/storage/S3Client.h"
#include "ui/browser/BrowserRowBuilder.h"
#include "ui/browser/BrowserTableModel.h"
#include "ui/browser/ObjectBrowserView.h"
#include "ui/browser/ObjectTableView.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTemporaryDir>
#include <QTimer>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

namespace {

constexpr int kPages = 100;
constexpr int kPageSize = 1000;
constexpr int kStallTimerMs = 5;
constexpr int kProgressTimerMs = 10;
// A fast server: the next page arrives this long after the previous one.
constexpr int kPageIntervalMs = 20;
const std::string kFolder = "photos/2024/";

// One page of a large folder: keys of mixed length (some with CJK names), sizes and
// dates as a listing brings them, in key order.
std::vector<tarn::ObjectItem> page(int number)
{
    static const char* const words[] = {"holiday", "IMG", "raw", "export", "backup", "scan", "中文名称", "résumé"};
    std::mt19937 random(static_cast<unsigned>(number) * 7919u + 17u);
    std::vector<tarn::ObjectItem> objects;
    objects.reserve(kPageSize);
    const auto now = std::chrono::system_clock::now();
    char name[128];
    for (int i = 0; i < kPageSize; ++i) {
        std::snprintf(name, sizeof name, "%s%06d-%s-%u.jpg", kFolder.c_str(), number * kPageSize + i,
                      words[random() % std::size(words)], static_cast<unsigned>(random() % 100000));
        objects.push_back({name, static_cast<std::int64_t>(random() % 50'000'000),
                           now - std::chrono::minutes(random() % 100000), std::string("STANDARD"),
                           std::string("\"d41d8cd98f00b204e9800998ecf8427e\"")});
    }
    return objects;
}

tarn::StorageProfile benchProfile()
{
    tarn::StorageProfile profile;
    profile.id = tarn::Uuid::random();
    profile.name = "Bench";
    profile.endpoint = *tarn::Url::parse("https://s3.example.com");
    profile.region = "eu-1";
    profile.accessKeyID = "AKID";
    profile.bucketNames = {"media"};
    return profile;
}

// Row building alone, for a page of 1,000 objects: microseconds per build.
double rowBuildMicrosecondsPer1000()
{
    const std::vector<tarn::ObjectItem> objects = page(0);
    tarn::BrowserRowInputs inputs;
    inputs.currentPrefix = kFolder;
    inputs.objects = objects;
    constexpr int kRounds = 500;
    const auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < kRounds; ++i) {
        std::vector<tarn::BrowserRow> rows = tarn::BrowserRowBuilder::build(inputs);
        benchmark::DoNotOptimize(rows);
    }
    return std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - start).count() / kRounds;
}

}  // namespace

// The browser shows a folder while 100 pages of 1,000 objects arrive one by one and an
// upload into that folder reports progress every 10 ms. A 5 ms timer on the main
// thread measures the longest the event loop was held up (goal: 16 ms, one frame).
void BM_BrowserPage100k(benchmark::State& state)
{
    QTemporaryDir folder;
    tarn::ConfigStore store(std::filesystem::path(folder.filePath(QStringLiteral("config.json")).toStdString()));
    tarn::KeychainSecretStore secrets("app.TarnManager.bench");
    tarn::S3Client client;
    std::vector<std::vector<tarn::ObjectItem>> pages;
    for (int i = 0; i < kPages; ++i) {
        pages.push_back(page(i));
    }

    double maxStallMs = 0;
    double reloadAt100kMs = 0;
    double rssMiB = 0;
    for (auto _ : state) {
        tarn::bench::resetPeakMemory();
        tarn::AppState app(store, secrets, client);
        tarn::AppConfig config;
        config.profiles.push_back(benchProfile());
        const tarn::Uuid bucket = app.buckets(config.profiles.front()).front().id;
        app.setConfig(config);

        tarn::ObjectBrowserView browser(app);
        browser.resize(1000, 700);
        browser.show();
        QApplication::processEvents();

        tarn::AppStateTestAccess::showListing(app, bucket, bucket, kFolder, pages[0]);
        tarn::TransferTask upload;
        upload.id = tarn::Uuid::random();
        upload.title = "holiday.mov";
        upload.spec = {tarn::UploadSpec{"/home/me/holiday.mov", kFolder, tarn::UploadConflictMode::ask}};
        upload.state = tarn::TransferState::running;
        upload.bucketID = bucket;
        upload.bytesTotal = 1'000'000'000;
        const tarn::Uuid uploadID = upload.id;
        app.transfers().append(std::move(upload));

        QTimer progress;
        QObject::connect(&progress, &QTimer::timeout, [&] {
            app.transfers().updateTask(uploadID, [](tarn::TransferTask& task) {
                task.bytesDone = std::min(task.bytesTotal, task.bytesDone + 1'000'000);
            });
        });
        progress.start(kProgressTimerMs);

        QElapsedTimer clock;
        qint64 lastTick = -1;
        qint64 longestGap = 0;
        QTimer stall;
        stall.setTimerType(Qt::PreciseTimer);
        QObject::connect(&stall, &QTimer::timeout, [&] {
            const qint64 now = clock.nsecsElapsed();
            if (lastTick >= 0) {
                longestGap = std::max(longestGap, now - lastTick);
            }
            lastTick = now;
        });

        QEventLoop loop;
        int next = 1;
        QTimer pages_;
        QObject::connect(&pages_, &QTimer::timeout, [&] {
            if (next == kPages) {
                pages_.stop();
                // Let the throttled refreshes after the last page run.
                QTimer::singleShot(400, &loop, &QEventLoop::quit);
                return;
            }
            tarn::S3Listing listing;
            listing.objects = pages[static_cast<std::size_t>(next++)];
            tarn::AppStateTestAccess::appendPage(app, std::move(listing));
            // The user follows the end of the folder as it grows.
            if (next % 10 == 0) {
                browser.table()->scrollToBottom();
            }
        });
        clock.start();
        stall.start(kStallTimerMs);
        pages_.start(kPageIntervalMs);
        loop.exec();
        stall.stop();
        progress.stop();

        if (browser.model()->rowCount() != kPages * kPageSize + 2) {
            state.SkipWithError("the browser does not show every object");
        }
        maxStallMs = std::max(maxStallMs, static_cast<double>(longestGap) / 1e6);
        const auto reloadStart = std::chrono::steady_clock::now();
        browser.reloadRows();
        reloadAt100kMs = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - reloadStart)
                             .count();
        rssMiB = std::max(rssMiB, tarn::bench::peakMemoryMiB());
    }
    state.counters["max_main_thread_stall_ms"] = maxStallMs;
    state.counters["row_build_us_per_1k"] = rowBuildMicrosecondsPer1000();
    state.counters["reload_100k_ms"] = reloadAt100kMs;
    state.counters["rss_mib"] = rssMiB;
}
BENCHMARK(BM_BrowserPage100k)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);
