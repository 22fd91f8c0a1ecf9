#pragma once

#include "core/storage/StorageModels.h"

#include <string_view>

namespace tarn {

// Reads one page of unfinished multipart uploads (ListMultipartUploads).
namespace S3MultipartUploadsParser {

// Uploads without a key or an upload ID are dropped. Throws XmlParseError when the
// answer is not well-formed XML.
MultipartUploadListing parse(std::string_view bytes);

}  // namespace S3MultipartUploadsParser

}  // namespace tarn
