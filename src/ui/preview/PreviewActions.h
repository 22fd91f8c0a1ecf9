#pragma once

#include <QUrl>

#include <filesystem>
#include <functional>

namespace tarn {

// What a preview may ask of the desktop, supplied by whoever hosts the previews (the
// inspector passes the application's UI services; tests pass recorders). Either may
// be left empty, and the preview then offers nothing that would need it.
struct PreviewActions {
    // Opens a web link in the desktop's browser; only http and https links that the
    // user clicked are ever passed.
    std::function<void(const QUrl&)> openLink;
    // Hands a local file to the desktop's default application for its type.
    std::function<void(const std::filesystem::path&)> openWithDefaultApplication;
};

}  // namespace tarn
