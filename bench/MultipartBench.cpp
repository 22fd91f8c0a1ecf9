#include "BenchSupport.h"
#include "S3TestBuckets.h"
#include "TestEnvironment.h"

#include "core/config/ConfigModels.h"
#include "core/storage/MultipartPlan.h"
#include "core/storage/S3Client.h"

#include <benchmark/benchmark.h>
#include <openssl/evp.h>

#include <fcntl.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <limits>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

using tarn::bench::BenchFile;
using tarn::bench::peakMemoryMiB;
using tarn::bench::processCpuSeconds;
using tarn::bench::resetPeakMemory;

constexpr std::int64_t kMiB = tarn::MultipartPlan::kMiB;
constexpr std::int64_t kFileSize = 256 * kMiB;
constexpr const char* kKey = "bench/upload-256MiB.bin";

double threadCpuSeconds() {
    timespec time{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &time);
    return static_cast<double>(time.tv_sec) + static_cast<double>(time.tv_nsec) * 1e-9;
}

// CPU seconds of one bare OpenSSL SHA-256 pass over the file's bytes: the floor of
// an upload that signs its payload. Only the hashing counts, not the reading.
double sha256CpuSeconds(const std::filesystem::path& path) {
    struct Free {
        void operator()(EVP_MD* p) const { EVP_MD_free(p); }
        void operator()(EVP_MD_CTX* p) const { EVP_MD_CTX_free(p); }
    };
    const std::unique_ptr<EVP_MD, Free> sha256(EVP_MD_fetch(nullptr, "SHA256", nullptr));
    const std::unique_ptr<EVP_MD_CTX, Free> context(EVP_MD_CTX_new());
    if (!sha256 || !context || EVP_DigestInit_ex2(context.get(), sha256.get(), nullptr) != 1) {
        throw std::runtime_error("OpenSSL setup failed");
    }
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) throw std::runtime_error("cannot open the benchmark file");
    std::vector<unsigned char> block(static_cast<std::size_t>(4 * kMiB));
    double seconds = 0;
    for (off_t offset = 0;;) {
        const ssize_t count = ::pread(fd, block.data(), block.size(), offset);
        if (count <= 0) break;
        offset += count;
        const double start = threadCpuSeconds();
        EVP_DigestUpdate(context.get(), block.data(), static_cast<std::size_t>(count));
        seconds += threadCpuSeconds() - start;
    }
    ::close(fd);
    unsigned char digest[EVP_MAX_MD_SIZE];
    EVP_DigestFinal_ex(context.get(), digest, nullptr);
    return seconds;
}

// A 256 MiB file through the whole multipart path at the program's default part size
// and parallelism: create, parts, complete. The client's CPU time (all threads) and
// peak memory are what the program controls; the wall time includes the server's.
// sha256_s_per_gib is the floor beside it: hashing the payload for its signature;
// budget_mib the most the peak may reach from what the process held before
// (base_rss_mib), whatever the part size.
void BM_MultipartUpload256MiB(benchmark::State& state) {
    const auto server = tarn::bench::serverOrSkip(state);
    if (!server) return;
    const tarn::BucketConfig bucket = tarn::test::createBucket(*server, "bench-multipart");
    const tarn::S3Credentials credentials = tarn::test::credentialsOf(*server);
    const BenchFile file(kFileSize);
    const tarn::MultipartPlan plan =
        tarn::MultipartPlan::forSettings(kFileSize, tarn::AppConfig::defaultMultipartPartSizeMB);
    tarn::S3Client client;

    double cpu = 0;
    double sha256 = 0;
    double peak = 0;
    // The least the process held when an upload began: memory the C library keeps
    // after one upload is not the next one's.
    double base = std::numeric_limits<double>::infinity();
    for (auto _ : state) {
        resetPeakMemory();
        base = std::min(base, tarn::bench::currentMemoryMiB());
        const double cpuStart = processCpuSeconds();
        tarn::bench::uploadInParts(client, bucket, credentials, kKey, file.path(), kFileSize);
        cpu += processCpuSeconds() - cpuStart;
        peak = std::max(peak, peakMemoryMiB());

        // The server need not keep every iteration's copy.
        state.PauseTiming();
        client.deleteObject(kKey, bucket, credentials);
        sha256 += sha256CpuSeconds(file.path());
        state.ResumeTiming();
    }
    const double gib = static_cast<double>(kFileSize) / (1024.0 * kMiB) * static_cast<double>(state.iterations());
    state.counters["cpu_s_per_gib"] = cpu / gib;
    state.counters["sha256_s_per_gib"] = sha256 / gib;
    state.counters["peak_rss_mib"] = peak;
    state.counters["base_rss_mib"] = base;
    state.counters["budget_mib"] = tarn::bench::multipartBudgetMiB(base, plan.concurrency);
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * kFileSize);
}
BENCHMARK(BM_MultipartUpload256MiB)->Unit(benchmark::kSecond)->UseRealTime()->Iterations(3);

}  // namespace
