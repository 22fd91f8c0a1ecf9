#include "BenchSupport.h"
#include "S3TestBuckets.h"
#include "TestEnvironment.h"

#include "core/storage/S3Client.h"

#include <benchmark/benchmark.h>

#include <cstdio>

namespace {

constexpr int kFolderSize = 10000;

// One bucket with a folder of 10,000 objects, made once per run of the program.
const tarn::BucketConfig& folderBucket(const tarn::test::S3TestServer& server) {
    static const tarn::BucketConfig bucket = [&] {
        tarn::BucketConfig created = tarn::test::createBucket(server, "bench-list");
        std::vector<std::string> keys;
        char name[48];
        for (int i = 0; i < kFolderSize; ++i) {
            std::snprintf(name, sizeof name, "folder/photo-%05d.jpg", i);
            keys.emplace_back(name);
        }
        tarn::test::putObjects(server, created, keys);
        return created;
    }();
    return bucket;
}

// Every page of a large folder through the whole client: signing, exchange, parsing.
// The client's CPU time is the part the program controls; the wall time includes
// the server's.
void BM_ListFolder10000(benchmark::State& state) {
    const auto server = tarn::bench::serverOrSkip(state);
    if (!server) return;
    const tarn::BucketConfig& bucket = folderBucket(*server);
    const tarn::S3Credentials credentials = tarn::test::credentialsOf(*server);
    tarn::S3Client client;
    double cpu = 0;
    double wall = 0;
    for (auto _ : state) {
        const double cpuStart = tarn::bench::threadCpuSeconds();
        const auto wallStart = std::chrono::steady_clock::now();
        const std::vector<tarn::ObjectItem> objects = client.listObjects(bucket, credentials, "folder/");
        cpu += tarn::bench::threadCpuSeconds() - cpuStart;
        wall += std::chrono::duration<double>(std::chrono::steady_clock::now() - wallStart).count();
        if (objects.size() != kFolderSize) state.SkipWithError("the folder did not list in full");
        benchmark::DoNotOptimize(objects);
    }
    state.counters["client_cpu_ms"] = benchmark::Counter(cpu * 1e3, benchmark::Counter::kAvgIterations);
    state.counters["wall_ms"] = benchmark::Counter(wall * 1e3, benchmark::Counter::kAvgIterations);
}
BENCHMARK(BM_ListFolder10000)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

}  // namespace
