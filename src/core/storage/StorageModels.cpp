#include "core/storage/StorageModels.h"

#include "core/values/SaturatingSum.h"

namespace tarn {

std::string ObjectPrefix::displayName() const {
    std::size_t end = prefix.find_last_not_of('/');
    if (end == std::string::npos) return prefix;
    const std::size_t separator = prefix.rfind('/', end);
    const std::size_t start = separator == std::string::npos ? 0 : separator + 1;
    return prefix.substr(start, end - start + 1);
}

BucketUsage BucketUsage::of(const std::vector<ObjectItem>& objects) {
    BucketUsage usage;
    usage.add(objects);
    return usage;
}

void BucketUsage::add(const std::vector<ObjectItem>& objects) {
    objectCount = saturatingSum(objectCount, static_cast<std::int64_t>(objects.size()));
    for (const auto& object : objects) totalBytes = saturatingSum(totalBytes, object.size);
}

}  // namespace tarn
