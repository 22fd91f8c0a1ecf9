#include "ui/window/InspectorContainer.h"

namespace tarn {

InspectorContainer::InspectorContainer(QWidget* inspector, QWidget* parent)
    : TintedBlurView(paneTintAlpha, parent)
    , m_inspector(inspector)
{
    setMinimumWidth(0);
    if (m_inspector) {
        m_inspector->setParent(this);
        placeInspector();
    }
}

void InspectorContainer::setCurrentWidth(int width)
{
    m_currentWidth = width;
    placeInspector();
}

QSize InspectorContainer::minimumSizeHint() const
{
    return {0, 0};
}

QSize InspectorContainer::sizeHint() const
{
    return {m_currentWidth, 0};
}

void InspectorContainer::resizeEvent(QResizeEvent* event)
{
    TintedBlurView::resizeEvent(event);
    placeInspector();
}

void InspectorContainer::placeInspector()
{
    if (m_inspector) {
        m_inspector->setGeometry(0, 0, m_currentWidth, height());
        // A closed pane keeps nothing the keyboard or a click could reach.
        m_inspector->setVisible(width() > 0);
    }
}

}  // namespace tarn
