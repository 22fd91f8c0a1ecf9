#include "app/transfers/TransferCenter.h"

namespace tarn {

// Deletes have no runner yet, so their tasks fail with "transfer_runner_missing".
// The runner is runDelete, defined in this file and bound here:
//     return [this](Uuid id, TransferTask task, std::stop_token stop) {
//         return runDelete(id, std::move(task), std::move(stop));
//     };
TransferCenter::Runner TransferCenter::deleteRunner() { return {}; }

}  // namespace tarn
