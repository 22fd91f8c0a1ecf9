#pragma once

#include "core/storage/UploadPart.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tarn {

// The small XML texts the storage client writes and reads without a full parse.
namespace S3XmlBodies {

// The body of a multi-object delete in quiet mode, keys in the given order, UTF-8,
// without line breaks. The caller cuts the list into batches.
std::string buildDeleteXML(const std::vector<std::string>& keys);

// The body of a multipart completion: the parts in ascending order, each ETag as the
// server sent it (quotes kept), escaped only where it would break the document. No
// declaration, namespace or white space.
std::string buildCompleteMultipartUploadXML(std::vector<UploadPart> parts);

// The text between the first "<tag>" and the first "</tag>" of `bytes`, exactly as
// it stands (no trimming, no entity decoding). Absent when the bytes are not UTF-8,
// a tag is missing, or the closing tag comes first. The opening tag is matched
// literally, so attributes or a namespace prefix defeat it.
std::optional<std::string> xmlValue(std::string_view bytes, std::string_view tag);

}  // namespace S3XmlBodies

}  // namespace tarn
