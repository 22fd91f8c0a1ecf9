#pragma once

#include "core/storage/StorageModels.h"

#include <string_view>

namespace tarn {

// Reads one page of an object listing (ListObjectsV2). Only the elements of objects,
// folders and paging are looked at; everything else is ignored.
namespace S3ListParser {

// Throws XmlParseError when the answer is not well-formed XML, FaultyListingError
// when it lists an object of negative size. A well-formed answer of another shape
// gives an empty page.
S3Listing parse(std::string_view bytes);

}  // namespace S3ListParser

}  // namespace tarn
