#pragma once

#include "TestEnvironment.h"

#include <QElapsedTimer>
#include <QTimer>
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace tarn {
class S3Client;
struct BucketConfig;
struct S3Credentials;
struct StorageProfile;
}  // namespace tarn

// What the storage benchmarks measure, and the files they move.
namespace tarn::bench {

// An account "Bench" of the test server, with a fresh ID, holding `bucketName`.
StorageProfile benchProfile(const test::S3TestServer& server, const std::string& bucketName);

// Ends a benchmark that cannot measure here because a service it needs is missing
// (no test server, no keyring): the program reports it as skipped, not failed.
// Anything else that stops a benchmark is an error (state.SkipWithError), and the
// program then exits with a failure.
void skip(benchmark::State& state, std::string_view reason);
// The reason of a run ended by skip(); none for an error.
std::optional<std::string> skipReason(std::string_view errorMessage);

// The test server (TARN_TEST_S3_ENDPOINT), or none after skipping the benchmark.
std::optional<test::S3TestServer> serverOrSkip(benchmark::State& state);
// Whether a keyring serves the session (as scripts/lib/with-keyring provides); false
// after skipping the benchmark.
bool keyringOrSkip(benchmark::State& state);

// Runs the event loop, sleeping in it between events, until `done` holds after one;
// false once `limit` has passed. No timer wakes the program more than a few times a
// second meanwhile, so that waiting costs next to nothing of what a benchmark measures.
bool waitInEventLoop(const std::function<bool()>& done, std::chrono::milliseconds limit);

// CPU time of the whole process (all threads, user and kernel) so far, in seconds.
double processCpuSeconds();

// CPU time of the calling thread so far, in seconds.
double threadCpuSeconds();

// How often the calling thread has given up the processor so far, waiting or made to:
// each time it then runs again is a wake-up.
long threadSwitches();

// Starts a new peak-memory measurement: the peak resident size drops to the current
// one, so what earlier benchmarks of the program used does not count.
void resetPeakMemory();

// The process's peak resident memory in MiB (VmHWM).
double peakMemoryMiB();
// The process's resident memory now, in MiB (VmRSS).
double currentMemoryMiB();

// The most a multipart upload of `concurrency` part threads may bring the process's
// resident memory to from `baseMiB`: a piece per part thread, and room for the
// threads, their connections and buffers.
double multipartBudgetMiB(double baseMiB, int concurrency);

// How long the main thread's event loop is held up while it runs: a precise timer
// ticks every few milliseconds, and the longest gap between two ticks is the longest
// stall by the wall clock (goal: 16 ms, one frame), with the main thread's own CPU
// time over that gap beside it (without what a loaded machine gave to others).
class StallWatch {
public:
    explicit StallWatch(int tickMilliseconds = 5);

    void start();
    void stop();
    double longestStallMs() const { return static_cast<double>(m_longestGap) / 1e6; }
    double longestBusyMs() const { return m_longestBusy * 1e3; }

private:
    void tick();

    int m_tickMilliseconds;
    QTimer m_timer;
    QElapsedTimer m_clock;
    qint64 m_lastTick = -1;
    qint64 m_longestGap = 0;
    double m_lastCpu = 0;
    double m_longestBusy = 0;
};

// One file through the core's multipart path at the program's default part size and
// parallelism, as the queue would send it: create, parts, complete.
void uploadInParts(S3Client& client, const BucketConfig& bucket, const S3Credentials& credentials,
                   const std::string& key, const std::filesystem::path& file, std::int64_t size);

// A file of random bytes in the temporary folder, written a MiB at a time so that
// making it raises no peak; removed with the object.
class BenchFile {
public:
    explicit BenchFile(std::int64_t size);
    ~BenchFile();
    BenchFile(const BenchFile&) = delete;
    BenchFile& operator=(const BenchFile&) = delete;

    const std::filesystem::path& path() const { return m_path; }

private:
    std::filesystem::path m_path;
};

}  // namespace tarn::bench
