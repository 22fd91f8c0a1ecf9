#pragma once

#include <QColor>
#include <QWidget>

#include <functional>
#include <optional>

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

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    std::optional<Status> m_status;
    qreal m_breath = 0;
    LoopingAnimation* m_breathing = nullptr;
};

}  // namespace tarn
