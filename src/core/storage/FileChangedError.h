#pragma once

#include <filesystem>
#include <string>

namespace tarn {

// A local file that changed while it was being sent: it ended sooner, grew, or gave
// other bytes than when it was measured. No errno stands for that (the system read
// nothing wrong), so it has an error code of its own; sending it again once nothing
// writes to it succeeds.
class FileChangedError : public std::filesystem::filesystem_error {
public:
    // `detail`, when given, says what was found (for the log).
    explicit FileChangedError(const std::filesystem::path& path, const std::string& detail = {});
};

}  // namespace tarn
