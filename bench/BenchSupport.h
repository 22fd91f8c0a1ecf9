#pragma once

#include <cstdint>
#include <filesystem>
#include <string>

namespace tarn {
class S3Client;
struct BucketConfig;
struct S3Credentials;
}  // namespace tarn

// What the storage benchmarks measure, and the files they move.
namespace tarn::bench {

// CPU time of the whole process (all threads, user and kernel) so far, in seconds.
double processCpuSeconds();

// CPU time of the calling thread so far, in seconds.
double threadCpuSeconds();

// Starts a new peak-memory measurement: the peak resident size drops to the current
// one, so what earlier benchmarks of the program used does not count.
void resetPeakMemory();

// The process's peak resident memory in MiB (VmHWM).
double peakMemoryMiB();

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
