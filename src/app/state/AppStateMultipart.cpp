#include "app/state/AppState.h"

namespace tarn {

// Filled in with the unfinished multipart uploads.
void AppState::openMultipartUploads() {}
void AppState::reloadMultipartUploads() {}
void AppState::abortSelectedUploads() {}
void AppState::abort(std::vector<MultipartUpload>) {}

}  // namespace tarn
