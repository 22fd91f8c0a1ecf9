#pragma once

#include <filesystem>
#include <string>

namespace tarn::bench {

// A folder of its own in the temporary folder ("tarn-bench-STEM-XXXXXX"), removed
// with everything in it when the object goes.
class ScratchFolder {
public:
    explicit ScratchFolder(const std::string& stem);
    ~ScratchFolder();
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    const std::filesystem::path& path() const { return m_path; }

private:
    std::filesystem::path m_path;
};

}  // namespace tarn::bench
