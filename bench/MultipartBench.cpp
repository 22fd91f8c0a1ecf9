#include "BenchSupport.h"
#include "S3TestBuckets.h"
#include "TestEnvironment.h"

#include "core/config/ConfigModels.h"
#include "core/storage/MultipartPlan.h"
#include "core/storage/MultipartUploader.h"
#include "core/storage/S3Client.h"

#include <benchmark/benchmark.h>

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

// A 256 MiB file through the whole multipart path at the program's default part size
// and parallelism: create, parts, complete. The client's CPU time (all threads) and
// peak memory are what the program controls; the wall time includes the server's.
void BM_MultipartUpload256MiB(benchmark::State& state) {
    const auto server = tarn::test::s3TestServer();
    if (!server) {
        state.SkipWithError("TARN_TEST_S3_ENDPOINT is not set; start an S3 server (as scripts/test does) to measure");
        return;
    }
    const tarn::BucketConfig bucket = tarn::test::createBucket(*server, "bench-multipart");
    const tarn::S3Credentials credentials = tarn::test::credentialsOf(*server);
    const BenchFile file(kFileSize);
    const std::int64_t partSize = tarn::MultipartPlan::partSize(tarn::AppConfig::defaultMultipartPartSizeMB, kFileSize);
    const int concurrency = tarn::MultipartPlan::concurrency(partSize);
    tarn::S3Client client;

    double cpu = 0;
    double peak = 0;
    for (auto _ : state) {
        resetPeakMemory();
        const double cpuStart = processCpuSeconds();
        const std::string uploadId = client.createMultipartUpload(kKey, bucket, credentials, std::nullopt);
        const tarn::MultipartUploader uploader(client, bucket, credentials, kKey, uploadId, file.path(), kFileSize,
                                               partSize, concurrency);
        const std::vector<tarn::UploadPart> parts = uploader.upload({}, {}, {});
        client.completeMultipartUpload(kKey, uploadId, parts, bucket, credentials);
        cpu += processCpuSeconds() - cpuStart;
        peak = std::max(peak, peakMemoryMiB());

        // The server need not keep every iteration's copy.
        state.PauseTiming();
        client.deleteObject(kKey, bucket, credentials);
        state.ResumeTiming();
    }
    const double gib = static_cast<double>(kFileSize) / (1024.0 * kMiB) * static_cast<double>(state.iterations());
    state.counters["cpu_s_per_gib"] = cpu / gib;
    state.counters["peak_rss_mib"] = peak;
    state.counters["budget_mib"] = static_cast<double>(concurrency * partSize / kMiB + 32);
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * kFileSize);
}
BENCHMARK(BM_MultipartUpload256MiB)->Unit(benchmark::kSecond)->UseRealTime()->Iterations(3);

}  // namespace
