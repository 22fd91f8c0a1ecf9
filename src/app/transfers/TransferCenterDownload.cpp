#include "app/transfers/TransferCenter.h"

namespace tarn {

// Downloads have no runner yet, so their tasks fail with "transfer_runner_missing".
// The runner is runDownload, defined in this file and bound here:
//     return [this](Uuid id, TransferTask task, std::stop_token stop) {
//         return runDownload(id, std::move(task), std::move(stop));
//     };
TransferCenter::Runner TransferCenter::downloadRunner() { return {}; }

}  // namespace tarn
