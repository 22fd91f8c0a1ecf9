#include "BenchApplication.h"
#include "BenchSupport.h"
#include "FixedSecretStore.h"
#include "S3TestBuckets.h"
#include "TestEnvironment.h"

#include "app/state/AppState.h"
#include "core/config/ConfigStore.h"
#include "core/storage/HttpExchange.h"
#include "core/storage/S3ListParser.h"
#include "core/storage/S3RequestBuilder.h"

#include <QEventLoop>
#include <QTimer>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

constexpr int kFolderSize = 100000;
const std::string kFolder = "folder/";
// A fixed name: a later run against the same server finds the folder filled.
const std::string kBucketName = "tarn-bench-app-folder-100k";

tarn::BucketConfig benchBucket(const tarn::test::S3TestServer& server) {
    tarn::BucketConfig bucket;
    bucket.bucketName = kBucketName;
    bucket.displayName = kBucketName;
    bucket.endpoint = *tarn::Url::parse(server.endpoint);
    bucket.region = server.region;
    bucket.accessKeyID = server.accessKey;
    return bucket;
}

std::string folderKey(int index) {
    char key[48];
    std::snprintf(key, sizeof key, "%sobject-%06d.dat", kFolder.c_str(), index);
    return key;
}

// The bucket with its folder of 100,000 objects: filled by the first run against a
// server, found by later ones.
const tarn::BucketConfig& filledBucket(const tarn::test::S3TestServer& server) {
    static const tarn::BucketConfig bucket = [&] {
        const tarn::BucketConfig made = benchBucket(server);
        const tarn::S3Credentials credentials = tarn::test::credentialsOf(server);
        tarn::S3Client client;
        try {
            if (client.listObjects(made, credentials, kFolder).size() == kFolderSize) return made;
        } catch (const std::exception&) {
            // No such bucket yet.
        }
        const tarn::S3Request create = tarn::S3RequestBuilder::request(
            "PUT", tarn::S3RequestBuilder::objectURL(made, ""), made, credentials, {}, std::nullopt, {},
            std::chrono::system_clock::now());
        const int status = tarn::HttpExchange::perform(create).statusCode;
        if (status != 200 && status != 409) throw std::runtime_error("the bucket could not be made");
        std::vector<std::string> keys;
        keys.reserve(kFolderSize);
        for (int i = 0; i < kFolderSize; ++i) keys.push_back(folderKey(i));
        tarn::test::putObjects(server, made, keys);
        return made;
    }();
    return bucket;
}

// The folder's pages as the server sends them, for timing the parser on its own.
std::vector<std::string> rawPages(const tarn::test::S3TestServer& server, const tarn::BucketConfig& bucket) {
    std::vector<std::string> pages;
    std::optional<std::string> token;
    do {
        const tarn::S3Request request = tarn::S3RequestBuilder::request(
            "GET", tarn::S3RequestBuilder::listURL(bucket, kFolder, "/", token), bucket,
            tarn::test::credentialsOf(server), {}, std::nullopt, {}, std::chrono::system_clock::now());
        const tarn::HttpResponse response = tarn::HttpExchange::perform(request);
        if (response.statusCode != 200) throw std::runtime_error("a page could not be read");
        pages.emplace_back(response.bodyText());
        token = tarn::S3ListParser::parse(pages.back()).nextContinuationToken;
    } while (token);
    return pages;
}

// CPU time of the core's parser over every page, on one thread.
double parseSeconds(const std::vector<std::string>& pages) {
    constexpr int passes = 3;
    const double start = tarn::bench::threadCpuSeconds();
    std::size_t objects = 0;
    for (int pass = 0; pass < passes; ++pass) {
        for (const std::string& page : pages) objects += tarn::S3ListParser::parse(page).objects.size();
    }
    benchmark::DoNotOptimize(objects);
    return (tarn::bench::threadCpuSeconds() - start) / passes;
}

// The application opens a folder of 100,000 objects and pages to its end, as a
// browser that asks for the next page whenever one has arrived. Main-thread time
// covers publishing the first page and merging every further one; the parsing of
// the same pages happens on the application's thread pool.
void BM_AppLoadFolder100k(benchmark::State& state) {
    const auto server = tarn::bench::serverOrSkip(state);
    if (!server) return;
    tarn::bench::BenchApplication& application = tarn::bench::BenchApplication::instance();
    const tarn::BucketConfig& bucket = filledBucket(*server);
    const std::filesystem::path folder = std::filesystem::temp_directory_path() / "tarn-bench-app";
    std::filesystem::create_directories(folder);
    setenv("XDG_CACHE_HOME", folder.c_str(), 1);

    tarn::StorageProfile profile;
    profile.id = tarn::Uuid::random();
    profile.name = "bench";
    profile.endpoint = bucket.endpoint;
    profile.region = bucket.region;
    profile.accessKeyID = bucket.accessKeyID;
    profile.bucketNames = {bucket.bucketName};

    double mainSeconds = 0;
    double maxStepSeconds = 0;
    double maxStepWallSeconds = 0;
    double wallSeconds = 0;
    bool complete = true;
    for (auto _ : state) {
        tarn::ConfigStore configStore(folder / "config.json");
        tarn::bench::FixedSecretStore secrets(server->secretKey);
        tarn::S3Client client;
        tarn::AppState app(configStore, secrets, client);
        tarn::AppConfig config = app.config();
        config.profiles = {profile};
        app.setConfig(config);
        const tarn::Uuid bucketID = app.allBuckets().front().id;

        const auto wallStart = std::chrono::steady_clock::now();
        application.startMeasuring();
        application.measure([&] { app.switchBucket(bucketID, kFolder); });

        QEventLoop loop;
        const auto next = [&] {
            if (app.isLoading() || app.isLoadingMore()) return;
            if (app.hasMoreObjects()) {
                app.loadMoreObjects();
            } else {
                loop.quit();
            }
        };
        QObject::connect(&app, &tarn::AppState::isLoadingChanged, &loop, next);
        QObject::connect(&app, &tarn::AppState::isLoadingMoreChanged, &loop, next);
        QTimer::singleShot(std::chrono::minutes(10), &loop, [&] {
            complete = false;
            loop.quit();
        });
        loop.exec();
        application.stopMeasuring();
        wallSeconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - wallStart).count();
        mainSeconds += application.cpuSeconds();
        maxStepSeconds = std::max(maxStepSeconds, application.maxStepSeconds());
        maxStepWallSeconds = std::max(maxStepWallSeconds, application.maxStepWallSeconds());
        if (app.objects().size() != kFolderSize) complete = false;
    }
    std::filesystem::remove_all(folder);
    if (!complete) {
        state.SkipWithError("the folder did not list in full");
        return;
    }
    const double parse = parseSeconds(rawPages(*server, bucket));
    const auto iterations = static_cast<double>(state.iterations());
    state.counters["main_thread_ms"] = mainSeconds * 1e3 / iterations;
    state.counters["parse_ms"] = parse * 1e3;
    state.counters["max_step_ms"] = maxStepSeconds * 1e3;
    state.counters["max_step_wall_ms"] = maxStepWallSeconds * 1e3;
    state.counters["wall_ms"] = wallSeconds * 1e3 / iterations;
}
// One run: the test server takes minutes to list 100,000 keys, and the counters
// already sum a hundred pages.
BENCHMARK(BM_AppLoadFolder100k)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);

}  // namespace
