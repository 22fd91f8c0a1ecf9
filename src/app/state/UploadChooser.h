#pragma once

namespace tarn {

// Which chooser the upload command opens: the desktop's file dialog picks files or
// one folder, never both at once.
enum class UploadChooser { files, folder };

}  // namespace tarn
