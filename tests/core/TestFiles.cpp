#include "TestFiles.h"

#include <stdlib.h>

#include <fstream>
#include <iterator>
#include <stdexcept>

namespace tarn::test {

std::string readFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw std::runtime_error("cannot read " + path.string());
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void writeFile(const std::filesystem::path& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << bytes;
    if (!out) throw std::runtime_error("cannot write " + path.string());
}

std::string readTestData(const std::string& relativePath) {
    const std::filesystem::path path = std::filesystem::path(TARN_TEST_DATA_DIR) / relativePath;
    if (!std::filesystem::is_regular_file(path)) throw std::runtime_error("missing fixture " + path.string());
    return readFile(path);
}

TemporaryFolder::TemporaryFolder() {
    std::string pattern = (std::filesystem::temp_directory_path() / "tarn-test.XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("cannot create a temporary folder");
    m_path = pattern;
}

TemporaryFolder::~TemporaryFolder() {
    std::error_code ignored;
    // A test may leave a folder without write permission behind.
    std::filesystem::permissions(m_path, std::filesystem::perms::owner_all, ignored);
    for (const auto& entry : std::filesystem::recursive_directory_iterator(m_path, ignored)) {
        if (entry.is_directory(ignored)) {
            std::filesystem::permissions(entry.path(), std::filesystem::perms::owner_all, ignored);
        }
    }
    std::filesystem::remove_all(m_path, ignored);
}

}  // namespace tarn::test
