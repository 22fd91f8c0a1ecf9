#pragma once

#include "ui/views/TintedBlurView.h"

namespace tarn {

// A one-line bubble shown above an anchor (the browser's status dot) for 2 seconds,
// then faded out. One bubble per host window: a new one replaces the old at once.
class DotBubbleView : public TintedBlurView {
    Q_OBJECT

public:
    static constexpr int lifetimeMs = 2000;
    static constexpr int fadeInMs = 180;
    static constexpr int fadeOutMs = 200;

    // Shows a bubble above the anchor in the anchor's window, or in the fallback
    // when the anchor is in no window. Returns the bubble (owned by its host). When
    // the fallback (the pane the anchor sits in) is shown in the same window, the
    // bubble stays inside that pane: it never straddles the pane's divider.
    static DotBubbleView* show(const QString& text, QWidget* anchor, QWidget* fallback);

    QString text() const;

private:
    DotBubbleView(const QString& text, QWidget* host);
    void place(QWidget* anchor, QWidget* pane);
};

}  // namespace tarn
