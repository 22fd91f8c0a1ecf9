#include "core/storage/MultipartSession.h"

#include <sys/stat.h>

#include <chrono>

namespace tarn {

MultipartSession::FileStamp MultipartSession::FileStamp::of(const std::filesystem::path& path) {
    struct stat attributes {};
    if (::stat(path.c_str(), &attributes) != 0) return {};
    const auto modified = std::chrono::seconds(attributes.st_mtim.tv_sec) +
                          std::chrono::nanoseconds(attributes.st_mtim.tv_nsec);
    return {static_cast<std::int64_t>(attributes.st_size),
            TimePoint(std::chrono::duration_cast<TimePoint::duration>(modified))};
}

bool MultipartSession::canResume(const std::string& itemKey, const FileStamp& file,
                                 const std::set<std::string>& avoiding) const {
    return this->itemKey == itemKey && this->file.size == file.size && this->file.modified == file.modified &&
           !avoiding.contains(key);
}

}  // namespace tarn
