#pragma once

#include "core/config/CDNKeyMove.h"
#include "core/config/ConfigModels.h"

#include <vector>

namespace tarn {

// A configuration file read for an import, at the current schema, with the CDN token
// keys that must follow their buckets to the IDs the migration gave them.
struct ImportedConfig {
    AppConfig config;
    std::vector<CDNKeyMove> cdnMoves;
};

}  // namespace tarn
