#pragma once

#include <cstdint>

namespace tarn {

// The sizes of a multipart upload within the limits of S3: at most 10,000 parts, at
// most 5 GiB per part, at most 5 TiB per object. Parts other than the last must hold
// at least 5 MiB, which the sizes chosen here always do.
namespace MultipartPlan {

constexpr std::int64_t kMiB = 1024 * 1024;
constexpr int kMaxParts = 10000;
constexpr std::int64_t kMaxPartSize = 5 * 1024 * kMiB;
constexpr std::int64_t kMaxObjectSize = 5 * 1024 * 1024 * kMiB;
// The least part size the settings may ask for.
constexpr std::int64_t kMinConfiguredPartSizeMiB = 10;
// The most bytes of parts held in memory at once.
constexpr std::int64_t kPartMemoryBudget = 256 * kMiB;
constexpr int kMaxConcurrency = 4;

// Number of parts of a file: at least 1 (an empty file is one empty part).
// `partSize` must be positive.
std::int64_t partCount(std::int64_t fileSize, std::int64_t partSize);

// `partSize`, raised when the file would need more than 10,000 parts to the smallest
// whole number of MiB that keeps it at 10,000 or fewer, and never above 5 GiB.
// `partSize` must be positive.
std::int64_t fittedPartSize(std::int64_t partSize, std::int64_t fileSize);

// Throws FileTooLargeError for a file larger than one object may be.
void checkFileSize(std::int64_t fileSize);

// The part size for a file when the settings ask for `configuredMiB`: at least
// 10 MiB, fitted to the part limits. Throws FileTooLargeError as checkFileSize.
std::int64_t partSize(std::int64_t configuredMiB, std::int64_t fileSize);

// Parts in flight at once: as many as fit in 256 MiB, between 1 and 4; 4 for a
// part size that is not positive.
int concurrency(std::int64_t partSize);

}  // namespace MultipartPlan

}  // namespace tarn
