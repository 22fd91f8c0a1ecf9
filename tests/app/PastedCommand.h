#pragma once

#include <string>

namespace tarn::test {

// Runs `command` in bash as a user who pastes it into a terminal, with `typed` as
// what they type at its prompts (a pipe rather than a terminal, which the keyring's
// tools read the same way). True when it ends with status 0; what it printed goes to
// `output`.
bool runPasted(const std::string& command, const std::string& typed, std::string* output = nullptr);

}  // namespace tarn::test
