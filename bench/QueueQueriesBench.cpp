#include "app/state/AppState.h"
#include "app/transfers/TransferCenter.h"
#include "core/config/ConfigStore.h"
#include "core/config/KeychainSecretStore.h"
#include "core/storage/S3Client.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <string>

namespace {

using tarn::TransferState;
using tarn::TransferTask;

// The queue of a long session: 10,000 tasks of every kind and state over seven
// folders of two buckets, one of them running.
void fill(tarn::TransferCenter& queue, const tarn::Uuid& shown, const tarn::Uuid& other) {
    constexpr TransferState states[] = {TransferState::succeeded, TransferState::waiting, TransferState::failed,
                                        TransferState::succeeded, TransferState::cancelled};
    for (int i = 0; i < 10'000; ++i) {
        const std::string folder = "dir" + std::to_string(i % 7) + "/";
        const std::string name = "file-" + std::to_string(i) + ".bin";
        TransferTask task;
        task.id = tarn::Uuid::random();
        task.title = name;
        task.bucketID = i % 3 == 0 ? other : shown;
        switch (i % 5) {
        case 0:
        case 1: task.spec = {tarn::UploadSpec{"/home/u/" + name, folder, tarn::UploadConflictMode::replace}}; break;
        case 2: task.spec = {tarn::RenameSpec{folder + name, "moved/" + name, false}}; break;
        case 3: task.spec = {tarn::DownloadSpec{folder + name, "/home/u/Downloads/" + name, false}}; break;
        default: task.spec = {tarn::DeleteSpec{{folder + name}, {}}}; break;
        }
        task.bytesTotal = 1 << 20;
        const tarn::Uuid id = task.id;
        queue.append(std::move(task));
        queue.updateTask(id, [&](TransferTask& added) { added.state = states[(i / 5) % 5]; });
    }
}

// One progress update of the running task, then what the browser asks for its rows
// and the status bar for its progress and failure mark. The views throttle to 100 to
// 200 ms; the queue must stay far below that.
void BM_QueueQueries10k(benchmark::State& state) {
    tarn::ConfigStore configStore;
    tarn::KeychainSecretStore secretStore("app.TarnManager.bench");
    tarn::S3Client client;
    tarn::AppState app(configStore, secretStore, client);
    tarn::TransferCenter& queue = app.transfers();
    const tarn::Uuid shown = tarn::Uuid::random();
    fill(queue, shown, tarn::Uuid::random());
    const tarn::Uuid running = queue.tasks()[5'001].id;
    queue.updateTask(running, [](TransferTask& task) { task.state = TransferState::running; });

    std::int64_t rows = 0;
    const auto start = std::chrono::steady_clock::now();
    for (auto _ : state) {
        queue.updateTask(running, [](TransferTask& task) { task.bytesDone = (task.bytesDone + 4096) % task.bytesTotal; });
        const auto uploads = queue.uploadTasks("dir3/", shown);
        const auto renames = queue.renameTasks("dir3/", shown);
        rows += static_cast<std::int64_t>(uploads.size() + renames.size());
        benchmark::DoNotOptimize(queue.hasActive());
        benchmark::DoNotOptimize(queue.hasUnacknowledgedFailure());
        benchmark::DoNotOptimize(queue.aggregateFraction());
    }
    const std::chrono::duration<double, std::micro> spent = std::chrono::steady_clock::now() - start;
    state.counters["us_per_change"] = spent.count() / static_cast<double>(state.iterations());
    state.counters["rows"] = static_cast<double>(rows) / static_cast<double>(state.iterations());
}
BENCHMARK(BM_QueueQueries10k)->Unit(benchmark::kMicrosecond);

}  // namespace
