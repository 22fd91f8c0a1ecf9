#include "core/preview/MIMETypeDetector.h"

#include "core/preview/MIMETypeOverlay.h"
#include "core/preview/MIMETypeTable.h"
#include "core/preview/ObjectPreview.h"

#include <unordered_map>

namespace tarn::MIMETypeDetector {

namespace {

using TypeMap = std::unordered_map<std::string_view, std::string_view>;

const TypeMap& registry() {
    static const TypeMap map = [] {
        TypeMap built;
        for (const auto& entry : MIMETypeTable::entries()) built.emplace(entry.extension, entry.type);
        for (const auto& entry : MIMETypeOverlay::entries()) built.insert_or_assign(entry.extension, entry.type);
        return built;
    }();
    return map;
}

// Types worth getting right even if the registered list ever lacks them.
const TypeMap& fallback() {
    static const TypeMap map{
        {"js", "text/javascript"}, {"json", "application/json"}, {"svg", "image/svg+xml"},
        {"webp", "image/webp"},    {"md", "text/markdown"},      {"csv", "text/csv"},
    };
    return map;
}

std::optional<std::string_view> lookup(const TypeMap& map, std::string_view extension) {
    const auto found = map.find(extension);
    if (found == map.end()) return std::nullopt;
    return found->second;
}

}  // namespace

std::optional<std::string_view> registeredType(std::string_view extension) {
    if (extension.empty()) return std::nullopt;
    return lookup(registry(), extension);
}

std::string contentType(const std::filesystem::path& file) {
    // Local names follow the same rules as keys: "/" separates, leading dots hide.
    const std::string extension = ObjectPreview::fileExtension(file.generic_string());
    if (extension.empty()) return "application/octet-stream";
    const auto type = registeredType(extension);
    if (type) return std::string(*type);
    return std::string(lookup(fallback(), extension).value_or("application/octet-stream"));
}

}  // namespace tarn::MIMETypeDetector
