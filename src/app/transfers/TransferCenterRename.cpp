#include "app/transfers/TransferCenter.h"

namespace tarn {

// Renames and moves have no runner yet, so their tasks fail with "transfer_runner_missing".
// The runner is runRename, defined in this file and bound here:
//     return [this](Uuid id, TransferTask task, std::stop_token stop) {
//         return runRename(id, std::move(task), std::move(stop));
//     };
TransferCenter::Runner TransferCenter::renameRunner() { return {}; }

}  // namespace tarn
