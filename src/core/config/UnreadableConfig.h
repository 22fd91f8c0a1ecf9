#pragma once

#include "core/values/IsoDate.h"

#include <filesystem>
#include <optional>

namespace tarn {

// What start-up does with a configuration file it cannot read: it keeps the file's
// bytes where no later save can reach them, because the program then runs on the
// defaults and the next save (a setting, a new account, the history) replaces
// "config.json". The user's accounts must stay recoverable from that copy.
namespace UnreadableConfig {

// Keeps the file next to itself as "<name>.unreadable-<UTC time>" (ISO 8601 basic
// form, e.g. config.json.unreadable-20240501T083000Z; "-2", "-3"... appended when
// that name is taken) and returns where it is. Nothing is ever replaced: an earlier
// copy with the same bytes is reused instead of making another one at every start.
// A file whose bytes cannot be read at all (larger than `maxBytes`, no permission, a
// folder) is moved there instead of copied. None when there is no file any more;
// throws std::filesystem::filesystem_error when the file can be neither copied nor
// moved.
std::optional<std::filesystem::path> keepAside(const std::filesystem::path& configURL, TimePoint now,
                                               std::size_t maxBytes);

}  // namespace UnreadableConfig

}  // namespace tarn
