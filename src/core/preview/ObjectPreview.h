#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <unordered_set>

namespace tarn {

// How an object can be previewed and which symbol and content type it has, decided
// from its key alone (and, where given, the content type the object was stored
// with). Pure and safe from any thread; pass `ObjectItem::key` or any object key.
namespace ObjectPreview {

using ExtensionSet = std::unordered_set<std::string_view>;

// Lower-case extensions without the dot.
const ExtensionSet& inlineImagePreviewExtensions();
const ExtensionSet& inlineTextPreviewExtensions();
const ExtensionSet& inlineMediaPreviewExtensions();
// The three above and "pdf".
const ExtensionSet& inlinePreviewExtensions();
// The image service's own formats; both are zip containers.
const ExtensionSet& glintSpecialExtensions();
// Content types outside "text/" whose bodies are still readable text.
const std::unordered_set<std::string_view>& textApplicationTypes();

// The media type without its parameters, trimmed and lower-cased:
// "Video/MP4; codecs=avc1" -> "video/mp4"; "" when no type is left.
std::string mainType(std::string_view contentType);

// The last path component; trailing "/" are ignored, so a folder key gives the
// folder's name ("a/b/" -> "b"). A key of only "/" gives "/", the empty key "".
std::string fileName(std::string_view key);

// The part of the file name after its last dot, lower-cased (ASCII); "" when there
// is none. Leading dots hide a file rather than extend it: ".env" and "..md" have
// none, and neither has "file.".
std::string fileExtension(std::string_view key);

bool supportsInlinePreview(std::string_view key);
bool isInlineImagePreview(std::string_view key);
bool isInlineTextPreview(std::string_view key);
bool isInlineMediaPreview(std::string_view key);
bool isMarkdownPreview(std::string_view key);
bool isHTMLPreview(std::string_view key);
bool isRenderablePreview(std::string_view key);  // Markdown or HTML

// The registered type of the extension, or "application/octet-stream".
std::string inferredContentType(std::string_view key);
bool isImageContentType(std::string_view key);

// The content type is the one the object was stored with; without one the
// inferred type stands in. Parameters after the main type do not count.
bool isGlintRenderable(std::string_view key, std::optional<std::string_view> contentType = std::nullopt);
bool isProbablyText(std::string_view key, std::optional<std::string_view> contentType = std::nullopt);

// The name of the symbol the browser shows for the object ("photo", "film",
// "waveform", "doc.richtext", "doc.text", "archivebox", or "doc").
std::string_view previewSystemImage(std::string_view key);

}  // namespace ObjectPreview

}  // namespace tarn
