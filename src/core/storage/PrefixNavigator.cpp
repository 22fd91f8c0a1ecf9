#include "core/storage/PrefixNavigator.h"

#include <vector>

namespace tarn::PrefixNavigator {

namespace {

std::string_view trimmedSlashes(std::string_view text) {
    const std::size_t first = text.find_first_not_of('/');
    if (first == std::string_view::npos) return {};
    const std::size_t last = text.find_last_not_of('/');
    return text.substr(first, last - first + 1);
}

// A directory prefix with its closing "/"; the root stays "".
std::string joinedDirectory(std::string_view directory) {
    std::string joined(directory);
    if (!joined.empty() && joined.back() != '/') joined += '/';
    return joined;
}

}  // namespace

std::string parent(std::string_view prefix) {
    std::vector<std::string_view> pieces;
    std::string_view rest = trimmedSlashes(prefix);
    while (!rest.empty()) {
        const std::size_t slash = rest.find('/');
        const std::string_view piece = rest.substr(0, slash);
        if (!piece.empty()) pieces.push_back(piece);
        rest = slash == std::string_view::npos ? std::string_view() : rest.substr(slash + 1);
    }
    if (pieces.size() <= 1) return {};
    std::string result;
    for (std::size_t i = 0; i + 1 < pieces.size(); ++i) {
        result += pieces[i];
        result += '/';
    }
    return result;
}

std::string folderKey(std::string_view name, std::string_view directory) {
    std::string key = joinedDirectory(directory);
    key += trimmedSlashes(name);
    key += '/';
    return key;
}

std::string childObjectKey(std::string_view fileName, std::string_view directory) {
    std::string key = joinedDirectory(directory);
    key += fileName;
    return key;
}

}  // namespace tarn::PrefixNavigator
