#include "core/storage/MultipartPlan.h"

#include "core/storage/FileTooLargeError.h"

#include <algorithm>

namespace tarn::MultipartPlan {

namespace {

// ⌈a / b⌉ for a ≥ 0 and b > 0, without the overflow of (a + b - 1) / b.
std::int64_t ceilingDivision(std::int64_t a, std::int64_t b) {
    return a / b + (a % b != 0 ? 1 : 0);
}

}  // namespace

std::int64_t partCount(std::int64_t fileSize, std::int64_t partSize) {
    return std::max<std::int64_t>(1, ceilingDivision(std::max<std::int64_t>(fileSize, 0), partSize));
}

std::int64_t fittedPartSize(std::int64_t partSize, std::int64_t fileSize) {
    std::int64_t fitted = partSize;
    if (partCount(fileSize, partSize) > kMaxParts) {
        fitted = ceilingDivision(ceilingDivision(fileSize, kMaxParts), kMiB) * kMiB;
    }
    return std::min(fitted, kMaxPartSize);
}

void checkFileSize(std::int64_t fileSize) {
    if (fileSize > kMaxObjectSize) throw FileTooLargeError(fileSize, kMaxObjectSize);
}

std::int64_t partSize(std::int64_t configuredMiB, std::int64_t fileSize) {
    checkFileSize(fileSize);
    // Settings beyond the largest part are cut before they can overflow.
    const std::int64_t mib = std::clamp(configuredMiB, kMinConfiguredPartSizeMiB, kMaxPartSize / kMiB);
    return fittedPartSize(mib * kMiB, fileSize);
}

int concurrency(std::int64_t partSize) {
    if (partSize <= 0) return kMaxConcurrency;
    return static_cast<int>(std::clamp<std::int64_t>(kPartMemoryBudget / partSize, 1, kMaxConcurrency));
}

}  // namespace tarn::MultipartPlan
