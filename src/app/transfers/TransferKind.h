#pragma once

namespace tarn {

// The four kinds of long operation the transfer queue runs. Drag-out downloads are
// downloads. ("delete" is a keyword, hence `deletion`.)
enum class TransferKind { upload, download, deletion, rename };

}  // namespace tarn
