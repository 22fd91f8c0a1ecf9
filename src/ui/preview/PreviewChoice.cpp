#include "ui/preview/PreviewChoice.h"

#include "core/preview/ObjectPreview.h"

namespace tarn::PreviewChoice {

std::string mimeType(std::string_view key, const std::optional<std::string>& storedContentType)
{
    return ObjectPreview::mainType(storedContentType ? *storedContentType : ObjectPreview::inferredContentType(key));
}

PreviewKind kind(std::string_view key, const std::optional<std::string>& storedContentType)
{
    const std::string type = mimeType(key, storedContentType);
    // The predicates that take a content type fall back to the inferred one themselves.
    std::optional<std::string_view> stored;
    if (storedContentType) {
        stored = *storedContentType;
    }
    if (ObjectPreview::isInlineMediaPreview(key) || type.starts_with("video/") || type.starts_with("audio/")) {
        return PreviewKind::media;
    }
    if (ObjectPreview::isRenderablePreview(key)) {
        return ObjectPreview::isMarkdownPreview(key) ? PreviewKind::markdown : PreviewKind::html;
    }
    if (ObjectPreview::isGlintRenderable(key, stored) || type.starts_with("image/") ||
        ObjectPreview::isInlineImagePreview(key)) {
        return PreviewKind::image;
    }
    if (type == "application/pdf" || ObjectPreview::fileExtension(key) == "pdf") {
        return PreviewKind::pdf;
    }
    if (type.starts_with("text/") || ObjectPreview::isInlineTextPreview(key) ||
        ObjectPreview::isProbablyText(key, stored)) {
        return PreviewKind::text;
    }
    return PreviewKind::file;
}

int height(PreviewKind kind)
{
    switch (kind) {
    case PreviewKind::media:
        return 260;
    case PreviewKind::markdown:
    case PreviewKind::html:
        return 420;
    case PreviewKind::image:
        return 340;
    case PreviewKind::pdf:
        return 460;
    case PreviewKind::text:
        return 380;
    case PreviewKind::file:
        return 440;
    }
    return 440;
}

}  // namespace tarn::PreviewChoice
