#pragma once

namespace tarn {

// The view a ready preview is shown in.
enum class PreviewKind {
    media,     // audio and video: the player with its control bar
    markdown,  // rendered through the core's Markdown page
    html,      // the file's own HTML
    image,
    pdf,
    text,
    file,      // anything else: a card naming the file, with a button to open it
};

}  // namespace tarn
