#pragma once

#include <QByteArray>

#include <string>

namespace tarn {

// An image taken from the clipboard or a drop, in the file format it came in: the
// file's bytes and its extension without the dot ("png", "jpg"...).
struct ClipboardImage {
    QByteArray data;
    std::string fileExtension;

    bool operator==(const ClipboardImage&) const = default;
};

}  // namespace tarn
