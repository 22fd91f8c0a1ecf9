#pragma once

#include <QString>
#include <QUrl>

#include <string>

namespace tarn {

// What the inspector's preview shows: nothing, a folder, the object being read or
// downloaded, the finished preview, or a text saying why there is none.
struct InlinePreviewState {
    enum class Kind { loading, downloading, ready, unsupported, failed, empty, folder };

    Kind kind = Kind::empty;
    std::string key;  // loading, downloading, ready: the object's key
    QUrl url;         // ready: a local file or a remote URL
    QString text;     // unsupported, failed: the text shown

    static InlinePreviewState loading(std::string key) { return {Kind::loading, std::move(key), {}, {}}; }
    static InlinePreviewState downloading(std::string key) { return {Kind::downloading, std::move(key), {}, {}}; }
    static InlinePreviewState ready(std::string key, QUrl url) { return {Kind::ready, std::move(key), std::move(url), {}}; }
    static InlinePreviewState unsupported(QString text) { return {Kind::unsupported, {}, {}, std::move(text)}; }
    static InlinePreviewState failed(QString text) { return {Kind::failed, {}, {}, std::move(text)}; }
    static InlinePreviewState empty() { return {}; }
    static InlinePreviewState folder() { return {Kind::folder, {}, {}, {}}; }

    bool operator==(const InlinePreviewState&) const = default;
};

}  // namespace tarn
