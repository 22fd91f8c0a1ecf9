#pragma once

#include <filesystem>
#include <string>

namespace tarn::test {

// The bytes of a fixture under tests/data, e.g. readTestData("xml/list-page.xml").
std::string readTestData(const std::string& relativePath);

// Whole-file helpers for fixtures and checks; both throw when the file cannot be used.
std::string readFile(const std::filesystem::path& path);
void writeFile(const std::filesystem::path& path, const std::string& bytes);

// A fresh private folder under the temporary directory, removed with everything in
// it when the object goes away.
class TemporaryFolder {
public:
    TemporaryFolder();
    ~TemporaryFolder();
    TemporaryFolder(const TemporaryFolder&) = delete;
    TemporaryFolder& operator=(const TemporaryFolder&) = delete;

    const std::filesystem::path& path() const { return m_path; }

private:
    std::filesystem::path m_path;
};

}  // namespace tarn::test
