#pragma once

#include <filesystem>
#include <string>

namespace tarn::test {

// The bytes of a fixture under tests/data, e.g. readTestData("xml/list-page.xml").
std::string readTestData(const std::string& relativePath);

// The bytes of any file; empty when it cannot be read.
std::string readFile(const std::filesystem::path& path);

// A fresh private folder under the temporary directory, removed with the object.
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
