#pragma once

#include <cstdint>

namespace tarn {

// How one file goes up in parts: the part size, the number of parts and how many are
// in flight at once. Within the limits of S3 (at most 10,000 parts, at most 5 GiB per
// part, at most 5 TiB per object; parts other than the last of at least 5 MiB, which
// the sizes chosen here always are) and within a memory budget: every part in flight
// is held in memory, so parts in flight × part size stays within it.
struct MultipartPlan {
    static constexpr std::int64_t kMiB = 1024 * 1024;
    static constexpr int kMaxParts = 10000;
    static constexpr std::int64_t kMaxPartSize = 5 * 1024 * kMiB;
    static constexpr std::int64_t kMaxObjectSize = 5 * 1024 * 1024 * kMiB;
    // The least part size the settings may ask for.
    static constexpr std::int64_t kMinConfiguredPartSizeMiB = 10;
    // The most bytes of parts held in memory at once.
    static constexpr std::int64_t kPartMemoryBudget = 256 * kMiB;
    // The most parts in flight at once, however small they are.
    static constexpr int kMaxConcurrency = 4;

    std::int64_t partSize = 0;
    int partCount = 0;
    // Never below 1.
    int concurrency = 1;

    // The plan for a file of `fileSize` bytes when parts of `partSize` bytes, and
    // `concurrency` of them at once, are asked for. The part size grows when the
    // file would need more than 10,000 parts (fittedPartSize); then fewer parts go at
    // once, as many as fit in `memoryBudget`, but never fewer than one. A part size
    // that is already fitted (a resumed upload's) stays as it is. Throws
    // FileTooLargeError for a file larger than one object may be, and
    // std::invalid_argument for a part size that is not positive or a negative file
    // size.
    static MultipartPlan make(std::int64_t fileSize, std::int64_t partSize, int concurrency,
                              std::int64_t memoryBudget = kPartMemoryBudget);
    // What the settings ask for: parts of `configuredMiB` (at least 10 MiB), at most
    // four at once, within 256 MiB.
    static MultipartPlan forSettings(std::int64_t fileSize, std::int64_t configuredMiB);

    // Number of parts of a file: at least 1 (an empty file is one empty part).
    // `partSize` must be positive.
    static std::int64_t countParts(std::int64_t fileSize, std::int64_t partSize);
    // `partSize`, raised when the file would need more than 10,000 parts to the
    // smallest whole number of MiB that keeps it at 10,000 or fewer, and never above
    // 5 GiB. `partSize` must be positive.
    static std::int64_t fittedPartSize(std::int64_t partSize, std::int64_t fileSize);
    // Throws FileTooLargeError for a file larger than one object may be.
    static void checkFileSize(std::int64_t fileSize);

    bool operator==(const MultipartPlan&) const = default;
};

}  // namespace tarn
