#include "ScratchFolder.h"

#include <stdlib.h>

#include <stdexcept>
#include <system_error>

namespace tarn::bench {

ScratchFolder::ScratchFolder(const std::string& stem) {
    std::string pattern = (std::filesystem::temp_directory_path() / ("tarn-bench-" + stem + "-XXXXXX")).native();
    if (::mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("cannot make a scratch folder");
    m_path = pattern;
}

ScratchFolder::~ScratchFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(m_path, ignored);
}

}  // namespace tarn::bench
