#pragma once

namespace tarn {

// Where a transfer task stands, in this order. `waiting` and `running` are active,
// the rest finished; no operation enters `cancelled` (dismissing removes the task),
// but every reader treats it as finished.
enum class TransferState { waiting, running, succeeded, failed, cancelled };

constexpr bool isActive(TransferState state) { return state == TransferState::waiting || state == TransferState::running; }
constexpr bool isFinished(TransferState state) { return !isActive(state); }

}  // namespace tarn
