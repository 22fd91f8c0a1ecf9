#pragma once

namespace tarn {

// What an upload does with keys that already exist in its target folder. `ask`
// opens the conflict sheet first; the queue runs only the other three.
enum class UploadConflictMode { ask, replace, rename, skip };

}  // namespace tarn
