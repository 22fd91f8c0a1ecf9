#include "core/storage/UserMetadata.h"

#include "core/storage/RefusedInputError.h"
#include "core/storage/S3Request.h"
#include "core/text/AsciiCase.h"

#include <algorithm>
#include <set>
#include <stdexcept>

namespace tarn::UserMetadata {

bool isValidName(std::string_view name) {
    return isHttpToken(name);
}

bool isValidValue(std::string_view value) {
    return std::all_of(value.begin(), value.end(), [](char c) { return c >= 32 && c <= 126; });
}

void check(const std::map<std::string, std::string>& metadata) {
    std::set<std::string> seen;
    for (const auto& [name, value] : metadata) {
        if (!isValidName(name)) {
            throw RefusedInputError(RefusedInputError::Reason::metadataName, name,
                                    "The metadata name \"" + name +
                                        "\" is not allowed: use only ASCII letters, digits and !#$%&'*+-.^_`|~, "
                                        "without spaces.");
        }
        if (!isValidValue(value)) {
            throw RefusedInputError(RefusedInputError::Reason::metadataValue, name,
                                    "The value of the metadata \"" + name +
                                        "\" is not allowed: use only printable ASCII characters, without line "
                                        "breaks, tabs or other control characters.");
        }
        if (!seen.insert(AsciiCase::lowercased(name)).second) {
            throw RefusedInputError(RefusedInputError::Reason::metadataDuplicate, name,
                                    "The metadata name \"" + name +
                                        "\" is given twice: names that differ only in letter case are the same "
                                        "name.");
        }
    }
}

}  // namespace tarn::UserMetadata
