#include "core/storage/DownloadTarget.h"

#include <stdexcept>
#include <string>

namespace tarn::DownloadTarget {

namespace {

[[noreturn]] void refuse(std::string_view relativePath, std::string_view reason) {
    throw std::invalid_argument("\"" + std::string(relativePath) +
                                "\" cannot be saved in the folder: " + std::string(reason) + ".");
}

}  // namespace

std::filesystem::path inFolder(const std::filesystem::path& folder, std::string_view relativePath) {
    if (relativePath.empty()) refuse(relativePath, "it has no file name");
    if (relativePath.front() == '/') refuse(relativePath, "it is an absolute path");
    if (relativePath.back() == '/') refuse(relativePath, "it names a folder, not a file");
    if (relativePath.find('\0') != std::string_view::npos) refuse(relativePath, "it contains a zero byte");

    std::filesystem::path target = folder;
    std::string_view rest = relativePath;
    while (!rest.empty()) {
        const std::size_t slash = rest.find('/');
        const std::string_view piece = rest.substr(0, slash);
        rest = slash == std::string_view::npos ? std::string_view() : rest.substr(slash + 1);
        if (piece.empty()) continue;
        if (piece == "." || piece == "..") refuse(relativePath, "it would lead out of the folder");
        target /= std::string(piece);
    }
    return target;
}

}  // namespace tarn::DownloadTarget
