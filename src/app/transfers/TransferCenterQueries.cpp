#include "app/transfers/TransferCenter.h"

namespace tarn {

// Filled in with the queue's queries.
void TransferCenter::removeSucceededUploads(const std::string&, const std::optional<Uuid>&, TimePoint) {}

}  // namespace tarn
