#pragma once

#include "app/transfers/TransferSpec.h"
#include "core/config/ConfigModels.h"
#include "core/storage/StorageModels.h"

#include <stop_token>
#include <string>
#include <string_view>

namespace tarn {

class S3Client;
class S3Error;

// What makes a rename or move safe to carry out, checked by the state before it
// queues one and again by the runner: S3 moves are a copy and a delete per key, so
// a bad destination scrambles a tree or replaces someone's object without asking.
namespace RenameRules {

// Whether a typed destination may be a key: no empty piece and no "." or ".."
// piece. A folder's prefix may end in one "/".
bool isValidKeyPath(std::string_view key, bool isFolder);

// The prefix as a folder's: ending in "/".
std::string folderPrefix(std::string prefix);

// The key an object moved to `destination` gets: a destination ending in "/" names
// the folder it goes into under its own name.
std::string objectDestination(const std::string& source, const std::string& destination);

// Whether a folder moved from `source` to `destination` (both ending in "/") would
// land inside itself, or on itself.
bool movesIntoItself(std::string_view source, std::string_view destination);

// Whether the server says there is no such object.
bool isNotFound(const S3Error& error);

// Whether the destination already holds something: the object at its key, or for a
// folder any key below its prefix. Blocking; throws what the client throws.
bool destinationExists(S3Client& client, const BucketConfig& bucket, const S3Credentials& credentials,
                       const RenameSpec& rename, std::stop_token stop);

}  // namespace RenameRules

}  // namespace tarn
