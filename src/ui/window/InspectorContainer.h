#pragma once

#include "ui/views/TintedBlurView.h"

#include <QPointer>

namespace tarn {

// The third pane: a tinted surface that holds the inspector at a width of its own.
// The inspector keeps that width while the pane narrows and is clipped at the
// pane's right edge, so that it slides in and out under the divider instead of
// being squeezed. The width changes only when the user drags the divider.
class InspectorContainer : public TintedBlurView {
    Q_OBJECT

public:
    static constexpr int initialWidth = 360;
    static constexpr int minWidth = 280;
    static constexpr int maxWidth = 440;

    // Takes the inspector (may be null: an empty pane).
    explicit InspectorContainer(QWidget* inspector, QWidget* parent = nullptr);

    QWidget* inspector() const { return m_inspector; }
    int currentWidth() const { return m_currentWidth; }
    void setCurrentWidth(int width);

    // The pane may close to nothing; shown, it asks for the inspector's width.
    QSize minimumSizeHint() const override;
    QSize sizeHint() const override;

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void placeInspector();

    QPointer<QWidget> m_inspector;
    int m_currentWidth = initialWidth;
};

}  // namespace tarn
