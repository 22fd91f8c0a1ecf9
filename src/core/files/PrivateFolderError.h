#pragma once

#include <exception>
#include <filesystem>
#include <string>

namespace tarn {

// A folder that must be the user's alone is not: someone else could read what the
// program puts there, or make it write somewhere else. Nothing was written into it.
class PrivateFolderError : public std::exception {
public:
    enum class Reason { notADirectory, symbolicLink, wrongOwner, accessibleToOthers };

    PrivateFolderError(Reason reason, std::filesystem::path path);

    Reason reason() const { return m_reason; }
    const std::filesystem::path& path() const { return m_path; }
    const char* what() const noexcept override { return m_description.c_str(); }

private:
    Reason m_reason;
    std::filesystem::path m_path;
    std::string m_description;
};

}  // namespace tarn
