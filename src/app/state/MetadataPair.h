#pragma once

#include "core/values/Uuid.h"

#include <string>

namespace tarn {

// One row of the metadata editor: a user metadata name and its value.
struct MetadataPair {
    Uuid id;
    std::string key;
    std::string value;

    bool operator==(const MetadataPair&) const = default;
};

}  // namespace tarn
