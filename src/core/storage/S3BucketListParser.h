#pragma once

#include "core/storage/StorageModels.h"

#include <string_view>
#include <vector>

namespace tarn {

// Reads the bucket list of an account (ListBuckets), with the per-bucket totals that
// the maker's service adds in elements whose names end in "Bytes" and "Files".
namespace S3BucketListParser {

// The buckets in document order; services without totals give 0 and 0. Throws
// XmlParseError when the answer is not well-formed XML.
std::vector<S3BucketInfo> parse(std::string_view bytes);

}  // namespace S3BucketListParser

}  // namespace tarn
