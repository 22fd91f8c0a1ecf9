#include "core/storage/MultipartPlan.h"

#include "core/storage/FileTooLargeError.h"

#include <algorithm>
#include <stdexcept>

namespace tarn {

namespace {

// ⌈a / b⌉ for a ≥ 0 and b > 0, without the overflow of (a + b - 1) / b.
std::int64_t ceilingDivision(std::int64_t a, std::int64_t b) {
    return a / b + (a % b != 0 ? 1 : 0);
}

}  // namespace

MultipartPlan MultipartPlan::make(std::int64_t fileSize, std::int64_t partSize, int concurrency,
                                  std::int64_t memoryBudget) {
    if (partSize <= 0) throw std::invalid_argument("part size must be positive");
    if (fileSize < 0) throw std::invalid_argument("file size must not be negative");
    checkFileSize(fileSize);
    MultipartPlan plan;
    plan.partSize = fittedPartSize(partSize, fileSize);
    // At most 10,000 within the object size limit.
    plan.partCount = static_cast<int>(countParts(fileSize, plan.partSize));
    const std::int64_t fitting = std::max<std::int64_t>(memoryBudget, 0) / plan.partSize;
    plan.concurrency = static_cast<int>(std::max<std::int64_t>(1, std::min<std::int64_t>(concurrency, fitting)));
    return plan;
}

MultipartPlan MultipartPlan::forSettings(std::int64_t fileSize, std::int64_t configuredMiB) {
    // Settings beyond the largest part are cut before they can overflow.
    const std::int64_t mib = std::clamp(configuredMiB, kMinConfiguredPartSizeMiB, kMaxPartSize / kMiB);
    return make(fileSize, mib * kMiB, kMaxConcurrency);
}

std::int64_t MultipartPlan::countParts(std::int64_t fileSize, std::int64_t partSize) {
    return std::max<std::int64_t>(1, ceilingDivision(std::max<std::int64_t>(fileSize, 0), partSize));
}

std::int64_t MultipartPlan::fittedPartSize(std::int64_t partSize, std::int64_t fileSize) {
    std::int64_t fitted = partSize;
    if (countParts(fileSize, partSize) > kMaxParts) {
        fitted = ceilingDivision(ceilingDivision(fileSize, kMaxParts), kMiB) * kMiB;
    }
    return std::min(fitted, kMaxPartSize);
}

void MultipartPlan::checkFileSize(std::int64_t fileSize) {
    if (fileSize > kMaxObjectSize) throw FileTooLargeError(fileSize, kMaxObjectSize);
}

}  // namespace tarn
