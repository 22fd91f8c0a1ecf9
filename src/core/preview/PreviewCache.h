#pragma once

#include "core/values/IsoDate.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace tarn {

// Names of cached preview downloads. One object version always maps to the same
// file, and a changed object to a new one, so a stale preview is never shown and a
// fresh one is never fetched twice.
namespace PreviewCache {

// 64 lower-case hexadecimal digits of a SHA-256 over the key and the object's
// version (its ETag, or else its size and modification second), followed by "."
// and the key's extension when that is short, plain ASCII ("photo.JPG" -> ".jpg").
std::string fileName(std::string_view key, std::int64_t size, std::optional<TimePoint> lastModified,
                     const std::optional<std::string>& eTag);

// The bare tag: outer spaces and tabs, a weak "W/" prefix and outer quotes removed.
// Servers and proxies hand the same tag back in all of these forms.
std::string normalizedETag(const std::optional<std::string>& eTag);

}  // namespace PreviewCache

}  // namespace tarn
