#pragma once

#include <QImage>
#include <QPointer>
#include <QWidget>

#include <functional>

class QAbstractScrollArea;
class QVariantAnimation;

namespace tarn {

// The maker's logo at the foot of the sidebar: barely visible at rest, brighter
// under the pointer, fading between the two. A click inside it runs its click
// action, if it has one (and only then does the pointer become a hand); the wheel
// scrolls the list it lies over.
class HoverFadeLogoView : public QWidget {
    Q_OBJECT

public:
    static constexpr qreal restAlpha = 0.03;
    static constexpr qreal hoverAlpha = 0.15;
    static constexpr int fadeMs = 500;

    explicit HoverFadeLogoView(const QImage& image, QWidget* parent = nullptr);

    void setOnClick(std::function<void()> onClick);
    bool hasOnClick() const { return static_cast<bool>(m_onClick); }
    void setScrollForwardTarget(QAbstractScrollArea* target) { m_scrollTarget = target; }

    // Fades to the hover or the rest alpha (a view that takes no mouse events is
    // told by its owner where the pointer is).
    void setHovered(bool hovered);
    bool isHovered() const { return m_hovered; }
    qreal imageAlpha() const { return m_alpha; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;

private:
    QImage m_image;
    qreal m_alpha = restAlpha;
    bool m_hovered = false;
    std::function<void()> m_onClick;
    QPointer<QAbstractScrollArea> m_scrollTarget;
    QPointer<QVariantAnimation> m_fade;
};

}  // namespace tarn
