#include "core/storage/FileChangedError.h"

#include <system_error>

namespace tarn {

namespace {

class FileChangedCategory : public std::error_category {
public:
    const char* name() const noexcept override { return "file changed"; }
    std::string message(int) const override { return "the file changed while it was read"; }
};

std::error_code changedCode() {
    static const FileChangedCategory category;
    return {1, category};
}

}  // namespace

FileChangedError::FileChangedError(const std::filesystem::path& path, const std::string& detail)
    : std::filesystem::filesystem_error(
          detail.empty() ? "Could not send the file" : "Could not send the file (" + detail + ")", path, changedCode()) {}

}  // namespace tarn
