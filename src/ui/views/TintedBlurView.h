#pragma once

#include <QWidget>

namespace tarn {

// The dark surface of panes, toasts, bubbles and sheets. Elsewhere such a surface
// blurs what lies behind the window; a Linux window cannot see behind itself, so
// the tint is laid over an opaque mid-grey base instead. The tint's alpha sets how
// dark the surface is: 0.5 for a pane, above 0.9 for toasts and bubbles. Rounded corners and a hairline border are optional.
class TintedBlurView : public QWidget {
    Q_OBJECT

public:
    // The tint of the three panes of the main window.
    static constexpr qreal paneTintAlpha = 0.5;

    explicit TintedBlurView(qreal tintAlpha, QWidget* parent = nullptr);

    // The colour a surface of a tint's alpha is painted with: the tint over the
    // opaque base. What lies between two panes (a divider) is drawn over it.
    static QColor surfaceColor(qreal tintAlpha);

    qreal tintAlpha() const { return m_tintAlpha; }
    QColor surfaceColor() const { return surfaceColor(m_tintAlpha); }

    void setCornerRadius(qreal radius);
    qreal cornerRadius() const { return m_cornerRadius; }
    // A one-pixel border inside the edge; an invalid colour draws none.
    void setBorderColor(const QColor& color);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    qreal m_tintAlpha;
    qreal m_cornerRadius = 0;
    QColor m_borderColor;
};

}  // namespace tarn
