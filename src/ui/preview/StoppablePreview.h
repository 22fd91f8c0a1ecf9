#pragma once

namespace tarn {

// A preview view with something running in it: a player, a file still being read, an
// animation. A view leaving the pane is stopped first, so no sound keeps playing and
// no work keeps going for a view nobody sees.
class StoppablePreview {
public:
    virtual ~StoppablePreview() = default;

    // Stops playback, loading and animation for good.
    virtual void stopMedia() = 0;
};

}  // namespace tarn
