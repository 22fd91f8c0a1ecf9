#pragma once

#include "ui/preview/PreviewKind.h"

#include <optional>
#include <string>
#include <string_view>

namespace tarn {

// Which view shows an object, from its key and the content type it was stored with
// (the details' one; absent while the details are unknown or carry none). Pure: no
// widget is made, so the choice is tested on its own.
namespace PreviewChoice {

// The type the choice goes by: the stored content type when there is one, else the
// type inferred from the key's extension; its parameters cut off, trimmed and
// lower-cased ("Video/MP4; codecs=avc1" gives "video/mp4").
std::string mimeType(std::string_view key, const std::optional<std::string>& storedContentType);

// The first rule that holds: media by extension or by an audio or video type; a
// Markdown or HTML file name; an image-service format, an image type or an image
// extension; PDF by type or extension; text by type, by extension or by a text-like
// stored type; otherwise the file card.
PreviewKind kind(std::string_view key, const std::optional<std::string>& storedContentType);

// The height of each view in the preview card; its width comes from the card.
int height(PreviewKind kind);

}  // namespace PreviewChoice

}  // namespace tarn
