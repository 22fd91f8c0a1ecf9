#pragma once

#include "core/config/ConfigModels.h"

#include <string>

namespace tarn {

// The command that stores an account's secret in the keyring as the program looks
// for it, under `service`: for accounts on a server the add-account sheet does not
// offer, whose secret only a tool of the desktop's can store. secret-tool asks for
// the secret itself, so it shows neither on the screen nor in the shell's history.
std::string secretToolCommand(const std::string& service, const StorageProfile& profile);

}  // namespace tarn
