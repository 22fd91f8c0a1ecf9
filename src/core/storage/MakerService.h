#pragma once

#include "core/values/Url.h"

#include <string_view>

namespace tarn {

// What sets the maker's own storage service apart from other S3-compatible ones.
namespace MakerService {

// Every endpoint of the maker's service lies in this domain.
inline constexpr std::string_view storageDomain = "corvane.example";

// Whether the endpoint's host is the storage domain or a name inside it (letter
// case and a final dot do not matter). Only such a server knows the maker's
// extensions, such as moving an object by a copy.
bool isStorageEndpoint(const Url& endpoint);

}  // namespace MakerService

}  // namespace tarn
