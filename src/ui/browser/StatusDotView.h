#pragma once

#include <QColor>
#include <QImage>
#include <QPointer>
#include <QWidget>

#include <array>
#include <functional>
#include <optional>
#include <vector>

namespace tarn {

class LoopingAnimation;

// The browser's status dot: a 7-pixel dot with a soft glow of its own colour that
// slowly breathes (opacity 1 to 0.45, glow 2.5 to 5 pixels, 1.4 s each way) in every
// state: the brand green when ready, yellow while work runs, red when a transfer has
// failed. A click anywhere on it runs onClick. It is the anchor of the window's
// bubbles (DotBubbleView::show(text, dot, fallback)).
//
// The breath is drawn in a few even steps each way (breathSteps; on so small a dot
// and so slow a change the eye sees a breath, not the steps), only while the dot can
// be seen in the active window, so a window left open all day costs next to nothing.
//
// The dot is translucent, but a frame paints the dot alone: it is drawn opaquely over
// a copy of what lies behind it, taken once from the widgets it sits on and taken
// again only when one of them repaints or moves under it. Otherwise every frame would
// repaint the panes behind the dot as well, which costs many times the dot itself.
// The few frames of a breath are kept once drawn over that copy, so a frame after the
// first loop is one copy of 14 x 14 pixels; and it is painted as soon as it is due,
// since a frame left to the event loop wakes the program once more.
class StatusDotView : public QWidget {
    Q_OBJECT

public:
    enum class Status { ready, busy, error };

    static constexpr int side = 14;
    static constexpr qreal diameter = 7;
    static constexpr int breathMilliseconds = 1400;
    // Frames each way.
    static constexpr int breathSteps = 7;

    explicit StatusDotView(QWidget* parent = nullptr);

    std::function<void()> onClick;

    using QWidget::update;
    // Nothing happens when the status is already shown.
    void update(Status status);
    std::optional<Status> status() const { return m_status; }
    // The colour of a status, and of the one shown (the brand's before any update).
    static QColor color(Status status);
    QColor color() const { return color(m_status.value_or(Status::ready)); }

    // Where the breath stands: 0 at full opacity and the smallest glow, 1 at the
    // faintest and widest.
    qreal breath() const { return m_breath; }
    // Breathing is on (it is off only when animations are).
    bool isBreathing() const;
    // Frames are being drawn: breathing, and the dot can be seen in the active window.
    bool isDrawingFrames() const;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

    // Draws a dot of `color` at `breath` in the middle of `box`, over what the painter
    // holds.
    static void paintDot(QPainter& painter, const QRectF& box, const QColor& color, qreal breath);

    // How often what lies behind the dot was copied (for tests).
    int backdropCopies() const { return m_backdropCopies; }
    // How often a frame was drawn anew rather than taken from those kept (for tests).
    int framesRendered() const { return m_framesRendered; }

protected:
    bool event(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    // Follows the widgets the dot sits on, up to its window.
    void watchAncestors();
    void forgetBackdrop();
    void copyBackdrop();

    std::optional<Status> m_status;
    qreal m_breath = 0;
    LoopingAnimation* m_breathing = nullptr;
    // From the dot's parent up to its window.
    std::vector<QPointer<QWidget>> m_ancestors;
    // Widgets stacked below the dot that overlap it, as found at the last copy.
    std::vector<QPointer<QWidget>> m_beneath;
    // What lies behind the dot; null when it must be copied again.
    QImage m_backdrop;
    // Each step of the breath drawn over the backdrop, in the shown colour; null until
    // drawn.
    std::array<QImage, breathSteps + 1> m_frames;
    bool m_copying = false;
    int m_backdropCopies = 0;
    int m_framesRendered = 0;
};

}  // namespace tarn
