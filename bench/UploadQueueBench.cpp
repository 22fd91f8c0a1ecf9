#include "BenchSupport.h"
#include "ScratchFolder.h"
#include "S3TestBuckets.h"
#include "TestEnvironment.h"

#include "app/state/AppState.h"
#include "app/transfers/TransferCenter.h"
#include "core/config/ConfigStore.h"
#include "core/config/KeychainSecretStore.h"
#include "core/storage/MultipartPlan.h"
#include "core/storage/S3Client.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>

#include <benchmark/benchmark.h>

#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <limits>
#include <memory>
#include <optional>
#include <string>
#include <vector>

extern char** environ;

namespace {

namespace fs = std::filesystem;
using tarn::bench::peakMemoryMiB;
using tarn::bench::processCpuSeconds;
using tarn::bench::resetPeakMemory;

constexpr int kFolderFiles = 1000;
constexpr std::int64_t kSmallFileSize = 64 * 1024;
constexpr std::int64_t kMiB = tarn::MultipartPlan::kMiB;
constexpr std::int64_t kLargeFileSize = 256 * kMiB;

// The test server, when it and a keyring for the account's secret are there (the
// state reads secrets from the keyring only); else the benchmark is skipped.
std::optional<tarn::test::S3TestServer> serverForUploads(benchmark::State& state) {
    std::optional<tarn::test::S3TestServer> server = tarn::bench::serverOrSkip(state);
    if (!server || !tarn::bench::keyringOrSkip(state)) return std::nullopt;
    return server;
}

// A state as the program has it, with a configuration file of its own, the account
// of the test server with its secret in the keyring, and the bucket shown.
class UploadingState {
public:
    UploadingState(const tarn::test::S3TestServer& server, const std::string& stem)
        : m_serverBucket(tarn::test::createBucket(server, stem)),
          m_configStore(m_folder.path() / "config.json"),
          m_secretStore("app.TarnManager.bench." + tarn::Uuid::random().toString()),
          m_state(m_configStore, m_secretStore, m_client) {
        const tarn::StorageProfile profile = tarn::bench::benchProfile(server, m_serverBucket.bucketName);
        m_account = tarn::KeychainSecretStore::accountSecretAccount(profile.endpoint, profile.region,
                                                                     profile.accessKeyID);
        m_secretStore.save(server.secretKey, m_account);
        tarn::AppConfig config = m_state.config();
        config.profiles.push_back(profile);
        m_state.setConfig(std::move(config));
        m_state.switchBucket(m_state.buckets(profile).front().id, "");
        waitUntil([this] { return !m_state.isLoading(); });
    }
    ~UploadingState() { m_secretStore.deleteSecret(m_account); }

    const tarn::BucketConfig& serverBucket() const { return m_serverBucket; }

    // Uploads into the bucket's root through the state and the queue, and waits
    // until the queue has drained. False when a task failed or time ran out.
    bool upload(std::vector<fs::path> files) {
        tarn::TransferCenter& queue = m_state.transfers();
        queue.clearFinished();
        bool queued = false;
        const QMetaObject::Connection watch =
            QObject::connect(&queue, &tarn::TransferCenter::tasksRearranged, [&] { queued = queued || queue.hasActive(); });
        m_state.uploadFiles(std::move(files), tarn::UploadConflictMode::replace);
        const bool drained = waitUntil([&] { return queued && !queue.hasActive() && !queue.runningID(); });
        QObject::disconnect(watch);
        for (const tarn::TransferTask& task : queue.tasks()) {
            if (task.state == tarn::TransferState::failed) return false;
        }
        return drained;
    }

private:
    static bool waitUntil(const std::function<bool()>& done) {
        return tarn::bench::waitInEventLoop(done, std::chrono::minutes(5));
    }

    tarn::BucketConfig m_serverBucket;
    tarn::bench::ScratchFolder m_folder{"upload"};
    tarn::ConfigStore m_configStore;
    tarn::KeychainSecretStore m_secretStore;
    tarn::S3Client m_client;
    tarn::AppState m_state;
    std::string m_account;
};

// The command on PATH, else Debian's; none when neither is there.
std::optional<fs::path> awsCommand() {
    if (const char* path = std::getenv("PATH")) {
        std::string folders = path;
        for (std::size_t start = 0; start <= folders.size();) {
            const std::size_t end = std::min(folders.find(':', start), folders.size());
            const fs::path candidate = fs::path(folders.substr(start, end - start)) / "aws";
            if (::access(candidate.c_str(), X_OK) == 0) return candidate;
            start = end + 1;
        }
    }
    if (::access("/usr/bin/aws", X_OK) == 0) return fs::path("/usr/bin/aws");
    return std::nullopt;
}

// CPU seconds (user and system, the command and what it started) of
// `aws s3 cp --recursive` of the folder into the bucket; none when the command is
// missing or failed.
std::optional<double> awsCliCpuSeconds(const tarn::test::S3TestServer& server, const tarn::BucketConfig& bucket,
                                       const fs::path& folder, const fs::path& scratch) {
    const std::optional<fs::path> aws = awsCommand();
    if (!aws) return std::nullopt;
    // Python clients do not resolve *.localhost: the address itself, path-style.
    std::string endpoint = server.endpoint;
    if (const std::size_t host = endpoint.find("localhost"); host != std::string::npos) {
        endpoint.replace(host, 9, "127.0.0.1");
    }
    const fs::path config = scratch / "aws-config";
    std::ofstream(config) << "[default]\ns3 =\n    addressing_style = path\n";

    std::vector<std::string> environment;
    for (char** variable = environ; *variable != nullptr; ++variable) {
        const std::string entry = *variable;
        if (!entry.starts_with("AWS_")) environment.push_back(entry);
    }
    environment.push_back("AWS_ACCESS_KEY_ID=" + server.accessKey);
    environment.push_back("AWS_SECRET_ACCESS_KEY=" + server.secretKey);
    environment.push_back("AWS_DEFAULT_REGION=" + server.region);
    environment.push_back("AWS_CONFIG_FILE=" + config.native());
    environment.push_back("AWS_SHARED_CREDENTIALS_FILE=/dev/null");
    std::vector<std::string> arguments = {"aws",         "s3",          "cp", "--recursive", "--only-show-errors",
                                          folder.native(), "s3://" + bucket.bucketName + "/aws/", "--endpoint-url",
                                          endpoint};
    std::vector<char*> argv;
    for (std::string& argument : arguments) argv.push_back(argument.data());
    argv.push_back(nullptr);
    std::vector<char*> envp;
    for (std::string& entry : environment) envp.push_back(entry.data());
    envp.push_back(nullptr);

    pid_t pid = 0;
    if (::posix_spawn(&pid, aws->c_str(), nullptr, nullptr, argv.data(), envp.data()) != 0) return std::nullopt;
    int status = 0;
    rusage usage{};
    if (::wait4(pid, &status, 0, &usage) != pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0) return std::nullopt;
    const auto seconds = [](const timeval& time) {
        return static_cast<double>(time.tv_sec) + static_cast<double>(time.tv_usec) * 1e-6;
    };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

// A folder of 1,000 files of 64 KiB dropped on the window: through the state's
// upload path and the queue's runner, one request per file. The client's CPU time per
// file (all threads) is what the program controls; aws_cli_cpu_ms_per_file is the
// same upload by `aws s3 cp --recursive` when that command exists.
void BM_UploadFolder1000(benchmark::State& state) {
    const std::optional<tarn::test::S3TestServer> server = serverForUploads(state);
    if (!server) return;
    const tarn::bench::ScratchFolder scratch("upload");
    const fs::path folder = scratch.path() / "photos";
    fs::create_directories(folder);
    const std::string content(static_cast<std::size_t>(kSmallFileSize), 'p');
    for (int i = 0; i < kFolderFiles; ++i) {
        std::ofstream(folder / ("photo-" + std::to_string(i) + ".jpg"), std::ios::binary) << content;
    }
    UploadingState uploading(*server, "bench-folder");

    double cpu = 0;
    double wall = 0;
    for (auto _ : state) {
        const double cpuStart = processCpuSeconds();
        const auto wallStart = std::chrono::steady_clock::now();
        if (!uploading.upload({folder})) {
            state.SkipWithError("the upload failed");
            return;
        }
        wall += std::chrono::duration<double>(std::chrono::steady_clock::now() - wallStart).count();
        cpu += processCpuSeconds() - cpuStart;
    }
    const double files = static_cast<double>(kFolderFiles) * static_cast<double>(state.iterations());
    state.counters["files_per_s"] = files / wall;
    state.counters["client_cpu_ms_per_file"] = cpu * 1000.0 / files;

    // The floor beside it: the same files through the storage client alone, one
    // request after the other on this thread.
    tarn::S3Client client;
    const tarn::S3Credentials credentials = tarn::test::credentialsOf(*server);
    const double coreStart = processCpuSeconds();
    for (const fs::directory_entry& entry : fs::directory_iterator(folder)) {
        client.upload(entry.path(), uploading.serverBucket(), credentials, "core/" + entry.path().filename().native());
    }
    state.counters["core_cpu_ms_per_file"] = (processCpuSeconds() - coreStart) * 1000.0 / kFolderFiles;
    if (const std::optional<double> aws = awsCliCpuSeconds(*server, uploading.serverBucket(), folder, scratch.path())) {
        state.counters["aws_cli_cpu_ms_per_file"] = *aws * 1000.0 / kFolderFiles;
    }
    state.SetItemsProcessed(static_cast<std::int64_t>(files));
}
BENCHMARK(BM_UploadFolder1000)->Unit(benchmark::kSecond)->UseRealTime()->Iterations(3);

// A 256 MiB file through the state, the queue and its runner beside the same file
// through the core's multipart path alone (BM_MultipartUpload256MiB's work), in
// turns: runner_overhead is the ratio of their CPU times (the least of each, as a
// busy machine only adds to a sample), and peak_rss_mib stays at core_peak_rss_mib
// (the time column holds both uploads).
void BM_UploadRunner256MiB(benchmark::State& state) {
    const std::optional<tarn::test::S3TestServer> server = serverForUploads(state);
    if (!server) return;
    const tarn::bench::BenchFile file(kLargeFileSize);
    UploadingState uploading(*server, "bench-runner");
    const tarn::S3Credentials credentials = tarn::test::credentialsOf(*server);
    const tarn::MultipartPlan plan =
        tarn::MultipartPlan::forSettings(kLargeFileSize, tarn::AppConfig::defaultMultipartPartSizeMB);
    tarn::S3Client client;

    // CPU seconds and peak memory of one upload; both in this process, so both peaks
    // stand on the same base.
    struct Cost {
        double cpu = 0;
        double peak = 0;
    };
    // The least the process held when an upload began: memory the C library keeps
    // after one upload is not the next one's.
    double base = std::numeric_limits<double>::infinity();
    const auto measure = [&base](const std::function<bool()>& upload) -> std::optional<Cost> {
        resetPeakMemory();
        base = std::min(base, tarn::bench::currentMemoryMiB());
        const double start = processCpuSeconds();
        if (!upload()) return std::nullopt;
        return Cost{processCpuSeconds() - start, peakMemoryMiB()};
    };
    const std::function<bool()> throughRunner = [&] { return uploading.upload({file.path()}); };
    const std::function<bool()> throughCore = [&] {
        tarn::bench::uploadInParts(client, uploading.serverBucket(), credentials, "core-256MiB.bin", file.path(),
                                   kLargeFileSize);
        return true;
    };
    // Threads, connections and the file's pages are warm for both before anything counts.
    if (!throughRunner() || !throughCore()) {
        state.SkipWithError("the upload failed");
        return;
    }

    double runnerCpu = 0;
    double coreCpu = 0;
    // The least each took: other work on the machine only ever adds to a sample.
    double runnerLeast = std::numeric_limits<double>::infinity();
    double coreLeast = std::numeric_limits<double>::infinity();
    double peak = 0;
    double corePeak = 0;
    bool runnerFirst = true;
    for (auto _ : state) {
        // Turn about, so that neither always runs on what the other left behind.
        const std::optional<Cost> first = measure(runnerFirst ? throughRunner : throughCore);
        const std::optional<Cost> second = measure(runnerFirst ? throughCore : throughRunner);
        if (!first || !second) {
            state.SkipWithError("the upload failed");
            return;
        }
        const Cost& runner = runnerFirst ? *first : *second;
        const Cost& core = runnerFirst ? *second : *first;
        runnerCpu += runner.cpu;
        coreCpu += core.cpu;
        runnerLeast = std::min(runnerLeast, runner.cpu);
        coreLeast = std::min(coreLeast, core.cpu);
        peak = std::max(peak, runner.peak);
        corePeak = std::max(corePeak, core.peak);
        runnerFirst = !runnerFirst;
    }
    const double gib = static_cast<double>(kLargeFileSize) / (1024.0 * kMiB) * static_cast<double>(state.iterations());
    state.counters["cpu_s_per_gib"] = runnerCpu / gib;
    state.counters["core_cpu_s_per_gib"] = coreCpu / gib;
    state.counters["runner_overhead"] = runnerLeast / coreLeast;
    state.counters["peak_rss_mib"] = peak;
    state.counters["core_peak_rss_mib"] = corePeak;
    state.counters["budget_mib"] = tarn::bench::multipartBudgetMiB(base, plan.concurrency);
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * kLargeFileSize);
}
BENCHMARK(BM_UploadRunner256MiB)->Unit(benchmark::kSecond)->UseRealTime()->Iterations(6);

}  // namespace
