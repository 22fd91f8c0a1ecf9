#pragma once

#include "core/storage/DeleteObjectsError.h"

#include <string_view>
#include <vector>

namespace tarn {

// Reads the answer to a multi-object delete (DeleteResult).
namespace S3DeleteResultParser {

// The keys listed under <Error>, in document order; keys listed as deleted are not
// returned. An empty answer (white space at most) lists no failures. Throws XmlParseError when the answer is not well-formed XML and
// S3Error::unexpectedResponse when its root is not DeleteResult, since such an
// answer says nothing about what was deleted.
std::vector<DeleteFailure> failures(std::string_view bytes);

}  // namespace S3DeleteResultParser

}  // namespace tarn
