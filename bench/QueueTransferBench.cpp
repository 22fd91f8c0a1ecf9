#include "BenchSupport.h"
#include "FixedSecretStore.h"
#include "ScratchFolder.h"
#include "S3TestBuckets.h"
#include "TestEnvironment.h"

#include "app/state/AppState.h"
#include "app/transfers/TransferCenter.h"
#include "core/config/ConfigStore.h"
#include "core/storage/S3Client.h"
#include "ui/browser/ObjectBrowserView.h"
#include "ui/transfers/TransferPanelView.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>

#include <benchmark/benchmark.h>

#include <stdlib.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <limits>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>

namespace {

namespace fs = std::filesystem;
using tarn::bench::processCpuSeconds;

constexpr std::int64_t kMiB = 1024 * 1024;
constexpr std::int64_t kGiB = 1024 * kMiB;
constexpr const char* kKey = "queue-1GiB.bin";

// The state and its queue as the program has them, on a bucket of the test server,
// with the window's views of the queue beside them (the browser with its status bar
// and the transfer panel, offscreen), since each progress change reaches them too.
class QueueBench {
public:
    QueueBench(const tarn::test::S3TestServer& server, const std::string& stem)
        : m_serverBucket(tarn::test::createBucket(server, stem)),
          m_configStore(m_folder.path() / "config.json"),
          m_secrets(server.secretKey),
          m_state(m_configStore, m_secrets, m_client) {
        const tarn::StorageProfile profile = tarn::bench::benchProfile(server, m_serverBucket.bucketName);
        tarn::AppConfig config = m_state.config();
        config.profiles.push_back(profile);
        m_state.setConfig(std::move(config));
        m_bucketID = m_state.buckets(profile).front().id;
        m_state.switchBucket(m_bucketID, "");
        waitUntil([this] { return !m_state.isLoading(); });

        m_browser = std::make_unique<tarn::ObjectBrowserView>(m_state);
        m_browser->resize(1000, 700);
        m_browser->show();
        m_panel = std::make_unique<tarn::TransferPanelView>(m_state.transfers());
        m_panel->resize(540, 480);
        m_panel->show();
        QCoreApplication::processEvents();
    }

    const tarn::BucketConfig& serverBucket() const { return m_serverBucket; }
    const fs::path& folder() const { return m_folder.path(); }
    tarn::S3Client& client() { return m_client; }

    // The object into a file of the folder through the queue's download runner; the
    // whole process's CPU seconds it took, none when it failed.
    std::optional<double> download(const std::string& key, std::int64_t size, const fs::path& destination) {
        tarn::TransferTask task;
        task.id = tarn::Uuid::random();
        task.title = key;
        task.spec.value = tarn::DownloadSpec{key, destination, false, std::nullopt};
        task.bytesTotal = size;
        task.bucketID = m_bucketID;
        return run([&] {
            m_state.transfers().append(std::move(task));
            m_state.transfers().pumpIfIdle();
        });
    }

    // The file into the bucket's root through the queue's upload runner (in parts,
    // as the program sends a large file).
    std::optional<double> upload(const fs::path& file) {
        return run([&] {
            m_state.transfers().enqueueUploads({{file, false}}, "", tarn::UploadConflictMode::replace, {}, m_bucketID);
        });
    }

private:
    std::optional<double> run(const std::function<void()>& queue) {
        tarn::TransferCenter& transfers = m_state.transfers();
        transfers.clearFinished();
        QCoreApplication::processEvents();
        bool started = false;
        const QMetaObject::Connection watch = QObject::connect(&transfers, &tarn::TransferCenter::tasksRearranged,
                                                               [&] { started = started || transfers.hasActive(); });
        const double start = processCpuSeconds();
        queue();
        const bool drained = waitUntil([&] { return started && !transfers.hasActive() && !transfers.runningID(); });
        const double cpu = processCpuSeconds() - start;
        QObject::disconnect(watch);
        for (const tarn::TransferTask& task : transfers.tasks()) {
            if (task.state != tarn::TransferState::succeeded) return std::nullopt;
        }
        if (!drained) return std::nullopt;
        return cpu;
    }

    static bool waitUntil(const std::function<bool()>& done) {
        return tarn::bench::waitInEventLoop(done, std::chrono::minutes(10));
    }

    tarn::BucketConfig m_serverBucket;
    tarn::bench::ScratchFolder m_folder{"queue"};
    tarn::ConfigStore m_configStore;
    tarn::bench::FixedSecretStore m_secrets;
    tarn::S3Client m_client;
    tarn::AppState m_state;
    tarn::Uuid m_bucketID;
    std::unique_ptr<tarn::ObjectBrowserView> m_browser;
    std::unique_ptr<tarn::TransferPanelView> m_panel;
};

// A 1 GiB object downloaded through the queue (the state's download task, its runner,
// the progress that reaches the views) beside the same object through the storage
// client alone (BM_Download256MiB's work): cpu_s_per_gib is the whole process's CPU
// time over the queued download, core_cpu_s_per_gib the client's alone, and
// main_cpu_s_per_gib the main thread's share of the queued download (the progress
// reports and the views they reach; the rest is the worker's receiving and writing).
// Each is the least of its samples: other work on the machine only ever adds to one.
// The two take turns in going first, so that neither always meets the page cache the
// other left behind.
void BM_QueueDownload1GiB(benchmark::State& state) {
    const std::optional<tarn::test::S3TestServer> server = tarn::bench::serverOrSkip(state);
    if (!server) return;
    QueueBench bench(*server, "bench-queue-download");
    const tarn::S3Credentials credentials = tarn::test::credentialsOf(*server);
    {
        const tarn::bench::BenchFile source(kGiB);
        tarn::bench::uploadInParts(bench.client(), bench.serverBucket(), credentials, kKey, source.path(), kGiB);
    }
    const fs::path target = bench.folder() / "downloaded.bin";

    double queueLeast = std::numeric_limits<double>::infinity();
    double coreLeast = std::numeric_limits<double>::infinity();
    double mainLeast = std::numeric_limits<double>::infinity();
    double queueTotal = 0;
    bool queueFirst = true;
    for (auto _ : state) {
        std::optional<double> queued;
        double core = 0;
        const auto viaQueue = [&] {
            const double mainStart = tarn::bench::threadCpuSeconds();
            queued = bench.download(kKey, kGiB, target);
            mainLeast = std::min(mainLeast, tarn::bench::threadCpuSeconds() - mainStart);
            fs::remove(target);
        };
        const auto viaClient = [&] {
            const double coreStart = processCpuSeconds();
            bench.client().downloadToFile(kKey, target, bench.serverBucket(), credentials);
            core = processCpuSeconds() - coreStart;
            fs::remove(target);
        };
        if (queueFirst) {
            viaQueue();
            viaClient();
        } else {
            viaClient();
            viaQueue();
        }
        queueFirst = !queueFirst;
        if (!queued) {
            state.SkipWithError("the queued download failed");
            return;
        }
        queueLeast = std::min(queueLeast, *queued);
        coreLeast = std::min(coreLeast, core);
        queueTotal += *queued;
    }
    bench.client().deleteObject(kKey, bench.serverBucket(), credentials);
    state.counters["cpu_s_per_gib"] = queueLeast;
    state.counters["core_cpu_s_per_gib"] = coreLeast;
    state.counters["main_cpu_s_per_gib"] = mainLeast;
    state.counters["mean_cpu_s_per_gib"] = queueTotal / static_cast<double>(state.iterations());
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * 2 * kGiB);
}
BENCHMARK(BM_QueueDownload1GiB)->Unit(benchmark::kSecond)->UseRealTime()->Iterations(3);

// The same for a 1 GiB file uploaded through the queue (in parts, at the program's
// default part size and parallelism) beside the core's multipart path alone
// (BM_MultipartUpload256MiB's work).
void BM_QueueUpload1GiB(benchmark::State& state) {
    const std::optional<tarn::test::S3TestServer> server = tarn::bench::serverOrSkip(state);
    if (!server) return;
    QueueBench bench(*server, "bench-queue-upload");
    const tarn::S3Credentials credentials = tarn::test::credentialsOf(*server);
    const tarn::bench::BenchFile file(kGiB);

    double queueLeast = std::numeric_limits<double>::infinity();
    double coreLeast = std::numeric_limits<double>::infinity();
    double queueTotal = 0;
    for (auto _ : state) {
        const std::optional<double> queued = bench.upload(file.path());
        if (!queued) {
            state.SkipWithError("the queued upload failed");
            return;
        }
        const double coreStart = processCpuSeconds();
        tarn::bench::uploadInParts(bench.client(), bench.serverBucket(), credentials, "core-1GiB.bin", file.path(),
                                   kGiB);
        const double core = processCpuSeconds() - coreStart;
        queueLeast = std::min(queueLeast, *queued);
        coreLeast = std::min(coreLeast, core);
        queueTotal += *queued;
    }
    state.counters["cpu_s_per_gib"] = queueLeast;
    state.counters["core_cpu_s_per_gib"] = coreLeast;
    state.counters["mean_cpu_s_per_gib"] = queueTotal / static_cast<double>(state.iterations());
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * 2 * kGiB);
}
BENCHMARK(BM_QueueUpload1GiB)->Unit(benchmark::kSecond)->UseRealTime()->Iterations(3);

}  // namespace

