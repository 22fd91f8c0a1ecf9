#include "BenchSupport.h"
#include "S3TestBuckets.h"
#include "TestEnvironment.h"

#include "core/config/ConfigModels.h"
#include "core/storage/S3Client.h"

#include <benchmark/benchmark.h>

#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <string>

namespace {

using tarn::bench::BenchFile;
using tarn::bench::peakMemoryMiB;
using tarn::bench::processCpuSeconds;
using tarn::bench::resetPeakMemory;

constexpr std::int64_t kMiB = 1024 * 1024;
constexpr std::int64_t kObjectSize = 256 * kMiB;
constexpr const char* kKey = "bench/download-256MiB.bin";

// A 256 MiB object saved to a file the way the transfer queue saves downloads: in a
// staged file beside the target, flushed to disk and renamed into place. The client's
// CPU time and peak memory are what the program controls (the object must never be
// held in memory); the wall time includes the server's.
void BM_Download256MiB(benchmark::State& state) {
    const auto server = tarn::bench::serverOrSkip(state);
    if (!server) return;
    const tarn::BucketConfig bucket = tarn::test::createBucket(*server, "bench-download");
    const tarn::S3Credentials credentials = tarn::test::credentialsOf(*server);
    tarn::S3Client client;
    {
        const BenchFile source(kObjectSize);
        client.upload(source.path(), bucket, credentials, kKey);
    }
    const std::filesystem::path target =
        std::filesystem::temp_directory_path() / ("tarn-bench-download-" + std::to_string(::getpid()) + ".bin");

    double cpu = 0;
    double peak = 0;
    for (auto _ : state) {
        resetPeakMemory();
        const double cpuStart = processCpuSeconds();
        client.downloadToFile(kKey, target, bucket, credentials);
        cpu += processCpuSeconds() - cpuStart;
        peak = std::max(peak, peakMemoryMiB());

        state.PauseTiming();
        std::filesystem::remove(target);
        state.ResumeTiming();
    }
    client.deleteObject(kKey, bucket, credentials);
    const double gib = static_cast<double>(kObjectSize) / (1024.0 * kMiB) * static_cast<double>(state.iterations());
    state.counters["cpu_s_per_gib"] = cpu / gib;
    state.counters["peak_rss_mib"] = peak;
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * kObjectSize);
}
BENCHMARK(BM_Download256MiB)->Unit(benchmark::kSecond)->UseRealTime()->Iterations(5);

}  // namespace
