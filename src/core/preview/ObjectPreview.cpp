#include "core/preview/ObjectPreview.h"

#include "core/preview/MIMETypeDetector.h"
#include "core/text/AsciiCase.h"

#include <array>
#include <utility>

namespace tarn::ObjectPreview {

namespace {

constexpr std::string_view octetStream = "application/octet-stream";

bool hasExtensionIn(std::string_view key, const ExtensionSet& set) {
    return set.contains(fileExtension(key));
}

std::string effectiveMainType(std::string_view key, std::optional<std::string_view> contentType) {
    return mainType(contentType ? *contentType : std::string_view(inferredContentType(key)));
}

}  // namespace

const ExtensionSet& inlineImagePreviewExtensions() {
    static const ExtensionSet set{"jpg", "jpeg", "png", "gif", "heic", "webp", "tiff", "bmp"};
    return set;
}

const ExtensionSet& inlineTextPreviewExtensions() {
    static const ExtensionSet set{"txt", "md", "markdown", "json", "xml", "csv", "log", "yaml", "yml",
                                  "swift", "js", "ts", "html", "htm", "css", "py", "rb", "go",
                                  "rs", "java", "kt", "c", "cpp", "h", "hpp"};
    return set;
}

const ExtensionSet& inlineMediaPreviewExtensions() {
    static const ExtensionSet set{"mp4", "mov", "m4v", "mp3", "wav", "m4a", "flac"};
    return set;
}

const ExtensionSet& inlinePreviewExtensions() {
    static const ExtensionSet set = [] {
        ExtensionSet all{"pdf"};
        for (const ExtensionSet* part :
             {&inlineImagePreviewExtensions(), &inlineTextPreviewExtensions(), &inlineMediaPreviewExtensions()}) {
            all.insert(part->begin(), part->end());
        }
        return all;
    }();
    return set;
}

const ExtensionSet& glintSpecialExtensions() {
    static const ExtensionSet set{"glintlive", "glintmotion"};
    return set;
}

const std::unordered_set<std::string_view>& textApplicationTypes() {
    static const std::unordered_set<std::string_view> set{
        "application/json", "application/javascript", "application/ecmascript",
        "application/xml", "application/xhtml+xml", "application/x-yaml",
        "application/yaml", "application/x-sh", "application/x-shellscript",
        "application/typescript", "application/x-httpd-php", "application/x-python",
        "application/x-python-code", "application/x-ruby", "application/x-perl",
        "application/sql", "application/graphql", "application/toml",
        "application/x-toml", "application/x-tex", "application/x-latex",
        "application/x-www-form-urlencoded",
    };
    return set;
}

// Empty pieces are skipped, so ";text/plain" still names text/plain. Header
// whitespace around the type is dropped: "application/json ; charset=utf-8" is a
// valid header and still JSON.
std::string mainType(std::string_view contentType) {
    const std::string lowered = AsciiCase::lowercased(contentType);
    std::string_view rest = lowered;
    while (!rest.empty()) {
        const std::size_t semicolon = rest.find(';');
        std::string_view piece = rest.substr(0, semicolon);
        rest = semicolon == std::string_view::npos ? std::string_view() : rest.substr(semicolon + 1);
        if (piece.empty()) continue;
        const std::size_t first = piece.find_first_not_of(" \t");
        if (first == std::string_view::npos) return {};
        piece = piece.substr(first, piece.find_last_not_of(" \t") - first + 1);
        return std::string(piece);
    }
    return {};
}

std::string fileName(std::string_view key) {
    const std::size_t end = key.find_last_not_of('/');
    if (end == std::string_view::npos) return key.empty() ? std::string() : std::string("/");
    const std::size_t slash = key.rfind('/', end);
    const std::size_t start = slash == std::string_view::npos ? 0 : slash + 1;
    return std::string(key.substr(start, end - start + 1));
}

std::string fileExtension(std::string_view key) {
    const std::string name = fileName(key);
    const std::size_t dot = name.rfind('.');
    const std::size_t firstNotDot = name.find_first_not_of('.');
    if (dot == std::string::npos || firstNotDot == std::string::npos || dot < firstNotDot) return {};
    return AsciiCase::lowercased(std::string_view(name).substr(dot + 1));
}

bool supportsInlinePreview(std::string_view key) { return hasExtensionIn(key, inlinePreviewExtensions()); }
bool isInlineImagePreview(std::string_view key) { return hasExtensionIn(key, inlineImagePreviewExtensions()); }
bool isInlineTextPreview(std::string_view key) { return hasExtensionIn(key, inlineTextPreviewExtensions()); }
bool isInlineMediaPreview(std::string_view key) { return hasExtensionIn(key, inlineMediaPreviewExtensions()); }

bool isMarkdownPreview(std::string_view key) {
    const std::string extension = fileExtension(key);
    return extension == "md" || extension == "markdown";
}

bool isHTMLPreview(std::string_view key) {
    const std::string extension = fileExtension(key);
    return extension == "html" || extension == "htm";
}

bool isRenderablePreview(std::string_view key) { return isMarkdownPreview(key) || isHTMLPreview(key); }

std::string inferredContentType(std::string_view key) {
    const auto registered = MIMETypeDetector::registeredType(fileExtension(key));
    return std::string(registered.value_or(octetStream));
}

bool isImageContentType(std::string_view key) { return inferredContentType(key).starts_with("image/"); }

bool isGlintRenderable(std::string_view key, std::optional<std::string_view> contentType) {
    if (!hasExtensionIn(key, glintSpecialExtensions())) return false;
    return effectiveMainType(key, contentType).find("zip") != std::string::npos;
}

bool isProbablyText(std::string_view key, std::optional<std::string_view> contentType) {
    const std::string type = effectiveMainType(key, contentType);
    return type.starts_with("text/") || textApplicationTypes().contains(type);
}

std::string_view previewSystemImage(std::string_view key) {
    static const std::array<std::pair<ExtensionSet, std::string_view>, 6> symbols{{
        {{"jpg", "jpeg", "png", "gif", "heic", "webp", "tiff", "bmp"}, "photo"},
        {{"mp4", "mov", "m4v"}, "film"},
        {{"mp3", "wav", "m4a", "flac"}, "waveform"},
        {{"pdf"}, "doc.richtext"},
        // Unlike the text preview set, "markdown" and "htm" are not here: they show "doc".
        {{"txt", "md", "json", "xml", "csv", "log", "yaml", "yml", "swift", "js", "ts", "html",
          "css", "py", "rb", "go", "rs", "java", "kt", "c", "cpp", "h", "hpp"},
         "doc.text"},
        {{"zip", "gz", "tar", "rar", "7z"}, "archivebox"},
    }};
    const std::string extension = fileExtension(key);
    for (const auto& [extensions, symbol] : symbols) {
        if (extensions.contains(extension)) return symbol;
    }
    return "doc";
}

}  // namespace tarn::ObjectPreview
