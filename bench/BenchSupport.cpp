#include "BenchSupport.h"

#include "core/config/ConfigModels.h"
#include "core/storage/MultipartPlan.h"
#include "core/storage/MultipartUploader.h"
#include "core/storage/S3Client.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>

#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <random>
#include <string>
#include <vector>

namespace tarn::bench {

namespace {

constexpr std::int64_t kBlockBytes = 1024 * 1024;

// What the error message of a skipped run begins with; the reason follows.
constexpr std::string_view kSkipMark = "[skip] ";

}  // namespace

StorageProfile benchProfile(const test::S3TestServer& server, const std::string& bucketName) {
    StorageProfile profile;
    profile.id = Uuid::random();
    profile.name = "Bench";
    profile.endpoint = *Url::parse(server.endpoint);
    profile.region = server.region;
    profile.accessKeyID = server.accessKey;
    profile.bucketNames = {bucketName};
    return profile;
}

void skip(benchmark::State& state, std::string_view reason) {
    state.SkipWithError((std::string(kSkipMark) + std::string(reason)).c_str());
}

std::optional<std::string> skipReason(std::string_view errorMessage) {
    if (!errorMessage.starts_with(kSkipMark)) return std::nullopt;
    return std::string(errorMessage.substr(kSkipMark.size()));
}

std::optional<test::S3TestServer> serverOrSkip(benchmark::State& state) {
    std::optional<test::S3TestServer> server = test::s3TestServer();
    if (!server) skip(state, "TARN_TEST_S3_ENDPOINT is not set; start an S3 server (as scripts/test does) to measure");
    return server;
}

bool keyringOrSkip(benchmark::State& state) {
    const char* keyring = std::getenv("TARN_TEST_KEYRING");
    if (keyring != nullptr && *keyring != '\0') return true;
    skip(state, "TARN_TEST_KEYRING is not set; run under scripts/lib/with-keyring to measure");
    return false;
}

bool waitInEventLoop(const std::function<bool()>& done, std::chrono::milliseconds limit) {
    // The timer only makes sure the limit is looked at now and then.
    QTimer look;
    look.start(250);
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (!done()) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    return true;
}

double processCpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    const auto seconds = [](const timeval& time) {
        return static_cast<double>(time.tv_sec) + static_cast<double>(time.tv_usec) * 1e-6;
    };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

double threadCpuSeconds() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

long threadSwitches() {
    rusage usage{};
    getrusage(RUSAGE_THREAD, &usage);
    return usage.ru_nvcsw + usage.ru_nivcsw;
}

StallWatch::StallWatch(int tickMilliseconds) : m_tickMilliseconds(tickMilliseconds) {
    m_timer.setTimerType(Qt::PreciseTimer);
    QObject::connect(&m_timer, &QTimer::timeout, [this] { tick(); });
}

void StallWatch::start() {
    m_lastTick = -1;
    m_longestGap = 0;
    m_longestBusy = 0;
    m_clock.start();
    m_timer.start(m_tickMilliseconds);
}

void StallWatch::stop() { m_timer.stop(); }

void StallWatch::tick() {
    const qint64 now = m_clock.nsecsElapsed();
    const double cpu = threadCpuSeconds();
    if (m_lastTick >= 0) {
        m_longestGap = std::max(m_longestGap, now - m_lastTick);
        m_longestBusy = std::max(m_longestBusy, cpu - m_lastCpu);
    }
    m_lastTick = now;
    m_lastCpu = cpu;
}

void resetPeakMemory() {
    std::ofstream("/proc/self/clear_refs") << "5";
}

namespace {

// A "Name:   1234 kB" line of /proc/self/status, in MiB; none when it is missing.
std::optional<double> statusMiB(std::string_view name) {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.starts_with(name) && line.size() > name.size() && line[name.size()] == ':') {
            return std::stod(line.substr(name.size() + 1)) / 1024.0;
        }
    }
    return std::nullopt;
}

}  // namespace

double peakMemoryMiB() {
    if (const std::optional<double> peak = statusMiB("VmHWM")) return *peak;
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_maxrss) / 1024.0;
}

double currentMemoryMiB() {
    return statusMiB("VmRSS").value_or(0);
}

double multipartBudgetMiB(double baseMiB, int concurrency) {
    constexpr double kRoomMiB = 16;
    const double pieces = static_cast<double>(concurrency) *
                          static_cast<double>(MultipartUploader::pieceSize) / static_cast<double>(kBlockBytes);
    return baseMiB + pieces + kRoomMiB;
}

void uploadInParts(S3Client& client, const BucketConfig& bucket, const S3Credentials& credentials,
                   const std::string& key, const std::filesystem::path& file, std::int64_t size) {
    const MultipartPlan plan = MultipartPlan::forSettings(size, AppConfig::defaultMultipartPartSizeMB);
    const std::string uploadId = client.createMultipartUpload(key, bucket, credentials, std::nullopt);
    const MultipartUploader uploader(client, bucket, credentials, key, uploadId, file, size, plan.partSize,
                                     plan.concurrency);
    const std::vector<UploadPart> parts = uploader.upload({}, {}, {});
    client.completeMultipartUpload(key, uploadId, parts, bucket, credentials);
}

BenchFile::BenchFile(std::int64_t size)
    : m_path(std::filesystem::temp_directory_path() / ("tarn-bench-" + std::to_string(::getpid()) + ".bin")) {
    std::mt19937_64 random(42);
    std::vector<std::uint64_t> block(static_cast<std::size_t>(kBlockBytes) / sizeof(std::uint64_t));
    std::ofstream out(m_path, std::ios::binary);
    for (std::int64_t written = 0; written < size; written += kBlockBytes) {
        for (std::uint64_t& word : block) word = random();
        out.write(reinterpret_cast<const char*>(block.data()),
                  static_cast<std::streamsize>(std::min(kBlockBytes, size - written)));
    }
}

BenchFile::~BenchFile() {
    std::filesystem::remove(m_path);
}

}  // namespace tarn::bench
