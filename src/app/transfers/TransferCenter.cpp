#include "app/transfers/TransferCenter.h"

namespace tarn {

TransferCenter::TransferCenter(AppState& app) : m_app(app) {}

}  // namespace tarn
