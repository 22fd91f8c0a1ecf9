#include "BenchSupport.h"

#include "core/LoopbackHttpServer.h"
#include "core/storage/CancelledError.h"
#include "core/storage/S3Client.h"
#include "core/storage/StorageModels.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <functional>
#include <optional>
#include <stop_token>
#include <string>

namespace {

using tarn::test::LoopbackHttpServer;
using tarn::test::RecordedRequest;

constexpr int kObjectsPerPage = 1000;

// A server whose listing never ends: every page holds 1,000 objects and names a
// next page, as a broken or hostile server may.
std::string endlessPage(const std::string& nextToken) {
    static const std::string contents = [] {
        std::string xml;
        for (int i = 0; i < kObjectsPerPage; ++i) {
            xml += "<Contents><Key>photos/2024/holiday/IMG_" + std::to_string(100000 + i) +
                   ".jpg</Key><LastModified>2024-05-01T10:00:00.000Z</LastModified>"
                   "<ETag>\"0123456789abcdef0123456789abcdef\"</ETag><Size>2345678</Size>"
                   "<StorageClass>STANDARD</StorageClass></Contents>";
        }
        return xml;
    }();
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?><ListBucketResult><Name>endless</Name>" + contents +
           "<IsTruncated>true</IsTruncated><NextContinuationToken>" + nextToken +
           "</NextContinuationToken></ListBucketResult>";
}

// The usage count, page by page, over a listing that never ends, stopped after the
// given number of pages: its memory must not grow with the pages (peak_mib the same
// for every count), only its time.
void BM_UsageCountOfEndlessPages(benchmark::State& state) {
    const int pages = static_cast<int>(state.range(0));
    LoopbackHttpServer server([](const RecordedRequest& request) {
        return LoopbackHttpServer::answer(200, {{"Content-Type", "application/xml"}},
                                          endlessPage("token-" + std::to_string(request.target.size()) + "-" +
                                                      std::to_string(std::hash<std::string>{}(request.target))));
    });
    server.setRecording(false);
    const tarn::BucketConfig bucket{
        .bucketName = "endless", .endpoint = *tarn::Url::parse(server.endpoint()), .region = "us-east-1"};
    tarn::S3Client client;
    double peak = 0;
    for (auto _ : state) {
        tarn::bench::resetPeakMemory();
        tarn::BucketUsage usage;
        int seen = 0;
        std::stop_source stop;
        const tarn::S3Client::PageHandler count = [&](tarn::S3Listing& page) {
            usage.add(page.objects);
            if (++seen == pages) stop.request_stop();
        };
        try {
            client.forEachPage(bucket, {"AKIDEXAMPLE", "secret"}, "", std::nullopt, count, stop.get_token());
        } catch (const tarn::CancelledError&) {
        }
        if (usage.objectCount != static_cast<std::int64_t>(pages) * kObjectsPerPage) {
            state.SkipWithError("the count did not see every page");
        }
        peak = std::max(peak, tarn::bench::peakMemoryMiB());
    }
    state.counters["peak_mib"] = peak;
    state.counters["pages"] = pages;
}
BENCHMARK(BM_UsageCountOfEndlessPages)->Arg(100)->Arg(1000)->Arg(5000)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);

}  // namespace
