#pragma once

namespace tarn {

// Registers the window layer's compiled-in resources (icon glyphs, the logo). A
// static library's resources are only linked in when something refers to them;
// every reader of a resource calls this first. Cheap after the first call.
void ensureUiResources();

}  // namespace tarn
